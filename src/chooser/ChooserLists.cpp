#include "chooser/ChooserWindow.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QListView>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QTreeView>

// The chooser's drive, folder and file lists: which folder they show and which file is picked.

namespace {

// The mount point of the volume that holds `path`; "/" when it cannot be told.
QString VolumeRoot(const QString& path) {
    const QStorageInfo volume(path);
    return volume.isValid() && !volume.rootPath().isEmpty() ? volume.rootPath()
                                                            : QStringLiteral("/");
}

} // namespace

void frmTest::SelectDriveOf(const QString& folder) {
    const QString root = VolumeRoot(folder);
    int index = Drive1->findData(root);
    const QSignalBlocker blocker(Drive1);
    if (index < 0) {
        Drive1->addItem(root, root);
        index = Drive1->count() - 1;
    }
    Drive1->setCurrentIndex(index);
}

QString frmTest::Dir1Path() const {
    return dir1Path_;
}

void frmTest::SetDir1Path(const QString& folder) {
    const QFileInfo info(QDir::fromNativeSeparators(folder));
    // A folder that is not there (an empty removable drive) leaves the list where it was.
    if (folder.isEmpty() || !info.isDir())
        return;
    const QString target = QDir::cleanPath(info.absoluteFilePath());
    const QString root = VolumeRoot(target);
    SelectDriveOf(target);
    settingDir1_ = true;
    if (folderModel_->rootPath() != root || Dir1->rootIndex() != folderModel_->index(root)) {
        folderModel_->setRootPath(root);
        Dir1->setRootIndex(folderModel_->index(root));
    }
    if (target == root) {
        Dir1->selectionModel()->clear();
        revealDir1_ = false;
    } else {
        const QModelIndex index = folderModel_->index(target);
        Dir1->setCurrentIndex(index);
        Dir1->expand(index);
        Dir1->scrollTo(index, QAbstractItemView::PositionAtCenter);
        revealDir1_ = true;
    }
    settingDir1_ = false;
    if (target != dir1Path_) {
        dir1Path_ = target;
        Dir1_Change();
    }
}

QString frmTest::File1Path() const {
    return file1Path_;
}

void frmTest::SetFile1Path(const QString& folder) {
    const QFileInfo info(QDir::fromNativeSeparators(folder));
    if (folder.isEmpty() || !info.isDir())
        return;
    file1Path_ = QDir::cleanPath(info.absoluteFilePath());
    fileModel_->setRootPath(file1Path_);
    File1->setRootIndex(fileModel_->index(file1Path_));
    File1->selectionModel()->clear();
}

void frmTest::SetFile1Pattern(const QString& pattern) {
    QStringList filters;
    for (const QString& part : pattern.split(u';', Qt::SkipEmptyParts))
        filters << part.trimmed();
    fileModel_->setNameFilters(filters);
}

int frmTest::File1ListCount() const {
    if (file1Path_.isEmpty())
        return 0;
    return fileModel_->rowCount(File1->rootIndex());
}

QString frmTest::File1FileName() const {
    const QModelIndex current = File1->selectionModel()->currentIndex();
    if (!current.isValid() || current.parent() != File1->rootIndex() ||
        !File1->selectionModel()->isSelected(current))
        return QString();
    return fileModel_->fileName(current);
}

void frmTest::Dir1_Change() {
    SetFile1Path(Dir1Path());
}
