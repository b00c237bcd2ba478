// Out of memory: imports and project opens run in a child process (reliability_loader) whose
// address space is limited to a few sizes above what it holds. At every limit the command
// either succeeds or fails for want of memory with the user's project as it was, and never
// crashes; with enough room, files whose cost used to multiply (a material switch at every
// triangle, one model named by forty records) load.
#include "project/project_file.h"
#include "tests/reliability/hostile_models.h"
#include "tests/support/gl_test.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace reliability {
namespace {

// The room (MiB above what the child holds before the command) of each run.
constexpr int kRooms[] = {24, 64, 128};

struct ChildOutcome {
    bool exited = false;   // ended by its own exit, not by a signal
    int status = 0;
    std::string output;
    bool ok() const { return output.find("result OK\n") != std::string::npos; }
    bool failed() const { return output.find("result FAIL\n") != std::string::npos; }
    bool unchanged() const { return output.find("unchanged yes\n") != std::string::npos; }
    bool objects(size_t n) const { return output.find("objects " + std::to_string(n) + "\n") != std::string::npos; }
};

ChildOutcome RunLoader(int room, const std::string& command, const std::string& file) {
    const std::string good = std::string(MORVA_TEST_DATA_DIR) + "/good/cube.obj";
    const std::string line = std::string(MORVA_RELIABILITY_LOADER) + " " + std::to_string(room) + " " + command +
                             " '" + file + "' '" + good + "'";
    ChildOutcome outcome;
    std::FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr) return outcome;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) outcome.output += buffer;
    const int status = ::pclose(pipe);
    outcome.exited = WIFEXITED(status);
    outcome.status = outcome.exited ? WEXITSTATUS(status) : -1;
    return outcome;
}

bool Write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return bool(out);
}

class MemoryCaps : public ::testing::Test {
protected:
    std::string scratch;
    void SetUp() override {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "the address sanitizer's allocator aborts instead of failing under a limit";
#endif
        scratch = morva_test::MakeTempDir();
        ASSERT_FALSE(scratch.empty());
    }
    void TearDown() override {
        std::error_code ec;
        if (!scratch.empty()) fs::remove_all(scratch, ec);
    }

    // Every limit: no crash, and either the expected success or a failure for want of memory
    // that names the file and leaves the project as it was. Returns the smallest room (MiB)
    // at which the command succeeded, 0 when none did.
    int RunAtEveryRoom(const std::string& command, const std::string& file, size_t objects_after) {
        int first_ok = 0;
        for (int room : kRooms) {
            SCOPED_TRACE("room " + std::to_string(room) + " MiB, " + command + " " + file);
            const ChildOutcome c = RunLoader(room, command, file);
            EXPECT_TRUE(c.exited) << "the child crashed:\n" << c.output;
            EXPECT_EQ(c.status, 0) << c.output;
            if (c.ok()) {
                EXPECT_TRUE(c.objects(objects_after)) << c.output;
                if (first_ok == 0) first_ok = room;
            } else {
                EXPECT_TRUE(c.failed()) << c.output;
                EXPECT_NE(c.output.find("memory "), std::string::npos) << c.output;
                EXPECT_TRUE(c.unchanged()) << c.output;
            }
        }
        return first_ok;
    }
};

TEST_F(MemoryCaps, ImportsFailCleanlyWhenMemoryRunsOutAndSwitchesCostNoMore) {
    const std::string plain = scratch + "/plain.obj";
    const std::string switching = scratch + "/switching.obj";
    ASSERT_TRUE(Write(plain, GridModel(224, false)));
    ASSERT_TRUE(Write(switching, GridModel(224, true)));
    ASSERT_TRUE(Write(scratch + "/two-colours.mtl", TwoColourMaterials()));
    // The largest room holds either model: switching at each of the 100 000 triangles does
    // not cost a display-list entry per switch (that took 110 MiB more and crashed the
    // driver at the largest room).
    EXPECT_NE(RunAtEveryRoom("import", plain, 2), 0);
    EXPECT_NE(RunAtEveryRoom("import", switching, 2), 0);
}

TEST_F(MemoryCaps, ProjectNamingOneModelFortyTimesOpensInTheRoomOfOne) {
    const std::string model = scratch + "/shared.obj";
    ASSERT_TRUE(Write(model, GridModel(224, false)));
    std::vector<ProjectRecord> records(40);
    for (size_t i = 0; i < records.size(); ++i) {
        records[i].type = 1;
        records[i].path = scratch + "/";
        for (size_t k = 0; k < i; ++k) records[i].path += k % 2 ? "./" : "/";  // forty spellings
        records[i].path += "shared.obj";
        records[i].size = cMath::vector4(0.5f, 0.5f, 0.5f, 0);
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(SerializeProjectFile(records, &bytes));
    const std::string file = scratch + "/forty.PRJ";
    ASSERT_TRUE(WriteFileAtomically(file.c_str(), bytes));
    const int plain_room = RunAtEveryRoom("import", model, 2);
    const int project_room = RunAtEveryRoom("open", file, 40);
    EXPECT_NE(project_room, 0);
    EXPECT_LE(project_room, plain_room == 24 ? 64 : plain_room);
}

TEST_F(MemoryCaps, ModelNamingOneMaterialFileTenThousandTimesLoadsInLittleRoom) {
    ASSERT_TRUE(Write(scratch + "/twelve-kilobytes.mtl", MaterialsOfBytes(12000)));
    const std::string model = scratch + "/named-often.obj";
    ASSERT_TRUE(Write(model, ModelNamingMaterials("twelve-kilobytes.mtl", 10000)));
    EXPECT_EQ(RunAtEveryRoom("import", model, 2), kRooms[0]);
}

}  // namespace
}  // namespace reliability
