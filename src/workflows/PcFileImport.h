#pragma once

// Files from elsewhere (dropped from the desktop's file manager) copied into
// the data directory. Only files that hold an item of a known type are
// copied; the others are refused, each with its reason. Nothing is
// overwritten: a file of the same name with other content leaves the name to
// it and the copy takes the first free "NAME (2).vdf", "NAME (3).vdf", ...;
// a file of the same content already there is not copied again.

#include <string>
#include <vector>

namespace qel {

class PcFileImport {
public:
    struct Outcome {
        // The files written into the data directory, by path.
        std::vector<std::string> copied;
        // The sources whose content the data directory held already.
        std::vector<std::string> alreadyThere;
        // "a.txt: not an item file of a known type", one per source refused.
        std::vector<std::string> refused;

        // "Copied 2 files into DIR, 1 already there"; empty when nothing
        // was copied or found there.
        std::string resultText(const std::string& directory) const;
        // "Not copied into the data directory:" and the refusals, one a line.
        std::string refusalText() const;
    };

    // `directory` is the data directory, used as a prefix (empty: the
    // working directory); it is made when missing.
    explicit PcFileImport(std::string directory) : directory_(std::move(directory)) {}

    // Copies the files at `paths`, in order. Throws Exception "Can't create
    // the file in DIRECTORY (REASON)" before any copy when the data directory
    // cannot take files.
    Outcome copy(const std::vector<std::string>& paths) const;

private:
    // Copies one file; adds it to `outcome` under what became of it.
    void copyOne(const std::string& path, Outcome& outcome) const;
    // Where the copy of an item of `extension` named `stem` goes: the first
    // name that is free or holds the same bytes already.
    std::string destination(const std::string& stem, const std::string& extension,
                            const std::vector<std::uint8_t>& bytes) const;

    std::string directory_;
};

} // namespace qel
