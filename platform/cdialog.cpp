#include "platform/cdialog.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

const char* kOpenTitle = "Select File to load";
const char* kSaveTitle = "Select File to save";

// The chooser prints one path; anything longer than this is not a path we can use.
constexpr size_t kMaxChooserOutput = 64 * 1024;

std::string LowerCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string UpperCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

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

std::string JoinPatterns(const cdialog_filter& f) {
    std::string out;
    for (const std::string& p : f.patterns) {
        for (const std::string& v : PatternCaseVariants(p)) {
            if (!out.empty()) out += ' ';
            out += v;
        }
    }
    return out;
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

char* NewPathBuffer(char** path) {
    char* buffer = new char[kDialogPathBufferSize];
    buffer[0] = 0;
    *path = buffer;
    return buffer;
}

bool StoreAnswer(cdialog& d, const std::string& chosen, char* buffer) {
    if (chosen.empty()) {
        d.last_failure = Dialog_Cancelled;
        return false;
    }
    if (chosen.size() >= kDialogPathBufferSize) {
        d.last_failure = Dialog_PathTooLong;
        return false;
    }
    std::memcpy(buffer, chosen.c_str(), chosen.size() + 1);
    d.last_failure = Dialog_None;
    return true;
}

bool ShowDialog(cdialog& d, bool save, const char* title, char* filter, char** path) {
    char* buffer = NewPathBuffer(path);
    d.last_title = title;

    if (d.scripted) {
        if (d.scripted_answers.empty()) {
            d.last_failure = Dialog_NoAnswer;
            return false;
        }
        cdialog_answer answer = d.scripted_answers.front();
        d.scripted_answers.pop_front();
        if (!answer.confirmed) {
            d.last_failure = Dialog_Cancelled;
            return false;
        }
        return StoreAnswer(d, answer.path, buffer);
    }

    std::string program = d.chooser;
    if (program.empty()) program = FindOnPath("zenity");
    if (program.empty()) program = FindOnPath("kdialog");
    if (program.empty()) {
        d.last_failure = Dialog_Unavailable;
        return false;
    }

    std::vector<cdialog_filter> filters = ParseDialogFilter(filter);
    unsigned long parent = d.owner ? morva::GetNativeWindowId(d.owner) : 0;
    std::string start = HomeDirectory();
    std::vector<std::string> args =
        IsKdialog(program) ? KdialogArguments(program, save, title, filters, start, parent)
                           : ZenityArguments(program, save, title, filters, start, parent);

    ChildResult child = RunChooser(args);
    if (!child.started) {
        d.last_failure = Dialog_Unavailable;
        return false;
    }
    if (child.exit_code != 0) {
        d.last_failure = Dialog_Cancelled;
        return false;
    }
    return StoreAnswer(d, FirstLine(child.output), buffer);
}

}  // namespace

std::vector<cdialog_filter> ParseDialogFilter(const char* filter) {
    std::vector<cdialog_filter> out;
    if (!filter) return out;
    const char* p = filter;
    while (*p) {
        cdialog_filter f;
        f.description = p;
        p += f.description.size() + 1;
        std::string list = p;
        p += list.size() + 1;
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(';', start);
            if (end == std::string::npos) end = list.size();
            std::string pattern = list.substr(start, end - start);
            if (!pattern.empty()) f.patterns.push_back(pattern);
            start = end + 1;
        }
        out.push_back(f);
        if (list.empty()) break;  // a description without its pattern ends the list
    }
    return out;
}

std::vector<std::string> PatternCaseVariants(const std::string& pattern) {
    std::vector<std::string> out{pattern};
    for (const std::string& v : {UpperCase(pattern), LowerCase(pattern)}) {
        bool known = false;
        for (const std::string& o : out) known = known || o == v;
        if (!known) out.push_back(v);
    }
    return out;
}

std::vector<std::string> ZenityArguments(const std::string& program, bool save,
                                         const std::string& title,
                                         const std::vector<cdialog_filter>& filters,
                                         const std::string& start_dir, unsigned long parent) {
    std::vector<std::string> args{program, "--file-selection", "--title=" + title};
    if (save) {
        args.push_back("--save");
        args.push_back("--confirm-overwrite");
    }
    std::string dir = start_dir;
    if (dir.empty() || dir.back() != '/') dir += '/';
    args.push_back("--filename=" + dir);
    for (const cdialog_filter& f : filters) {
        if (f.patterns.empty()) continue;
        args.push_back("--file-filter=" + f.description + " | " + JoinPatterns(f));
    }
    if (parent != 0) {
        args.push_back("--modal");
        args.push_back("--attach=" + std::to_string(parent));
    }
    return args;
}

std::vector<std::string> KdialogArguments(const std::string& program, bool save,
                                          const std::string& title,
                                          const std::vector<cdialog_filter>& filters,
                                          const std::string& start_dir, unsigned long parent) {
    std::vector<std::string> args{program, "--title", title};
    if (parent != 0) {
        args.push_back("--attach");
        args.push_back(std::to_string(parent));
    }
    args.push_back(save ? "--getsavefilename" : "--getopenfilename");
    args.push_back(start_dir.empty() ? "/" : start_dir);
    std::string list;
    for (const cdialog_filter& f : filters) {
        if (f.patterns.empty()) continue;
        if (!list.empty()) list += '\n';
        list += JoinPatterns(f) + "|" + f.description;
    }
    args.push_back(list);
    return args;
}

cdialog::cdialog(morva::Window* owner_window) : owner(owner_window) {}

cdialog::~cdialog() {}

bool cdialog::ShowOpenDialog(char* filter, char** path) {
    return ShowDialog(*this, false, kOpenTitle, filter, path);
}

bool cdialog::ShowSaveDialog(char* filter, char** path) {
    return ShowDialog(*this, true, kSaveTitle, filter, path);
}
