#pragma once

// The category classes of PC file items: each gives its category number and
// the rule by which an item of that category gets its 8-character entry name.

#include "core/Catalogue.h"

#include <string>

namespace qel {

class VdfData;

// Base of the category classes. Holds the entry name it derived last.
class VdfDataCategory {
public:
    // Virtual so that an owner holding the base pointer destroys the right class.
    virtual ~VdfDataCategory() = default;

    // The category number of the class.
    virtual category::id category() const = 0;

    // Derives the entry name of `item`, keeps it and returns it.
    // Throws Exception when the name cannot be had (see the subclasses).
    virtual const std::string& entryName(const VdfData& item) = 0;

protected:
    std::string name_;
};

// Categories whose items carry no name inside their data: the name is the
// item's file name without extension, as entryNameFromPath() reads it.
class VdfUnnamedDataCategory : public VdfDataCategory {
public:
    const std::string& entryName(const VdfData& item) override;
};

// Categories whose items carry their 8-character name inside their data, at
// nameOffset() from the start of the data (after the 64-byte container header).
class VdfNamedDataCategory : public VdfDataCategory {
public:
    // Reads the 8 name bytes, unchanged, from the item's file. Throws
    // Exception "Can't open the file: " + path when the file cannot be read,
    // and "Illegal Format" when the file ends before the name does.
    const std::string& entryName(const VdfData& item) override;

    // Where the name starts within the item data.
    virtual int nameOffset() const = 0;
};

// The entry name for a file path: the last path component without its
// extension, read back as item bytes (nameFromFileName(): "°" gives the byte
// 0xB0), padded with spaces to at least 8 characters.
std::string entryNameFromPath(const std::string& path);

} // namespace qel
