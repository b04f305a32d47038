// The JACK client of a build without JACK: the same interface, so that the
// backend, the simulator and the program compile unchanged, but no client
// ever opens. No port can exist either, since only an open client makes one.

#include "platform/midi/JackClient.h"

namespace qel::midi {

namespace jack {
struct ClientCore {
    std::string name; // stays empty
};
} // namespace jack

bool JackClient::builtIn() {
    return false;
}

std::string JackClient::libraryVersion() {
    return "not built in";
}

JackClient::JackClient(Token, Options) : core_(std::make_unique<jack::ClientCore>()) {}

JackClient::~JackClient() = default;

std::shared_ptr<JackClient> JackClient::open(const std::string&, std::string& error, Options) {
    error = "this program was built without JACK";
    return nullptr;
}

const std::string& JackClient::name() const {
    return core_->name;
}

bool JackClient::serverGone() const {
    return true;
}

std::vector<std::string> JackClient::sources() const {
    return {};
}

std::vector<std::string> JackClient::destinations() const {
    return {};
}

std::unique_ptr<JackOutput> JackClient::openOutput(const std::string&, const std::string&,
                                                   SentHandler, std::string& error) {
    error = "this program was built without JACK";
    return nullptr;
}

std::unique_ptr<JackInput> JackClient::openInput(const std::string&, const std::string&,
                                                 MessageHandler, std::string& error) {
    error = "this program was built without JACK";
    return nullptr;
}

JackOutput::~JackOutput() = default;

JackOutput::SendResult JackOutput::send(std::span<const std::uint8_t>) {
    return SendResult::Closed;
}

JackOutput::SendResult JackOutput::sendWaiting(std::span<const std::uint8_t>,
                                               std::chrono::milliseconds) {
    return SendResult::Closed;
}

bool JackOutput::drain() {
    return true;
}

bool JackOutput::close() {
    return true;
}

std::size_t JackOutput::maximumMessageSize() const {
    return 0;
}

std::uint64_t JackOutput::refusedMessages() const {
    return 0;
}

JackInput::~JackInput() = default;

void JackInput::close() {}

std::uint64_t JackInput::lostEvents() const {
    return 0;
}

} // namespace qel::midi
