// Runs the saver helper as a child process: the child may get a file-size limit, run as an
// unprivileged user or be killed, and none of it touches the test program.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace reliability {

// The uid and gid the child switches to when the test program runs as root (root ignores
// file permissions, so a read-only folder would not stop it).
constexpr unsigned kUnprivilegedId = 65534;

// Starts reliability_saver with `args`; `in_child` runs in the child just before exec.
// When `stdout_fd` is not null, the child's standard output is a pipe read through it.
// `program`: another copy of the saver to run (empty: the one of the build).
pid_t StartSaver(const std::vector<std::string>& args, const std::function<void()>& in_child,
                 int* stdout_fd = nullptr, const std::string& program = std::string());
// Waits for the child; its exit status, or 128 + signal when a signal ended it.
int WaitFor(pid_t child);
// Runs the saver to its end and returns WaitFor's result.
int RunSaver(const std::vector<std::string>& args, const std::function<void()>& in_child = [] {},
             const std::string& program = std::string());

}  // namespace reliability
