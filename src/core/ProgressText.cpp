#include "core/ProgressText.h"

#include <algorithm>

namespace qel {

namespace {

std::string withThousands(std::int64_t value) {
    const std::string digits = std::to_string(value);
    std::string text;
    text.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text;
}

} // namespace

std::string kilobyteText(std::int64_t bytes) {
    return withThousands(std::max<std::int64_t>(0, (bytes + 512) / 1024)) + " KB";
}

std::string durationText(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(0, seconds);
    if (seconds < 60)
        return std::to_string(seconds) + " s";
    if (seconds < 3600)
        return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
    const std::int64_t minutes = seconds / 60 % 60;
    return std::to_string(seconds / 3600) + " h " + (minutes < 10 ? "0" : "") +
           std::to_string(minutes) + " min";
}

std::string transferText(std::int64_t done, std::int64_t total, std::int64_t elapsedMs) {
    done = std::clamp<std::int64_t>(done, 0, std::max<std::int64_t>(total, 0));
    std::string text = kilobyteText(done) + " of " + kilobyteText(total);
    if (done <= 0 || elapsedMs <= 0)
        return text;
    const double perSecond = static_cast<double>(done) * 1000.0 / static_cast<double>(elapsedMs);
    // A rate below 1 KB/s (a MIDI cable's is about 3) is shown in bytes.
    text += perSecond < 1024.0
                ? ", " + std::to_string(static_cast<std::int64_t>(perSecond)) + " bytes/s"
                : ", " + kilobyteText(static_cast<std::int64_t>(perSecond)) + "/s";
    if (done < total) {
        const auto left =
            static_cast<std::int64_t>(static_cast<double>(total - done) / perSecond + 0.999);
        text += ", " + durationText(left) + " left";
    }
    return text;
}

} // namespace qel
