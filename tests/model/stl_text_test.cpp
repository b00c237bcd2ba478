// STL reader: binary and ASCII told apart by content, the turn to the scene's axes with the
// outside kept out, flat normals, and broken files.
#include "model/file_bytes.h"
#include "model/stl_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace {

std::string FixtureBytes(const char* name) {
    FileBytes bytes;
    const std::string path = std::string(MORVA_TEST_DATA_DIR) + "/stl/" + name;
    EXPECT_TRUE(ReadFileBytes(path.c_str(), bytes)) << path;
    return std::string(bytes.begin(), bytes.end());
}

bool ParseFixture(const char* name, ObjText& out) {
    const std::string bytes = FixtureBytes(name);
    return ParseStl(bytes.data(), bytes.data() + bytes.size(), out);
}

void ExpectAllIndicesValid(const ObjText& o) {
    for (const tiangle_face& t : o.triangles) {
        for (uint32_t p : {t.pos0, t.pos1, t.pos2}) ASSERT_LT(p, o.positions.size());
        for (uint32_t u : {t.uv0, t.uv1, t.uv2}) ASSERT_LT(u, o.texcoords.size());
        for (uint32_t n : {t.nrm0, t.nrm1, t.nrm2}) ASSERT_LT(n, o.normals.size());
    }
}

cMath::vector4 CornerOrderNormal(const ObjText& o, const tiangle_face& t) {
    const cMath::vector4& a = o.positions[t.pos0];
    const cMath::vector4& b = o.positions[t.pos1];
    const cMath::vector4& c = o.positions[t.pos2];
    const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
    const float vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
    return cMath::vector4(uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx, 0.0f);
}

}  // namespace

TEST(StlDetection, TellsBinaryFromAsciiByContent) {
    struct Row {
        const char* file;
        StlKind kind;
    } rows[] = {
        {"letter-f-binary.stl", StlKind::kBinary},
        {"letter-f-ascii.stl", StlKind::kAscii},
        {"binary-header-says-solid.stl", StlKind::kBinary},
        {"ascii-name-with-keywords.stl", StlKind::kAscii},
        {"truncated.stl", StlKind::kNotStl},
        {"count-beyond-the-file.stl", StlKind::kNotStl},
    };
    for (const Row& r : rows) {
        const std::string bytes = FixtureBytes(r.file);
        EXPECT_EQ(DetectStl(bytes.data(), bytes.size(), bytes.size()), r.kind) << r.file;
    }
    // Only the file's first bytes are needed; an OBJ text is not STL.
    const std::string binary = FixtureBytes("letter-f-binary.stl");
    EXPECT_EQ(DetectStl(binary.data(), kStlBinaryHeader, binary.size()), StlKind::kBinary);
    const std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n# solid\n" + std::string(100, '#');
    EXPECT_EQ(DetectStl(obj.data(), obj.size(), obj.size()), StlKind::kNotStl);
    EXPECT_EQ(DetectStl("solidity", 8, 8), StlKind::kNotStl);
}

TEST(StlText, BinaryAndAsciiLetterReadTheSame) {
    ObjText binary, ascii, solid_header;
    ASSERT_TRUE(ParseFixture("letter-f-binary.stl", binary));
    ASSERT_TRUE(ParseFixture("letter-f-ascii.stl", ascii));
    ASSERT_TRUE(ParseFixture("binary-header-says-solid.stl", solid_header));
    ASSERT_EQ(binary.triangles.size(), 36u);
    ASSERT_EQ(ascii.triangles.size(), 36u);
    ASSERT_EQ(solid_header.triangles.size(), 36u);
    ASSERT_EQ(ascii.positions.size(), binary.positions.size());
    for (size_t i = 0; i < binary.positions.size(); ++i) {
        EXPECT_NEAR(ascii.positions[i].x, binary.positions[i].x, 1e-6f);
        EXPECT_NEAR(ascii.positions[i].y, binary.positions[i].y, 1e-6f);
        EXPECT_NEAR(ascii.positions[i].z, binary.positions[i].z, 1e-6f);
    }
    ExpectAllIndicesValid(binary);
    // One texture coordinate for every corner, not from the file.
    ASSERT_EQ(binary.texcoords.size(), 1u);
    EXPECT_EQ(binary.texcoords_in_file, 0u);
}

