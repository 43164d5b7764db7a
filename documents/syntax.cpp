#include "documents/syntax.h"

#include "core/errors.h"
#include "core/progress.h"
#include "core/services.h"
#include "documents/editor.h"

#include <QElapsedTimer>
#include <optional>

namespace lumrik {

namespace {

// What a colouring run moves and gives back: caret and selection, current and
// top line, insert mode, modified flag and screen updating. Given back on every
// exit, also when the run fails half-way.
class EditorStateGuard {
public:
    explicit EditorStateGuard(Editor *ed)
        : ed_(ed), redraw_(ed->Redraw()), dirty_(ed->IsDirty()), selMark_(ed->SelMark()),
          textIndex_(ed->TextIndex()), topY_(ed->TopY()), insert_(ed->InsertMode()),
          anchor_(ed->anchorOffset()), caret_(ed->caretOffset())
    {
        ed_->setRedraw(false);
    }
    ~EditorStateGuard()
    {
        try {
            ed_->setSelectionOffsets(anchor_, caret_);
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
    bool redraw_, dirty_;
    int selMark_, textIndex_, topY_;
    bool insert_;
    qint64 anchor_, caret_;
};

// The editor's style number of each style of the rules, one byte each.
QByteArray editorStyles(Editor *ed, const SyntaxRules &rules)
{
    QByteArray out;
    out.reserve(qsizetype(rules.styles.size()));
    for (const SyntaxStyle &st : rules.styles)
        out.append(char(ed->attributeStyle(rkColor(st.colour), st.bold, st.italic)));
    return out;
}

// Lines are coloured a piece of about this many bytes at a time; the time
// budget, the progress and the abort button are seen between pieces.
constexpr qint64 kPieceBytes = 64 * 1024;
// The styles go to the editor in windows of at most this many bytes.
constexpr qint64 kWindowBytes = 1024 * 1024;

}

int ColorNC(Editor *txtText, const QString &machine, int firstLine, int lastLine, int budgetMs,
            bool showProgress, QWidget *owner)
{
    return RkGuard("ColorNC()", [&]() -> int {
        if (!txtText)
            return 0;
        // The rules are read first: a bad syntax file changes nothing.
        const SyntaxRules rules = loadSyntaxRules(machine);

        WaitCursor cursor(showProgress, Qt::BusyCursor);
        std::optional<ProgressRun> progress;
        if (showProgress)
            progress.emplace(owner ? owner : txtText->window(), txtText->Count() + 1);
        EditorStateGuard state(txtText);
        const QByteArray styleOf = editorStyles(txtText, rules);

        const int count = txtText->Count();
        const int from = firstLine == 0 ? 1 : std::max(firstLine, 1);
        const int to = firstLine == 0 ? count : std::min(lastLine, count);
        // Lines outside the range, and lines not reached when the run stops,
        // show plain.
        const bool wholeText = from == 1 && to == count;
        if (!wholeText || styleOf.isEmpty())
            txtText->clearCharacterAttributes();
        if (styleOf.isEmpty() || to < from)
            return 0;
        const qint64 begin = wholeText ? 0 : txtText->lineOffset(from);
        const qint64 length = (wholeText ? txtText->lineOffset(count + 1) : txtText->lineOffset(to + 1)) - begin;
        // The styles are worked out as plain code and go to the editor a
        // window at a time, also within a line longer than a window: no style
        // buffer the size of the text is made.
        TextStyler styler(rules, styleOf);
        QByteArray window(qsizetype(std::min(length, kWindowBytes)), Qt::Uninitialized);
        qint64 held = 0, heldFrom = txtText->lineOffset(from); // worked out, not yet in the editor
        auto give = [&] {
            if (held > 0)
                txtText->setAttributeStyles(heldFrom, QByteArrayView(window.constData(), held));
            heldFrom += held;
            held = 0;
        };
        auto colour = [&](qint64 a, qint64 b) {
            while (a < b) {
                if (held == qint64(window.size()))
                    give();
                const qint64 e = std::min(b, a + (window.size() - held));
                // Serving events may have moved the text's bytes, never changed them.
                styler.styles(txtText->textView().sliced(begin, length), a - begin, e - begin, window.data() + held);
                held += e - a;
                a = e;
            }
        };
        QElapsedTimer clock;
        clock.start();
        int line = from;
        qint64 at = txtText->lineOffset(from);
        while (line <= to) {
            if ((budgetMs > 0 && clock.elapsed() > budgetMs) || (progress && !progress->step(line)))
                break;
            const int last = std::min(to, std::max(line, txtText->lineOfOffset(at + kPieceBytes)));
            const qint64 end = txtText->lineOffset(last + 1);
            colour(at, end);
            at = end;
            line = last + 1;
        }
        give();
        if (wholeText && at < begin + length) {
            // Stopped early: the lines not reached show plain.
            window.fill('\0');
            for (qint64 w = at; w < begin + length; w += kWindowBytes)
                txtText->setAttributeStyles(w, QByteArrayView(window.constData(), std::min(begin + length - w, kWindowBytes)));
        }
        return line - from;
    });
}

}
