// What is dropped on the editor's text: a list of files is files to open,
// handed to the window that holds the editor; anything else is text for
// Scintilla to insert, except while long work is under way, when a program
// may be half rewritten and the drop is refused at once.
#include "documents/editor_impl.h"

#include "core/progress.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace lumrik {

QStringList localFilesOf(const QMimeData *md)
{
    QStringList out;
    if (!md || !md->hasUrls())
        return out;
    for (const QUrl &u : md->urls())
        if (u.isLocalFile())
            out << u.toLocalFile();
    return out;
}

namespace detail {

namespace {
// A file list as a copy; text as Scintilla would take it.
bool takeFiles(QDropEvent *e)
{
    if (localFilesOf(e->mimeData()).isEmpty())
        return false;
    e->setDropAction(Qt::CopyAction);
    e->accept();
    return true;
}
}

void SciView::dragEnterEvent(QDragEnterEvent *e)
{
    if (takeFiles(e))
        return;
    if (LongWork::underWay()) {
        e->ignore();
        return;
    }
    QsciScintilla::dragEnterEvent(e);
}

void SciView::dragMoveEvent(QDragMoveEvent *e)
{
    if (takeFiles(e))
        return;
    if (LongWork::underWay()) {
        e->ignore();
        return;
    }
    QsciScintilla::dragMoveEvent(e);
}

void SciView::dropEvent(QDropEvent *e)
{
    if (takeFiles(e)) {
        Q_EMIT d_->q->FilesDropped(localFilesOf(e->mimeData()));
        return;
    }
    if (LongWork::underWay()) {
        e->ignore();
        return;
    }
    QsciScintilla::dropEvent(e);
}

}

}
