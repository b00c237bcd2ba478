// OBJ text reader: statements, numbers, faces and the fixture corpus of exporter quirks.
#include "model/file_bytes.h"
#include "model/obj_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

ObjText Parse(const std::string& text) {
    ObjText out;
    ParseObjText(text.data(), text.data() + text.size(), out);
    return out;
}

ObjText ParseFixture(const char* name) {
    FileBytes bytes;
    const std::string path = std::string(MORVA_TEST_DATA_DIR) + "/" + name;
    EXPECT_TRUE(ReadFileBytes(path.c_str(), bytes)) << path;
    ObjText out;
    ParseObjText(bytes.begin(), bytes.end(), out);
    return out;
}

void ExpectVec(const cMath::vector4& v, float x, float y, float z, float w = 0.0f) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
    EXPECT_FLOAT_EQ(v.w, w);
}

void ExpectCorners(const tiangle_face& t, uint32_t p0, uint32_t p1, uint32_t p2) {
    EXPECT_EQ(t.pos0, p0);
    EXPECT_EQ(t.pos1, p1);
    EXPECT_EQ(t.pos2, p2);
}

// Every index of every triangle lies inside its array.
void ExpectAllIndicesValid(const ObjText& o) {
    for (const tiangle_face& t : o.triangles) {
        for (uint32_t p : {t.pos0, t.pos1, t.pos2}) ASSERT_LT(p, o.positions.size());
        for (uint32_t u : {t.uv0, t.uv1, t.uv2}) ASSERT_LT(u, o.texcoords.size());
        for (uint32_t n : {t.nrm0, t.nrm1, t.nrm2}) ASSERT_LT(n, o.normals.size());
    }
}

const char kTriangleHeader[] = "v 0 0 0\nv 50 0 0\nv 0 50 0\nvt 0 0\nvn 0 0 1\n";

}  // namespace

TEST(ObjTextVertices, ConvertsPositionToSceneUnitsWithAxesExchanged) {
    ObjText o = Parse("v 100 -50 25\n");
    ASSERT_EQ(o.positions.size(), 1u);
    ExpectVec(o.positions[0], 2.0f, 0.5f, -1.0f);
}

TEST(ObjTextVertices, ConvertsNormalsLikePositionsAndFlipsTextureV) {
    ObjText o = Parse("vn 0 0 1\nvt 0.25 0.75\n");
    ASSERT_EQ(o.normals.size(), 1u);
    ASSERT_EQ(o.texcoords.size(), 1u);
    ExpectVec(o.normals[0], 0.0f, 0.02f, 0.0f);
    ExpectVec(o.texcoords[0], 0.25f, 0.25f, 0.0f);
}

TEST(ObjTextVertices, ReadsSignsLeadingDotsAndExponents) {
    ObjText o = ParseFixture("exponent-numbers.obj");
    ASSERT_EQ(o.positions.size(), 3u);
    // v 1e2 -2.5E+1 .5  and  v -.5 +3 1.5e-1
    ExpectVec(o.positions[0], 2.0f, 0.5f / 50.0f, -0.5f);
    ExpectVec(o.positions[1], -0.5f / 50.0f, 0.15f / 50.0f, 3.0f / 50.0f);
    ExpectVec(o.texcoords[0], 0.25f, 0.25f, 0.0f);
    ExpectVec(o.normals[0], -0.02f, 0.0f, 0.0f);
    ASSERT_EQ(o.triangles.size(), 1u);
}

TEST(ObjTextVertices, ParsesDecimalsCorrectlyRounded) {
    ObjText o = Parse("vt 0.1 0.30000001192092896 0\nvt 3.4028234e38 1e-50\n");
    ASSERT_EQ(o.texcoords.size(), 2u);
    EXPECT_EQ(o.texcoords[0].x, 0.1f);
    EXPECT_EQ(o.texcoords[0].y, 1.0f - 0.3f);
    EXPECT_EQ(o.texcoords[1].x, 3.4028234e38f);
    EXPECT_EQ(o.texcoords[1].y, 1.0f);
}

