#include "files/foldertree.h"

#include "core/filenames.h"
#include "core/paths.h"
#include "files/filelogic.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QHeaderView>
#include <QStandardItemModel>
#include <algorithm>

#include <sys/stat.h>

namespace lumrik {

namespace {
constexpr int kPathRole = Qt::UserRole + 1;
constexpr int kFilledRole = Qt::UserRole + 2;
}

QString cleanFolderPath(const QString &path)
{
    if (path.isEmpty())
        return {};
    QString p = QDir::cleanPath(QDir(RkNativePath(path)).absolutePath());
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    return p;
}

bool RkIsFolder(const QString &path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(RkPathBytes(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QStringList RkSubFolders(const QString &folder)
{
    QStringList out;
    FolderListing dir(folder);
    while (const dirent *e = dir.next()) {
        bool isDir = e->d_type == DT_DIR;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st; // a link to a folder is a folder
            isDir = ::fstatat(dir.fd(), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (isDir)
            out << RkDecodeName(e->d_name);
    }
    std::sort(out.begin(), out.end(), [](const QString &a, const QString &b) {
        return RkShownName(a).compare(RkShownName(b), Qt::CaseInsensitive) < 0;
    });
    return out;
}

FolderTree::FolderTree(QWidget *parent) : QTreeView(parent), model_(new QStandardItemModel(this))
{
    setModel(model_);
    header()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);

    connect(this, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        if (QStandardItem *item = model_->itemFromIndex(index))
            fill(item);
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        const QString p = current.data(kPathRole).toString();
        if (!p.isEmpty())
            Q_EMIT folderChanged(p);
    });
}

QStandardItem *FolderTree::itemFor(const QString &path, const QString &name) const
{
    auto *item = new QStandardItem(RkShownName(name));
    item->setData(path, kPathRole);
    item->setData(false, kFilledRole);
    item->setEditable(false);
    // Opens to show its subfolders; read when first opened.
    item->appendRow(new QStandardItem);
    return item;
}

void FolderTree::fill(QStandardItem *item, bool again)
{
    if (item->data(kFilledRole).toBool() && !again)
        return;
    const QString path = item->data(kPathRole).toString();
    const QStringList names = RkSubFolders(path);
    // Children kept by path, so that an open branch stays open on a new reading.
    QList<QStandardItem *> kept;
    while (item->rowCount() > 0) {
        const QList<QStandardItem *> row = item->takeRow(0);
        if (!row.isEmpty() && !row.first()->data(kPathRole).toString().isEmpty())
            kept << row.first();
        else
            qDeleteAll(row);
    }
    const QString prefix = path.endsWith('/') ? path : path + '/';
    for (const QString &n : names) {
        const QString childPath = prefix + n;
        auto old = std::find_if(kept.begin(), kept.end(),
                                [&](QStandardItem *k) { return k->data(kPathRole).toString() == childPath; });
        if (old != kept.end()) {
            item->appendRow(*old);
            kept.erase(old);
        } else {
            item->appendRow(itemFor(childPath, n));
        }
    }
    qDeleteAll(kept);
    item->setData(true, kFilledRole);
}

QStandardItem *FolderTree::childNamed(QStandardItem *item, const QString &path)
{
    for (bool again : {false, true}) {
        fill(item, again);
        for (int r = 0; r < item->rowCount(); ++r)
            if (item->child(r)->data(kPathRole).toString() == path)
                return item->child(r);
    }
    return nullptr;
}

bool FolderTree::setRootFolder(const QString &folder, bool select)
{
    const QString root = cleanFolderPath(folder);
    if (root.isEmpty() || !RkIsFolder(root))
        return false;
    root_ = root;
    {
        const QSignalBlocker block(selectionModel());
        model_->clear();
    }
    const qsizetype slash = root.lastIndexOf('/');
    QStandardItem *top = itemFor(root, root == QLatin1String("/") ? root : root.mid(slash + 1));
    model_->appendRow(top);
    fill(top);
    expand(top->index());
    if (!select) {
        selectionModel()->clear();
        return true;
    }
    if (currentIndex() == top->index())
        Q_EMIT folderChanged(root);
    else
        setCurrentIndex(top->index());
    return true;
}

void FolderTree::clearTree()
{
    const QSignalBlocker block(selectionModel());
    model_->clear();
}

QString FolderTree::SelectedFolder() const { return currentIndex().data(kPathRole).toString(); }

bool FolderTree::setSelectedFolder(const QString &folder)
{
    const QString p = cleanFolderPath(folder);
    if (p.isEmpty() || root_.isEmpty() || !RkIsFolder(p))
        return false;
    if (p != root_ && !(root_ == QLatin1String("/") || p.startsWith(root_ + '/')))
        return false;
    QStandardItem *item = model_->item(0);
    if (!item || item->data(kPathRole).toString() != root_)
        return false;
    if (p != root_) {
        const QStringList parts = p.mid(root_ == QLatin1String("/") ? 1 : root_.size() + 1).split('/');
        QString path = root_ == QLatin1String("/") ? QString() : root_;
        for (const QString &part : parts) {
            path += '/' + part;
            item = childNamed(item, path);
            if (!item)
                return false;
        }
    }
    const QModelIndex idx = item->index();
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

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumrik {

QString RkBrowseFolderTree(QWidget *owner, const QString &prompt, const QString &initialFolder)
{
    QDialog dlg(owner);
    dlg.setObjectName("frmBrowseFolder");
    dlg.setWindowTitle(QStringLiteral("Välj mapp"));
    auto *lay = new QVBoxLayout(&dlg);
    auto *label = new QLabel(prompt, &dlg);
    lay->addWidget(label);
    auto *tree = new FolderTree(&dlg);
    tree->setObjectName("FoTrViBrowse");
    lay->addWidget(tree, 1);
    auto *buttons = new QDialogButtonBox(&dlg);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setObjectName("cmdOK");
    buttons->addButton(QStringLiteral("Avbryt"), QDialogButtonBox::RejectRole)->setObjectName("cmdCancel");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    lay->addWidget(buttons);
    dlg.resize(420, 480);
    tree->setRootFolder(QStringLiteral("/"), false);
    if (!tree->setSelectedFolder(initialFolder))
        tree->setSelectedFolder(QDir::homePath());
    if (dlg.exec() != QDialog::Accepted)
        return {};
    return tree->SelectedFolder();
}

}
