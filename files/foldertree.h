#pragma once
// The folder tree of the file selector: the folders under a root folder, the
// root itself as the one top node. A view over the file system model that
// lists folders only.
#include <QTreeView>

class QFileSystemModel;

namespace lumrik {

class FolderTreeFilter;

class FolderTree : public QTreeView {
    Q_OBJECT
public:
    explicit FolderTree(QWidget *parent = nullptr);

    // The tree's root folder (a cleaned absolute path, no trailing separator
    // except for "/"). Setting it selects the root (unless `select` is false),
    // which reports a folder change. A folder that is not there changes
    // nothing and gives false: no other folder stands in for it.
    QString RootFolder() const { return root_; }
    bool setRootFolder(const QString &folder, bool select = true);
    // The selected folder; "" when none. Setting it to a folder under the root
    // selects and shows it, which reports a folder change; a folder outside
    // the root or missing leaves the selection as it is and returns false.
    QString SelectedFolder() const;
    bool setSelectedFolder(const QString &folder);

    QFileSystemModel *fileSystemModel() const { return fs_; }

Q_SIGNALS:
    // The selected folder changed (also when the window changed it itself).
    void folderChanged(const QString &path);
    // A right mouse button over the tree, at this global position.
    void contextMenuAt(const QPoint &globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent *e) override;

private:
    QString pathOf(const QModelIndex &proxyIndex) const;
    QModelIndex indexOf(const QString &path) const;

    QFileSystemModel *fs_;
    FolderTreeFilter *filter_;
    QString root_;
    QString lastReported_;
};

// A path as the tree keeps it: absolute, cleaned, "\" read as "/", no trailing "/".
QString cleanFolderPath(const QString &path);

}
