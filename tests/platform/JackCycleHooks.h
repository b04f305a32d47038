#pragma once

// Process-cycle hooks for JACK tests (JackClient::Options::cycleHook): one
// holds a client's process thread while the test looks, one makes a single
// cycle stall the way a process thread without real-time scheduling does on a
// busy machine. Both must outlive the clients they are given to.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace qel::test {

// While shut, every cycle of the client waits at its start (at most 5 s, so a
// forgotten gate cannot hang the server).
class CycleGate {
public:
    std::function<void()> hook() {
        return [this] { pass(); };
    }
    void shut() {
        const std::lock_guard lock(mutex_);
        shut_ = true;
    }
    void open() {
        {
            const std::lock_guard lock(mutex_);
            shut_ = false;
        }
        changed_.notify_all();
    }
    // True once a cycle is waiting at the shut gate.
    bool waitForHeldCycle(std::chrono::milliseconds bound) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, bound, [this] { return holding_; });
    }

private:
    void pass() {
        std::unique_lock lock(mutex_);
        if (!shut_)
            return;
        holding_ = true;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(5), [this] { return !shut_; });
        holding_ = false;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool shut_ = false;
    bool holding_ = false;
};

// Once armed, the next cycle stalls for `length` after it has taken up its
// ports: the moment a close that does not wait for the cycle would free what
// the cycle is about to use.
class CycleStall {
public:
    explicit CycleStall(std::chrono::milliseconds length = std::chrono::milliseconds(100))
        : length_(length) {}

    std::function<void()> hook() {
        return [this] { maybeStall(); };
    }
    void arm() {
        const std::lock_guard lock(mutex_);
        armed_ = true;
        began_ = false;
    }
    // True once the armed stall has begun (it then lasts `length`).
    bool waitForStall(std::chrono::milliseconds bound) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, bound, [this] { return began_; });
    }

private:
    void maybeStall() {
        {
            const std::lock_guard lock(mutex_);
            if (!armed_)
                return;
            armed_ = false;
            began_ = true;
        }
        changed_.notify_all();
        // The stall itself is what is tested: a cycle that takes long.
        std::this_thread::sleep_for(length_);
    }

    const std::chrono::milliseconds length_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool armed_ = false;
    bool began_ = false;
};

} // namespace qel::test
