#include "app/WindowState.h"

#include <QFileInfo>
#include <QStringList>

namespace qel::app {

namespace {

const char* const geometryKey = "Window/Geometry";
const char* const splitterKey = "Window/Splitter";
const char* const columnsGroup = "Columns/";
const char* const offeredKey = "FirstStart/PreferencesOffered";

} // namespace

WindowState::WindowState(const QString& registryLocation)
    : settings_(locationFor(registryLocation), QSettings::IniFormat) {}

QString WindowState::locationFor(const QString& registryLocation) {
    return QFileInfo(registryLocation).absolutePath() + "/window.ini";
}

QByteArray WindowState::geometry() const {
    return settings_.value(geometryKey).toByteArray();
}

void WindowState::setGeometry(const QByteArray& geometry) {
    settings_.setValue(geometryKey, geometry);
}

QByteArray WindowState::splitter() const {
    return settings_.value(splitterKey).toByteArray();
}

void WindowState::setSplitter(const QByteArray& state) {
    settings_.setValue(splitterKey, state);
}

// Stored as "column:width" pairs ("2:240, 3:60"); pairs that do not read as
// two numbers, or give no positive width, are left out.
WindowState::ColumnWidths WindowState::columnWidths(const QString& list) const {
    ColumnWidths widths;
    for (const QString& pair : settings_.value(columnsGroup + list).toStringList()) {
        const QStringList parts = pair.split(':');
        bool columnRead = false;
        bool widthRead = false;
        const int column = parts.value(0).trimmed().toInt(&columnRead);
        const int width = parts.value(1).trimmed().toInt(&widthRead);
        if (parts.size() == 2 && columnRead && widthRead && column >= 0 && width > 0)
            widths[column] = width;
    }
    return widths;
}

void WindowState::setColumnWidths(const QString& list, const ColumnWidths& widths) {
    QStringList pairs;
    for (const auto& [column, width] : widths)
        pairs << QString("%1:%2").arg(column).arg(width);
    if (pairs.isEmpty())
        settings_.remove(columnsGroup + list);
    else
        settings_.setValue(columnsGroup + list, pairs);
}

bool WindowState::preferencesOffered() const {
    return settings_.value(offeredKey, false).toBool();
}

void WindowState::markPreferencesOffered() {
    settings_.setValue(offeredKey, true);
}

bool WindowState::save() {
    settings_.sync();
    return settings_.status() == QSettings::NoError;
}

} // namespace qel::app
