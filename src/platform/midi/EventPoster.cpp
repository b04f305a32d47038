#include "platform/midi/EventPoster.h"

namespace qel::midi {

EventPoster::EventPoster() = default;

void EventPoster::post(std::function<void()> work) {
    QMetaObject::invokeMethod(&target_, std::move(work), Qt::QueuedConnection);
}

DelayedPoster::DelayedPoster(EventPoster& poster) : poster_(poster), thread_([this] { run(); }) {}

DelayedPoster::~DelayedPoster() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void DelayedPoster::postAt(Clock::time_point when, std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        entries_.push(Entry{when, nextSequence_++, std::move(work)});
    }
    wake_.notify_all();
}

void DelayedPoster::postAllNow() {
    std::lock_guard lock(mutex_);
    while (!entries_.empty()) {
        auto work = std::move(const_cast<Entry&>(entries_.top()).work);
        entries_.pop();
        poster_.post(std::move(work));
    }
}

void DelayedPoster::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (entries_.empty()) {
            wake_.wait(lock);
            continue;
        }
        const Clock::time_point when = entries_.top().when;
        if (Clock::now() < when) {
            wake_.wait_until(lock, when);
            continue; // an earlier entry may have come in meanwhile
        }
        auto work = std::move(const_cast<Entry&>(entries_.top()).work);
        entries_.pop();
        poster_.post(std::move(work));
    }
}

} // namespace qel::midi
