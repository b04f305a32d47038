#include "model/KbdData.h"

#include "core/Exception.h"
#include "core/KeyboardTables.h"
#include "link/MidiDialog.h"
#include "model/MidiError.h"

#include <limits>
#include <span>

namespace qel {

namespace {

// Keeps the dialog's progress window hidden while a slot is queried, and gives
// the caller's setting back afterwards, also on failure.
class HiddenProgress {
public:
    explicit HiddenProgress(MidiDialog& dialog)
        : dialog_(dialog), saved_(dialog.getShowProgress()) {
        dialog_.setShowProgress(false);
    }
    ~HiddenProgress() { dialog_.setShowProgress(saved_); }
    HiddenProgress(const HiddenProgress&) = delete;
    HiddenProgress& operator=(const HiddenProgress&) = delete;

private:
    MidiDialog& dialog_;
    bool saved_;
};

std::string registrationName(std::uint16_t number) {
    // Four registrations a bank; the user banks start at number 28 + 4.
    return std::to_string(number / 4 - 7) + " - " + std::to_string(number % 4 + 1);
}

} // namespace

KbdData::KbdData(MidiDialog& dialog, category::id category, type::id type, std::uint16_t number)
    : category_(category), type_(type), number_(number) {
    HiddenProgress hidden(dialog);
    switch (category_) {
    case category::Song:
        size_ = askSize(dialog);
        name_ = "Song0" + std::to_string(number_);
        break;
    case category::Registration:
        size_ = askSize(dialog);
        name_ = registrationName(number_);
        break;
    case category::Package:
        buildGroup(dialog);
        break;
    default:
        size_ = askSize(dialog);
        name_ = dialog.getDataName(category_, number_);
        // Nor is the name of a category without names.
        if (!transfer::hasNoName(transfer::nameParameter(category_)))
            checkMidiError(dialog);
        break;
    }
}

std::int32_t KbdData::askSize(MidiDialog& dialog) const {
    const std::int32_t size = dialog.getDataSize(category_, number_);
    // A fixed size is not asked, and leaves the dialog's error code as the
    // last operation left it: that one may have failed (a cancelled send
    // before the slot is read again).
    if (transfer::fixedSize(category_) == 0)
        checkMidiError(dialog);
    return size;
}

void KbdData::buildGroup(MidiDialog& dialog) {
    const auto rows = groupLayout::rows(type_);
    if (rows.empty())
        return;
    for (const groupLayout::Row& row : rows) {
        auto& list = children_[row.category];
        list.clear();
        const std::uint16_t first = groupLayout::firstNumber(row, type_, number_);
        // Only the group's main block has a position the player sees: the group's own.
        const std::uint16_t firstPosition =
            row.category == rows.front().category ? kbdSlots::positionOf(type_, number_) : 0;
        for (std::uint16_t i = 0; i < row.count; ++i) {
            auto child = std::make_shared<KbdData>(dialog, row.category, type_,
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

const ByteVector& KbdData::receive(MidiDialog& dialog) {
    data_.clear();
    if (isComposite()) {
        for (auto& [category, list] : children_)
            for (const KbdDataPtr& child : list)
                if (child->size() != 0)
                    child->receive(dialog);
        return data_;
    }
    if (size_ == 0)
        return data_;
    if (size_ < 0 || size_ > maximumItemSize)
        throw Exception("The keyboard reported an impossible size of " + std::to_string(size_) +
                        " bytes for " + categoryName(category_) + " " + std::to_string(number_));
    // Blocks carry whole byte pairs: an item of odd size arrives with one
    // byte of padding, which has room here and is dropped afterwards.
    const auto size = static_cast<std::size_t>(size_);
    data_.assign(size + size % 2, 0);
    dialog.beginCommunication();
    checkMidiError(dialog);
    const std::size_t received = dialog.receiveData(category_, number_, std::span(data_));
    checkMidiError(dialog);
    if (received != size && received != data_.size()) {
        data_.clear();
        throw Exception("The keyboard sent " + std::to_string(received) + " of " +
                        std::to_string(size_) + " bytes");
    }
    data_.resize(size);
    return data_;
}

void KbdData::send(MidiDialog& dialog) {
    if (isComposite()) {
        if (size_ == 0)
            return;
        for (auto& [category, list] : children_)
            for (const KbdDataPtr& child : list)
                child->send(dialog);
        return;
    }
    if (skipSend_)
        return;
    dialog.setShowProgress(true);
    dialog.setCaption(sendCaption());
    dialog.sendData(category_, number_, data_);
    checkMidiError(dialog);
    if ((category_ == category::SMF || category_ == category::Rhythm) && size_ != 0) {
        dialog.sendDataName(category_, number_, name_);
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
    const groupLayout::Row* from = groupLayout::find(type_, category_);
    if (from == nullptr)
        return;
    for (const groupLayout::Reference& reference : groupLayout::referencesFrom(category_)) {
        const groupLayout::Row* to = groupLayout::find(type_, reference.to);
        if (to == nullptr)
            continue;
        // The k-th part of its category refers to the blocks that the k-th
        // part owns in the referenced category. Unsigned, so that a number
        // below the layout's base wraps as the keyboard's 16 bits do.
        const unsigned perPart = to->step / from->step;
        const unsigned first = to->base + (number_ - unsigned{from->base}) * perPart;
        for (unsigned j = 0; j < reference.count; ++j)
            putReference(reference.offset + reference.stride * j, first + j, reference.keepTopBits);
    }
}

void KbdData::putReference(std::size_t offset, unsigned value, bool keepTopBits) {
    // A reference that does not fit in the bytes is left out, not written past them.
    if (offset + 2 > data_.size())
        return;
    if (keepTopBits)
        value += (data_[offset] << 8 | data_[offset + 1]) & 0xC000u;
    data_[offset] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    data_[offset + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace qel