TEST(StlText, TurnsZUpToYUpWithoutMirroring) {
    ObjText o;
    ASSERT_TRUE(ParseFixture("letter-f-binary.stl", o));
    // The first corner of the first box: STL (0, 0, 0); the top bar's far corner is STL
    // (35, 50, 5), which becomes scene (0.7, 0.1, -1.0).
    bool found = false;
    for (const cMath::vector4& p : o.positions) {
        if (std::fabs(p.x - 0.7f) < 1e-6f && std::fabs(p.y - 0.1f) < 1e-6f && std::fabs(p.z + 1.0f) < 1e-6f) found = true;
        EXPECT_LE(p.z, 1e-6f);   // STL y >= 0 lies at scene z <= 0
        EXPECT_GE(p.y, -1e-6f);  // STL z >= 0 lies at scene y >= 0
    }
    EXPECT_TRUE(found);
    // Outside out, as OBJ models are stored: every normal points away from the corner-order
    // normal, and the top faces (STL +z) face scene +y.
    size_t up = 0;
    for (const tiangle_face& t : o.triangles) {
        const cMath::vector4 n = o.normals[t.nrm0];
        const cMath::vector4 c = CornerOrderNormal(o, t);
        EXPECT_LT(n.x * c.x + n.y * c.y + n.z * c.z, 0.0f);
        EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 0.02f, 1e-6f);
        up += n.y > 0.019f;
    }
    EXPECT_EQ(up, 6u);  // two triangles on top of each of the three bars
}

TEST(StlText, FacetNormalIsTakenOnlyWhenItAgreesWithTheWinding) {
    ObjText o;
    ASSERT_TRUE(ParseFixture("facet-normals.stl", o));
    // Right, zero, against the winding, not finite: all four end up the corners' normal.
    ASSERT_EQ(o.triangles.size(), 4u);
    EXPECT_EQ(o.normals_in_file, 1u);
    for (const cMath::vector4& n : o.normals) {
        EXPECT_NEAR(n.x, 0.0f, 1e-7f);
        EXPECT_NEAR(n.y, 0.02f, 1e-7f);
        EXPECT_NEAR(n.z, 0.0f, 1e-7f);
    }
}

TEST(StlText, BrokenFilesFailOrLoseOnlyWhatIsBroken) {
    struct Row {
        const char* file;
        bool read;
        size_t triangles;
    } rows[] = {
        {"truncated.stl", false, 0},
        {"count-beyond-the-file.stl", false, 0},
        {"nan-and-infinite-corners.stl", true, 1},
        // Two corners, a NaN corner, an unreadable number and a facet never ended: dropped.
        {"ascii-two-corner-facet.stl", true, 1},
        {"ascii-name-with-keywords.stl", true, 1},
        {"empty-ascii.stl", true, 0},
    };
    for (const Row& r : rows) {
        ObjText o;
        EXPECT_EQ(ParseFixture(r.file, o), r.read) << r.file;
        EXPECT_EQ(o.triangles.size(), r.triangles) << r.file;
        ExpectAllIndicesValid(o);
    }
    ObjText keywords;
    ParseFixture("ascii-name-with-keywords.stl", keywords);
    ASSERT_EQ(keywords.positions.size(), 3u);
    EXPECT_FLOAT_EQ(keywords.positions[1].x, 0.2f);
}

TEST(StlText, CornersSpanningTheFloatRangeGetFiniteNormals) {
    // Corners near the largest floats: their cross product overflows a float.
    std::string bin(kStlBinaryHeader + kStlBinaryTriangle, '\0');
    const uint32_t count = 1;
    std::memcpy(&bin[80], &count, 4);
    const float corners[12] = {0, 0, 0, -3e38f, -3e38f, 0, 3e38f, -3e38f, 0, 0, 3e38f, 1e38f};
    std::memcpy(&bin[84], corners, sizeof corners);
    ObjText o;
    ASSERT_TRUE(ParseStl(bin.data(), bin.data() + bin.size(), o));
    ASSERT_EQ(o.normals.size(), 1u);
    const cMath::vector4 n = o.normals[0];
    EXPECT_TRUE(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
    EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 0.02f, 1e-6f);
}

TEST(StlText, RandomBytesKeepEveryIndexValid) {
    std::mt19937 rng(99);
    const char* words[] = {"solid ", "facet ", "normal ", "vertex ", "endfacet ", "outer loop ", "1 ", "-2.5 ",
                           "nan ", "inf ", "1e39 ", "\n", "endsolid ", "x "};
    for (int round = 0; round < 200; ++round) {
        std::string text = "solid r\n";
        const int n = int(rng() % 300);
        for (int i = 0; i < n; ++i) text += words[rng() % (sizeof words / sizeof words[0])];
        ObjText a;
        ParseStl(text.data(), text.data() + text.size(), a);
        ExpectAllIndicesValid(a);
        // Binary: random triangles behind a matching count.
        const uint32_t count = rng() % 20;
        std::string bin(kStlBinaryHeader + count * kStlBinaryTriangle, '\0');
        for (char& c : bin) c = char(rng());
        std::memcpy(&bin[80], &count, 4);
        ObjText b;
        ASSERT_TRUE(ParseStl(bin.data(), bin.data() + bin.size(), b));
        ExpectAllIndicesValid(b);
        for (const cMath::vector4& p : b.positions) ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
        for (const cMath::vector4& n : b.normals) ASSERT_TRUE(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
    }
}
