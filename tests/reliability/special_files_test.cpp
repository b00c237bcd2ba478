// Special files never block and never stream: a FIFO named as a project, a model, a
// material file or a texture, and files of /proc that report 0 bytes (some, like
// /proc/kmsg, would deliver data without end). Each case runs in a child process with an
// alarm, so that a reader that waits shows up as a failure instead of a hung test.
#include "model/file_bytes.h"
#include "model/obj_text.h"
#include "platform/files.h"
#include "project/project.h"
#include "project/project_file.h"
#include "tests/reliability/child_process.h"
#include "tests/support/gl_test.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace reliability {
namespace {

constexpr unsigned kAlarmSeconds = 20;

// Runs `check` in a child process; its exit status (0 when every expectation held), or
// 128 + SIGALRM when it was still waiting after kAlarmSeconds.
int InChild(const std::function<bool()>& check) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(kAlarmSeconds);
        ::_exit(check() ? 0 : 1);
    }
    return child < 0 ? -1 : WaitFor(child);
}

class SpecialFiles : public ::testing::Test {
protected:
    std::string dir, fifo;
    void SetUp() override {
        dir = morva_test::MakeTempDir();
        ASSERT_FALSE(dir.empty());
        fifo = dir + "/pipe";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void ExpectFinishes(const char* what, const std::function<bool()>& check) {
        const int status = InChild(check);
        EXPECT_NE(status, 128 + SIGALRM) << what << ": still waiting after " << kAlarmSeconds << " s";
        EXPECT_EQ(status, 0) << what;
    }
};

TEST_F(SpecialFiles, FifosAreRefusedWithoutWaitingForAWriter) {
    ExpectFinishes("open", [&] {
        files::ReadableFile file;
        return files::OpenForReading(fifo.c_str(), file) == files::OpenStatus::kNotRegular && !file.IsOpen();
    });
    ExpectFinishes("model", [&] {
        ObjText text;
        FileBytes bytes;
        return !ReadObjFile(fifo.c_str(), text) && !ReadFileBytes(fifo.c_str(), bytes);
    });
    ExpectFinishes("project", [&] {
        std::vector<uint8_t> bytes;
        project p(nullptr);
        return !ReadWholeFile(fifo.c_str(), &bytes) && !p.OpenData(const_cast<char*>(fifo.c_str()));
    });
    ExpectFinishes("image or shader source", [&] {
        std::string bytes = "kept";
        return !files::ReadWholeFile(fifo.c_str(), 1 << 20, bytes) && bytes == "kept";
    });
    // A log written to a FIFO nobody reads: refused, not waited on.
    ExpectFinishes("log", [&] { return !files::WriteWholeFile(fifo.c_str(), "log", 3); });
    // Saving over a FIFO never replaces it (nor waits on it).
    ExpectFinishes("save", [&] {
        return !files::WriteFileAtomically(fifo.c_str(), "x", 1);
    });
    EXPECT_TRUE(fs::is_fifo(fifo));
}

// /proc files report 0 bytes whatever they hold: read as empty, at once. /proc/kmsg waits for
// kernel messages and never ends; it is tried when this user may open it (root).
TEST_F(SpecialFiles, FilesReportingZeroBytesAreReadAsEmpty) {
    std::vector<std::string> paths = {"/proc/self/status", "/proc/self/environ"};
    const int kmsg = ::open("/proc/kmsg", O_RDONLY | O_NONBLOCK);
    if (kmsg >= 0) {
        ::close(kmsg);
        paths.push_back("/proc/kmsg");
    } else {
        std::printf("/proc/kmsg cannot be opened by this user: tried with /proc/self files only\n");
    }
    for (const std::string& path : paths) {
        ExpectFinishes(path.c_str(), [&] {
            files::ReadableFile file;
            if (files::OpenForReading(path.c_str(), file) != files::OpenStatus::kOpened || file.size != 0) return false;
            std::string text = "x";
            FileBytes bytes;
            ObjText obj;
            return files::ReadWholeFile(path.c_str(), 1 << 20, text) && text.empty() &&
                   ReadFileBytes(path.c_str(), bytes) && bytes.size == 0 && ReadObjFile(path.c_str(), obj) &&
                   obj.positions.empty();
        });
    }
}

}  // namespace
}  // namespace reliability
