#include "workflows/PcFileImport.h"

#include "core/Exception.h"
#include "core/NameText.h"
#include "model/VdfData.h"
#include "platform/files/AtomicFileWriter.h"
#include "platform/files/FileBytes.h"
#include "platform/files/WritableFolder.h"

#include <filesystem>
#include <system_error>

namespace qel {

namespace {

// The most "NAME (n)" names tried before a copy is refused.
constexpr int maximumCopyNumber = 999;

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// Whether the regular file at `path` holds exactly `bytes`.
bool holds(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const auto size = platform::fileSize(path);
    if (!size || *size != bytes.size())
        return false;
    const auto content = platform::readWholeFile(path);
    return content && *content == bytes;
}

} // namespace

PcFileImport::Outcome PcFileImport::copy(const std::vector<std::string>& paths) const {
    platform::requireWritableFolder(directory_);
    Outcome outcome;
    for (const std::string& path : paths)
        copyOne(path, outcome);
    return outcome;
}

void PcFileImport::copyOne(const std::string& path, Outcome& outcome) const {
    const std::string shown = terminalText(fileName(path));
    type::id type = type::UserTone;
    try {
        type = VdfData(path).type();
    } catch (const Exception& error) {
        // The file's content is not one the program knows; other failures
        // (a folder, a file that cannot be read) say so themselves.
        outcome.refused.push_back(shown + ": " +
                                  (error.message() == "Illegal Format"
                                       ? std::string("not an item file of a known type")
                                       : terminalText(error.message())));
        return;
    }
    const auto bytes = platform::readWholeFile(path);
    if (!bytes) {
        outcome.refused.push_back(shown + ": can't read the file");
        return;
    }
    const std::string stem = std::filesystem::path(path).stem().string();
    const std::string target = destination(stem, type == type::Smf ? ".mid" : ".vdf", *bytes);
    if (target.empty()) {
        outcome.refused.push_back(shown + ": every name up to \"" + terminalText(stem) + " (" +
                                  std::to_string(maximumCopyNumber) + ")\" is taken");
        return;
    }
    if (holds(target, *bytes)) {
        outcome.alreadyThere.push_back(path);
        return;
    }
    platform::AtomicFileWriter writer(target);
    if (!writer.write(*bytes) || !writer.commit()) {
        outcome.refused.push_back(shown + ": " + terminalText(writer.failureText()));
        return;
    }
    outcome.copied.push_back(target);
}

std::string PcFileImport::destination(const std::string& stem, const std::string& extension,
                                      const std::vector<std::uint8_t>& bytes) const {
    for (int n = 1; n <= maximumCopyNumber; ++n) {
        const std::string candidate =
            directory_ + stem + (n == 1 ? "" : " (" + std::to_string(n) + ")") + extension;
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error)))
            return candidate;
        if (holds(candidate, bytes))
            return candidate;
    }
    return {};
}

std::string PcFileImport::Outcome::resultText(const std::string& directory) const {
    if (copied.empty() && alreadyThere.empty())
        return {};
    std::string folder = directory;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string text = "Copied " + std::to_string(copied.size()) +
                       (copied.size() == 1 ? " file" : " files") + " into " +
                       terminalText(folder.empty() ? "." : folder);
    if (!alreadyThere.empty())
        text += ", " + std::to_string(alreadyThere.size()) + " already there";
    return text;
}

std::string PcFileImport::Outcome::refusalText() const {
    std::string text = "Not copied into the data directory:";
    for (const std::string& line : refused)
        text += "\n" + line;
    return text;
}

} // namespace qel
