#pragma once

// What a drag of list rows carries. Inside the program, the rows of the
// keyboard or PC list (source model rows) under a type of their own, valid
// only in the process that made them; towards other programs, the files as
// text/uri-list. Files dropped from elsewhere are taken only when every one
// is a local file.

#include "core/KeyboardTables.h"

#include <QMimeData>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qel::app {

enum class RowSource { Keyboard, Pc };

// Drag data naming `rows` of the list `source` while it shows `type`, as the
// list models encode them (ItemListModels.h), marked with this process.
void putRows(QMimeData& data, RowSource source, type::id type, const std::vector<int>& rows);
// The rows of `source` that `data` names; nothing when it names none, or
// comes from another process, or from a list of another type than `type`,
// or is malformed.
std::optional<std::vector<int>> takeRows(const QMimeData& data, RowSource source, type::id type);
// Whether `data` carries rows of either list (whatever else it carries).
bool carriesRows(const QMimeData& data);

// The local files `data` names as text/uri-list; nothing when it names none
// or any of them is not a local file.
std::optional<std::vector<std::string>> takeLocalFiles(const QMimeData& data);
// Drag data naming the files at `paths`.
void putFiles(QMimeData& data, const std::vector<std::string>& paths);

// Drag data whose files are written only when a drop target asks for them:
// keyboard items are received once, on the first request, and the files
// written are what every request gets. A request while that receive runs,
// or after it failed, gets no files.
class FilesOnDemand : public QMimeData {
public:
    using Writer = std::function<std::vector<std::string>()>;
    explicit FilesOnDemand(Writer write) : write_(std::move(write)) {}

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    Writer write_;
    mutable bool asked_ = false;
    mutable QList<QUrl> written_;
};

} // namespace qel::app
