// The Linux chooser: zenity (kdialog when zenity is missing) run as a child process made
// transient for the editor's window; the path it prints is the answer.
#include "platform/cdialog_native.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

// The chooser prints one path; anything longer than this is not a path we can use.
constexpr size_t kMaxChooserOutput = 64 * 1024;

std::string FindOnPath(const char* name) {
    const char* path = std::getenv("PATH");
    if (!path || !*path) path = "/usr/local/bin:/usr/bin:/bin";
    std::string dirs(path);
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty()) dir = ".";
        std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return std::string();
}

bool IsKdialog(const std::string& program) {
    size_t slash = program.find_last_of('/');
    std::string base = slash == std::string::npos ? program : program.substr(slash + 1);
    return base.find("kdialog") != std::string::npos;
}

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (passwd* pw = getpwuid(getuid())) {
        if (pw->pw_dir && *pw->pw_dir) return pw->pw_dir;
    }
    return "/";
}

struct ChildResult {
    bool started = false;
    int exit_code = -1;
    std::string output;
};

// Runs argv without a shell, collects its standard output and waits for it to end.
ChildResult RunChooser(const std::vector<std::string>& args) {
    ChildResult result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return result;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return result;
    }
    result.started = true;

    char chunk[4096];
    for (;;) {
        ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (result.output.size() < kMaxChooserOutput) result.output.append(chunk, size_t(n));
    }
    close(fds[0]);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return result;
    }
    // A program that could not be executed at all ends with 127 from the spawned child.
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    if (result.exit_code == 127) result.started = false;
    return result;
}

std::string FirstLine(const std::string& s) {
    size_t end = s.find('\n');
    std::string line = end == std::string::npos ? s : s.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

cdialog_choice ShowNativeChooser(cdialog& d, bool save, const char* title, const char* filter) {
    cdialog_choice choice;
    std::string program = d.chooser;
    if (program.empty()) program = FindOnPath("zenity");
    if (program.empty()) program = FindOnPath("kdialog");
    if (program.empty()) {
        choice.failure = Dialog_Unavailable;
        return choice;
    }

    std::vector<cdialog_filter> filters = ParseDialogFilter(filter);
    unsigned long parent = d.owner ? morva::GetNativeWindowId(d.owner) : 0;
    std::string start = HomeDirectory();
    std::vector<std::string> args =
        IsKdialog(program) ? KdialogArguments(program, save, title, filters, start, parent)
                           : ZenityArguments(program, save, title, filters, start, parent);

    ChildResult child = RunChooser(args);
    if (!child.started) {
        choice.failure = Dialog_Unavailable;
        return choice;
    }
    if (child.exit_code != 0) {
        choice.failure = Dialog_Cancelled;
        return choice;
    }
    choice.path = FirstLine(child.output);
    choice.failure = choice.path.empty() ? Dialog_Cancelled : Dialog_None;
    return choice;
}

cdialog_reply AskNativeQuestion(cdialog& d, const std::string& title, const std::string& text,
                                const std::string& ok_label, bool with_discard) {
    std::string program = d.chooser;
    if (program.empty()) program = FindOnPath("zenity");
    if (program.empty()) program = FindOnPath("kdialog");
    if (program.empty()) {
        d.last_failure = Dialog_Unavailable;
        return Reply_Cancel;
    }
    const unsigned long parent = d.owner ? morva::GetNativeWindowId(d.owner) : 0;
    const bool kdialog = IsKdialog(program);
    const std::vector<std::string> args =
        kdialog ? KdialogQuestionArguments(program, title, text, ok_label, with_discard, parent)
                : ZenityQuestionArguments(program, title, text, ok_label, with_discard, parent);
    ChildResult child = RunChooser(args);
    if (!child.started) {
        d.last_failure = Dialog_Unavailable;
        return Reply_Cancel;
    }
    const cdialog_reply reply = QuestionReply(kdialog, with_discard, child.exit_code, child.output);
    d.last_failure = reply == Reply_Cancel ? Dialog_Cancelled : Dialog_None;
    return reply;
}
