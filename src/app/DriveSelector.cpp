#include "app/DriveSelector.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStorageInfo>
#include <algorithm>

namespace qel::app {

namespace {

QString withSeparator(QString folder) {
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

bool removableMount(const QString& root) {
    return root.startsWith("/media/") || root.startsWith("/run/media/") || root.startsWith("/mnt/");
}

} // namespace

DriveSelector::DriveSelector(QWidget* parent, bool browsingAllowed)
    : QWidget(parent), list_(new QComboBox(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_, 1);
    if (browsingAllowed) {
        browseButton_ = new QPushButton("Browse...", this);
        layout->addWidget(browseButton_);
        connect(browseButton_, &QPushButton::clicked, this, [this] { browse(); });
    }
    list_->setEditable(false);
    const std::vector<QString> drives = mountedDrives();
    for (const QString& root : drives) {
        const QString name = QStorageInfo(root).name();
        list_->addItem(name.isEmpty() ? root : name + "  (" + root + ")", root);
    }
    list_->setCurrentIndex(list_->findData(defaultDrive(drives)));
    connect(list_, &QComboBox::currentIndexChanged, this, [this] {
        if (onChange_)
            onChange_(drive());
    });
}

std::vector<QString> DriveSelector::mountedDrives() {
    std::vector<QString> drives;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        // Read-only volumes (system images, write-protected media) cannot
        // take files; such a folder can still be chosen by browsing.
        if (volume.isValid() && volume.isReady() && !volume.isReadOnly())
            drives.push_back(withSeparator(volume.rootPath()));
    std::sort(drives.begin(), drives.end());
    drives.erase(std::unique(drives.begin(), drives.end()), drives.end());
    return drives;
}

QString DriveSelector::defaultDrive(const std::vector<QString>& drives) {
    if (drives.empty())
        return {};
    const auto removable = std::find_if(drives.begin(), drives.end(), removableMount);
    if (removable != drives.end())
        return *removable;
    const QString home = driveOf(QDir::homePath());
    if (std::find(drives.begin(), drives.end(), home) != drives.end())
        return home;
    return drives.front();
}

QString DriveSelector::nearestExistingFolder(const QString& path) {
    QString folder = QDir::cleanPath(QDir(path).absolutePath());
    while (!QFileInfo(folder).exists()) {
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            break;
        folder = parent;
    }
    return folder;
}

QString DriveSelector::driveOf(const QString& path) {
    const QStorageInfo volume(nearestExistingFolder(path));
    return withSeparator(volume.isValid() ? volume.rootPath() : QDir::rootPath());
}

QString DriveSelector::drive() const {
    return list_->currentData().toString();
}

void DriveSelector::setDrive(const QString& folder) {
    if (folder.isEmpty())
        return;
    const QString root = withSeparator(QDir::cleanPath(folder));
    int at = list_->findData(root);
    if (at < 0) {
        list_->addItem(root, root);
        at = list_->count() - 1;
    }
    list_->setCurrentIndex(at);
}

void DriveSelector::browse() {
    if (!browseButton_)
        return;
    QFileDialog dialog(this, "Choose a Folder as the Drive", drive());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    // The same dialog on every desktop, and one the program can drive itself.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        setDrive(dialog.selectedFiles().front());
}

void DriveSelector::setOnChange(std::function<void(const QString&)> onChange) {
    onChange_ = std::move(onChange);
}

} // namespace qel::app
