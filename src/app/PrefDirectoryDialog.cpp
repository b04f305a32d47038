#include "app/PrefDirectoryDialog.h"

#include "app/DriveSelector.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace qel::app {

namespace {

// Whether `path` is `folder` or lies inside it.
bool within(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder.endsWith('/') ? folder : folder + '/');
}

} // namespace

PrefDirectoryDialog::PrefDirectoryDialog(QWidget* owner)
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
            [this](const QModelIndex& entry) { dirListClick(entry); });
    // Enter on a folder chooses it as a click does.
    connect(tree_, &QTreeView::activated, this,
            [this](const QModelIndex& entry) { dirListClick(entry); });
    connect(folders_, &QFileSystemModel::directoryLoaded, this, [this](const QString& folder) {
        if (opened_.isValid() && within(folders_->filePath(opened_), folder))
            revealOpened();
    });
    drives_->setOnChange([this](const QString& drive) { showDrive(drive); });
    showDrive(drives_->drive());
}

void PrefDirectoryDialog::setInitialPath(const QString& path) {
    chosen_ = path;
    const QString drive = DriveSelector::driveOf(path);
    if (drive == drives_->drive())
        showDrive(drive);
    else
        drives_->setDrive(drive); // shows it
    opened_ = folders_->index(DriveSelector::nearestExistingFolder(path));
    if (!opened_.isValid())
        return;
    tree_->setCurrentIndex(opened_);
    revealOpened();
}

void PrefDirectoryDialog::revealOpened() {
    if (!opened_.isValid())
        return;
    for (QModelIndex parent = opened_.parent(); parent.isValid(); parent = parent.parent())
        tree_->expand(parent);
    tree_->scrollTo(opened_, QAbstractItemView::PositionAtCenter);
}

QString PrefDirectoryDialog::resultPath() const {
    if (chosen_.isEmpty() || chosen_.endsWith('/'))
        return chosen_;
    return chosen_ + '/';
}

void PrefDirectoryDialog::dirListClick(const QModelIndex& entry) {
    if (!entry.isValid())
        return;
    chosen_ = folders_->filePath(entry);
    opened_ = QPersistentModelIndex(); // the user leads the tree from now on
}

void PrefDirectoryDialog::showDrive(const QString& drive) {
    if (drive.isEmpty())
        return;
    const QString root = QDir::cleanPath(drive);
    if (opened_.isValid() && !within(folders_->filePath(opened_), root))
        opened_ = QPersistentModelIndex();
    folders_->setRootPath(root);
    tree_->setRootIndex(folders_->index(root));
}

} // namespace qel::app