TEST(ObjTextVertices, NumbersTooLargeForAFloatReadAsZero) {
    ObjText o = Parse("v 1e99 -1e400 50\n");
    ASSERT_EQ(o.positions.size(), 1u);
    ExpectVec(o.positions[0], 0.0f, 1.0f, 0.0f);
}

TEST(ObjTextVertices, LineEndingEarlyLeavesMissingValuesZero) {
    ObjText o = Parse("v 50 100\nvt 0.5");
    ASSERT_EQ(o.positions.size(), 1u);
    ExpectVec(o.positions[0], 1.0f, 0.0f, 2.0f);
    ExpectVec(o.texcoords[0], 0.5f, 1.0f, 0.0f);
}

TEST(ObjTextVertices, IgnoresExtraValuesAndUnknownStatements) {
    ObjText o = Parse("v 50 100 150 0.5 0.5 0.5\nvp 1 2 3\no body\ng part\ns 1\n# v 1 2 3\n v1 2 3\n");
    ASSERT_EQ(o.positions.size(), 1u);
    ExpectVec(o.positions[0], 1.0f, 3.0f, 2.0f);
    EXPECT_TRUE(o.normals.empty());
    EXPECT_TRUE(o.texcoords.empty());
}

TEST(ObjTextVertices, RecognisesTabAfterTags) {
    ObjText o = Parse("v\t50 0 0\nv\t0 50 0\nv\t0 0 50\nf\t1 2 3\nl\t1 2\nusemtl\tred\nmtllib\tlib.mtl\n");
    EXPECT_EQ(o.positions.size(), 3u);
    EXPECT_EQ(o.triangles.size(), 1u);
    EXPECT_EQ(o.line_points.size(), 2u);
    ASSERT_EQ(o.directives.size(), 2u);
    EXPECT_EQ(o.directives[0].text, "red");
    EXPECT_EQ(o.directives[1].text, "lib.mtl");
}

TEST(ObjTextFaces, ReadsTriangleCornersZeroBased) {
    ObjText o = Parse("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\nvn 0 1 0\nvn 1 0 0\n"
                      "f 1/1/1 2/2/2 3/3/3\n");
    ASSERT_EQ(o.triangles.size(), 1u);
    const tiangle_face& t = o.triangles[0];
    EXPECT_EQ(t.pos0, 0u);
    EXPECT_EQ(t.uv0, 0u);
    EXPECT_EQ(t.nrm0, 0u);
    EXPECT_EQ(t.pos1, 1u);
    EXPECT_EQ(t.uv1, 1u);
    EXPECT_EQ(t.nrm1, 1u);
    EXPECT_EQ(t.pos2, 2u);
    EXPECT_EQ(t.uv2, 2u);
    EXPECT_EQ(t.nrm2, 2u);
}

TEST(ObjTextFaces, ReadsQuadFaceAsTwoTriangles) {
    ObjText o = ParseFixture("quad-face.obj");
    // The quad: (0,1,2), (0,2,3); the pentagon 1 2 3 5 4: (0,1,2), (0,2,4), (0,4,3).
    ASSERT_EQ(o.triangles.size(), 5u);
    ExpectCorners(o.triangles[0], 0, 1, 2);
    ExpectCorners(o.triangles[1], 0, 2, 3);
    EXPECT_EQ(o.triangles[1].uv2, 3u);
    ExpectCorners(o.triangles[2], 0, 1, 2);
    ExpectCorners(o.triangles[3], 0, 2, 4);
    ExpectCorners(o.triangles[4], 0, 4, 3);
}

TEST(ObjTextFaces, ReadsFourthCornerWrittenInFewCharacters) {
    ObjText o = Parse("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1 4/1/1\n");
    ASSERT_EQ(o.triangles.size(), 2u);
    ExpectCorners(o.triangles[1], 0, 2, 3);
}

