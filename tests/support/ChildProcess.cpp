#include "support/ChildProcess.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace kbdsim::test {
namespace {
constexpr auto poll = std::chrono::milliseconds(20);

// The exit code, or 128 + the signal that ended the program, as a shell has it.
int outcome(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}
} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const std::string& logPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    spawn(arguments, actions, nullptr);
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, int outputFd,
                           const std::string& errorPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    // SIGPIPE as a shell leaves it, also when this process ignores it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    spawn(arguments, actions, &attributes);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
}

void ChildProcess::spawn(const std::vector<std::string>& arguments,
                         posix_spawn_file_actions_t& actions, const posix_spawnattr_t* attributes) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, attributes, argv.data(), environ) == 0)
        pid_ = pid;
}

int ChildProcess::endingSignal() const {
    return pid_ <= 0 && status_ != -1 && WIFSIGNALED(status_) ? WTERMSIG(status_) : 0;
}

ChildProcess::~ChildProcess() {
    if (running())
        stop(SIGINT, std::chrono::seconds(5));
}

bool ChildProcess::running() {
    if (pid_ <= 0)
        return false;
    int status = 0;
    const pid_t result = ::waitpid(pid_, &status, WNOHANG);
    if (result == 0)
        return true;
    if (result == pid_)
        status_ = status;
    pid_ = -1;
    return false;
}

int ChildProcess::waitForExit(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(poll);
    if (running())
        return -1;
    return outcome(status_);
}

int ChildProcess::stop(int signal, std::chrono::milliseconds bound) {
    if (!running())
        return outcome(status_);
    ::kill(pid_, signal);
    const int code = waitForExit(bound);
    if (running()) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0); // SIGKILL cannot be ignored: this ends
        pid_ = -1;
        return -1;
    }
    return code;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool waitForText(const std::string& path, const std::string& text,
                 std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline) {
        if (readFile(path).find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(poll);
    }
    return false;
}

} // namespace kbdsim::test
