#include "app/ItemDragData.h"

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

QString rowsMimeType(RowSource source) {
    return source == RowSource::Keyboard ? QStringLiteral("application/x-tq7400-kbd-rows")
                                         : QStringLiteral("application/x-tq7400-pc-rows");
}

// "PROCESS:ROW,ROW,...": a row number means nothing in another process.
void putRows(QMimeData& data, RowSource source, const std::vector<int>& rows) {
    QByteArray text = QByteArray::number(QCoreApplication::applicationPid()) + ':';
    for (std::size_t k = 0; k < rows.size(); ++k)
        text += (k ? "," : "") + QByteArray::number(rows[k]);
    data.setData(rowsMimeType(source), text);
}

std::optional<std::vector<int>> takeRows(const QMimeData& data, RowSource source) {
    if (!data.hasFormat(rowsMimeType(source)))
        return std::nullopt;
    const QByteArray text = data.data(rowsMimeType(source));
    const qsizetype colon = text.indexOf(':');
    bool ok = false;
    if (colon < 0 || text.left(colon).toLongLong(&ok) != QCoreApplication::applicationPid() || !ok)
        return std::nullopt;
    std::vector<int> rows;
    for (const QByteArray& field : text.mid(colon + 1).split(',')) {
        const int row = field.toInt(&ok);
        if (!ok || row < 0)
            return std::nullopt;
        rows.push_back(row);
    }
    return rows;
}

bool carriesRows(const QMimeData& data) {
    return data.hasFormat(rowsMimeType(RowSource::Keyboard)) ||
           data.hasFormat(rowsMimeType(RowSource::Pc));
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
