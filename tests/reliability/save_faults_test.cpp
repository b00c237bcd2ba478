// Saves that fail part-way or cannot start: SaveData returns false, the old file stays byte
// for byte as it was and no temporary file is left behind. The saving runs in a child
// process (reliability_saver) that gets the file-size limit or the unprivileged user.
#include "tests/reliability/child_process.h"
#include "tests/reliability/helpers/sample_project.h"
#include "tests/support/gl_test.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace reliability {
namespace {

constexpr int kSaved = 0;
constexpr int kSaveFailed = 3;

std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> ExpectedBytes(int count, int path_length, int seed) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(SerializeProjectFile(SampleRecords(count, path_length, seed), &bytes));
    return bytes;
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs in the child: no process of the test suite may write files above `bytes`.
std::function<void()> FileSizeLimit(rlim_t bytes) {
    return [bytes] {
        std::signal(SIGXFSZ, SIG_IGN);  // a failing write, not a killed process
        struct rlimit limit {bytes, bytes};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
    };
}

// Runs in the child: as the unprivileged user when the tests run as root, with the leak
// checker's options (if any) pointing at a copy it can read.
std::function<void()> Unprivileged(const std::string& lsan_options = std::string()) {
    return [lsan_options] {
        if (!lsan_options.empty()) ::setenv("LSAN_OPTIONS", lsan_options.c_str(), 1);
        if (::geteuid() == 0 && (::setgid(kUnprivilegedId) != 0 || ::setuid(kUnprivilegedId) != 0)) ::_exit(126);
    };
}

// Whether the unprivileged user can run `program` and enter `folder`, tried in a child.
bool UnprivilegedCanReach(const std::string& program, const std::string& folder) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(kUnprivilegedId) != 0 || ::setuid(kUnprivilegedId) != 0)) ::_exit(2);
        ::_exit(::access(program.c_str(), X_OK) == 0 && ::access(folder.c_str(), X_OK) == 0 ? 0 : 1);
    }
    return pid > 0 && WaitFor(pid) == 0;
}

class SaveFaults : public ::testing::Test {
protected:
    std::string root;    // reachable by the unprivileged user
    std::string dir;     // holds the project file
    std::string file;
    std::vector<uint8_t> old;

    void SetUp() override {
        root = morva_test::MakeTempDir();
        ASSERT_FALSE(root.empty());
        ASSERT_EQ(::chmod(root.c_str(), 0755), 0);
        dir = root + "/plates";
        ASSERT_EQ(::mkdir(dir.c_str(), 0777), 0);
        ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
        file = dir + "/plate.PRJ";
        ASSERT_EQ(RunSaver({"once", file, "12", "40", "5"}), kSaved);
        old = Bytes(file);
        ASSERT_EQ(old, ExpectedBytes(12, 40, 5));
    }
    void TearDown() override {
        ::chmod(dir.c_str(), 0777);
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    // The saver and what it reads, copied into `root`: the checkout (and the build in it) may
    // lie under a folder that only its owner may enter, where the unprivileged child could
    // not start its program. Empty, with `why` set, when even the copy cannot be reached.
    std::string ReachableSaver(std::string& lsan_options, std::string& why) {
        const std::string copy = root + "/reliability_saver";
        std::error_code ec;
        fs::copy_file(MORVA_RELIABILITY_SAVER, copy, fs::copy_options::overwrite_existing, ec);
        if (ec || ::chmod(copy.c_str(), 0755) != 0) {
            why = "cannot copy the saver program into " + root;
            return std::string();
        }
        const char* options = std::getenv("LSAN_OPTIONS");
        const std::string key = "suppressions=";
        const std::string text = options ? options : "";
        const size_t at = text.find(key);
        if (at != std::string::npos) {
            const size_t end = text.find(':', at);
            const std::string supp = text.substr(at + key.size(), end == std::string::npos ? end : end - at - key.size());
            const std::string supp_copy = root + "/lsan.supp";
            fs::copy_file(supp, supp_copy, fs::copy_options::overwrite_existing, ec);
            if (!ec) ::chmod(supp_copy.c_str(), 0644);
            lsan_options = text.substr(0, at) + key + supp_copy + (end == std::string::npos ? "" : text.substr(end));
        }
        if (!UnprivilegedCanReach(copy, dir)) {
            why = "the unprivileged user (uid " + std::to_string(kUnprivilegedId) + ") cannot reach " + root +
                  ": set TMPDIR to a folder every user may enter";
            return std::string();
        }
        return copy;
    }
    void ExpectOldFileAlone() {
        EXPECT_EQ(Bytes(file), old) << "the old project file changed";
        EXPECT_EQ(Entries(dir), std::vector<std::string>{"plate.PRJ"}) << "a temporary file was left behind";
    }
};

TEST_F(SaveFaults, WriteCutByTheFileSizeLimitKeepsTheOldFile) {
    // About 380 KB to write; each limit stops it at another point, the first before a byte.
    for (rlim_t limit : {rlim_t(0), rlim_t(1), rlim_t(11), rlim_t(4096), rlim_t(65536), rlim_t(300000)}) {
        SCOPED_TRACE(limit);
        EXPECT_EQ(RunSaver({"once", file, "2000", "100", "9"}, FileSizeLimit(limit)), kSaveFailed);
        ExpectOldFileAlone();
    }
    // The same save without a limit goes through.
    ASSERT_EQ(RunSaver({"once", file, "2000", "100", "9"}), kSaved);
    EXPECT_EQ(Bytes(file), ExpectedBytes(2000, 100, 9));
}

TEST_F(SaveFaults, ReadOnlyFolderKeepsTheOldFileEvenWhenTheFileIsWritable) {
    std::string lsan_options, why;
    const std::string saver = ReachableSaver(lsan_options, why);
    if (saver.empty()) GTEST_SKIP() << why;
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
    EXPECT_EQ(RunSaver({"once", file, "30", "60", "6"}, Unprivileged(lsan_options), saver), kSaveFailed);
    ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
    ExpectOldFileAlone();
}

TEST_F(SaveFaults, ReadOnlyFileInAWritableFolderIsNotReplaced) {
    std::string lsan_options, why;
    const std::string saver = ReachableSaver(lsan_options, why);
    if (saver.empty()) GTEST_SKIP() << why;
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_EQ(RunSaver({"once", file, "30", "60", "6"}, Unprivileged(lsan_options), saver), kSaveFailed);
    ExpectOldFileAlone();
}

TEST_F(SaveFaults, TargetThatIsAFolderStaysAFolderWithItsContent) {
    const std::string target = dir + "/folder.PRJ";
    ASSERT_EQ(::mkdir(target.c_str(), 0777), 0);
    std::ofstream(target + "/inside.txt") << "keep";
    EXPECT_EQ(RunSaver({"once", target, "3", "20", "7"}), kSaveFailed);
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(Entries(target), std::vector<std::string>{"inside.txt"});
    EXPECT_EQ(Entries(dir), (std::vector<std::string>{"folder.PRJ", "plate.PRJ"}));
    EXPECT_EQ(Bytes(file), old);
}

TEST_F(SaveFaults, FolderThatDoesNotExistCreatesNothing) {
    EXPECT_EQ(RunSaver({"once", dir + "/missing/plate.PRJ", "3", "20", "7"}), kSaveFailed);
    ExpectOldFileAlone();
}

}  // namespace
}  // namespace reliability
