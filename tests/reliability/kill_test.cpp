// A save killed with SIGKILL at a random moment: the project file is always one complete
// project, the one before or the one being written, never a mix or a cut.
#include "tests/reliability/child_process.h"
#include "tests/reliability/helpers/sample_project.h"
#include "platform/files.h"
#include "tests/support/gl_test.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
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

// The temporaries of killed saves are removed by the next save of the same project; a
// temporary a live save holds, other projects' files, other names and anything that is not a
// regular file stay.
TEST(KilledSave, NextSaveRemovesOnlyTheTemporariesNobodyHolds) {
    const std::string dir = morva_test::MakeTempDir();
    ASSERT_FALSE(dir.empty());
    const std::string file = dir + "/plate.PRJ";
    const std::vector<std::string> stale = {"plate.PRJ.tmp-0123abcd", "plate.PRJ.tmp-ffffffff"};
    const std::vector<std::string> kept = {
        "other.PRJ.tmp-0123abcd",                                  // another project's
        "plate.PRJ.tmp-0123abcx", "plate.PRJ.tmp-0123abc",          // not temporary names
        "plate.PRJ.tmp-0123abcd0", "plate.PRJ.tmp-0123ABCD",
        "plate.PRJ.tmp-" + std::to_string(::getpid()) + "-3",       // the names older saves used
    };
    for (const std::string& name : kept) std::ofstream(dir + "/" + name) << "x";
    for (const std::string& name : stale) std::ofstream(dir + "/" + name) << "half a project";
    fs::create_directory(dir + "/plate.PRJ.tmp-0000beef");                        // not a file
    ASSERT_EQ(::mkfifo((dir + "/plate.PRJ.tmp-0000feed").c_str(), 0600), 0);      // not a file
    const std::string outside = dir + "/outside.txt";
    std::ofstream(outside) << "not ours";
    fs::create_symlink(outside, dir + "/plate.PRJ.tmp-0000abcd");                 // a link
    // A save of the same project still being written by this process.
    files::AtomicWrite live;
    ASSERT_TRUE(files::BeginAtomicWrite(file.c_str(), live));
    ASSERT_TRUE(files::WriteBytes(live, "live", 4));

    project p(nullptr);
    FillProject(p, SampleRecords(3, 20, 1));
    ASSERT_TRUE(p.SaveData(const_cast<char*>(file.c_str())));

    for (const std::string& name : stale) EXPECT_FALSE(fs::exists(dir + "/" + name)) << name;
    for (const std::string& name : kept) EXPECT_TRUE(fs::exists(dir + "/" + name)) << name;
    EXPECT_TRUE(fs::is_directory(dir + "/plate.PRJ.tmp-0000beef"));
    EXPECT_TRUE(fs::is_fifo(dir + "/plate.PRJ.tmp-0000feed"));
    EXPECT_TRUE(fs::is_symlink(dir + "/plate.PRJ.tmp-0000abcd"));
    EXPECT_TRUE(fs::exists(outside));
    EXPECT_TRUE(fs::exists(live.temporary)) << "a live save lost its temporary";
    EXPECT_TRUE(files::FinishAtomicWrite(live));
    EXPECT_EQ(Bytes(file), std::vector<uint8_t>({'l', 'i', 'v', 'e'}));
    std::error_code ec;
    fs::remove_all(dir, ec);
}

// Every byte `fd` delivers until it is closed, as text.
std::string ReadToEnd(int fd) {
    std::string text;
    char c = 0;
    while (::read(fd, &c, 1) == 1) text += c;
    return text;
}

// A save by a process this one cannot see (another PID namespace, another machine on a
// shared folder): simulated by a save whose first process ended after a second one it
// started took over the open temporary. Another save of the same project meanwhile leaves
// that temporary alone, and the live save completes.
TEST(CoexistingSaves, ALiveSaveIsNotDisturbedWhateverItsProcessNumber) {
    const std::string dir = morva_test::MakeTempDir();
    ASSERT_FALSE(dir.empty());
    const std::string file = dir + "/plate.PRJ";
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(SerializeProjectFile(SampleRecords(200, 60, 1), &a));
    ASSERT_TRUE(SerializeProjectFile(SampleRecords(100, 60, 2), &b));
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    const pid_t first = ::fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        ::close(ready[0]);
        ::close(go[1]);
        static files::AtomicWrite write;  // never destroyed: the second process carries it on
        if (!files::BeginAtomicWrite(file.c_str(), write) || !files::WriteBytes(write, a.data(), a.size() / 2)) {
            ::_exit(2);
        }
        if (::fork() != 0) ::_exit(0);  // the process that began the save ends
        if (::write(ready[1], "r", 1) != 1) ::_exit(3);
        char c = 0;
        if (::read(go[0], &c, 1) != 1) ::_exit(3);
        const bool ok = files::WriteBytes(write, a.data() + a.size() / 2, a.size() - a.size() / 2) &&
                        files::FinishAtomicWrite(write);
        ::_exit(::write(ready[1], ok ? "1" : "0", 1) == 1 ? 0 : 3);
    }
    ::close(ready[1]);
    ::close(go[0]);
    ASSERT_EQ(WaitFor(first), 0);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1) << "the save did not get under way";
    ASSERT_NE(::kill(first, 0), 0) << "the process that began the save still exists";
    std::vector<std::string> temporaries;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) temporaries.push_back(e.path().string());
    ASSERT_EQ(temporaries.size(), 1u);

    EXPECT_TRUE(files::WriteFileAtomically(file.c_str(), b.data(), b.size()));
    EXPECT_TRUE(fs::exists(temporaries[0])) << "another save removed a live save's temporary";
    EXPECT_EQ(Bytes(file), b);

    ASSERT_EQ(::write(go[1], "g", 1), 1);
    ::close(go[1]);
    EXPECT_EQ(ReadToEnd(ready[0]), "1") << "the live save failed";
    ::close(ready[0]);
    EXPECT_EQ(Bytes(file), a);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

}  // namespace
}  // namespace reliability
