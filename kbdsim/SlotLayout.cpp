#include "kbdsim/SlotLayout.h"

#include "core/Catalogue.h"

namespace kbdsim::layout {
namespace {

using qel::category::id;

bool inRange(std::uint16_t number, unsigned first, unsigned count) {
    return number >= first && number < first + count;
}

// Child numbers of the groups, as first + step * k for group k.
constexpr unsigned firstTimber = 520;
constexpr unsigned firstVoice = 950;
constexpr unsigned firstToneWave = 800;
constexpr unsigned firstInst = 240;
constexpr unsigned firstDrumWave = 2080;

void putWord(Bytes& data, std::size_t at, unsigned value) {
    data[at] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    data[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

unsigned wordAt(const Bytes& data, std::size_t at) {
    return (data[at] << 8) | data[at + 1];
}

} // namespace

bool isUserSlot(std::uint16_t category, std::uint16_t number) {
    switch (category) {
    case qel::category::Tone:
        return inRange(number, 750, 100 + toneGroupCount);
    case qel::category::Timbre:
        return inRange(number, firstTimber, toneGroupCount);
    case qel::category::Drum:
        return inRange(number, firstDrumGroup, drumGroupCount);
    case qel::category::Voice:
        return inRange(number, firstVoice, voicesPerToneGroup * toneGroupCount);
    case qel::category::Inst:
        return inRange(number, firstInst, wavesPerDrumGroup * drumGroupCount);
    case qel::category::Wave:
    case qel::category::WaveData:
        return inRange(number, firstToneWave,
                       wavesPerToneGroup * toneGroupCount + wavesPerDrumGroup * drumGroupCount);
    case qel::category::DSP:
    case qel::category::DrawbarOrgan:
        return inRange(number, 100, 100);
    case qel::category::Rhythm:
        return inRange(number, 140, 16);
    case qel::category::Registration:
        return inRange(number, 32, 32);
    case qel::category::Song:
        return inRange(number, 0, 5);
    case qel::category::SMF:
        return inRange(number, 0, 200);
    default:
        return false;
    }
}

std::size_t fixedSize(std::uint16_t category) {
    switch (category) {
    case qel::category::Tone:
        return 70;
    case qel::category::Timbre:
        return 40;
    case qel::category::Drum:
        return 1056;
    case qel::category::Voice:
        return 266;
    case qel::category::Inst:
        return 50;
    case qel::category::Wave:
        return 46;
    case qel::category::DSP:
        return 36;
    case qel::category::Registration:
        return 240;
    case qel::category::DrawbarOrgan:
        return 92;
    default:
        return 0;
    }
}

bool isVariableSize(std::uint16_t category) {
    return category == qel::category::WaveData || category == qel::category::Song ||
           category == qel::category::Rhythm || category == qel::category::SMF;
}

std::optional<std::size_t> nameOffsetInData(std::uint16_t category) {
    switch (category) {
    case qel::category::Tone:
        return 36;
    case qel::category::Timbre: // the name pair is its first two parameters
    case qel::category::Drum:
    case qel::category::DSP:
        return 0;
    case qel::category::Rhythm:
        return 2;
    case qel::category::DrawbarOrgan:
        return 58;
    default:
        return std::nullopt;
    }
}

std::optional<std::uint16_t> nameParameter(std::uint16_t category) {
    switch (category) {
    case qel::category::Tone:
        return 96;
    case qel::category::Timbre:
    case qel::category::Drum:
        return 0;
    case qel::category::DSP:
    case qel::category::DrawbarOrgan:
        return 48;
    case qel::category::Song:
    case qel::category::Rhythm:
    case qel::category::SMF:
        return 4;
    default:
        return std::nullopt;
    }
}

std::optional<std::uint16_t> groupOf(std::uint16_t category, std::uint16_t number) {
    if (!isUserSlot(category, number))
        return std::nullopt;
    const auto tone = [](unsigned k) { return static_cast<std::uint16_t>(firstToneGroup + k); };
    const auto drum = [](unsigned k) { return static_cast<std::uint16_t>(firstDrumGroup + k); };
    const unsigned toneWaveCount = wavesPerToneGroup * toneGroupCount;
    switch (category) {
    case qel::category::Tone:
        if (number >= firstToneGroup)
            return number;
        return std::nullopt;
    case qel::category::Timbre:
        return tone(number - firstTimber);
    case qel::category::Voice:
        return tone((number - firstVoice) / voicesPerToneGroup);
    case qel::category::Drum:
        return number;
    case qel::category::Inst:
        return drum((number - firstInst) / wavesPerDrumGroup);
    case qel::category::Wave:
    case qel::category::WaveData:
        if (number < firstToneWave + toneWaveCount)
            return tone((number - firstToneWave) / wavesPerToneGroup);
        return drum((number - firstDrumWave) / wavesPerDrumGroup);
    default:
        return std::nullopt;
    }
}

std::array<ChildRange, 5> toneGroupChildren(std::uint16_t group) {
    const unsigned k = group - firstToneGroup;
    const auto n = [](unsigned value) { return static_cast<std::uint16_t>(value); };
    return {{
        {qel::category::Tone, group, 1},
        {qel::category::Timbre, n(firstTimber + k), 1},
        {qel::category::Voice, n(firstVoice + voicesPerToneGroup * k), voicesPerToneGroup},
        {qel::category::Wave, n(firstToneWave + wavesPerToneGroup * k), wavesPerToneGroup},
        {qel::category::WaveData, n(firstToneWave + wavesPerToneGroup * k), wavesPerToneGroup},
    }};
}

std::array<ChildRange, 4> drumGroupChildren(std::uint16_t group) {
    const unsigned k = group - firstDrumGroup;
    const auto n = [](unsigned value) { return static_cast<std::uint16_t>(value); };
    return {{
        {qel::category::Drum, group, 1},
        {qel::category::Inst, n(firstInst + wavesPerDrumGroup * k), wavesPerDrumGroup},
        {qel::category::Wave, n(firstDrumWave + wavesPerDrumGroup * k), wavesPerDrumGroup},
        {qel::category::WaveData, n(firstDrumWave + wavesPerDrumGroup * k), wavesPerDrumGroup},
    }};
}

void writeGroupReferences(std::uint16_t category, std::uint16_t number, Bytes& data) {
    // Values wrap at 16 bits, as the words they are written into.
    const unsigned n = number;
    switch (category) {
    case qel::category::Tone:
        if (data.size() >= 46)
            putWord(data, 44, (n - 330) & 0xFFFF);
        break;
    case qel::category::Timbre:
        if (data.size() >= 36)
            for (unsigned j = 0; j < 4; ++j) {
                const std::size_t at = 16 + 6 * j;
                putWord(data, at, ((wordAt(data, at) & 0xC000) + 4 * n - 1130 + j) & 0xFFFF);
            }
        break;
    case qel::category::Drum:
        if (data.size() >= 32 + 8 * 128)
            for (unsigned i = 0; i < 128; ++i)
                putWord(data, 32 + 8 * i, (128 * n - 1936 + i) & 0xFFFF);
        break;
    case qel::category::Voice:
        if (data.size() >= 30 + 8 * 15)
            for (unsigned i = 0; i < 16; ++i)
                putWord(data, 28 + 8 * i, (16 * n - 14400 + i) & 0xFFFF);
        break;
    case qel::category::Inst:
        if (data.size() >= 4)
            putWord(data, 2, ((wordAt(data, 2) & 0xC000) + n + 1840) & 0xFFFF);
        break;
    default:
        break;
    }
}

} // namespace kbdsim::layout
