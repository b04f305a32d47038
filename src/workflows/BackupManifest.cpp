#include "workflows/BackupManifest.h"

#include "core/Exception.h"
#include "platform/files/AtomicFileWriter.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <set>
#include <utility>

namespace qel {

namespace {

// Item names are 8 bytes; a field far longer than that is no name.
constexpr qsizetype longestName = 64;

std::string folderPath(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// A file name that stays inside the snapshot folder, is seen by a plain
// listing, means the same on every system, and is not the manifest itself.
bool plainFileName(const std::string& name) {
    if (name.empty() || name.front() == '.' || name == BackupManifest::fileName)
        return false;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\')
            return false;
    }
    return true;
}

[[noreturn]] void malformed(const std::string& path, const std::string& reason) {
    throw Exception("The backup manifest " + path + " is damaged (" + reason + ")");
}

// The raw name bytes: "nameBytes" in hex where the manifest has it, else the
// display name read back as Latin-1 (manifests written before raw names).
std::string readName(const QJsonObject& object, const std::string& path) {
    if (!object.contains("nameBytes"))
        return object.value("name").toString().left(longestName).toLatin1().toStdString();
    const QString hex = object.value("nameBytes").toString();
    const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
    if (hex.size() > 2 * longestName || hex.size() % 2 != 0 || bytes.size() * 2 != hex.size() ||
        bytes.toHex() != hex.toLatin1().toLower())
        malformed(path, "an item name is not hexadecimal");
    return bytes.toStdString();
}

BackupEntry readEntry(const QJsonObject& object, const std::string& path) {
    BackupEntry entry;
    const int t = object.value("type").toInt(-1);
    const int no = object.value("no").toInt(-1);
    const int number = object.value("number").toInt(-1);
    const int c = object.value("category").toInt(-1);
    if (t < 0 || t > type::Smf || no < 0 || no > 0xFFFF || number < 0 || number > 0xFFFF || c < 0 ||
        c > 0xFFFF)
        malformed(path, "an item's type, slot or category is out of range");
    entry.type = static_cast<type::id>(t);
    entry.no = static_cast<std::uint16_t>(no);
    entry.number = static_cast<std::uint16_t>(number);
    entry.category = static_cast<category::id>(c);
    entry.name = readName(object, path);
    entry.size = object.value("size").toInt(-1);
    entry.file = object.value("file").toString().toStdString();
    entry.sha256 = object.value("sha256").toString().toStdString();
    entry.received = object.value("received").toString().toStdString();
    if (entry.size < 0)
        malformed(path, "an item's size is missing");
    if (!plainFileName(entry.file))
        malformed(path, "the file name \"" + object.value("file").toString().toStdString() +
                            "\" is not a plain file of the folder");
    if (entry.sha256.size() != 64 ||
        entry.sha256.find_first_not_of("0123456789abcdef") != std::string::npos)
        malformed(path, "the checksum of " + entry.file + " is malformed");
    return entry;
}

// Each slot and each file appears once: two entries for one slot would
// restore it twice, two for one file would restore one item into two slots.
void checkUnique(const std::vector<BackupEntry>& items, const std::string& path) {
    std::set<std::pair<int, int>> slotsSeen;
    std::set<std::string> filesSeen;
    for (const BackupEntry& entry : items) {
        if (!slotsSeen.insert({entry.type, entry.number}).second)
            malformed(path, std::string(typeLabels[entry.type]) + " " + std::to_string(entry.no) +
                                " appears twice");
        if (!filesSeen.insert(entry.file).second)
            malformed(path, "the file " + entry.file + " appears twice");
    }
}

} // namespace

std::optional<BackupManifest> BackupManifest::read(const std::string& folder) {
    const std::string path = folderPath(folder, fileName);
    QFile file(QString::fromStdString(path));
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        throw Exception("Can't open the file: " + path + " (" + file.errorString().toStdString() +
                        ")");
    // A manifest lists at most a few hundred items; anything far larger is no manifest.
    if (file.size() > (1 << 22))
        malformed(path, "it is far too large");
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        malformed(path, "not JSON");
    const QJsonObject root = document.object();
    BackupManifest manifest;
    manifest.model = root.value("model").toInt(-1);
    manifest.modelName = root.value("modelName").toString().toStdString();
    manifest.date = root.value("date").toString().toStdString();
    manifest.complete = root.value("complete").toBool(true);
    if (manifest.model < 0 || !root.value("items").isArray())
        malformed(path, "no model or no item list");
    for (const QJsonValue& value : root.value("items").toArray()) {
        if (!value.isObject())
            malformed(path, "an item is no object");
        manifest.items.push_back(readEntry(value.toObject(), path));
    }
    checkUnique(manifest.items, path);
    return manifest;
}

void BackupManifest::write(const std::string& folder) const {
    QJsonArray list;
    for (const BackupEntry& entry : items) {
        const QByteArray name(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
        QJsonObject object{{"type", entry.type},
                           {"no", entry.no},
                           {"number", entry.number},
                           {"category", entry.category},
                           {"name", QString::fromLatin1(name)},
                           {"nameBytes", QString::fromLatin1(name.toHex())},
                           {"size", entry.size},
                           {"file", QString::fromStdString(entry.file)},
                           {"sha256", QString::fromStdString(entry.sha256)}};
        if (!entry.received.empty())
            object.insert("received", QString::fromStdString(entry.received));
        list.append(object);
    }
    const QJsonObject root{{"model", model},
                           {"modelName", QString::fromStdString(modelName)},
                           {"date", QString::fromStdString(date)},
                           {"complete", complete},
                           {"items", list}};
    const QByteArray bytes = QJsonDocument(root).toJson();
    const std::string path = folderPath(folder, fileName);
    platform::AtomicFileWriter writer(path);
    if (!writer.write(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                      static_cast<std::size_t>(bytes.size())) ||
        !writer.commit())
        throw Exception(writer.failureText());
}

const BackupEntry* BackupManifest::find(type::id type, std::uint16_t number) const {
    for (const BackupEntry& entry : items)
        if (entry.type == type && entry.number == number)
            return &entry;
    return nullptr;
}

std::string fileSha256(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return "";
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return "";
    return hash.result().toHex().toStdString();
}

} // namespace qel
