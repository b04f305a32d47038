#include "model/VdfCategories.h"

namespace qel {

std::unique_ptr<VdfDataCategory> makeCategory(std::uint16_t id) {
    switch (id) {
    case category::Tone:
        return std::make_unique<VdfTone>();
    case category::Timbre:
        return std::make_unique<VdfTimbre>();
    case category::Drum:
        return std::make_unique<VdfDrum>();
    case category::Voice:
        return std::make_unique<VdfVoice>();
    case category::Inst:
        return std::make_unique<VdfInst>();
    case category::Wave:
        return std::make_unique<VdfWave>();
    case category::WaveData:
        return std::make_unique<VdfWaveData>();
    case category::DSP:
        return std::make_unique<VdfDsp>();
    case category::Song:
        return std::make_unique<VdfSong>();
    case category::Rhythm:
        return std::make_unique<VdfRhythm>();
    case category::Registration:
        return std::make_unique<VdfRegmem>();
    case category::DrawbarOrgan:
        return std::make_unique<VdfDrawbar>();
    case category::SMF:
        return std::make_unique<VdfSMF>();
    case category::Package:
        return std::make_unique<VdfMulti>();
    default:
        return nullptr;
    }
}

} // namespace qel
