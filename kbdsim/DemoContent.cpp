#include "kbdsim/DemoContent.h"

#include "core/Catalogue.h"
#include "kbdsim/SlotLayout.h"

#include <cmath>
#include <numbers>
#include <string>

namespace kbdsim {
namespace {

// Deterministic filler that looks like parameter data: 7-bit values.
Bytes pattern(std::size_t size, unsigned seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((seed * 31 + i * 7 + (i >> 3)) & 0x7F);
    return bytes;
}

void putName(Bytes& data, std::uint16_t category, const std::string& name) {
    const auto offset = layout::nameOffsetInData(category);
    if (!offset || data.size() < *offset + layout::nameLength)
        return;
    for (std::size_t i = 0; i < layout::nameLength; ++i)
        data[*offset + i] = static_cast<std::uint8_t>(i < name.size() ? name[i] : ' ');
}

std::string numbered(const char* stem, unsigned n) {
    return stem + std::to_string(n);
}

// A fixed-size block with a name and, inside a group, the references to the
// blocks of its own group.
void storeBlock(KeyboardMemory& memory, std::uint16_t category, std::uint16_t number, unsigned seed,
                const std::string& name = {}) {
    Bytes data = pattern(layout::fixedSize(category), seed);
    if (!name.empty())
        putName(data, category, name);
    if (layout::groupOf(category, number))
        layout::writeGroupReferences(category, number, data);
    memory.store(category, number, std::move(data));
}

// `samples` 16-bit big-endian samples of a decaying sine wave.
Bytes sineWave(std::size_t samples, double cycles, double decay) {
    Bytes wave;
    wave.reserve(samples * 2);
    for (std::size_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(samples);
        const double value = std::sin(2 * std::numbers::pi * cycles * t) * std::exp(-decay * t);
        const auto sample = static_cast<std::int16_t>(std::lround(value * 20000));
        const auto word = static_cast<std::uint16_t>(sample);
        wave.push_back(static_cast<std::uint8_t>(word >> 8));
        wave.push_back(static_cast<std::uint8_t>(word & 0xFF));
    }
    return wave;
}

void fillToneGroup(KeyboardMemory& memory, std::uint16_t group) {
    const auto children = layout::toneGroupChildren(group);
    const std::string name = "DEMO TW1";
    storeBlock(memory, qel::category::Tone, children[0].first, 50, name);
    storeBlock(memory, qel::category::Timbre, children[1].first, 51, name);
    for (unsigned i = 0; i < children[2].count; ++i)
        storeBlock(memory, qel::category::Voice, static_cast<std::uint16_t>(children[2].first + i),
                   60 + i);
    for (unsigned i = 0; i < 4; ++i) {
        const auto number = static_cast<std::uint16_t>(children[3].first + i);
        storeBlock(memory, qel::category::Wave, number, 70 + i);
        memory.store(qel::category::WaveData, number, sineWave(256, 2.0 + i, 1.0));
    }
}

void fillDrumGroup(KeyboardMemory& memory, std::uint16_t group) {
    const auto children = layout::drumGroupChildren(group);
    storeBlock(memory, qel::category::Drum, children[0].first, 80, "DEMO DW1");
    for (unsigned i = 0; i < 4; ++i) {
        storeBlock(memory, qel::category::Inst, static_cast<std::uint16_t>(children[1].first + i),
                   90 + i);
        const auto number = static_cast<std::uint16_t>(children[2].first + i);
        storeBlock(memory, qel::category::Wave, number, 100 + i);
        memory.store(qel::category::WaveData, number, sineWave(192, 5.0 + 3 * i, 6.0));
    }
}

void appendVariableLength(Bytes& out, std::uint32_t value) {
    Bytes groups{static_cast<std::uint8_t>(value & 0x7F)};
    while ((value >>= 7) != 0)
        groups.insert(groups.begin(), static_cast<std::uint8_t>((value & 0x7F) | 0x80));
    out.insert(out.end(), groups.begin(), groups.end());
}

void appendBigEndian(Bytes& out, std::uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
}

} // namespace

Bytes makeDemoSmf(unsigned noteCount) {
    static constexpr std::uint8_t scale[] = {60, 62, 64, 65, 67, 69, 71, 72};
    const auto track = [noteCount](const std::string& title) {
        Bytes events{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}; // 120 beats a minute
        events.insert(events.end(), {0x00, 0xFF, 0x03, static_cast<std::uint8_t>(title.size())});
        events.insert(events.end(), title.begin(), title.end());
        for (unsigned i = 0; i < noteCount; ++i) {
            const std::uint8_t key = scale[i % 8];
            events.insert(events.end(), {0x00, 0x90, key, 0x64});
            appendVariableLength(events, 480); // one beat
            events.insert(events.end(), {0x80, key, 0x40});
        }
        events.insert(events.end(), {0x00, 0xFF, 0x2F, 0x00});
        return events;
    };
    // Blocks carry whole byte pairs; a title one character longer makes the
    // file even, so that it travels unchanged.
    std::string title = "Demo " + std::to_string(noteCount);
    Bytes events = track(title);
    if (events.size() % 2 != 0) {
        title += '.';
        events = track(title);
    }
    Bytes smf{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0};
    smf.insert(smf.end(), {'M', 'T', 'r', 'k'});
    appendBigEndian(smf, static_cast<std::uint32_t>(events.size()), 4);
    smf.insert(smf.end(), events.begin(), events.end());
    return smf;
}

void fillDemoContent(KeyboardMemory& memory) {
    using namespace qel::category;
    for (unsigned i = 0; i < 4; ++i)
        storeBlock(memory, Tone, static_cast<std::uint16_t>(750 + i), i,
                   numbered("DEMO TN", i + 1));
    for (unsigned i = 0; i < 3; ++i)
        storeBlock(memory, DSP, static_cast<std::uint16_t>(100 + i), 10 + i,
                   numbered("DEMO DS", i + 1));
    for (unsigned i = 0; i < 2; ++i)
        storeBlock(memory, DrawbarOrgan, static_cast<std::uint16_t>(100 + i), 20 + i,
                   numbered("DEMO DB", i + 1));
    for (unsigned i = 0; i < 4; ++i)
        storeBlock(memory, Registration, static_cast<std::uint16_t>(32 + i), 30 + i);
    for (unsigned i = 0; i < 2; ++i) {
        const auto number = static_cast<std::uint16_t>(140 + i);
        Bytes rhythm = pattern(300 + 220 * i, 40 + i);
        putName(rhythm, Rhythm, numbered("DEMO RH", i + 1));
        memory.store(Rhythm, number, std::move(rhythm));
        memory.setName(Rhythm, number, numbered("DEMO RH", i + 1));
    }
    memory.store(Song, 0, makeDemoSmf(8));
    memory.store(Song, 1, makeDemoSmf(24));
    const unsigned smfNotes[] = {4, 12, 40};
    for (unsigned i = 0; i < 3; ++i) {
        const auto number = static_cast<std::uint16_t>(i);
        memory.store(SMF, number, makeDemoSmf(smfNotes[i]));
        memory.setName(SMF, number, numbered("DEMO SM", i + 1));
    }
    fillToneGroup(memory, layout::firstToneGroup);
    fillDrumGroup(memory, layout::firstDrumGroup);
}

} // namespace kbdsim
