#include "app/ItemDragData.h"

#include "workflows/ItemListModels.h"

#include <QCoreApplication>
#include <QUrl>

namespace qel::app {

namespace {

const QString uriListType = QStringLiteral("text/uri-list");

QByteArray uriList(const QList<QUrl>& urls) {
    QByteArray text;
    for (const QUrl& url : urls)
        text += url.toEncoded() + "\r\n";
    return text;
}

} // namespace

namespace {

const char* rowsMimeType(RowSource source) {
    return source == RowSource::Keyboard ? kbdRowsMimeType : pcRowsMimeType;
}

// What marks row data as this process's: a row number means nothing in another.
const QString processMimeType = QStringLiteral("application/x-tq7400-process");

QByteArray thisProcess() {
    return QByteArray::number(QCoreApplication::applicationPid());
}

} // namespace

void putRows(QMimeData& data, RowSource source, type::id type, const std::vector<int>& rows) {
    data.setData(QString::fromLatin1(rowsMimeType(source)), encodeDraggedRows(type, rows));
    data.setData(processMimeType, thisProcess());
}

std::optional<std::vector<int>> takeRows(const QMimeData& data, RowSource source, type::id type) {
    if (data.data(processMimeType) != thisProcess())
        return std::nullopt;
    std::optional<DraggedRows> dragged = draggedRows(data, rowsMimeType(source));
    if (!dragged || dragged->type != type)
        return std::nullopt;
    return std::move(dragged->rows);
}

bool carriesRows(const QMimeData& data) {
    return data.hasFormat(QString::fromLatin1(kbdRowsMimeType)) ||
           data.hasFormat(QString::fromLatin1(pcRowsMimeType));
}

std::optional<std::vector<std::string>> takeLocalFiles(const QMimeData& data) {
    if (!data.hasUrls())
        return std::nullopt;
    std::vector<std::string> paths;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty())
            return std::nullopt;
        paths.push_back(url.toLocalFile().toStdString());
    }
    if (paths.empty())
        return std::nullopt;
    return paths;
}

void putFiles(QMimeData& data, const std::vector<std::string>& paths) {
    QList<QUrl> urls;
    for (const std::string& path : paths)
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    data.setUrls(urls);
}

// ---- FilesOnDemand ----

QStringList FilesOnDemand::formats() const {
    QStringList all = QMimeData::formats();
    if (!all.contains(uriListType))
        all.push_back(uriListType);
    return all;
}

bool FilesOnDemand::hasFormat(const QString& mimeType) const {
    return mimeType == uriListType || QMimeData::hasFormat(mimeType);
}

QVariant FilesOnDemand::retrieveData(const QString& mimeType, QMetaType type) const {
    if (mimeType != uriListType)
        return QMimeData::retrieveData(mimeType, type);
    // Asked once: the receive runs as a keyboard action of its own (its
    // progress window, Cancel and time-outs), and a nested request meanwhile
    // is not answered with files that are still being written.
    if (!asked_) {
        asked_ = true;
        for (const std::string& path : write_())
            written_.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    }
    if (type.id() == QMetaType::QByteArray)
        return uriList(written_);
    QVariantList urls;
    for (const QUrl& url : written_)
        urls.push_back(url);
    return urls;
}

} // namespace qel::app
