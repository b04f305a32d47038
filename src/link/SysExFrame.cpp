#include "link/SysExFrame.h"

#include "core/Exception.h"

namespace qel {

void SysExFormatChecker::check(const ByteVector& message) const {
    if (message.size() < sysex::minimumLength)
        throw Exception("short message");
    if (message.front() != sysex::start)
        throw Exception("SYSEX error");
    if (message.back() != sysex::end)
        throw Exception("EOX error");
    if (message[1] != sysex::manufacturer)
        throw Exception("VORLA ID error");
}

std::uint8_t messageType(const ByteVector& message) {
    SysExFormatChecker().check(message);
    return message[sysex::typeOffset];
}

} // namespace qel
