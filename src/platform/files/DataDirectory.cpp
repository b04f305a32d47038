#include "platform/files/DataDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace qel::platform {

namespace {

// Folders of installed programs, which hold no user's data whoever may
// write there (root may write anywhere).
bool systemFolder(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    for (const char* root : {"/usr", "/bin", "/sbin", "/lib", "/opt"})
        if (clean == root || clean.startsWith(QString(root) + "/"))
            return true;
    return false;
}

bool writableFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && info.isWritable();
}

} // namespace

std::string defaultDataDirectory(const std::string& programFolder,
                                 const std::string& documentsFolder) {
    const QString beside = QDir(QString::fromStdString(programFolder)).filePath("Data");
    // Usable when it is there and writable, or when it can be made there.
    const QString program = QString::fromStdString(programFolder);
    if (!systemFolder(program) &&
        (writableFolder(beside) || (!QFileInfo::exists(beside) && writableFolder(program))))
        return beside.toStdString() + "/";
    return QDir(QString::fromStdString(documentsFolder)).filePath("TQ-7400 Data").toStdString() +
           "/";
}

std::string defaultDataDirectory() {
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    return defaultDataDirectory(QCoreApplication::applicationDirPath().toStdString(),
                                documents.toStdString());
}

} // namespace qel::platform
