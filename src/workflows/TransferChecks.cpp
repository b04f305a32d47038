// What the data manager does around every change of the keyboard, so that no
// item there is destroyed for nothing: it acts only on lists it has read,
// decides that what it sends fits before it clears anything, asks before it
// destroys (keeping a copy or a backup first when asked to), and after a
// failed change reads the slot again so that the list shows what the keyboard
// holds.

#include "core/Exception.h"
#include "core/NameText.h"
#include "model/KbdData.h"
#include "workflows/Transfers.h"

#include <QDateTime>

namespace qel {

namespace {

// A name's raw bytes as text that any display can show (see NameText.h).
std::string quoted(const std::string& name) {
    return "\"" + terminalName(name) + "\"";
}

} // namespace

// ---- lists read ----

// ---- memory ----

bool Transfers::deletable(type::id type) {
    return command::deleteParameter(type).has_value();
}

// ---- asking first ----

std::string Transfers::slotName(type::id type, const KbdDataAttribute& slot) {
    return std::string(typeLabels[type]) + " " + std::to_string(slot.position);
}

std::string Transfers::describeSlot(type::id type, const KbdDataAttribute& slot) {
    if (!slot.known)
        return slotName(type, slot) + " (contents unknown)";
    return slotName(type, slot) + " " + quoted(slot.name) + " " + std::to_string(slot.size) +
           " bytes";
}

bool Transfers::occupied(type::id type, const KbdDataAttribute& slot) {
    // What the list shows as "(empty)" is the one thing a change cannot destroy.
    return !emptySlot(type, slot);
}

bool Transfers::confirmDestroying(const DestroyQuestion& question, type::id copyType,
                                  const KbdDataAttributePtr& copyOf) {
    return confirmDestroyingAll(question, copyType,
                                copyOf ? std::vector<KbdDataAttributePtr>{copyOf}
                                       : std::vector<KbdDataAttributePtr>{});
}

bool Transfers::confirmDestroyingAll(const DestroyQuestion& question, type::id copyType,
                                     const std::vector<KbdDataAttributePtr>& copiesOf) {
    const DestroyAnswer answer = [&] {
        // The question stands alone, not over the progress window.
        const ActionProgress::Hidden hidden(state_.progress);
        return state_.view.askBeforeDestroying(question);
    }();
    switch (answer.choice) {
    case DestroyAnswer::Choice::Cancel:
        return false;
    case DestroyAnswer::Choice::BackUpFirst:
        if (answer.backupFolder.empty())
            return false;
        backUp_(answer.backupFolder);
        return true;
    case DestroyAnswer::Choice::Proceed:
        if (answer.keepCopy) {
            // One folder for everything the action replaces.
            const std::string folder = replacedFolder();
            for (const KbdDataAttributePtr& slot : copiesOf)
                if (slot && occupied(copyType, *slot))
                    keepCopy(copyType, *slot, folder);
        }
        return true;
    }
    return false;
}

std::string Transfers::replacedFolder() const {
    std::string folder = replacedFolder_;
    if (folder.empty())
        folder = getDataDirectory() + "Replaced/" +
                 QDateTime::currentDateTime().toString("yyyy-MM-dd HHmmss").toStdString() + "/";
    else if (folder.back() != '/')
        folder += '/';
    return folder;
}

void Transfers::keepCopy(type::id type, const KbdDataAttribute& slot, const std::string& folder) {
    const VdfDataAttributePtr kept = receiveKbdItem(type, slot, folder);
    state_.view.showBackupStep("kept a copy of " + describeSlot(type, slot) + " in " + kept->path);
}

// ---- after a failed change ----

void Transfers::rereadSlot(type::id type, KbdDataAttribute& slot) {
    try {
        const KbdSession session(state_.frame, false);
        const KbdData item(session.dialog(), slot.category, type, slot.number);
        slot.name = item.name();
        slot.size = item.size();
        slot.known = true;
    } catch (const std::exception&) {
        slot.known = false;
    }
}

void Transfers::rereadAfterFailure(type::id type, const std::vector<KbdDataAttributePtr>& records) {
    // The reads run even after the user's cancel, which ended the change.
    const ActionProgress::CleanUp cleanUp(state_.progress);
    try {
        // A Cancel holds until the dialog's window is next shown: one request
        // with the window shown lets the user's Cancel, which ended the send,
        // leave the reading alone (and a new Cancel still stops it).
        const KbdSession session(state_.frame, true);
        dialog().setShowProgress(true);
        dialog().setCaption("Reading the slot again..");
        dialog().getModel();
        dialog().setCaption("");
    } catch (const std::exception&) {
        // The reads below fail on their own and mark the slots unknown.
    }
    for (const KbdDataAttributePtr& slot : records)
        if (slot)
            rereadSlot(type, *slot);
    kbdListing_.showKbdList();
}

} // namespace qel
