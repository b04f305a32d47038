#include "platform/registry/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <utility>

namespace qel::registry {

namespace {

// The document: { "keys": { "<key path>": { "<value name>": "<text>" } } }.
// Why `bytes` are no such document, or nothing when they are one.
std::optional<QString> problemOf(const QByteArray& bytes, QJsonObject& keys) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return "not valid JSON: " + error.errorString() + " at byte " +
               QString::number(error.offset);
    if (!document.isObject())
        return QString("no JSON object");
    const QJsonValue value = document.object().value("keys");
    if (!value.isObject())
        return QString("no \"keys\" object");
    keys = value.toObject();
    return std::nullopt;
}

// Renames the document to a free name ending in ".bad"; gives that name, or
// nothing when it could not be moved.
std::optional<QString> setAside(const QString& path) {
    for (int n = 1; n <= 100; ++n) {
        const QString aside = n == 1 ? path + ".bad" : path + "." + QString::number(n) + ".bad";
        if (QFile::exists(aside))
            continue;
        if (QFile::rename(path, aside))
            return aside;
    }
    return std::nullopt;
}

bool saveKeys(const QString& path, const QJsonObject& keys) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QJsonObject root;
    root.insert("keys", keys);
    const QByteArray bytes = QJsonDocument(root).toJson();
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

// The stored spelling of a name that equals `wanted` ignoring letter case.
std::optional<QString> findName(const QJsonObject& object, const QString& wanted) {
    if (object.contains(wanted))
        return wanted;
    for (auto it = object.begin(); it != object.end(); ++it)
        if (it.key().compare(wanted, Qt::CaseInsensitive) == 0)
            return it.key();
    return std::nullopt;
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

struct Registry::Document {
    QJsonObject keys;
    // False when a file is there that must not be written over.
    bool writable = true;
};

Registry::Registry() : Registry(defaultLocation()) {}

Registry::Registry(QString documentPath, Access access)
    : path_(std::move(documentPath)), access_(access) {}

QString Registry::defaultLocation() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/TQ-7400 Data Manager/registry.json";
}

Registry::Document Registry::load() const {
    loaded_ = true;
    Document document;
    QFile file(path_);
    if (!file.exists())
        return document;
    const QString intro = "The settings file " + path_ + " could not be read (";
    if (!file.open(QIODevice::ReadOnly)) {
        warning_ = (intro + file.errorString() +
                    "); the program starts with default settings and does not change that file.")
                       .toStdString();
        document.writable = false;
        return document;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    const auto problem = problemOf(bytes, document.keys);
    if (!problem)
        return document;
    const auto aside = access_ == Access::ReadWrite ? setAside(path_) : std::nullopt;
    if (aside) {
        warning_ = (intro + *problem + "); it was kept as " + *aside +
                    " and the program starts with default settings.")
                       .toStdString();
    } else {
        warning_ = (intro + *problem +
                    ") nor set aside; the program starts with default settings and does not "
                    "change that file.")
                       .toStdString();
        document.writable = false;
    }
    return document;
}

std::optional<std::string> Registry::takeWarning() {
    if (!loaded_)
        load();
    return std::exchange(warning_, std::nullopt);
}

bool Registry::keyExists(const std::string& key) const {
    return findName(load().keys, text(key)).has_value();
}

bool Registry::createKey(const std::string& key) {
    Document document = load();
    if (findName(document.keys, text(key)))
        return true;
    if (!document.writable || access_ == Access::ReadOnly)
        return false;
    document.keys.insert(text(key), QJsonObject{});
    return saveKeys(path_, document.keys);
}

std::optional<std::string> Registry::readString(const std::string& key,
                                                const std::string& name) const {
    const QJsonObject keys = load().keys;
    const auto keyName = findName(keys, text(key));
    if (!keyName)
        return std::nullopt;
    const QJsonObject values = keys.value(*keyName).toObject();
    const auto valueName = findName(values, text(name));
    if (!valueName || !values.value(*valueName).isString())
        return std::nullopt;
    return values.value(*valueName).toString().toStdString();
}

bool Registry::writeString(const std::string& key, const std::string& name,
                           const std::string& value) {
    Document document = load();
    if (!document.writable || access_ == Access::ReadOnly)
        return false;
    QJsonObject& keys = document.keys;
    const QString keyName = findName(keys, text(key)).value_or(text(key));
    QJsonObject values = keys.value(keyName).toObject();
    const QString valueName = findName(values, text(name)).value_or(text(name));
    values.insert(valueName, text(value));
    keys.insert(keyName, values);
    return saveKeys(path_, keys);
}

} // namespace qel::registry
