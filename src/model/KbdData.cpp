#include "model/KbdData.h"

#include "model/CurrentMidiDialog.h"
#include "model/Exception.h"
#include "model/GroupLayout.h"

#include <limits>
#include <span>

namespace qel {

namespace {

// Keeps the dialog's progress window hidden while a slot is queried, and gives
// the caller's setting back afterwards, also on failure.
class HiddenProgress {
public:
    explicit HiddenProgress(IQelMidiDialog& dialog)
        : dialog_(dialog), saved_(dialog.GetShowProgress()) {
        dialog_.SetShowProgress(false);
    }
    ~HiddenProgress() { dialog_.SetShowProgress(saved_); }
    HiddenProgress(const HiddenProgress&) = delete;
    HiddenProgress& operator=(const HiddenProgress&) = delete;

private:
    IQelMidiDialog& dialog_;
    bool saved_;
};

std::string registrationName(std::uint16_t number) {
    // Four registrations a bank; the user banks start at number 28 + 4.
    return std::to_string(number / 4 - 7) + " - " + std::to_string(number % 4 + 1);
}

} // namespace

KbdData::KbdData(category::id category, type::id type, std::uint16_t number)
    : category_(category), type_(type), number_(number) {
    IQelMidiDialog& dialog = requireMidiDialog();
    HiddenProgress hidden(dialog);
    switch (category_) {
    case category::Song:
        size_ = dialog.GetDataSize(category_, number_);
        checkMidiError(dialog);
        name_ = "Song0" + std::to_string(number_);
        break;
    case category::Registration:
        size_ = dialog.GetDataSize(category_, number_);
        checkMidiError(dialog);
        name_ = registrationName(number_);
        break;
    case category::Package:
        buildGroup();
        break;
    default:
        size_ = dialog.GetDataSize(category_, number_);
        checkMidiError(dialog);
        name_ = dialog.GetDataName(category_, number_);
        checkMidiError(dialog);
        break;
    }
}

void KbdData::buildGroup() {
    const auto rows = groupLayout::rows(type_);
    if (rows.empty())
        return;
    for (const groupLayout::Row& row : rows) {
        auto& list = children_[row.category];
        list.clear();
        const std::uint16_t first = groupLayout::firstNumber(row, type_, number_);
        // Only the group's main block has a position the player sees: the group's own.
        const std::uint16_t firstPosition =
            row.category == rows.front().category ? groupPosition() : 0;
        for (std::uint16_t i = 0; i < row.count; ++i) {
            auto child = std::make_shared<KbdData>(row.category, type_,
                                                   static_cast<std::uint16_t>(first + i));
            child->setPosition(static_cast<std::uint16_t>(firstPosition + i));
            list.push_back(std::move(child));
        }
    }
    name_ = children_[rows.front().category].front()->name();
    // Summed wide: the sizes come from the keyboard and may be anything.
    std::int64_t total = 0;
    for (const KbdDataPtr& waveData : children_[category::WaveData])
        total += waveData->size();
    if (total < 0 || total > std::numeric_limits<std::int32_t>::max())
        throw Exception("The keyboard reported an impossible size of " + std::to_string(total) +
                        " bytes for group " + std::to_string(number_));
    size_ = static_cast<std::int32_t>(total);
}

std::uint16_t KbdData::groupPosition() const {
    // Tone groups 850- show as 700-, drum groups 17- as 800-.
    const int offset = type_ == type::UserDrumWithWave ? 783 : -150;
    return static_cast<std::uint16_t>(number_ + offset);
}

const ByteVector& KbdData::receive() {
    data_.clear();
    if (isComposite()) {
        for (auto& [category, list] : children_)
            for (const KbdDataPtr& child : list)
                if (child->size() != 0)
                    child->receive();
        return data_;
    }
    if (size_ == 0)
        return data_;
    if (size_ < 0 || size_ > maximumItemSize)
        throw Exception("The keyboard reported an impossible size of " + std::to_string(size_) +
                        " bytes for " + categoryNames[category_] + " " + std::to_string(number_));
    IQelMidiDialog& dialog = requireMidiDialog();
    data_.assign(static_cast<std::size_t>(size_), 0);
    dialog.BeginCommunication();
    checkMidiError(dialog);
    const std::size_t received = dialog.ReceiveData(category_, number_, std::span(data_));
    checkMidiError(dialog);
    if (received != data_.size()) {
        data_.clear();
        throw Exception("The keyboard sent " + std::to_string(received) + " of " +
                        std::to_string(size_) + " bytes");
    }
    return data_;
}

void KbdData::send() {
    if (isComposite()) {
        if (size_ == 0)
            return;
        for (auto& [category, list] : children_)
            for (const KbdDataPtr& child : list)
                child->send();
        return;
    }
    if (skipSend_)
        return;
    IQelMidiDialog& dialog = requireMidiDialog();
    dialog.SetShowProgress(true);
    dialog.SetCaption(sendCaption());
    dialog.SendData(category_, number_, data_);
    checkMidiError(dialog);
    if ((category_ == category::SMF || category_ == category::Rhythm) && size_ != 0) {
        dialog.SendDataName(category_, number_, name_);
        checkMidiError(dialog);
    }
}

std::string KbdData::sendCaption() const {
    if (type_ == type::UserToneWithWave)
        return "TONE WITH WAVE";
    if (type_ == type::UserDrumWithWave)
        return "DRUM WITH WAVE";
    if (category_ < category::count)
        return groupCaptions[category_];
    return "";
}

std::uint16_t KbdData::loadedChildCount() const {
    std::uint16_t count = 0;
    for (const auto& [category, list] : children_)
        for (const KbdDataPtr& child : list)
            if (child->size() != 0)
                ++count;
    return count;
}

void KbdData::setData(ByteVector& source) {
    data_ = source;
    source.clear();
    if (waveFlag_)
        rewriteReferences();
    if (!isComposite())
        size_ = static_cast<std::int32_t>(data_.size());
}

void KbdData::rewriteReferences() {
    // Writes a 16-bit big-endian reference at `offset`, when it fits in data_;
    // keepTopBits keeps the two flag bits of the old value.
    auto put = [this](std::size_t offset, unsigned value, bool keepTopBits) {
        if (offset + 2 > data_.size())
            return;
        if (keepTopBits)
            value += (data_[offset] << 8 | data_[offset + 1]) & 0xC000u;
        data_[offset] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
        data_[offset + 1] = static_cast<std::uint8_t>(value & 0xFF);
    };
    const unsigned n = number_;
    switch (category_) {
    case category::Tone: // its Timber
        put(44, n - 330, false);
        break;
    case category::Timber: // its four Voices
        for (unsigned j = 0; j < 4; ++j)
            put(16 + 6 * j, 4 * n - 1130 + j, true);
        break;
    case category::Drum: // its 128 Insts
        for (unsigned i = 0; i < 128; ++i)
            put(32 + 8 * i, 128 * n - 1936 + i, false);
        break;
    case category::Voice: // its 16 Waves
        for (unsigned i = 0; i < 16; ++i)
            put(28 + 8 * i, 16 * n - 14400 + i, false);
        break;
    case category::Inst: // its Wave
        put(2, n + 1840, true);
        break;
    default:
        break;
    }
}

} // namespace qel
