// How a program document (documents/programdocument.h) keeps its text: in
// Scintilla's document, which holds the text, its undo and its save point
// apart from the views that show it (QsciDocument). Each editor shows it
// through QsciScintilla::setDocument; the program holds a reference of its
// own, so the text and its undo stay when the last view goes. The rows of a
// text shown in rows, with their undo, are the program's as well.
//
// The program reads and changes its text through a view of it: the first
// editor that shows it, or while none does, one it makes for itself and
// never shows.
#include "documents/editor_impl.h"

#include "core/atomicfile.h"
#include "core/lineends.h"

#include <algorithm>

namespace lumrik {

void Editor::Impl::attach(ProgramDocument *p, bool adopt)
{
    program = p;
    detail::DocumentStore &s = p->store();
    const bool fresh = !s.text;
    if (fresh && adopt) {
        s.text = sci->document(); // the text Scintilla holds now becomes the program's
    } else {
        if (fresh) s.text.emplace(); // a new empty text
        sci->setDocument(*s.text);
        // The text comes as the program has it: no style of it is known here,
        // and the caret and selection are Scintilla's for this view.
        plainStyles = fresh;
        textIndex = 1;
        lastCaret = send(Sci::SCI_GETCURRENTPOS);
        cornerAnchor = cornerCaret = -2;
        selMark = 0;
    }
    s.views.push_back(q);
    if (s.engine && s.engine.get() != q)
        s.engine.reset(); // a view reads for the program from now on
    // The code page and the line ends of new lines are the document's in
    // Scintilla: the program's form sets them.
    applyEncoding();
    send(Sci::SCI_SETEOLMODE, textType() == 2 ? Sci::SC_EOL_LF : Sci::SC_EOL_CRLF);
    QObject::connect(p, &ProgramDocument::modifiedChanged, q, [this] { Q_EMIT q->ModifiedChanged(); });
}

void Editor::Impl::detach()
{
    if (!program) return;
    detail::DocumentStore &s = program->store();
    s.views.erase(std::remove(s.views.begin(), s.views.end(), q), s.views.end());
    QObject::disconnect(program, nullptr, q, nullptr);
    // The last view of a program that lives on: the program's own view takes
    // over the text before this one lets it go, so that Scintilla's document
    // is shown all along (QsciDocument keeps it, and lets it go, only so).
    if (s.views.empty() && !s.dying && program != ownProgram.get())
        s.engine = std::make_unique<Editor>(program);
    program = nullptr;
}

// ----- ProgramDocument --------------------------------------------------------

ProgramDocument::ProgramDocument(QObject *parent) : QObject(parent), store_(std::make_unique<detail::DocumentStore>()) {}

ProgramDocument::~ProgramDocument()
{
    detail::DocumentStore &s = *store_;
    s.dying = true;
    // The text goes with the last view that shows it.
    s.text.reset();
    s.engine.reset();
    // A view that still shows the program goes on with an empty one of its own.
    while (!s.views.empty())
        s.views.back()->setDocument(nullptr);
}

// A view to read and change the text through, with the lines every view
// kept aside put in first when `flush`.
Editor *ProgramDocument::view(bool flush) const
{
    detail::DocumentStore &s = *store_;
    if (s.views.empty())
        s.engine = std::make_unique<Editor>(const_cast<ProgramDocument *>(this)); // shows itself the text
    if (flush)
        for (Editor *v : s.views) v->d->flush();
    return s.views.front();
}

const NcDocument &ProgramDocument::form() const { return store_->doc; }

QByteArrayView ProgramDocument::textView() const
{
    return view()->textView();
}

int ProgramDocument::lineCount() const
{
    return view()->Count();
}

QByteArrayView ProgramDocument::lineView(int line) const
{
    return view()->lineView(line);
}

void ProgramDocument::load(const QString &path)
{
    // The file's bytes as they are, every line end included: a line end that
    // differs from the program's (a CR LF in an LF program, a lone CR) stays.
    const QByteArray file = readFileBytes(path);
    detail::DocumentStore &s = *store_;
    Editor *v = view(false);
    for (Editor *e : s.views)
        if (e != v) e->d->dropPending(); // the whole text is replaced
    v->d->takeFile(file);
    for (Editor *e : s.views) {
        if (e == v) continue;
        e->d->textIndex = 1;
        e->d->selMark = 0;
        e->d->checkCaret();
    }
}

void ProgramDocument::save(const QString &path) const { writeFileAtomic(path, fileBytes()); }

void ProgramDocument::setText(const QByteArray &whole)
{
    view()->setTextAll(whole);
}

bool ProgramDocument::isModified() const
{
    detail::DocumentStore &s = *store_;
    // Lines kept aside in a view are a change not yet in the text.
    for (Editor *e : s.views)
        if (e->d->pendingActive) return true;
    return s.forcedDirty || view(false)->d->send(Sci::SCI_GETMODIFY);
}

void ProgramDocument::setModified(bool modified)
{
    detail::DocumentStore &s = *store_;
    Editor *v = view();
    s.forcedDirty = modified;
    if (!modified) v->d->send(Sci::SCI_SETSAVEPOINT);
    checkModified();
}

qint64 ProgramDocument::characters() const { return view()->CountBytes(); }

bool ProgramDocument::quiet() const
{
    const std::vector<Editor *> &views = store_->views;
    return std::any_of(views.begin(), views.end(), [](const Editor *e) { return !e->d->redraw; });
}

}
