#pragma once

// The fourteen concrete category classes of PC file items, and the factory that
// picks one by category number.

#include "core/KeyboardTables.h"
#include "model/VdfDataCategory.h"

#include <memory>

namespace qel {

class VdfTone : public VdfNamedDataCategory {
public:
    category::id category() const override { return category::Tone; }
    int nameOffset() const override { return static_cast<int>(*nameOffsetInData(category::Tone)); }
};

class VdfTimbre : public VdfUnnamedDataCategory {
public:
    category::id category() const override { return category::Timbre; }
};

class VdfDrum : public VdfNamedDataCategory {
public:
    category::id category() const override { return category::Drum; }
    int nameOffset() const override { return static_cast<int>(*nameOffsetInData(category::Drum)); }
};

class VdfVoice : public VdfUnnamedDataCategory {
public:
    category::id category() const override { return category::Voice; }
};

class VdfInst : public VdfUnnamedDataCategory {
public:
    category::id category() const override { return category::Inst; }
};

class VdfWave : public VdfUnnamedDataCategory {
public:
    category::id category() const override { return category::Wave; }
};

class VdfWaveData : public VdfUnnamedDataCategory {
public:
    category::id category() const override { return category::WaveData; }
};

class VdfDsp : public VdfNamedDataCategory {
public:
    category::id category() const override { return category::DSP; }
    int nameOffset() const override { return static_cast<int>(*nameOffsetInData(category::DSP)); }
};

class VdfSong : public VdfUnnamedDataCategory {
public:
    category::id category() const override { return category::Song; }
};

class VdfRhythm : public VdfNamedDataCategory {
public:
    category::id category() const override { return category::Rhythm; }
    int nameOffset() const override {
        return static_cast<int>(*nameOffsetInData(category::Rhythm));
    }
};

class VdfRegmem : public VdfUnnamedDataCategory {
public:
    category::id category() const override { return category::Registration; }
};

class VdfDrawbar : public VdfNamedDataCategory {
public:
    category::id category() const override { return category::DrawbarOrgan; }
    int nameOffset() const override {
        return static_cast<int>(*nameOffsetInData(category::DrawbarOrgan));
    }
};

class VdfSMF : public VdfUnnamedDataCategory {
public:
    category::id category() const override { return category::SMF; }
};

class VdfMulti : public VdfUnnamedDataCategory {
public:
    category::id category() const override { return category::Package; }
};

// A new object of the class for `id`, or null for a category that has no class
// (0, 1, 14, 15 and any unlisted number).
std::unique_ptr<VdfDataCategory> makeCategory(std::uint16_t id);

} // namespace qel
