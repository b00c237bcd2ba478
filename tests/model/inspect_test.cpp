// The command-line inspector: runs the program on fixtures and reads its `key: value` lines.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <string>

#ifdef MORVA_INSPECT_PROGRAM

namespace {

struct Inspection {
    std::map<std::string, std::string> values;
    int status = -1;
};

Inspection Inspect(const std::string& file) {
    Inspection result;
    const std::string command = std::string("'") + MORVA_INSPECT_PROGRAM + "' '" + file + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        const size_t colon = text.find(": ");
        if (colon == std::string::npos) continue;
        std::string value = text.substr(colon + 2);
        while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
        result.values[text.substr(0, colon)] = value;
    }
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

}  // namespace

TEST(Inspector, ReportsCountsBoxAndTreeOfAModel) {
    Inspection r = Inspect(std::string(MORVA_TEST_DATA_DIR) + "/quad-face.obj");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.values["readable"], "yes");
    EXPECT_EQ(r.values["triangles"], "5");
    EXPECT_EQ(r.values["positions"], "5");
    EXPECT_EQ(r.values["normals"], "1");
    EXPECT_EQ(r.values["normals_generated"], "0");
    EXPECT_EQ(r.values["texcoords"], "4");
    EXPECT_EQ(r.values["texcoords_generated"], "0");
    EXPECT_EQ(r.values["materials"], "0");
    EXPECT_EQ(r.values["switches"], "0");
    EXPECT_EQ(r.values["bbox_min"], "0 0 0");
    EXPECT_EQ(r.values["bbox_max"], "1 0 1.5");
    EXPECT_EQ(r.values["tree_nodes"], "1");
    EXPECT_EQ(r.values["tree_depth"], "1");
    EXPECT_FALSE(r.values["load_ms"].empty());
}

TEST(Inspector, ReportsMaterialsAndFailedMaps) {
    Inspection r = Inspect(std::string(MORVA_TEST_DATA_DIR) + "/mtl-in-other-folder/model.obj");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.values["materials"], "1");
    EXPECT_EQ(r.values["switches"], "1");
    EXPECT_EQ(r.values["maps"], "3");
    EXPECT_EQ(r.values["maps_failed"], "1");
    EXPECT_EQ(r.values["material_0"], "painted");
    const std::string map = r.values["material_0_diffuse_map"];
    const std::string tail = "/maps/checker.png";
    ASSERT_GE(map.size(), tail.size());
    EXPECT_EQ(map.substr(map.size() - tail.size()), tail);
}

TEST(Inspector, TellsCountsReadFromThoseTheLoaderMadeAndMissingMaps) {
    Inspection r = Inspect(std::string(MORVA_TEST_DATA_DIR) + "/inspect-generated/model.obj");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.values["triangles"], "3");
    EXPECT_EQ(r.values["normals"], "1");
    EXPECT_EQ(r.values["normals_generated"], "2");
    EXPECT_EQ(r.values["texcoords"], "1");
    EXPECT_EQ(r.values["texcoords_generated"], "1");
    EXPECT_EQ(r.values["material_0"], "found");
    EXPECT_EQ(r.values["material_1"], "lost");
    EXPECT_EQ(r.values["material_1_diffuse_map"], "missing");
    EXPECT_EQ(r.values["material_2_diffuse_map"], "none");
    const std::string map = r.values["material_0_diffuse_map"];
    EXPECT_EQ(map.substr(map.find_last_of('/') + 1), "dot.png");
}

TEST(Inspector, TellsAnUnreadableFileByStatusAndLine) {
    Inspection r = Inspect(std::string(MORVA_TEST_DATA_DIR) + "/no-such-model.obj");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.values["readable"], "no");
    EXPECT_EQ(r.values["triangles"], "0");
}

#endif
