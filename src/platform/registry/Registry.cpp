#include "platform/registry/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace qel::registry {

namespace {

// The document: { "keys": { "<key path>": { "<value name>": "<text>" } } }.
QJsonObject loadKeys(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject())
        return {};
    const QJsonValue keys = document.object().value("keys");
    return keys.isObject() ? keys.toObject() : QJsonObject{};
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

Registry::Registry() : Registry(defaultLocation()) {}

Registry::Registry(QString documentPath) : path_(std::move(documentPath)) {}

QString Registry::defaultLocation() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/TQ-7400 Data Manager/registry.json";
}

bool Registry::keyExists(const std::string& key) const {
    return findName(loadKeys(path_), text(key)).has_value();
}

bool Registry::createKey(const std::string& key) {
    QJsonObject keys = loadKeys(path_);
    if (findName(keys, text(key)))
        return true;
    keys.insert(text(key), QJsonObject{});
    return saveKeys(path_, keys);
}

std::optional<std::string> Registry::readString(const std::string& key,
                                                const std::string& name) const {
    const QJsonObject keys = loadKeys(path_);
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
    QJsonObject keys = loadKeys(path_);
    const QString keyName = findName(keys, text(key)).value_or(text(key));
    QJsonObject values = keys.value(keyName).toObject();
    const QString valueName = findName(values, text(name)).value_or(text(name));
    values.insert(valueName, text(value));
    keys.insert(keyName, values);
    return saveKeys(path_, keys);
}

} // namespace qel::registry
