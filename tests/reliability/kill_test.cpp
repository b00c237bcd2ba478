// A save killed with SIGKILL at a random moment: the project file is always one complete
// project, the one before or the one being written, never a mix or a cut.
#include "tests/reliability/child_process.h"
#include "tests/reliability/helpers/sample_project.h"
#include "tests/support/gl_test.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace reliability {
namespace {

constexpr int kKills = 200;
// Project A and B: both well over what one write call moves, of different sizes.
constexpr int kCountA = 1500;
constexpr int kCountB = 900;
constexpr int kPathLength = 180;

std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Blocks until the child announced its first complete save; false if it ended first.
bool WaitForFirstSave(int fd) {
    char c = 0;
    while (::read(fd, &c, 1) == 1) {
        if (c == '\n') return true;
    }
    return false;
}

// How long one save of project A takes here, to spread the kills over whole saves.
std::chrono::microseconds TimeOfOneSave(const std::string& file) {
    project p(nullptr);
    FillProject(p, SampleRecords(kCountA, kPathLength, 1));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(p.SaveData(const_cast<char*>(file.c_str())));
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
}

TEST(KilledSave, FileIsAlwaysTheOldOrTheNewProject) {
    const std::string dir = morva_test::MakeTempDir();
    ASSERT_FALSE(dir.empty());
    const std::string file = dir + "/plate.PRJ";
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(SerializeProjectFile(SampleRecords(kCountA, kPathLength, 1), &a));
    ASSERT_TRUE(SerializeProjectFile(SampleRecords(kCountB, kPathLength, 2), &b));
    ASSERT_NE(a.size(), b.size());

    const long window_us = std::max<long>(2000, 3 * TimeOfOneSave(file).count());
    std::mt19937 random(20261208);
    std::uniform_int_distribution<long> delay(0, window_us);
    int saw_a = 0, saw_b = 0;
    int mid_save = 0;  // kills that left a temporary file: they hit a save in progress
    for (int kill = 0; kill < kKills; ++kill) {
        int out = -1;
        const pid_t child = StartSaver({"loop", file, std::to_string(kCountA), std::to_string(kCountB),
                                        std::to_string(kPathLength)},
                                       [] {}, &out);
        ASSERT_GT(child, 0);
        const bool started = WaitForFirstSave(out);
        ::close(out);
        if (started) ::usleep(useconds_t(delay(random)));
        ::kill(child, SIGKILL);
        ASSERT_EQ(WaitFor(child), 128 + SIGKILL);
        ASSERT_TRUE(started) << "the saver ended before its first save";

        const std::vector<uint8_t> now = Bytes(file);
        ASSERT_TRUE(now == a || now == b) << "kill " << kill << ": a torn project file of " << now.size()
                                          << " bytes";
        (now == a ? saw_a : saw_b) += 1;
        std::vector<ProjectRecord> records;
        ASSERT_TRUE(ParseProjectFile(now.data(), now.size(), &records));
        // A killed save may leave its temporary file; it never replaces the project.
        bool left_temporary = false;
        for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
            if (e.path() == fs::path(file)) continue;
            left_temporary = true;
            fs::remove(e.path());
        }
        mid_save += left_temporary ? 1 : 0;
    }
    // The kills landed at different moments: both projects were seen as the survivor, and
    // many kills hit a save half-way through its temporary file.
    EXPECT_GT(saw_a, 0);
    EXPECT_GT(saw_b, 0);
    EXPECT_GE(mid_save, 5);
    std::printf("kills: %d, old project survived: %d, new: %d, during a save: %d\n", kKills, saw_a, saw_b, mid_save);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

// A process number that no longer exists: a child that has ended and been waited for.
pid_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(KilledSave, NextSaveRemovesTheTemporaryFilesOfKilledSavesOnly) {
    const std::string dir = morva_test::MakeTempDir();
    ASSERT_FALSE(dir.empty());
    const std::string file = dir + "/plate.PRJ";
    const pid_t gone = EndedProcess();
    ASSERT_GT(gone, 0);
    ASSERT_NE(::kill(gone, 0), 0);
    const std::string stale = "plate.PRJ.tmp-" + std::to_string(gone) + "-3";
    const std::vector<std::string> kept = {
        "plate.PRJ.tmp-" + std::to_string(::getpid()) + "-99",   // this process: a save of its own
        "plate.PRJ.tmp-1-0",                                      // a process that exists
        "other.PRJ.tmp-" + std::to_string(gone) + "-0",           // another project's
        "plate.PRJ.tmp-" + std::to_string(gone) + "-x",           // not a temporary name
        "plate.PRJ.tmp-" + std::to_string(gone),
        "plate.PRJ.tmp-99999999999999999999-1",
    };
    for (const std::string& name : kept) std::ofstream(dir + "/" + name) << "x";
    std::ofstream(dir + "/" + stale) << "half a project";
    fs::create_directory(dir + "/plate.PRJ.tmp-" + std::to_string(gone) + "-4");  // not a file

    project p(nullptr);
    FillProject(p, SampleRecords(3, 20, 1));
    ASSERT_TRUE(p.SaveData(const_cast<char*>(file.c_str())));

    EXPECT_FALSE(fs::exists(dir + "/" + stale));
    for (const std::string& name : kept) EXPECT_TRUE(fs::exists(dir + "/" + name)) << name;
    EXPECT_TRUE(fs::is_directory(dir + "/plate.PRJ.tmp-" + std::to_string(gone) + "-4"));
    EXPECT_TRUE(fs::exists(file));
    std::error_code ec;
    fs::remove_all(dir, ec);
}

}  // namespace
}  // namespace reliability
