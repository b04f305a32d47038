#pragma once

// A drop-down of drives, where a drive is the root folder of a mounted volume
// (the memory card's reader, a USB stick, the system disk). It lists the
// mounted volumes that can be written to; with browsing allowed, a "Browse..."
// button beside it adds any folder as one more drive, so a card image folder
// serves where there is no card reader. Drives are paths with '/' and always
// end with '/'.

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QComboBox;
class QPushButton;

namespace qel::app {

class DriveSelector : public QWidget {
public:
    // Lists the mounted volumes and chooses defaultDrive().
    explicit DriveSelector(QWidget* parent, bool browsingAllowed);

    // The root folders of the writable mounted volumes, sorted, each ending with '/'.
    static std::vector<QString> mountedDrives();
    // The drive chosen when none is set: the first volume mounted under a
    // folder for removable media (/media, /run/media, /mnt), else the volume
    // of the home folder, else the first listed. Empty when nothing is listed.
    static QString defaultDrive(const std::vector<QString>& drives);
    // The root of the mounted volume that holds `path` (or its nearest
    // existing parent), ending with '/'.
    static QString driveOf(const QString& path);
    // `path` made absolute and clean when it exists, else its nearest existing parent.
    static QString nearestExistingFolder(const QString& path);

    // The chosen drive; empty only when the list is empty.
    QString drive() const;
    // Chooses `folder` (given with or without its final '/'), adding it to the
    // list when it is not there yet. An empty folder changes nothing.
    void setDrive(const QString& folder);
    // Runs a folder dialog; the folder chosen there becomes the drive, Cancel
    // changes nothing. Only with browsing allowed.
    void browse();
    // Called with the drive whenever the choice changes, by the user or by setDrive().
    void setOnChange(std::function<void(const QString&)> onChange);

    QComboBox* list() const { return list_; }

private:
    QComboBox* list_;                     // owned by this widget
    QPushButton* browseButton_ = nullptr; // owned by this widget
    std::function<void(const QString&)> onChange_;
};

} // namespace qel::app
