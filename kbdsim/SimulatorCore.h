#pragma once

// What the two halves of the simulator share: the message frame fields, the
// command parameters the keyboard side knows, and the simulator's state. The
// frame check, faults and parameter messages are in KeyboardSimulator.cpp; the
// block transfers in KeyboardSimulatorTransfers.cpp. Not part of the interface.

#include "kbdsim/DemoContent.h"
#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/KeyboardSimulator.h"

#include <optional>

namespace kbdsim {
namespace internal {

constexpr std::size_t blockSize = 128;

// Command parameters of category 0.
enum CommandParameter : std::uint8_t {
    ModelCode = 0,
    beginCommunication = 32,
    FreeSongMemory = 33,
    FreeDataMemory = 34,
    DeleteSong = 35,
    DeleteRhythm = 36,
    DeleteToneGroup = 37,
    DeleteDrumGroup = 38,
    DeleteSmf = 39,
    Initialise = 41,
};
constexpr std::uint16_t sizeParameter = 3;

// The fields of a message in the common frame. Only made for messages that
// pass wellFormed().
struct Frame {
    std::uint8_t type;
    std::uint16_t category;
    std::uint16_t parameter;
    std::uint8_t head;
    std::uint16_t number;
};

// A handshake message of the keyboard for an item.
Bytes handshake(std::uint16_t category, std::uint16_t number, std::uint8_t command);

} // namespace internal

class KeyboardSimulator::Impl {
public:
    explicit Impl(const Options& options) : options(options) {
        if (options.content == StartContent::Demo)
            fillDemoContent(memory);
    }

    std::vector<Reply> handle(const Bytes& message);
    void forgetTransfers() {
        outgoing.reset();
        incoming.reset();
    }

    Options options;
    KeyboardMemory memory;
    std::size_t messageCount = 0;
    bool silenced = false;
    unsigned busyPolls = 0;

private:
    // An item on its way to the PC: a copy, so that a change to the slot
    // during the transfer cannot tear it.
    struct Outgoing {
        std::uint16_t category;
        std::uint16_t number;
        Bytes data;
        std::uint32_t nextBlock;
    };
    // An item on its way from the PC, collected until the end-of-data command.
    struct Incoming {
        std::uint16_t category;
        std::uint16_t number;
        Bytes data;
        std::uint32_t nextBlock;
        bool lastBlockSeen; // a block shorter than 128 bytes ends the item
        bool refused;       // a block was refused: the item is never stored
    };

    std::vector<Bytes> answer(const Bytes& message, MessageKind kind);
    std::vector<Bytes> answerParameterRequest(const Bytes& message, const internal::Frame& frame);
    std::optional<std::uint32_t> parameterValue(const internal::Frame& frame);
    void takeParameterValue(const Bytes& message, const internal::Frame& frame);
    void deleteItem(std::uint16_t parameter, std::uint32_t number);
    std::vector<Bytes> answerDataRequest(const internal::Frame& frame);
    std::vector<Bytes> answerNextBlock(const internal::Frame& frame);
    Bytes sendBlock(Outgoing& item);
    std::vector<Bytes> answerDataBlock(const Bytes& message, const internal::Frame& frame);
    std::uint8_t collectBlock(const Bytes& message, const internal::Frame& frame);
    void takeEndOfData(const internal::Frame& frame);
    void noteBlockDone(std::uint32_t block);
    std::vector<Reply> pace(std::vector<Bytes> replies) const;

    std::optional<Outgoing> outgoing;
    std::optional<Incoming> incoming;
};

} // namespace kbdsim
