// OBJ faces: the plain form (v/vt/vn corners separated by single spaces) is read by a direct
// path; every face must read the same whichever path takes it. Each case is written twice,
// once plainly and once with tabs between the corners (which the direct path leaves to
// the general reader), and the two readings must agree triangle by triangle.
#include "model/obj_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Header(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        s += "v " + std::to_string(i) + " " + std::to_string(i % 7) + " 1\n";
        s += "vt 0." + std::to_string(i % 10) + " 0.5\nvn 0 0 1\n";
    }
    return s;
}

std::string WithTabs(std::string face) {
    for (char& c : face) {
        if (c == ' ') c = '\t';
    }
    return face;
}

void ExpectSameReading(const std::string& header, const std::string& face, size_t triangles) {
    SCOPED_TRACE(face);
    // Text after the face, so that the direct path has room to look ahead.
    const std::string tail = "# end of the model, with room after the last face\n";
    ObjText plain, tabbed;
    const std::string a = header + face + "\n" + tail;
    const std::string b = header + "f\t" + WithTabs(face.substr(2)) + "\n" + tail;
    ParseObjText(a.data(), a.data() + a.size(), plain);
    ParseObjText(b.data(), b.data() + b.size(), tabbed);
    ASSERT_EQ(plain.triangles.size(), triangles);
    ASSERT_EQ(tabbed.triangles.size(), triangles);
    for (size_t i = 0; i < triangles; ++i) {
        const tiangle_face& x = plain.triangles[i];
        const tiangle_face& y = tabbed.triangles[i];
        const uint32_t xs[9] = {x.pos0, x.uv0, x.nrm0, x.pos1, x.uv1, x.nrm1, x.pos2, x.uv2, x.nrm2};
        const uint32_t ys[9] = {y.pos0, y.uv0, y.nrm0, y.pos1, y.uv1, y.nrm1, y.pos2, y.uv2, y.nrm2};
        for (int k = 0; k < 9; ++k) EXPECT_EQ(xs[k], ys[k]) << "triangle " << i << " index " << k;
    }
    EXPECT_EQ(plain.normals.size(), tabbed.normals.size());
    EXPECT_EQ(plain.texcoords.size(), tabbed.texcoords.size());
}

TEST(ObjFaceForms, PlainFacesReadLikeTheGeneralReader) {
    const std::string h = Header(12);
    ExpectSameReading(h, "f 1/1/1 2/2/2 3/3/3", 1);
    ExpectSameReading(h, "f 10/10/10 11/11/11 12/12/12 9/9/9", 2);
    ExpectSameReading(h, "f 1/2/3 4/5/6 7/8/9 10/11/12 12/1/2", 3);
    ExpectSameReading(h, "f 1/1/1  2/2/2   3/3/3 ", 1);              // extra spaces
    ExpectSameReading(h, "f -1/-1/-1 -2/-2/-2 -3/-3/-3", 1);         // relative indices
    ExpectSameReading(h, "f 1/1/1 2/2/2 13/1/1", 0);                 // beyond the model: dropped
    ExpectSameReading(h, "f 0/1/1 2/2/2 3/3/3", 0);                  // zero: dropped
    ExpectSameReading(h, "f 00000001/1/1 2/2/2 3/3/3", 1);           // eight digits
    ExpectSameReading(h, "f 1//1 2//2 3//3", 1);                     // no texture coordinate
    ExpectSameReading(h, "f 1/1 2/2 3/3", 1);                        // no normal
    ExpectSameReading(h, "f 1/1/1 2/2/2", 0);                        // two corners
    ExpectSameReading(h, "f 1/1/1 2/2/2 3/3/3 # comment", 1);
    ExpectSameReading(h, "f 1/1/1 2/2/2 3/3/3x", 0);                 // malformed corner
    ExpectSameReading(h, "f 1/1/1 2/2/2 3/3/3 4/4/4 5/5/5 6/6/6 7/7/7 8/8/8 9/9/9 10/10/10", 8);
}

TEST(ObjFaceForms, FaceNamingLaterElementsOrEndingTheTextReadsTheSame) {
    // A face before the elements it names is kept once the text defines them.
    const std::string text = "f 1/1/1 2/1/1 3/1/1\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1";
    ObjText out;
    ParseObjText(text.data(), text.data() + text.size(), out);
    ASSERT_EQ(out.triangles.size(), 2u);
    EXPECT_EQ(out.triangles[0].pos2, 2u);
    EXPECT_EQ(out.triangles[1].pos2, 2u);
    EXPECT_EQ(out.triangles[1].nrm0, 0u);
}

}  // namespace
