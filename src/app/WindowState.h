#pragma once

// What the main window looked like when it was last closed: its geometry
// (size, place, maximised), the splitter between the lists, and the column
// widths the user set by hand; and whether the first start's preferences were
// offered. Kept in an INI file of its own beside the settings document, never
// in that document: only the preferences' OK writes the settings.

#include <QByteArray>
#include <QList>
#include <QSettings>
#include <QString>
#include <map>

namespace qel::app {

class WindowState {
public:
    // The state kept beside the settings document `registryLocation`.
    explicit WindowState(const QString& registryLocation);

    // The file the state is kept in: "window.ini" in the settings' folder.
    static QString locationFor(const QString& registryLocation);
    QString location() const { return settings_.fileName(); }

    // QWidget::saveGeometry() / QSplitter::saveState() as stored; empty
    // when nothing was stored.
    QByteArray geometry() const;
    void setGeometry(const QByteArray& geometry);
    QByteArray splitter() const;
    void setSplitter(const QByteArray& state);

    // Column widths set by hand in the list named `list`, by column.
    using ColumnWidths = std::map<int, int>;
    ColumnWidths columnWidths(const QString& list) const;
    void setColumnWidths(const QString& list, const ColumnWidths& widths);

    // Whether the preferences were shown on a first start, whatever the user
    // answered; they do not open by themselves again.
    bool preferencesOffered() const;
    void markPreferencesOffered();

    // Writes what was set to the file; false when it could not be written.
    bool save();

private:
    QSettings settings_;
};

} // namespace qel::app
