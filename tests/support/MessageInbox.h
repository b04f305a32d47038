#pragma once

// Messages that arrive on another thread (a JackClient's delivery thread), kept
// in order for a test to wait for; every wait is bounded.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace qel::test {

class MessageInbox {
public:
    using Bytes = std::vector<std::uint8_t>;

    // A handler that adds each message it is given; the inbox must outlive it.
    std::function<void(std::span<const std::uint8_t>)> handler() {
        return [this](std::span<const std::uint8_t> message) { add(message); };
    }

    void add(std::span<const std::uint8_t> message) {
        {
            const std::lock_guard lock(mutex_);
            all_.emplace_back(message.begin(), message.end());
        }
        arrived_.notify_all();
    }

    // Waits up to `bound` for the next message not taken yet, and takes it.
    std::optional<Bytes> take(std::chrono::milliseconds bound) {
        std::unique_lock lock(mutex_);
        if (!arrived_.wait_for(lock, bound, [this] { return taken_ < all_.size(); }))
            return std::nullopt;
        return all_[taken_++];
    }

    // Waits up to `bound` until at least `count` messages have come in all.
    bool waitForCount(std::size_t count, std::chrono::milliseconds bound) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, bound, [&] { return all_.size() >= count; });
    }

    // Waits up to `bound` until `message` has come `times` times in all.
    bool waitForCopies(const Bytes& message, std::size_t times, std::chrono::milliseconds bound) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, bound, [&] {
            return static_cast<std::size_t>(std::count(all_.begin(), all_.end(), message)) >= times;
        });
    }

    // Every message so far, in order of arrival.
    std::vector<Bytes> all() const {
        const std::lock_guard lock(mutex_);
        return {all_.begin(), all_.end()};
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Bytes> all_;
    std::size_t taken_ = 0;
};

} // namespace qel::test
