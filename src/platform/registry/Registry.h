#pragma once

// The per-user registry: keys named by their Windows-style paths
// ("Software\Vorla\TQ-7400\MIDI") holding string values. Key paths and value
// names are matched without regard to letter case, as the Windows registry
// does. A created key exists even without values.
//
// Everything is kept in one JSON document, read afresh by every call and
// written atomically (a crash leaves the old or the new document, never half
// of one). A document that cannot be parsed is never overwritten: the first
// call that reads it renames it with a ".bad" suffix ("registry.json.bad", or
// "registry.json.2.bad" and so on when that name is taken), so the registry
// starts empty, and keeps a warning for takeWarning(). A document that
// exists but cannot be opened reads as empty and is not written over.

#include <QString>
#include <optional>
#include <string>

namespace qel::registry {

class Registry {
public:
    // The registry of the current user, in the per-user configuration folder.
    Registry();
    // Whether the registry may change its file. A read-only registry writes
    // nothing and leaves an unusable document where it is.
    enum class Access { ReadWrite, ReadOnly };

    // A registry kept in the file `documentPath` (tests point it at a temporary folder).
    explicit Registry(QString documentPath, Access access = Access::ReadWrite);

    // The file the current user's registry is kept in.
    static QString defaultLocation();
    // The file this registry reads and writes.
    const QString& location() const { return path_; }

    // Whether the key exists.
    bool keyExists(const std::string& key) const;
    // Creates the key when it is missing. Returns false when the document could
    // not be written.
    bool createKey(const std::string& key);
    // The string value `name` of `key`; nothing when the key or the value is missing.
    std::optional<std::string> readString(const std::string& key, const std::string& name) const;
    // Sets the string value, creating the key when it is missing. Returns false
    // when the document could not be written (the registry is then unchanged).
    bool writeString(const std::string& key, const std::string& name, const std::string& value);

    // The text to show the user when this registry found its document unusable:
    // which file, why, and where it was kept ("The settings file ... could not
    // be read (not valid JSON: ... at byte 12); it was kept as ....bad and the
    // program starts with default settings."). Given once; later calls, and
    // other registries on the same file afterwards, give nothing because the
    // file is then set aside. Reads the document first when this registry has
    // not read it yet, so the program can call it first thing at start-up.
    std::optional<std::string> takeWarning();

private:
    struct Document;
    // Reads the document, setting an unparsable one aside (see above).
    Document load() const;

    QString path_;
    Access access_ = Access::ReadWrite;
    mutable bool loaded_ = false;
    mutable std::optional<std::string> warning_;
};

} // namespace qel::registry