TEST(ObjTextFaces, ResolvesNegativeIndicesAgainstElementsReadSoFar) {
    ObjText o = ParseFixture("negative-indices.obj");
    // The fourth face reaches before the first position and is dropped.
    ASSERT_EQ(o.triangles.size(), 3u);
    ExpectCorners(o.triangles[0], 0, 1, 2);
    EXPECT_EQ(o.triangles[0].uv0, 0u);
    EXPECT_EQ(o.triangles[0].uv2, 2u);
    EXPECT_EQ(o.triangles[0].nrm1, 0u);
    ExpectCorners(o.triangles[1], 3, 4, 5);
    ExpectCorners(o.triangles[2], 2, 4, 5);
    ExpectAllIndicesValid(o);
}

TEST(ObjTextFaces, CornersWithoutTexcoordUseOneAppendedZeroTexcoord) {
    ObjText o = ParseFixture("no-texcoords.obj");
    ASSERT_EQ(o.triangles.size(), 2u);
    ASSERT_EQ(o.texcoords.size(), 1u);
    ExpectVec(o.texcoords[0], 0.0f, 0.0f, 0.0f);
    for (const tiangle_face& t : o.triangles) {
        EXPECT_EQ(t.uv0, 0u);
        EXPECT_EQ(t.uv1, 0u);
        EXPECT_EQ(t.uv2, 0u);
    }
    ExpectAllIndicesValid(o);
}

TEST(ObjTextFaces, FaceWithoutNormalsGetsTheNormalAMatchingFileWouldGive) {
    // Counter-clockwise in the file's x-y plane: an agreeing file writes vn 0 0 1.
    ObjText flat = Parse("v 0 0 0\nv 50 0 0\nv 0 50 0\nf 1 2 3\n");
    ObjText given = Parse("v 0 0 0\nv 50 0 0\nv 0 50 0\nvn 0 0 1\nf 1//1 2//1 3//1\n");
    ASSERT_EQ(flat.normals.size(), 1u);
    ASSERT_EQ(flat.triangles.size(), 1u);
    const cMath::vector4& n = flat.normals[0];
    ExpectVec(n, given.normals[0].x, given.normals[0].y, given.normals[0].z);
    EXPECT_EQ(flat.triangles[0].nrm0, 0u);
    EXPECT_EQ(flat.triangles[0].nrm2, 0u);
}

TEST(ObjTextFaces, PolygonWithoutNormalsSharesOneFlatNormal) {
    ObjText o = Parse("v 0 0 0\nv 50 0 0\nv 50 0 50\nv 0 0 50\nvn 1 0 0\nf 1 2 3 4\n");
    // One normal from the file, one appended for the quad.
    ASSERT_EQ(o.normals.size(), 2u);
    ASSERT_EQ(o.triangles.size(), 2u);
    for (const tiangle_face& t : o.triangles) {
        EXPECT_EQ(t.nrm0, 1u);
        EXPECT_EQ(t.nrm1, 1u);
        EXPECT_EQ(t.nrm2, 1u);
    }
    // Counter-clockwise seen from file -y: normal (0, -1, 0) in the file, y/z exchanged.
    ExpectVec(o.normals[1], 0.0f, 0.0f, -0.02f);
}

TEST(ObjTextFaces, DegenerateFaceWithoutNormalsGetsZeroNormal) {
    ObjText o = Parse("v 0 0 0\nv 50 0 0\nv 100 0 0\nf 1 2 3\n");
    ASSERT_EQ(o.normals.size(), 1u);
    ExpectVec(o.normals[0], 0.0f, 0.0f, 0.0f);
}

