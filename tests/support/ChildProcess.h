#pragma once

// A program started by a test, with its output in a log file, that is always
// stopped again: by a chosen signal, then SIGKILL when it does not end in time.

#include <chrono>
#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kbdsim::test {

class ChildProcess {
public:
    // Starts `arguments[0]` (a path) with the test's environment; standard
    // output and error go to `logPath`. Check started() afterwards.
    ChildProcess(const std::vector<std::string>& arguments, const std::string& logPath);
    // Starts it with standard output on a copy of `outputFd` (a pipe, say),
    // standard error into the file at `errorPath`, and SIGPIPE's default action.
    ChildProcess(const std::vector<std::string>& arguments, int outputFd,
                 const std::string& errorPath);
    // Stops the program with SIGINT if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    // The program's process id; -1 once it has ended and been waited for.
    pid_t pid() const { return pid_; }
    // True while the program has not ended.
    bool running();
    // Sends `signal` and waits up to `bound` for the end, then kills it.
    // Returns the exit code; 128 + the signal's number when the program died
    // of a signal (a crash, or the signal it was stopped with), -1 if it had
    // to be killed. Only a program that ended by itself can give 0.
    int stop(int signal, std::chrono::milliseconds bound);
    // Waits up to `bound` for the end by itself; the exit code as stop()
    // gives it, or -1 while it still runs.
    int waitForExit(std::chrono::milliseconds bound);
    // After the end: the signal that ended the program, 0 when it exited by
    // itself. Tells exit(141) from death by SIGPIPE, which the code does not.
    int endingSignal() const;

private:
    void spawn(const std::vector<std::string>& arguments, posix_spawn_file_actions_t& actions,
               const posix_spawnattr_t* attributes);

    pid_t pid_ = -1;
    int status_ = -1;
};

// Waits up to `bound` until the file at `path` contains `text`.
bool waitForText(const std::string& path, const std::string& text, std::chrono::milliseconds bound);

// The content of a file, empty when it cannot be read.
std::string readFile(const std::string& path);

} // namespace kbdsim::test
