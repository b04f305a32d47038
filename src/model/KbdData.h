#pragma once

// One user-data item as the keyboard holds it: its category, its memory number,
// its name and size, and once read, its bytes. Tone groups, drum groups and
// packages are composite items (category 0x8000) without bytes of their own;
// they own child items, each a complete KbdData, and transfer them one by one.
//
// Every transfer goes through the MIDI dialog the caller hands in, which must
// be open for the whole call. A failed dialog operation throws Exception with
// the dialog's error text; a failing composite transfer stops at the failing
// child.

#include "core/ByteVector.h"
#include "core/Catalogue.h"
#include "core/KeyboardTables.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qel {

class MidiDialog;
class VdfData;
class KbdData;
using KbdDataPtr = std::shared_ptr<KbdData>;

// Child items by category, in ascending (unsigned) category order, each vector
// in creation order: the order of every receive and send.
using KbdDataChildren = std::map<category::id, std::vector<KbdDataPtr>>;

class KbdData {
public:
    // Reads a slot from the keyboard: its size and name, or for a tone group
    // (type 3) or drum group (type 4) of category 0x8000, all its children.
    // Song and registration names are made from the number, not asked.
    KbdData(MidiDialog& dialog, category::id category, type::id type, std::uint16_t number);

    // Builds an item to send into slot `number` from a file item prepared with
    // VdfData::loadForSending(). Children of tone groups, drum groups and
    // packages are numbered for their target slots; the source's bytes are
    // moved out of it.
    KbdData(std::uint16_t number, std::uint16_t position, VdfData& source);

    // Reads the item's bytes (for a composite item, its children's) from the
    // keyboard. Items of size 0 cause no traffic. Throws Exception when the
    // keyboard reports an impossible size or sends fewer bytes than it announced.
    const ByteVector& receive(MidiDialog& dialog);

    // Writes the item (or its children) to the keyboard. A composite item of
    // size 0 sends nothing; rhythms and SMF are followed by their name.
    void send(MidiDialog& dialog);

    // Number of children, over all categories, whose size is not 0.
    std::uint16_t loadedChildCount() const;

    bool isComposite() const { return category_ == category::Package; }
    category::id category() const { return category_; }
    type::id type() const { return type_; }
    std::uint16_t number() const { return number_; }
    std::uint16_t position() const { return position_; }
    std::string name() const { return name_; }
    std::int32_t size() const { return size_; }
    bool waveFlag() const { return waveFlag_; }
    bool skipSend() const { return skipSend_; }
    ByteVector& data() { return data_; }
    const ByteVector& data() const { return data_; }
    KbdDataChildren& children() { return children_; }
    const KbdDataChildren& children() const { return children_; }

    void setPosition(std::uint16_t position) { position_ = position; }
    void setSkipSend(bool skip) { skipSend_ = skip; }

    // The largest item the keyboard can hold (its whole data area); a larger
    // size reported by the keyboard is refused before anything is allocated.
    static constexpr std::int32_t maximumItemSize = command::dataMemorySize;

private:
    // The item's size: its category's fixed size, or asked from the keyboard.
    std::int32_t askSize(MidiDialog& dialog) const;
    void buildGroup(MidiDialog& dialog);
    void buildChildrenForSending(VdfData& source);
    void buildGroupChildrenForSending(VdfData& source);
    void buildPackageChildrenForSending(VdfData& source);
    void setData(ByteVector& source);
    void rewriteReferences();
    void putReference(std::size_t offset, unsigned value, bool keepTopBits);
    std::string sendCaption() const;

    bool waveFlag_ = false;
    bool skipSend_ = false;
    category::id category_ = category::Command;
    type::id type_ = type::UserTone;
    std::uint16_t number_ = 0;
    std::uint16_t position_ = 0;
    std::string name_;
    std::int32_t size_ = 0;
    ByteVector data_;
    KbdDataChildren children_;
};

// The light record of one keyboard slot that the keyboard list keeps.
struct KbdDataAttribute {
    category::id category = category::Command;
    std::string name;
    std::int32_t size = 0;
    std::uint16_t number = 0;
    std::uint16_t position = 0;
    // False when the slot could not be read after a failed change: its name
    // and size are not known, and the list shows it as such.
    bool known = true;
};
using KbdDataAttributePtr = std::shared_ptr<KbdDataAttribute>;
// The slots of one data type.
using KbdDataAttributeList = std::vector<KbdDataAttributePtr>;

} // namespace qel