TEST(ObjTextFaces, DropsFacesWithInvalidIndicesWhole) {
    ObjText o = ParseFixture("index-out-of-range.obj");
    // Kept: the first face, the faces naming normal 7 and texcoord 2 (their positions are
    // valid) and the last one; dropped: position 9, position 0, the quad naming position 4,
    // -9 and the two-corner face.
    ASSERT_EQ(o.triangles.size(), 4u);
    ExpectCorners(o.triangles[0], 0, 1, 2);
    ExpectCorners(o.triangles[1], 0, 1, 2);
    ExpectCorners(o.triangles[2], 0, 1, 2);
    ExpectCorners(o.triangles[3], 0, 2, 1);
    ExpectAllIndicesValid(o);
}

TEST(ObjTextFaces, LinePointsSkipIndicesBeyondPositionsReadSoFar) {
    ObjText o = ParseFixture("index-out-of-range.obj");
    // l 1 2 7 -1 0: 7 and 0 are skipped, -1 is the newest position.
    ASSERT_EQ(o.line_points.size(), 3u);
    ExpectVec(o.line_points[0], 0.0f, 0.0f, 0.0f);
    ExpectVec(o.line_points[1], 1.0f, 0.0f, 0.0f);
    ExpectVec(o.line_points[2], 0.0f, 0.0f, 1.0f);
    ObjText forward = Parse("l 1 2\nv 1 2 3\nv 4 5 6\nl 1/1 2/2\n");
    EXPECT_EQ(forward.line_points.size(), 2u);
}

TEST(ObjTextFaces, KeepsForwardReferencesTheFileSatisfies) {
    ObjText o = Parse("f 1/1/1 2/1/1 3/1/1\nv 0 0 0\nv 50 0 0\nv 0 50 0\nvt 0 0\nvn 0 0 1\n");
    ASSERT_EQ(o.triangles.size(), 1u);
    ExpectAllIndicesValid(o);
}

TEST(ObjTextFaces, DroppedForwardReferenceMovesLaterMaterialSwitches) {
    ObjText o = Parse(std::string(kTriangleHeader) +
                      "usemtl a\nf 1/1/1 2/1/1 3/1/1\nf 1/1/1 2/1/1 5/1/1 3/1/1\nusemtl b\n"
                      "f 1/1/1 2/1/1 3/1/1\nusemtl c\nf 1 2 3\nv 0 0 1\nusemtl d\n");
    // The quad names position 5, which never comes: its two triangles go.
    ASSERT_EQ(o.triangles.size(), 3u);
    ASSERT_EQ(o.directives.size(), 4u);
    EXPECT_EQ(o.directives[0].triangle, 0u);
    EXPECT_EQ(o.directives[1].triangle, 1u);
    EXPECT_EQ(o.directives[2].triangle, 2u);
    EXPECT_EQ(o.directives[3].triangle, 3u);
    // The face without normals after the dropped one still gets its own normal.
    EXPECT_EQ(o.normals.size(), 2u);
    ExpectAllIndicesValid(o);
}

TEST(ObjTextFaces, MalformedCornerDropsFace) {
    ObjText o = Parse(std::string(kTriangleHeader) + "f 1/1/1 2/x/1 3/1/1\nf 1/1/1 2/1/1 3/1/1junk\n"
                      "f 1/1/1 2/1/1 3/1/1 # comment\n");
    ASSERT_EQ(o.triangles.size(), 1u);
}

TEST(ObjTextFaces, ReadsEveryCornerOfALongLine) {
    ObjText o = ParseFixture("long-comment-line.obj");
    // 1 triangle, an 80-corner fan (78 triangles), and a last line without line feed.
    ASSERT_EQ(o.triangles.size(), 80u);
    ExpectCorners(o.triangles[78], 3, 81, 82);
    ExpectCorners(o.triangles[79], 0, 1, 83);
    EXPECT_EQ(o.positions.size(), 84u);
}

