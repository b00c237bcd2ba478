// OBJ faces and vertex lines: the plain forms (v/vt/vn corners separated by spaces, short
// decimals) are read by direct paths; every line must read the same whichever path takes
// it. Each face is written twice, once plainly and once with tabs between the corners
// (which the direct paths leave to the general reader), and the two readings must agree
// triangle by triangle; whole plain lines are read alone and compared with the general
// reading of the same line.
#include "model/obj_plain_lines.h"
#include "model/obj_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

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
    // Text after the face, so that the direct paths (the whole-line one too) have room to
    // look ahead.
    const std::string tail = "# end of the model, with room after the last face\n" + std::string(kPlainLineReadable, '#');
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

// The line read alone by the whole-line reader, after `header` was read the general way;
// whether it took the line (then up to its line end exactly) and the model.
bool ReadWholeLine(const std::string& header, const std::string& line, ObjText& out) {
    ParseObjText(header.data(), header.data() + header.size(), out);
    const std::string text = line + std::string(kPlainLineReadable, '\n');
    const char* after = ReadPlainLine(out, text.data(), false);
    if (after == nullptr) return false;
    EXPECT_EQ(after, text.data() + line.size() + 1) << line;
    return true;
}

// Equal element counts and equal bytes (an empty array's data may be null: not compared).
template <typename T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

void ExpectSameArrays(const ObjText& a, const ObjText& b, const std::string& line) {
    SCOPED_TRACE(line);
    EXPECT_TRUE(SameBytes(a.positions, b.positions));
    EXPECT_TRUE(SameBytes(a.normals, b.normals));
    EXPECT_TRUE(SameBytes(a.texcoords, b.texcoords));
    EXPECT_TRUE(SameBytes(a.triangles, b.triangles));
}

// The general reading of the header and the line (short: the whole-line reader has no room).
ObjText ReadGenerally(const std::string& header, const std::string& line) {
    ObjText out;
    const std::string text = header + line;
    ParseObjText(text.data(), text.data() + text.size(), out);
    return out;
}

TEST(ObjPlainLines, TakesOnlyWhatItReadsLikeTheGeneralReader) {
    const std::string h = Header(12);
    struct Case {
        const char* line;  // without its line feed
        bool taken;
    };
    const Case cases[] = {
        {"v 81.998972 0.000000 -0.212658", true},
        {"vn -0.5 0.25 1", true},
        {"vt 0.5 0.25", true},
        {"v -.5 .25 5.", true},
        {"v 1 2 3   ", true},               // blanks before the line end
        {"v 1  2   3\r", true},            // a carriage return before the line feed
        {"f 1/2/3 4/5/6 7/8/9 10/11/12", true},
        {"f 1/1/1 2/2/2 3/3/3 \r", true},
        {"v 1 2 3 4", false},               // a fourth value: the general reader ignores it
        {"v 1 2", false},                   // a value missing: zero
        {"v 1e5 2 3", false},               // an exponent
        {"v 12345678.5 1 2", false},        // eight digits before the dot
        {"v\t1 2 3", false},
        {"vt 0.5\t0.25", false},
        {"f 1//1 2//2 3//3", false},
        {"f -1/-1/-1 -2/-2/-2 -3/-3/-3", false},
        {"f 1/1/1 2/2/2 13/1/1", false},    // beyond the positions read
        {"f 1/1/1 2/2/2 3/3/3 # comment", false},
        {"f 1/1/1 2/2/2 3/3/3 4/4/4 5/5/5 6/6/6 7/7/7 8/8/8 9/9/9", false},
        {"l 1 2", false},
        {"usemtl red", false},
    };
    for (const Case& c : cases) {
        ObjText whole;
        EXPECT_EQ(ReadWholeLine(h, c.line, whole), c.taken) << c.line;
        if (c.taken) ExpectSameArrays(whole, ReadGenerally(h, std::string(c.line) + "\n"), c.line);
    }
}

TEST(ObjPlainLines, RandomDecimalLinesReadLikeTheGeneralReader) {
    std::mt19937 rng(7);
    auto number = [&rng] {
        std::string s = rng() % 2 ? "-" : "";
        s += std::to_string(rng() % (rng() % 2 ? 10u : 10000000u));
        if (rng() % 4) {
            s += '.';
            for (unsigned k = 0, n = 1 + rng() % 9; k < n; ++k) s += char('0' + rng() % 10);
        }
        return s;
    };
    int taken = 0;
    const char* tags[3] = {"v ", "vn ", "vt "};
    for (int i = 0; i < 3000; ++i) {
        const int kind = i % 3;
        std::string line = tags[kind] + number() + " " + number();
        if (kind != 2) line += " " + number();
        ObjText whole;
        if (!ReadWholeLine("", line, whole)) continue;
        ++taken;
        ExpectSameArrays(whole, ReadGenerally("", line + "\n"), line);
    }
    EXPECT_GT(taken, 1500);  // eight-digit parts are left to the general reader
}

}  // namespace
