#include "workflows/BackupManifest.h"

#include "core/Exception.h"
#include "platform/files/AtomicFileWriter.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace qel {

namespace {

std::string folderPath(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// A file name that stays inside the backup folder.
bool plainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

[[noreturn]] void malformed(const std::string& path) {
    throw Exception("The backup manifest " + path + " is damaged");
}

BackupEntry readEntry(const QJsonObject& object, const std::string& path) {
    BackupEntry entry;
    const int t = object.value("type").toInt(-1);
    const int no = object.value("no").toInt(-1);
    const int number = object.value("number").toInt(-1);
    const int c = object.value("category").toInt(-1);
    if (t < 0 || t > type::Smf || no < 0 || no > 0xFFFF || number < 0 || number > 0xFFFF || c < 0 ||
        c > 0xFFFF)
        malformed(path);
    entry.type = static_cast<type::id>(t);
    entry.no = static_cast<std::uint16_t>(no);
    entry.number = static_cast<std::uint16_t>(number);
    entry.category = static_cast<category::id>(c);
    entry.name = object.value("name").toString().toLatin1().toStdString();
    entry.size = object.value("size").toInt(-1);
    entry.file = object.value("file").toString().toStdString();
    entry.sha256 = object.value("sha256").toString().toStdString();
    if (entry.size < 0 || !plainFileName(entry.file) || entry.sha256.size() != 64)
        malformed(path);
    return entry;
}

} // namespace

std::optional<BackupManifest> BackupManifest::read(const std::string& folder) {
    const std::string path = folderPath(folder, fileName);
    QFile file(QString::fromStdString(path));
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        throw Exception("Can't open the file: " + path);
    // A manifest lists at most a few hundred items; anything far larger is no manifest.
    if (file.size() > (1 << 22))
        malformed(path);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        malformed(path);
    const QJsonObject root = document.object();
    BackupManifest manifest;
    manifest.model = root.value("model").toInt(-1);
    manifest.modelName = root.value("modelName").toString().toStdString();
    manifest.date = root.value("date").toString().toStdString();
    if (manifest.model < 0 || !root.value("items").isArray())
        malformed(path);
    for (const QJsonValue& value : root.value("items").toArray()) {
        if (!value.isObject())
            malformed(path);
        manifest.items.push_back(readEntry(value.toObject(), path));
    }
    return manifest;
}

void BackupManifest::write(const std::string& folder) const {
    QJsonArray list;
    for (const BackupEntry& entry : items)
        list.append(QJsonObject{{"type", entry.type},
                                {"no", entry.no},
                                {"number", entry.number},
                                {"category", entry.category},
                                {"name", QString::fromLatin1(entry.name.c_str())},
                                {"size", entry.size},
                                {"file", QString::fromStdString(entry.file)},
                                {"sha256", QString::fromStdString(entry.sha256)}});
    const QJsonObject root{{"model", model},
                           {"modelName", QString::fromStdString(modelName)},
                           {"date", QString::fromStdString(date)},
                           {"items", list}};
    const QByteArray bytes = QJsonDocument(root).toJson();
    const std::string path = folderPath(folder, fileName);
    platform::AtomicFileWriter writer(path);
    if (!writer.write(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                      static_cast<std::size_t>(bytes.size())) ||
        !writer.commit())
        throw Exception("Can't create the file: " + path);
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
