#include "app/PrefDirectoryDialog.h"

#include "app/DriveSelector.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace qel::app {

TPrefDirectoryDialog::TPrefDirectoryDialog(QWidget* owner)
    : QDialog(owner), drives_(new DriveSelector(this, false)), folders_(new QFileSystemModel(this)),
      tree_(new QTreeView(this)), okButton_(new QPushButton("OK", this)),
      cancelButton_(new QPushButton("Cancel", this)) {
    setWindowTitle("Directory");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    drives_->setObjectName("DrvCBox");
    tree_->setObjectName("DirList");
    okButton_->setObjectName("OkBtn");
    cancelButton_->setObjectName("CancelBtn");

    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folders_->setReadOnly(true);
    tree_->setModel(folders_);
    tree_->setHeaderHidden(true);
    for (int column = 1; column < folders_->columnCount(); ++column)
        tree_->hideColumn(column); // size, kind and date mean nothing for folders

    okButton_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(drives_);
    layout->addWidget(tree_, 1);
    layout->addLayout(buttons);
    resize(340, 380);

    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(tree_, &QTreeView::clicked, this,
            [this](const QModelIndex& entry) { DirListClick(entry); });
    // Enter on a folder chooses it as a click does.
    connect(tree_, &QTreeView::activated, this,
            [this](const QModelIndex& entry) { DirListClick(entry); });
    drives_->setOnChange([this](const QString& drive) { showDrive(drive); });
    showDrive(drives_->drive());
}

void TPrefDirectoryDialog::setInitialPath(const QString& path) {
    chosen_ = path;
    const QString drive = DriveSelector::driveOf(path);
    if (drive == drives_->drive())
        showDrive(drive);
    else
        drives_->setDrive(drive); // shows it
    const QModelIndex at = folders_->index(DriveSelector::nearestExistingFolder(path));
    if (!at.isValid())
        return;
    for (QModelIndex parent = at.parent(); parent.isValid(); parent = parent.parent())
        tree_->expand(parent);
    tree_->setCurrentIndex(at);
    tree_->scrollTo(at);
}

QString TPrefDirectoryDialog::resultPath() const {
    if (chosen_.isEmpty() || chosen_.endsWith('/'))
        return chosen_;
    return chosen_ + '/';
}

void TPrefDirectoryDialog::DirListClick(const QModelIndex& entry) {
    if (entry.isValid())
        chosen_ = folders_->filePath(entry);
}

void TPrefDirectoryDialog::showDrive(const QString& drive) {
    if (drive.isEmpty())
        return;
    const QString root = QDir::cleanPath(drive);
    folders_->setRootPath(root);
    tree_->setRootIndex(folders_->index(root));
}

} // namespace qel::app
