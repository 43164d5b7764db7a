#include "files/foldertree.h"

#include "core/paths.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QSortFilterProxyModel>

namespace lumrik {

QString cleanFolderPath(const QString &path)
{
    if (path.isEmpty())
        return {};
    QString p = QDir::cleanPath(QDir(RkNativePath(path)).absolutePath());
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    return p;
}

// Shows the root folder as the single top node: among the folders on the way
// down to it only the path itself is kept, and everything under it.
class FolderTreeFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setRoot(const QString &root)
    {
        root_ = root;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        if (root_.isEmpty())
            return true;
        auto *fs = static_cast<QFileSystemModel *>(sourceModel());
        const QString path = fs->filePath(fs->index(row, 0, parent));
        if (path == root_ || root_ == QLatin1String("/"))
            return true;
        const QString slashed = path.endsWith('/') ? path : path + '/';
        return root_.startsWith(slashed) || path.startsWith(root_ + '/');
    }

private:
    QString root_;
};

FolderTree::FolderTree(QWidget *parent) : QTreeView(parent)
{
    fs_ = new QFileSystemModel(this);
    fs_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    fs_->setReadOnly(true);
    fs_->setRootPath(QDir::rootPath());
    filter_ = new FolderTreeFilter(this);
    filter_->setSourceModel(fs_);
    filter_->setSortCaseSensitivity(Qt::CaseInsensitive);
    filter_->setDynamicSortFilter(true);
    setModel(filter_);
    for (int c = 1; c < fs_->columnCount(); ++c)
        hideColumn(c);
    header()->hide();
    setSortingEnabled(true);
    sortByColumn(0, Qt::AscendingOrder);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                const QString p = pathOf(current);
                if (p.isEmpty())
                    return;
                lastReported_ = p;
                Q_EMIT folderChanged(p);
            });
}

QString FolderTree::pathOf(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid())
        return {};
    return fs_->filePath(filter_->mapToSource(proxyIndex));
}

QModelIndex FolderTree::indexOf(const QString &path) const
{
    const QModelIndex src = fs_->index(path);
    if (!src.isValid())
        return {};
    return filter_->mapFromSource(src);
}

bool FolderTree::setRootFolder(const QString &folder, bool select)
{
    const QString root = cleanFolderPath(folder);
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return false;
    root_ = root;
    fs_->setRootPath(root);
    filter_->setRoot(root);
    const QModelIndex rootIdx = indexOf(root);
    setRootIndex(rootIdx.isValid() ? rootIdx.parent() : QModelIndex());
    if (rootIdx.isValid()) {
        expand(rootIdx);
        if (!select) {
            selectionModel()->clear();
            return true;
        }
        if (currentIndex() == rootIdx)
            Q_EMIT folderChanged(root);
        else
            setCurrentIndex(rootIdx);
    }
    return true;
}

QString FolderTree::SelectedFolder() const
{
    return pathOf(currentIndex());
}

bool FolderTree::setSelectedFolder(const QString &folder)
{
    const QString p = cleanFolderPath(folder);
    if (p.isEmpty() || !QFileInfo(p).isDir())
        return false;
    if (p != root_ && !(root_ == QLatin1String("/") || p.startsWith(root_ + '/')))
        return false;
    const QModelIndex idx = indexOf(p);
    if (!idx.isValid())
        return false;
    for (QModelIndex up = idx.parent(); up.isValid(); up = up.parent())
        expand(up);
    if (currentIndex() == idx)
        Q_EMIT folderChanged(p);
    else
        setCurrentIndex(idx);
    scrollTo(idx);
    return true;
}

void FolderTree::contextMenuEvent(QContextMenuEvent *e)
{
    Q_EMIT contextMenuAt(e->globalPos());
    e->accept();
}

}
