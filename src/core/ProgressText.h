#pragma once

// The figures a progress window and an action's result line show, as text:
// sizes in KB, durations in minutes and seconds, and a transfer's bytes with
// its rate and the time left. One place, so that the window, the terminal and
// the summaries read the same.

#include <cstdint>
#include <string>

namespace qel {

// "812 KB", "1,531 KB": bytes in units of 1024, rounded, with thousands
// separated by commas; "0 KB" for 0 or less.
std::string kilobyteText(std::int64_t bytes);

// "21 s", "4 min 21 s", "1 h 02 min": a duration in whole seconds.
std::string durationText(std::int64_t seconds);

// "12 KB of 48 KB, 3 KB/s, 12 s left" for `done` of `total` bytes after
// `elapsedMs` milliseconds; the rate and the time left only once there is
// a rate to tell (some bytes done after some time), and no time left once
// all is done.
std::string transferText(std::int64_t done, std::int64_t total, std::int64_t elapsedMs);

} // namespace qel
