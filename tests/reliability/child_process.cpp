// Child processes of the save tests.
#include "tests/reliability/child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace reliability {

pid_t StartSaver(const std::vector<std::string>& args, const std::function<void()>& in_child, int* stdout_fd,
                 const std::string& other_program) {
    int pipe_fds[2] = {-1, -1};
    if (stdout_fd != nullptr && ::pipe(pipe_fds) != 0) return -1;
    std::vector<char*> argv;
    static char built_program[] = MORVA_RELIABILITY_SAVER;
    char* program = other_program.empty() ? built_program : const_cast<char*>(other_program.c_str());
    argv.push_back(program);
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (stdout_fd != nullptr) {
            ::dup2(pipe_fds[1], STDOUT_FILENO);
            ::close(pipe_fds[0]);
            ::close(pipe_fds[1]);
        }
        in_child();
        ::execv(program, argv.data());
        ::_exit(127);
    }
    if (stdout_fd != nullptr) {
        ::close(pipe_fds[1]);
        *stdout_fd = pid > 0 ? pipe_fds[0] : -1;
        if (pid < 0) ::close(pipe_fds[0]);
    }
    return pid;
}

int WaitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

int RunSaver(const std::vector<std::string>& args, const std::function<void()>& in_child,
             const std::string& program) {
    const pid_t pid = StartSaver(args, in_child, nullptr, program);
    return pid < 0 ? -1 : WaitFor(pid);
}

}  // namespace reliability
