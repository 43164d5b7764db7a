#pragma once
// The folder tree of the file selector: the folders under a root folder, the
// root itself as the one top node. Folders are read as the bytes their names
// have on disk, so that a name that is not UTF-8 ("D\xC5T") is listed,
// shown in Windows-1252 like the files, and opens. A level is read when it is
// first opened; the tree changes only when the window or the user changes it,
// never by itself when a folder comes or goes.
#include <QTreeView>

class QStandardItem;
class QStandardItemModel;

namespace lumrik {

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
    // Empties the tree (a root that has gone); RootFolder() stays as it was.
    void clearTree();

Q_SIGNALS:
    // The selected folder changed (also when the window changed it itself).
    void folderChanged(const QString &path);
    // A right mouse button over the tree, at this global position.
    void contextMenuAt(const QPoint &globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent *e) override;

private:
    QStandardItem *itemFor(const QString &path, const QString &name) const;
    // Reads the subfolders of the item's folder (again when `again`).
    void fill(QStandardItem *item, bool again = false);
    QStandardItem *childNamed(QStandardItem *item, const QString &path);

    QStandardItemModel *model_;
    QString root_;
};

// A path as the tree keeps it: absolute, cleaned, "\" read as "/", no trailing "/".
QString cleanFolderPath(const QString &path);
// The folder exists (a link to one counts); names that are not UTF-8 included.
bool RkIsFolder(const QString &path);
// The subfolders of a folder (none beginning with "."), sorted by their
// shown names without regard to case; names as kept by RkDecodeName.
QStringList RkSubFolders(const QString &folder);

}

namespace lumrik {
// A folder chosen in a tree of this computer's folders, starting at
// `initialFolder`; "" when cancelled. Folders whose names are not UTF-8 are
// offered like the others.
QString RkBrowseFolderTree(QWidget *owner, const QString &prompt, const QString &initialFolder);
}
