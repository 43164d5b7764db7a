#include "documents/syntax.h"

#include "core/errors.h"
#include "core/progress.h"
#include "core/services.h"
#include "documents/editor.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QElapsedTimer>
#include <optional>
#include <vector>

namespace lumrik {

namespace {

using Sci = QsciScintillaBase;

// What a colouring run moves and gives back: caret and selection, current and
// top line, insert mode, modified flag and screen updating. Given back on every
// exit, also when the run fails half-way.
class EditorStateGuard {
public:
    explicit EditorStateGuard(Editor *ed)
        : ed_(ed), sci_(ed->scintilla()), redraw_(ed->Redraw()), dirty_(ed->IsDirty()),
          selMark_(ed->SelMark()), textIndex_(ed->TextIndex()), topY_(ed->TopY()),
          insert_(ed->InsertMode())
    {
        anchor_ = sci_->SendScintilla(Sci::SCI_GETANCHOR);
        caret_ = sci_->SendScintilla(Sci::SCI_GETCURRENTPOS);
        ed_->setRedraw(false);
    }
    ~EditorStateGuard()
    {
        try {
            sci_->SendScintilla(Sci::SCI_SETSEL, anchor_, caret_);
            if (anchor_ == caret_)
                ed_->setSelMark(selMark_);
            if (textIndex_ >= 1 && textIndex_ <= ed_->Count())
                ed_->setTextIndex(textIndex_);
            ed_->setTopY(topY_);
            ed_->setInsertMode(insert_);
            if (ed_->IsDirty() != dirty_)
                ed_->setIsDirty(dirty_);
        } catch (...) {
        }
        ed_->setRedraw(redraw_);
    }
    EditorStateGuard(const EditorStateGuard &) = delete;
    EditorStateGuard &operator=(const EditorStateGuard &) = delete;

private:
    Editor *ed_;
    QsciScintilla *sci_;
    bool redraw_, dirty_;
    int selMark_, textIndex_, topY_;
    bool insert_;
    long anchor_ = 0, caret_ = 0;
};

class BusyCursor {
public:
    explicit BusyCursor(bool on) : on_(on && qobject_cast<QApplication *>(QCoreApplication::instance()))
    {
        if (on_)
            QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    ~BusyCursor()
    {
        if (on_)
            QApplication::restoreOverrideCursor();
    }

private:
    bool on_;
};

// Every character back to the plain text style, without touching the text.
void resetAttributes(QsciScintilla *sci)
{
    const long n = sci->SendScintilla(Sci::SCI_GETLENGTH);
    if (n > 0) {
        sci->SendScintilla(Sci::SCI_STARTSTYLING, 0L, 0xFFL);
        sci->SendScintilla(Sci::SCI_SETSTYLING, n, 0L);
    }
}

// The editor keeps character attributes as text styles. Each style of the
// rules is given once to the first character through the editor's attribute
// members, and the style the editor chose for it is noted; the lines are then
// styled with those numbers directly. Moving the selection for every span
// would lay out each line again, which makes a large program take minutes.
std::vector<int> editorStyles(Editor *ed, const SyntaxRules &rules)
{
    std::vector<int> out;
    QsciScintilla *sci = ed->scintilla();
    if (sci->SendScintilla(Sci::SCI_GETLENGTH) < 1)
        return out;
    for (const SyntaxStyle &st : rules.styles) {
        ed->setSelStartY(1);
        ed->setSelEndY(1);
        ed->setSelStartX(1);
        ed->setSelEndX(2);
        ed->setCharacterForeColor(rkColor(st.colour));
        ed->setCharacterItalic(st.italic);
        ed->setCharacterBold(st.bold);
        out.push_back(int(sci->SendScintilla(Sci::SCI_GETSTYLEAT, 0L)) & 0xFF);
    }
    return out;
}

}

int ColorNC(Editor *txtText, const QString &machine, int firstLine, int lastLine, int budgetMs,
            bool showProgress, QWidget *owner)
{
    return RkGuard("ColorNC()", [&]() -> int {
        if (!txtText)
            return 0;
        // The rules are read first: a bad syntax file changes nothing.
        const SyntaxRules rules = loadSyntaxRules(machine);

        BusyCursor cursor(showProgress);
        std::optional<ProgressRun> progress;
        if (showProgress)
            progress.emplace(owner ? owner : txtText->window(), txtText->Count() + 1);
        EditorStateGuard state(txtText);
        QsciScintilla *sci = txtText->scintilla();
        const std::vector<int> styleNo = editorStyles(txtText, rules);
        resetAttributes(sci);

        QElapsedTimer clock;
        clock.start();
        const int count = txtText->Count();
        const int from = firstLine == 0 ? 1 : std::max(firstLine, 1);
        const int to = firstLine == 0 ? count : std::min(lastLine, count);
        std::vector<ColorSpan> runs;
        std::vector<int> scratch;
        int done = 0;
        for (int i = from; i <= to && !styleNo.empty(); ++i) {
            if (budgetMs > 0 && clock.elapsed() > budgetMs)
                break;
            if (progress && !progress->step(i))
                break;
            // The line's own bytes, read in place: work per line is its length.
            const long start = sci->SendScintilla(Sci::SCI_POSITIONFROMLINE, long(i - 1));
            const long end = sci->SendScintilla(Sci::SCI_GETLINEENDPOSITION, long(i - 1));
            const char *text = reinterpret_cast<const char *>(
                sci->SendScintilla(Sci::SCI_GETRANGEPOINTER, start, end - start));
            lineRuns(QByteArrayView(text, end - start), rules, runs, scratch);
            for (const ColorSpan &r : runs) {
                sci->SendScintilla(Sci::SCI_STARTSTYLING, start + r.start, 0xFFL);
                sci->SendScintilla(Sci::SCI_SETSTYLING, long(r.end - r.start), long(styleNo[size_t(r.style)]));
            }
            ++done;
        }
        return done;
    });
}

}
