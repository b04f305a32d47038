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
    Dropped dropped = Dropped::Nothing;
    if (!partial_.empty()) {
        if (status < firstStatus) {
            partial_.insert(partial_.end(), event.begin(), event.end());
            if (partial_.size() > longest_) {
                partial_.clear();
                return {{}, Dropped::Overlong};
            }
            if (partial_.back() == endOfExclusive) {
                complete_ = true;
                return {partial_};
            }
            return {};
        }
        partial_.clear();
        dropped = Dropped::Unfinished;
    }
    if (status == systemExclusive && event.back() != endOfExclusive) {
        partial_.assign(event.begin(), event.end());
        return {{}, dropped};
    }
    return {event, dropped};
}

} // namespace qel::midi
