#pragma once

// Hands work from driver threads to the thread that made the poster (the UI
// thread), through that thread's Qt event queue: the stand-in for the window
// messages that a MIDI driver posts to its callback window.

#include <QObject>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

namespace qel::midi {

class EventPoster {
public:
    // Delivers to the event queue of the calling thread.
    EventPoster();
    EventPoster(const EventPoster&) = delete;
    EventPoster& operator=(const EventPoster&) = delete;

    // Queues `work` to run on the poster's thread; safe from any thread. Work
    // that has not run when the poster is destroyed is dropped.
    void post(std::function<void()> work);

private:
    QObject target_;
};

// Posts work at a given moment, with microsecond precision (a Qt timer only
// counts whole milliseconds, too coarse for the MIDI wire times of short
// messages). One thread waits for the deadlines; the work itself runs on the
// poster's thread.
class DelayedPoster {
public:
    using Clock = std::chrono::steady_clock;

    explicit DelayedPoster(EventPoster& poster);
    // Stops the waiting thread; work not yet posted is dropped.
    ~DelayedPoster();
    DelayedPoster(const DelayedPoster&) = delete;
    DelayedPoster& operator=(const DelayedPoster&) = delete;

    // Posts `work` at `when` (at once when that has passed). Work with equal
    // deadlines keeps its order.
    void postAt(Clock::time_point when, std::function<void()> work);
    // Posts every waiting entry at once, in deadline order, without waiting for
    // the deadlines (tests settle a device with it instead of waiting).
    void postAllNow();

private:
    struct Entry {
        Clock::time_point when;
        std::uint64_t sequence;
        std::function<void()> work;
    };
    struct Later {
        bool operator()(const Entry& a, const Entry& b) const {
            return a.when != b.when ? a.when > b.when : a.sequence > b.sequence;
        }
    };

    void run();

    EventPoster& poster_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::priority_queue<Entry, std::vector<Entry>, Later> entries_;
    std::uint64_t nextSequence_ = 0;
    bool stopping_ = false;
    std::thread thread_; // last: starts after everything it uses exists
};

} // namespace qel::midi
