#include "platform/midi/SysExAssembler.h"

namespace qel::midi {

namespace {

constexpr std::uint8_t systemExclusive = 0xF0;
constexpr std::uint8_t endOfExclusive = 0xF7;
constexpr std::uint8_t firstRealTime = 0xF8;
constexpr std::uint8_t firstStatus = 0x80;

} // namespace

SysExAssembler::Step SysExAssembler::add(std::span<const std::uint8_t> event) {
    if (complete_) {
        // The message handed on last time may be read until now.
        partial_.clear();
        complete_ = false;
    }
    if (event.empty())
        return {};
    const std::uint8_t status = event.front();
    if (status >= firstRealTime)
        return {event};
    // A piece of a System Exclusive message starts with a data byte, or is
    // only its closing F7.
    const bool continues = status < firstStatus || status == endOfExclusive;
    if (skipping_) {
        if (continues) {
            skipping_ = event.back() != endOfExclusive;
            return {};
        }
        skipping_ = false; // a new message begins
    }
    Dropped dropped = Dropped::Nothing;
    if (!partial_.empty()) {
        if (continues) {
            partial_.insert(partial_.end(), event.begin(), event.end());
            return finishPiece();
        }
        partial_.clear();
        dropped = Dropped::Unfinished;
    }
    if (status == systemExclusive && event.back() != endOfExclusive) {
        partial_.assign(event.begin(), event.end());
        Step step = finishPiece();
        if (step.dropped == Dropped::Nothing)
            step.dropped = dropped;
        return step;
    }
    return {event, dropped};
}

SysExAssembler::Step SysExAssembler::finishPiece() {
    if (partial_.size() > longest_) {
        // The rest of this message is skipped up to its end, so that no
        // piece of it is taken for a message of its own.
        skipping_ = partial_.back() != endOfExclusive;
        partial_.clear();
        return {{}, Dropped::Overlong};
    }
    if (partial_.back() == endOfExclusive) {
        complete_ = true;
        return {partial_};
    }
    return {};
}

} // namespace qel::midi
