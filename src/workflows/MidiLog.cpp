#include "workflows/MidiLog.h"

#include "core/Catalogue.h"
#include "link/SysExFrame.h"

#include <cstdio>

namespace qel {

namespace {

std::string handshakeName(std::uint8_t command) {
    switch (command) {
    case sysex::EndOfData:
        return "end of data";
    case sysex::NextBlock:
        return "next block";
    case sysex::SysExError:
        return "SysEx error";
    case sysex::Rejected:
        return "rejected";
    default:
        return "acknowledge " + std::to_string(command);
    }
}

} // namespace

void MidiLog::record(bool sent, const ByteVector& message) {
    if (!enabled_)
        return;
    entries_.push_back({QTime::currentTime(), sent, message, describe(message)});
    while (entries_.size() > capacity_)
        entries_.pop_front();
    if (onAdded)
        onAdded(entries_.back());
}

std::string MidiLog::describe(const ByteVector& m) {
    if (m.size() < sysex::minimumLength || m.front() != sysex::start || m.back() != sysex::end ||
        m[1] != sysex::manufacturer)
        return "not a keyboard message";
    const std::string item =
        categoryName(m[sysex::categoryOffset]) + " " +
        std::to_string(m[sysex::numberOffset] | (m[sysex::numberOffset + 1] << 7));
    const std::string parameter = ", parameter " + std::to_string(m[sysex::parameterOffset]);
    switch (m[sysex::typeOffset]) {
    case sysex::ParameterRequest:
        return "parameter request: " + item + parameter;
    case sysex::ParameterValue:
        return "parameter value: " + item + parameter;
    case sysex::DataRequest:
        return "data request: " + item;
    case sysex::DataBlock: {
        const std::size_t block = m.size() > 12 ? (m[11] | (m[12] << 7)) : 0;
        const std::size_t bytes = m.size() > 16 ? (m.size() - 16) / 3 * 2 : 0;
        return "data block " + std::to_string(block) + ": " + item + ", " + std::to_string(bytes) +
               " bytes";
    }
    case sysex::Handshake:
        return "handshake: " +
               (m.size() > sysex::bodyOffset + 1 ? handshakeName(m[sysex::bodyOffset])
                                                 : std::string("(short)")) +
               ", " + item;
    default:
        return "message type " + std::to_string(m[sysex::typeOffset]) + ": " + item;
    }
}

std::string MidiLog::hex(const ByteVector& message) {
    std::string text;
    text.reserve(message.size() * 3);
    char digits[4];
    for (std::uint8_t byte : message) {
        std::snprintf(digits, sizeof digits, "%02X ", byte);
        text += digits;
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

std::string MidiLog::line(const MidiLogEntry& entry) {
    return entry.time.toString("HH:mm:ss.zzz").toStdString() +
           (entry.sent ? "  out  " : "  in   ") + entry.what + "   " + hex(entry.bytes);
}

} // namespace qel
