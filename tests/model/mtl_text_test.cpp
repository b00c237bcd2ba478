// MTL text reader: defaults, statements with any indentation, the illum rule, map options.
#include "model/file_bytes.h"
#include "model/mtl_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

MtlText Parse(const std::string& text) {
    MtlText out;
    ParseMtlText(text.data(), text.data() + text.size(), out);
    return out;
}

void ExpectTriple(const float* v, float a, float b, float c) {
    EXPECT_FLOAT_EQ(v[0], a);
    EXPECT_FLOAT_EQ(v[1], b);
    EXPECT_FLOAT_EQ(v[2], c);
}

}  // namespace

TEST(MtlText, NewmtlAloneHasDefaults) {
    MtlText t = Parse("newmtl bare\n");
    ASSERT_EQ(t.materials.size(), 1u);
    const material& m = t.materials[0];
    EXPECT_EQ(m.name, "bare");
    ExpectTriple(m.Kd, 0.8f, 0.8f, 0.8f);
    ExpectTriple(m.Ka, 0.2f, 0.2f, 0.2f);
    ExpectTriple(m.Ks, 1.0f, 1.0f, 1.0f);
    ExpectTriple(m.Ke, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(m.d, 1.0f);
    EXPECT_EQ(m.Ni, 1.0f);
    EXPECT_EQ(m.Ns, 0.0f);
    EXPECT_EQ(m.illum, 0.0f);
    int units[kMaterialMapCount];
    MaterialUnits(m, units);
    for (int u : units) EXPECT_EQ(u, 0);
    EXPECT_TRUE(t.maps.empty());
}

TEST(MtlText, ReadsStatementsIndentedAnyWayOrNotAtAll) {
    FileBytes bytes;
    ASSERT_TRUE(ReadFileBytes(MORVA_TEST_DATA_DIR "/unindented-mtl.mtl", bytes));
    MtlText t;
    ParseMtlText(bytes.begin(), bytes.end(), t);
    ASSERT_EQ(t.materials.size(), 2u);
    const material& plain = t.materials[0];
    EXPECT_EQ(plain.name, "plain");
    ExpectTriple(plain.Kd, 1.0f, 0.5f, 0.0f);
    ExpectTriple(plain.Ka, 0.3f, 0.3f, 0.3f);
    ExpectTriple(plain.Ks, 0.0f, 0.0f, 0.0f);
    ExpectTriple(plain.Ke, 0.1f, 0.2f, 0.3f);
    EXPECT_FLOAT_EQ(plain.Ns, 96.0f);
    EXPECT_FLOAT_EQ(plain.d, 0.5f);
    EXPECT_FLOAT_EQ(plain.Ni, 1.45f);
    EXPECT_FLOAT_EQ(plain.illum, 1.0f);
    const material& tabbed = t.materials[1];
    EXPECT_EQ(tabbed.name, "tabbed");
    ExpectTriple(tabbed.Kd, 0.0f, 1.0f, 0.0f);
    ExpectTriple(tabbed.Tf, 1.0f, 1.0f, 1.0f);
}

TEST(MtlText, StatementsBeforeFirstNewmtlAreIgnored) {
    MtlText t = Parse("Kd 0 0 0\nmap_Kd early.png\nnewmtl m\n");
    ASSERT_EQ(t.materials.size(), 1u);
    ExpectTriple(t.materials[0].Kd, 0.8f, 0.8f, 0.8f);
    EXPECT_TRUE(t.maps.empty());
}

TEST(MtlText, IllumStoresWrittenNumberMinusOneUpToTwo) {
    MtlText t = Parse("newmtl a\n\tillum 2\nnewmtl b\n\tillum 0\nnewmtl c\n\tillum 1\nnewmtl d\n\tillum 5\n"
                      "newmtl e\nillum\n");
    ASSERT_EQ(t.materials.size(), 5u);
    EXPECT_EQ(t.materials[0].illum, 1.0f);
    EXPECT_EQ(t.materials[1].illum, 2.0f);
    EXPECT_EQ(t.materials[2].illum, 0.0f);
    EXPECT_EQ(t.materials[3].illum, 2.0f);
    EXPECT_EQ(t.materials[4].illum, 0.0f);
}

TEST(MtlText, KeywordsNeedABlank) {
    MtlText t = Parse("newmtl m\nKdx 0 0 0\nmap_Kdx a.png\n");
    ASSERT_EQ(t.materials.size(), 1u);
    ExpectTriple(t.materials[0].Kd, 0.8f, 0.8f, 0.8f);
    EXPECT_TRUE(t.maps.empty());
}

TEST(MtlText, MapStatementsSkipOptionsBeforeTheFileName) {
    MtlText t = Parse("newmtl m\n"
                      "map_Kd -bm 0.5 -clamp on -o 0.1 0.2 tex/a b.png\n"
                      "map_Ka -o 1 2 3 -s 1 -imfchan r amb.png\n"
                      "  map_Ks -mm 0 1 -type sphere -texres 512 shiny.png  \n"
                      "map_Ns -boost 2 -blendu off -blendv on -cc off -t 1 1 shine.png\n"
                      "map_d -unknown 1 2 3 alpha.png\n"
                      "map_Ke glow.png\n");
    ASSERT_EQ(t.maps.size(), 6u);
    EXPECT_EQ(t.maps[0].path, "tex/a b.png");
    EXPECT_EQ(t.maps[0].unit, kMapDiffuse);
    EXPECT_EQ(t.maps[1].path, "amb.png");
    EXPECT_EQ(t.maps[1].unit, kMapAmbient);
    EXPECT_EQ(t.maps[2].path, "shiny.png");
    EXPECT_EQ(t.maps[2].unit, kMapSpecular);
    EXPECT_EQ(t.maps[3].path, "shine.png");
    EXPECT_EQ(t.maps[3].unit, kMapShininess);
    EXPECT_EQ(t.maps[4].path, "alpha.png");
    EXPECT_EQ(t.maps[4].unit, kMapAlpha);
    EXPECT_EQ(t.maps[5].unit, kMapEmissive);
    for (const MtlMapStatement& m : t.maps) EXPECT_EQ(m.material, 0u);
}

TEST(MtlText, AcceptsEveryBumpSpelling) {
    MtlText t = Parse("newmtl m\nmap_Bump a.png\nmap_bump b.png\nbump -bm 2 c.png\n");
    ASSERT_EQ(t.maps.size(), 3u);
    for (const MtlMapStatement& m : t.maps) EXPECT_EQ(m.unit, kMapBump);
    EXPECT_EQ(t.maps[2].path, "c.png");
}

TEST(MtlText, MapsBelongToTheMaterialAboveThem) {
    MtlText t = Parse("newmtl a\nmap_Kd a.png\nnewmtl b\nmap_Kd b.png\nmap_Kd b2.png\nmap_Kd \n");
    ASSERT_EQ(t.maps.size(), 3u);
    EXPECT_EQ(t.maps[0].material, 0u);
    EXPECT_EQ(t.maps[1].material, 1u);
    EXPECT_EQ(t.maps[2].material, 1u);
    EXPECT_EQ(t.maps[2].path, "b2.png");
}

TEST(MtlText, CarriageReturnsAndOuterBlanksAreNotPartOfNames) {
    MtlText t = Parse("newmtl  red \r\n\tKd 1 0 0\r\nmap_Kd red.png\r\n");
    ASSERT_EQ(t.materials.size(), 1u);
    EXPECT_EQ(t.materials[0].name, "red");
    ExpectTriple(t.materials[0].Kd, 1.0f, 0.0f, 0.0f);
    ASSERT_EQ(t.maps.size(), 1u);
    EXPECT_EQ(t.maps[0].path, "red.png");
}

TEST(MtlText, ReadsNumbersWithExponentsAndLeadingDots) {
    MtlText t = Parse("newmtl m\nKd .5 -.25 1e-1\nNs 1.5E+2\n");
    ExpectTriple(t.materials[0].Kd, 0.5f, -0.25f, 0.1f);
    EXPECT_FLOAT_EQ(t.materials[0].Ns, 150.0f);
}

// ---- dialects of real files -----------------------------------------------------------

MtlText ParseFixture(const char* name) {
    FileBytes bytes;
    const std::string path = std::string(MORVA_TEST_DATA_DIR) + "/" + name;
    EXPECT_TRUE(ReadFileBytes(path.c_str(), bytes)) << path;
    MtlText out;
    ParseMtlText(bytes.begin(), bytes.end(), out);
    return out;
}

TEST(MtlTextDialects, ByteOrderMarkDoesNotHideTheFirstMaterial) {
    MtlText t = ParseFixture("mtl-byte-order-mark.mtl");
    ASSERT_EQ(t.materials.size(), 1u);
    EXPECT_EQ(t.materials[0].name, "first");
    ExpectTriple(t.materials[0].Kd, 1.0f, 0.0f, 0.0f);
}

TEST(MtlTextDialects, LoneCarriageReturnsEndLines) {
    MtlText t = ParseFixture("mtl-cr-only-lines.mtl");
    ASSERT_EQ(t.materials.size(), 2u);
    EXPECT_EQ(t.materials[1].name, "b");
    ExpectTriple(t.materials[0].Kd, 1.0f, 0.0f, 0.0f);
    ExpectTriple(t.materials[1].Kd, 0.0f, 1.0f, 0.0f);
}

TEST(MtlTextDialects, LineEndingInBackslashGoesOnWithTheNextLine) {
    MtlText t = ParseFixture("mtl-continued-lines.mtl");
    ASSERT_EQ(t.materials.size(), 1u);
    ExpectTriple(t.materials[0].Kd, 1.0f, 0.5f, 0.0f);
    EXPECT_FLOAT_EQ(t.materials[0].Ns, 7.0f);
    ASSERT_EQ(t.maps.size(), 1u);
    EXPECT_EQ(t.maps[0].path, "tex.png");
}

TEST(MtlTextDialects, KeywordsIgnoreLetterCase) {
    MtlText t = ParseFixture("mtl-keyword-case.mtl");
    ASSERT_EQ(t.materials.size(), 1u);
    ExpectTriple(t.materials[0].Kd, 1.0f, 0.0f, 0.0f);
    ExpectTriple(t.materials[0].Ka, 0.0f, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(t.materials[0].illum, 1.0f);
    ASSERT_EQ(t.maps.size(), 3u);
    EXPECT_EQ(t.maps[0].unit, kMapDiffuse);
    EXPECT_EQ(t.maps[0].path, "diffuse.png");
    EXPECT_EQ(t.maps[1].unit, kMapBump);
    EXPECT_EQ(t.maps[2].path, "second.png");
}

TEST(MtlTextDialects, MapNameIsTheWordThatIsNeitherOptionNorArgument) {
    MtlText t = ParseFixture("mtl-map-paths.mtl");
    const char* expected[] = {"textures/wood/oak.png", "oak.png", "oak.png", "oak.png",
                              "my textures/oak wood.png", "my textures/oak wood.png", "oak.png"};
    ASSERT_EQ(t.maps.size(), 7u);
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(t.maps[i].path, expected[i]) << t.materials[t.maps[i].material].name;
        EXPECT_EQ(t.maps[i].material, i);
    }
}

TEST(MaterialRecord, ValuesAndUnitsFollowUniformOrder) {
    material m;
    m.Kd[0] = 1;
    m.Tf[2] = 7;
    m.illum = 2;
    m.tex_alpha = 10;
    m.tex_bump = 12;
    m.tex_specular = 16;
    float values[kMaterialFloatCount];
    int units[kMaterialMapCount];
    MaterialValues(m, values);
    MaterialUnits(m, units);
    EXPECT_EQ(values[0], 1.0f);
    EXPECT_EQ(values[3], 0.2f);   // Ka
    EXPECT_EQ(values[14], 7.0f);  // Tf z
    EXPECT_EQ(values[15], 1.0f);  // d
    EXPECT_EQ(values[18], 2.0f);  // illum
    EXPECT_EQ(units[0], 10);
    EXPECT_EQ(units[2], 12);
    EXPECT_EQ(units[6], 16);
    EXPECT_EQ(&MaterialTexture(m, kMapDiffuse), &m.tex_diffuse);
}