TEST(ObjTextLines, CarriageReturnsAreNotPartOfLines) {
    ObjText o = ParseFixture("crlf-lines.obj");
    ASSERT_EQ(o.directives.size(), 2u);
    EXPECT_EQ(o.directives[0].text, "crlf-lines.mtl");
    EXPECT_EQ(o.directives[1].text, "red");
    ASSERT_EQ(o.triangles.size(), 1u);
    ExpectVec(o.texcoords[0], 0.25f, 0.25f, 0.0f);
}

TEST(ObjTextLines, MaterialStatementsKeepTriangleCountAndTrimmedName) {
    ObjText o = Parse(std::string(kTriangleHeader) + "usemtl  first \nf 1/1/1 2/1/1 3/1/1\nf 1/1/1 2/1/1 3/1/1\n"
                      "mtllib two words.mtl\nusemtl second\n");
    ASSERT_EQ(o.directives.size(), 3u);
    EXPECT_EQ(o.directives[0].kind, ObjDirective::kUseMaterial);
    EXPECT_EQ(o.directives[0].triangle, 0u);
    EXPECT_EQ(o.directives[0].text, "first");
    EXPECT_EQ(o.directives[1].kind, ObjDirective::kMaterialLibrary);
    EXPECT_EQ(o.directives[1].text, "two words.mtl");
    EXPECT_EQ(o.directives[2].triangle, 2u);
}

TEST(ObjTextLines, ReportsProgressEveryIntervalOfLines) {
    std::string text;
    for (int i = 0; i < 10000; ++i) text += "v 1 2 3\n";
    std::vector<uint32_t> calls;
    ObjLineHook hook{[](void* context, uint32_t lines) {
                         static_cast<std::vector<uint32_t>*>(context)->push_back(lines);
                     },
                     &calls};
    ObjText o;
    ParseObjText(text.data(), text.data() + text.size(), o, hook);
    // 10000 lines and the empty one after the last line feed.
    EXPECT_EQ(o.line_count, 10001u);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], kObjLineHookInterval);
    EXPECT_EQ(calls[1], 2 * kObjLineHookInterval);
}

TEST(ObjTextLines, ReservesNoMoreThanTheTextsSize) {
    for (uint64_t bytes : {uint64_t(84), uint64_t(1) << 20, uint64_t(130) << 20}) {
        ObjText text;
        ReserveObjText(text, bytes);
        const uint64_t reserved = text.positions.capacity() * sizeof(cMath::vector4) +
                                  text.texcoords.capacity() * sizeof(cMath::vector4) +
                                  text.normals.capacity() * sizeof(cMath::vector4) +
                                  text.triangles.capacity() * sizeof(tiangle_face);
        EXPECT_LE(reserved, bytes) << bytes;
        EXPECT_GE(reserved, bytes - 84) << bytes;  // the room is still reserved up front
    }
}

TEST(ObjTextLines, EmptyAndNullRangesGiveEmptyModel) {
    ObjText empty = Parse("");
    EXPECT_TRUE(empty.positions.empty());
    ObjText none;
    ParseObjText(nullptr, nullptr, none);
    EXPECT_TRUE(none.triangles.empty());
}

// ---- dialects of real files -----------------------------------------------------------

TEST(ObjTextDialects, ByteOrderMarkDoesNotHideTheFirstVertex) {
    ObjText o = ParseFixture("bom-first-vertex.obj");
    ASSERT_EQ(o.positions.size(), 3u);
    ExpectVec(o.positions[0], 0.0f, 0.0f, 0.0f);
    ExpectVec(o.positions[2], 0.0f, 1.0f, 0.0f);
    ASSERT_EQ(o.triangles.size(), 1u);
    ExpectCorners(o.triangles[0], 0, 1, 2);
    // Only at the start of the text: elsewhere the bytes are an unknown statement.
    ObjText later = Parse("v 0 0 0\n\xEF\xBB\xBFv 1 1 1\n");
    EXPECT_EQ(later.positions.size(), 1u);
}

