#pragma once

// Programs started by tests, and a JACK server of a test's own: dummy driver,
// synchronous mode (the asynchronous default now and then drops a MIDI event
// on a busy machine), a client time-out of 500 ms (without -t the server waits
// only ten times two periods, 27 ms here, for a late client and then drops the
// MIDI of that cycle, which a busy 2-core machine without real-time scheduling
// reaches), a unique name, and every JACK client of the test process pointed
// at it. Both are always stopped with SIGINT: after SIGTERM a JACK server
// leaves its entry in JACK's registry of servers.

#include <QProcess>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace qel::test {

// A program the test starts and always stops again: SIGINT, then SIGKILL when
// it has not ended within 10 s.
class Program {
public:
    Program(const QString& path, const QStringList& arguments) {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(path, arguments);
        started_ = process_.waitForStarted(5000);
    }
    ~Program() { stop(); }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return started_; }
    bool running() const { return process_.state() == QProcess::Running; }

    // Waits up to `bound` until the program has printed `text`.
    bool waitForOutput(const QByteArray& text, std::chrono::milliseconds bound) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (!output_.contains(text) && std::chrono::steady_clock::now() < deadline) {
            process_.waitForReadyRead(100);
            output_ += process_.readAll();
        }
        return output_.contains(text);
    }
    // Waits up to `bound` until the program has printed `text` somewhere after
    // the first `after` it printed.
    bool waitForOutputAfter(const QByteArray& after, const QByteArray& text,
                            std::chrono::milliseconds bound) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        const auto seen = [&] {
            const qsizetype at = output_.indexOf(after);
            return at >= 0 && output_.indexOf(text, at + after.size()) >= 0;
        };
        while (!seen() && std::chrono::steady_clock::now() < deadline) {
            process_.waitForReadyRead(100);
            output_ += process_.readAll();
        }
        return seen();
    }
    // Waits up to `bound` for the program to end by itself; its exit code, or
    // -1 when it is still running or crashed.
    int waitForExit(std::chrono::milliseconds bound) {
        if (running() && !process_.waitForFinished(static_cast<int>(bound.count())))
            return -1;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    // Stops it with SIGINT; true when it ended in time by itself with exit
    // code 0. A program that crashed, before or on the signal, or had to be
    // killed is a failure.
    bool stop() {
        if (!started_)
            return true; // nothing ran
        if (running()) {
            ::kill(static_cast<pid_t>(process_.processId()), SIGINT);
            if (!process_.waitForFinished(10000)) {
                process_.kill();
                process_.waitForFinished(5000);
                return false;
            }
        }
        return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    std::string output() {
        output_ += process_.readAll();
        return output_.toStdString();
    }

private:
    QProcess process_;
    QByteArray output_;
    bool started_ = false;
};

class JackServer {
public:
    static constexpr const char* jackd = "/usr/bin/jackd";
    static constexpr const char* jackWait = "/usr/bin/jack_wait";

    // Starts the server `name` and waits (up to 15 s) until it takes clients.
    // Sets JACK_DEFAULT_SERVER and JACK_NO_START_SERVER for the test process
    // and every program it starts afterwards.
    explicit JackServer(const std::string& name) {
        if (::access(jackd, X_OK) != 0) {
            problem_ = "jackd is not installed (scripts/setup.sh installs jackd2)";
            return;
        }
        ::setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
        ::setenv("JACK_NO_START_SERVER", "1", 1);
        server_ = std::make_unique<Program>(jackd, QStringList{"-S", "-t", "500", "-n",
                                                               QString::fromStdString(name), "-d",
                                                               "dummy", "-r", "48000", "-p", "64"});
        Program wait(jackWait, {"-w", "-t", "10"});
        if (!server_->started() || wait.waitForExit(std::chrono::seconds(15)) != 0 ||
            !server_->running())
            problem_ = "no JACK server can start here:\n" + server_->output();
    }

    // Empty when the server runs; otherwise why it does not.
    const std::string& problem() const { return problem_; }

    // Stops the server with SIGINT; true when it ended cleanly.
    bool stop() { return server_ ? server_->stop() : true; }
    std::string output() { return server_ ? server_->output() : std::string{}; }

private:
    std::unique_ptr<Program> server_;
    std::string problem_;
};

// A server name no other test run on this machine uses at the same time.
inline std::string uniqueServerName(const std::string& prefix) {
    return prefix + "-" + std::to_string(::getpid());
}

} // namespace qel::test
