#pragma once

// The per-user registry: keys named by their Windows-style paths
// ("Software\Vorla\TQ-7400\MIDI") holding string values. Key paths and value
// names are matched without regard to letter case, as the Windows registry
// does. A created key exists even without values.
//
// Everything is kept in one JSON document, read afresh by every call and
// written atomically (a crash leaves the old or the new document, never half
// of one). A document that cannot be read or parsed reads as an empty registry.

#include <QString>
#include <optional>
#include <string>

namespace qel::registry {

class Registry {
public:
    // The registry of the current user, in the per-user configuration folder.
    Registry();
    // A registry kept in the file `documentPath` (tests point it at a temporary folder).
    explicit Registry(QString documentPath);

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

private:
    QString path_;
};

} // namespace qel::registry