TEST(ObjTextDialects, ReadsStatementsIndentedWithSpacesAndTabs) {
    ObjText o = ParseFixture("indented-statements.obj");
    EXPECT_EQ(o.positions.size(), 3u);
    EXPECT_EQ(o.texcoords.size(), 1u);
    EXPECT_EQ(o.normals.size(), 1u);
    ASSERT_EQ(o.triangles.size(), 1u);
    EXPECT_EQ(o.triangles[0].nrm2, 0u);
    ASSERT_EQ(o.directives.size(), 1u);
    EXPECT_EQ(o.directives[0].text, "red");
}

TEST(ObjTextDialects, LineEndingInBackslashGoesOnWithTheNextLine) {
    ObjText o = ParseFixture("continued-lines.obj");
    // The comment's continuation ("v 9 9 9") stays a comment; the last line has no line end.
    ASSERT_EQ(o.positions.size(), 4u);
    ExpectVec(o.positions[0], 0.0f, 1.0f, 0.0f);
    ExpectVec(o.positions[2], 0.0f, 0.0f, 1.0f);
    ExpectVec(o.positions[3], 0.02f, 0.02f, 0.02f);
    ASSERT_EQ(o.triangles.size(), 1u);
    ExpectCorners(o.triangles[0], 0, 1, 2);
    EXPECT_EQ(o.line_count, 11u);
}

TEST(ObjTextDialects, LoneCarriageReturnsEndLines) {
    ObjText o = ParseFixture("cr-only-lines.obj");
    ASSERT_EQ(o.positions.size(), 3u);
    ASSERT_EQ(o.triangles.size(), 2u);
    ExpectCorners(o.triangles[1], 2, 1, 0);
    ExpectVec(o.texcoords[0], 0.25f, 0.25f, 0.0f);
    ASSERT_EQ(o.directives.size(), 1u);
    EXPECT_EQ(o.directives[0].text, "red");
    EXPECT_EQ(o.directives[0].triangle, 0u);
}

TEST(ObjTextDialects, InvalidTexcoordOrNormalIndicesKeepTheFace) {
    ObjText o = ParseFixture("invalid-attribute-indices.obj");
    ASSERT_EQ(o.triangles.size(), 4u);
    ExpectAllIndicesValid(o);
    EXPECT_EQ(o.normals_in_file, 0u);
    EXPECT_EQ(o.texcoords_in_file, 1u);
    // Every face gets the flat normal that the plain "f 1 2 3" gets, and corners whose
    // texture coordinate names nothing get the appended (0, 0).
    const cMath::vector4 flat = o.normals[o.triangles[3].nrm0];
    for (const tiangle_face& t : o.triangles) {
        for (uint32_t n : {t.nrm0, t.nrm1, t.nrm2}) ExpectVec(o.normals[n], flat.x, flat.y, flat.z);
    }
    ExpectVec(o.texcoords[o.triangles[1].uv0], 0.0f, 0.0f, 0.0f);
    ExpectVec(o.texcoords[o.triangles[1].uv2], 0.5f, 0.5f, 0.0f);
    ExpectVec(o.texcoords[o.triangles[2].uv1], 0.0f, 0.0f, 0.0f);
}

// Random statements built from OBJ fragments: whatever they hold, every stored index is valid.
TEST(ObjTextRobustness, RandomStatementsKeepEveryIndexValid) {
    const char* pieces[] = {"v ", "vt ", "vn ", "f ", "l ", "usemtl ", "mtllib ", "1", "-1", "2", "-3",
                            "0", "7", "/", "//", " ", "\t", ".5", "e9", "-", "\r", "\n", "\n", "#",
                            "99999999999", "4294967296", "1.5e2", "x"};
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int n = int(rng() % 400);
        for (int i = 0; i < n; ++i) text += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
        ObjText o = Parse(text);
        ExpectAllIndicesValid(o);
        for (const ObjDirective& d : o.directives) {
            if (d.kind == ObjDirective::kUseMaterial) {
                EXPECT_LE(d.triangle, o.triangles.size());
            }
        }
    }
}
