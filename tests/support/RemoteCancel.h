#pragma once

// A cancel request made the way a signal handler makes it: another thread
// sets a flag, and no event announces it. Only a wait that looks at the flag
// by itself, on a timer, sees it; a wait that only reacts to events would
// sleep through it. The test arms it from its own thread (say, when the
// keyboard got the request whose wait is to be cancelled); the flag is set a
// moment later, and the time it was set is what the test measures from.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace qel::test {

// How long a cancelled wait may still take once cancel was requested: the
// half second that is asked for, plus a quarter second for a 2-core machine
// busy with builds and sanitizers (the waits look at the flag every 50 ms and
// end well inside 0.1 s when the machine is idle).
inline constexpr std::chrono::milliseconds cancelBound{750};

class RemoteCancel {
public:
    using Clock = std::chrono::steady_clock;

    RemoteCancel() : thread_([this] { run(); }) {}
    ~RemoteCancel() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    RemoteCancel(const RemoteCancel&) = delete;
    RemoteCancel& operator=(const RemoteCancel&) = delete;

    // Asks the other thread to set the flag now; later calls change nothing.
    void fire() {
        {
            std::lock_guard lock(mutex_);
            fire_ = true;
        }
        wake_.notify_all();
    }
    bool requested() const { return flag_.load(); }
    // When the flag was set; Clock::time_point::max() while it is not.
    Clock::time_point firedAt() const {
        std::lock_guard lock(mutex_);
        return firedAt_;
    }
    // How long ago the flag was set (negative while it is not).
    std::chrono::milliseconds sinceFired() const {
        const Clock::time_point at = firedAt();
        if (at == Clock::time_point::max())
            return std::chrono::milliseconds(-1);
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - at);
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        // Bounded: a test that never fires ends this thread with it.
        wake_.wait_for(lock, std::chrono::minutes(5), [this] { return fire_ || quit_; });
        if (!fire_)
            return;
        firedAt_ = Clock::now();
        flag_.store(true);
    }

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool fire_ = false;
    bool quit_ = false;
    Clock::time_point firedAt_ = Clock::time_point::max();
    std::atomic<bool> flag_{false};
    std::thread thread_;
};

} // namespace qel::test
