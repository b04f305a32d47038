// Writing a container file: VdfData::save().

#include "core/Exception.h"
#include "model/VdfData.h"
#include "platform/files/AtomicFileWriter.h"

namespace qel {
namespace {

// The categories of a package's items that are written after its own bytes,
// in file order: registrations, then the parts of tone and drum groups.
constexpr category::id writtenChildCategories[] = {
    category::Registration, category::Tone, category::Timbre, category::Voice,
    category::Drum,         category::Inst, category::Wave,   category::WaveData,
};

void writeOwnBytes(platform::AtomicFileWriter& writer, const VdfData& item) {
    writer.write(item.header());
    writer.write(item.prefix());
    writer.write(item.data());
}

} // namespace

void VdfData::save() {
    platform::AtomicFileWriter writer(path_);
    writeOwnBytes(writer, *this);
    for (category::id c : writtenChildCategories) {
        const auto found = children_.find(c);
        if (found == children_.end())
            continue;
        for (const VdfDataPtr& child : found->second)
            writeOwnBytes(writer, *child); // not the child's own items
    }
    if (!writer.commit())
        throw Exception(writer.failureText());
    attachCategory();
}

} // namespace qel
