#pragma once

// The directory chooser of the preferences (caption "Directory"): a drive
// selector above a tree of that drive's folders, OK and Cancel. Only a click
// on a folder of the tree chooses it; changing the drive just shows another
// tree. Paths use '/'.

#include <QDialog>
#include <QPersistentModelIndex>
#include <QString>

class QFileSystemModel;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace qel::app {

class DriveSelector;

class PrefDirectoryDialog : public QDialog {
public:
    explicit PrefDirectoryDialog(QWidget* owner);

    // Keeps `path` as the chosen path, selects the drive that holds it and
    // opens the tree there (at its nearest existing parent when it does not
    // exist yet).
    void setInitialPath(const QString& path);
    // The chosen path, ending with '/'. Named apart from QDialog::result(),
    // which answers how the dialog was closed.
    QString resultPath() const;

    // The user clicked `entry` of the tree: its full path becomes the chosen one.
    void dirListClick(const QModelIndex& entry);

    DriveSelector* driveSelector() const { return drives_; }
    QTreeView* tree() const { return tree_; }
    QFileSystemModel* folders() const { return folders_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

private:
    // Shows the folders of `drive` in the tree.
    void showDrive(const QString& drive);
    // Expands the tree down to opened_ and scrolls it into view.
    void revealOpened();

    QString chosen_;
    // The folder the tree opens at; the model lists folders in the background,
    // so the tree scrolls there again as the folders on its way arrive.
    QPersistentModelIndex opened_;
    // All owned by this dialog through Qt parents.
    DriveSelector* drives_;
    QFileSystemModel* folders_;
    QTreeView* tree_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
};

} // namespace qel::app
