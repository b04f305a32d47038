#pragma once

// Whole messages from one thread to one other, each as a length word and its
// bytes, in a buffer allocated once. Neither side locks or allocates, so a
// real-time thread (JACK's process thread) can be either side.
//
// One producer thread and one consumer thread at a time: push() and
// hasRoomFor() belong to the producer, nextSize() and pop() to the consumer.
// A message is seen by the consumer whole or not at all.

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

namespace qel::midi {

class MessageRing {
public:
    // Each message takes this much room in front of its bytes.
    static constexpr std::size_t lengthBytes = sizeof(std::uint32_t);

    // Room for `capacity` bytes, rounded up to a power of two, length words
    // included. The buffer is left uninitialised: pages are touched only as
    // messages fill them, which keeps opening a port cheap.
    explicit MessageRing(std::size_t capacity)
        : size_(std::bit_ceil(std::max(capacity, 2 * lengthBytes))),
          bytes_(std::make_unique_for_overwrite<std::uint8_t[]>(size_)) {}

    MessageRing(const MessageRing&) = delete;
    MessageRing& operator=(const MessageRing&) = delete;

    // The room in bytes, length words included.
    std::size_t capacity() const { return size_; }
    // The largest message an empty ring takes.
    std::size_t largestMessage() const { return size_ - lengthBytes; }

    // Producer. Copies the whole message in; false when it does not fit now
    // (then nothing of it is stored).
    bool push(const std::uint8_t* data, std::uint32_t size) {
        if (!hasRoomFor(size))
            return false;
        const std::size_t head = head_.load(std::memory_order_relaxed);
        std::uint8_t length[lengthBytes];
        std::memcpy(length, &size, lengthBytes);
        copyIn(head, length, lengthBytes);
        copyIn(head + lengthBytes, data, size);
        head_.store(head + lengthBytes + size, std::memory_order_release);
        return true;
    }

    // Producer. True when a message of `size` bytes would fit now.
    bool hasRoomFor(std::size_t size) const {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        const std::size_t tail = tail_.load(std::memory_order_acquire);
        return size_ - (head - tail) >= lengthBytes + size;
    }

    // Consumer. The size of the next message, if there is one.
    std::optional<std::uint32_t> nextSize() const {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::size_t head = head_.load(std::memory_order_acquire);
        if (head == tail)
            return std::nullopt;
        std::uint8_t length[lengthBytes];
        copyOut(tail, length, lengthBytes);
        std::uint32_t size = 0;
        std::memcpy(&size, length, lengthBytes);
        return size;
    }

    // Consumer. Copies the next message (nextSize() bytes) to `destination`
    // and removes it; with a null destination it is only removed. Does nothing
    // when the ring is empty.
    void pop(std::uint8_t* destination) {
        const auto size = nextSize();
        if (!size)
            return;
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (destination)
            copyOut(tail + lengthBytes, destination, *size);
        tail_.store(tail + lengthBytes + *size, std::memory_order_release);
    }

private:
    // Positions count every byte ever written or read; the buffer index is the
    // position modulo the (power of two) size, and a copy that runs past the
    // buffer's end goes on at its start.
    void copyIn(std::size_t position, const std::uint8_t* data, std::size_t size) {
        if (size == 0)
            return;
        const std::size_t offset = position & (size_ - 1);
        const std::size_t first = std::min(size, size_ - offset);
        std::memcpy(bytes_.get() + offset, data, first);
        std::memcpy(bytes_.get(), data + first, size - first);
    }
    void copyOut(std::size_t position, std::uint8_t* data, std::size_t size) const {
        if (size == 0)
            return;
        const std::size_t offset = position & (size_ - 1);
        const std::size_t first = std::min(size, size_ - offset);
        std::memcpy(data, bytes_.get() + offset, first);
        std::memcpy(data + first, bytes_.get(), size - first);
    }

    std::size_t size_;
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::atomic<std::size_t> head_{0}; // bytes ever written
    std::atomic<std::size_t> tail_{0}; // bytes ever read
};

} // namespace qel::midi
