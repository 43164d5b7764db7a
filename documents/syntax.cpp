#include "documents/syntax.h"

#include "core/errors.h"
#include "core/services.h"
#include "documents/editor.h"
#include "documents/stylework.h"

#include <QElapsedTimer>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

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
constexpr qint64 kWindowBytes = kStyleWindowBytes;

// Where the run stops to look at the time budget, the progress and the abort
// button: the start of every piece of lines, and the end of the last one.
struct PiecePlan {
    std::vector<int> lines;      // the first line of each piece; the last entry is one past the range
    std::vector<qint64> offsets; // where those lines start in the text
};

PiecePlan planPieces(Editor *ed, int from, int to)
{
    PiecePlan plan;
    int line = from;
    qint64 at = ed->lineOffset(from);
    while (line <= to) {
        plan.lines.push_back(line);
        plan.offsets.push_back(at);
        const int last = std::min(to, std::max(line, ed->lineOfOffset(at + kPieceBytes)));
        at = ed->lineOffset(last + 1);
        line = last + 1;
    }
    plan.lines.push_back(line);
    plan.offsets.push_back(at);
    return plan;
}

// The run over the pieces of a plan: the styles of text[begin, begin +
// size) go to `give` a window at a time, also within a line longer than a
// window. `goOn` is asked with the first line of each piece. With `plainRest`
// the bytes not reached when it stops get style 0. Returns the lines done.
int colourPieces(const SyntaxRules &rules, QByteArrayView styleOf, QByteArrayView text, qint64 begin,
                 const PiecePlan &plan, int budgetMs, bool plainRest, const std::function<bool(int line)> &goOn,
                 const std::function<void(qint64 offset, QByteArrayView styles)> &give)
{
    TextStyler styler(rules, styleOf);
    const qint64 length = text.size();
    QByteArray window(qsizetype(std::min<qint64>(length, kWindowBytes)), Qt::Uninitialized);
    qint64 held = 0, heldFrom = plan.offsets.front(); // worked out, not yet given
    auto flush = [&] {
        if (held > 0)
            give(heldFrom, QByteArrayView(window.constData(), held));
        heldFrom += held;
        held = 0;
    };
    auto colour = [&](qint64 a, qint64 b) {
        while (a < b) {
            if (held == qint64(window.size()))
                flush();
            const qint64 e = std::min(b, a + (window.size() - held));
            styler.styles(text, a - begin, e - begin, window.data() + held);
            held += e - a;
            a = e;
        }
    };
    QElapsedTimer clock;
    clock.start();
    size_t piece = 0;
    for (; piece + 1 < plan.lines.size(); ++piece) {
        if ((budgetMs > 0 && clock.elapsed() > budgetMs) || (goOn && !goOn(plan.lines[piece])))
            break;
        colour(plan.offsets[piece], plan.offsets[piece + 1]);
    }
    flush();
    const qint64 at = plan.offsets[piece];
    if (plainRest && at < begin + length) {
        // Stopped early: the lines not reached show plain.
        window.fill('\0');
        for (qint64 w = at; w < begin + length; w += kWindowBytes)
            give(w, QByteArrayView(window.constData(), std::min(begin + length - w, kWindowBytes)));
    }
    return plan.lines[piece] - plan.lines.front();
}

}

int ColorNC(Editor *txtText, const QString &machine, int firstLine, int lastLine, int budgetMs,
            bool showProgress, QWidget *owner, std::function<void(int lines)> finished)
{
    bool started = false;
    const int lines = RkGuard("ColorNC()", [&]() -> int {
        if (!txtText)
            return 0;
        if (showProgress && styleWorkWaits(txtText, [=, ed = QPointer<Editor>(txtText), owner = QPointer<QWidget>(owner)] {
                ColorNC(ed, machine, firstLine, lastLine, budgetMs, true, owner, finished);
            })) {
            started = true;
            return 0;
        }
        // The rules are read first: a bad syntax file changes nothing.
        auto rules = std::make_shared<const SyntaxRules>(loadSyntaxRules(machine));

        std::optional<EditorStateGuard> state;
        if (!showProgress)
            state.emplace(txtText);
        const QByteArray styleOf = editorStyles(txtText, *rules);

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
        auto plan = std::make_shared<const PiecePlan>(planPieces(txtText, from, to));
        if (!showProgress) {
            // Here and now, without serving events: the styles are worked out
            // as plain code and go to the editor a window at a time, no style
            // buffer the size of the text is made.
            return colourPieces(*rules, styleOf, txtText->textView().sliced(begin, length), begin, *plan, budgetMs,
                                wholeText, {}, [&](qint64 offset, QByteArrayView styles) {
                                    txtText->setAttributeStyles(offset, styles);
                                });
        }
        // Off the window: the worker colours a copy of the bytes while the
        // document is busy, and the editor takes the styles a window a round.
        auto done = std::make_shared<int>(0);
        StyleWork work;
        work.owner = owner ? owner : txtText->window();
        work.maximum = count + 1;
        work.compute = [rules, styleOf, plan, budgetMs, wholeText, begin, done,
                        source = txtText->textView().sliced(begin, length).toByteArray()](const WorkerRun::GoOn &goOn,
                                                                                        const GiveStyles &give) {
            bool editorThere = true;
            *done = colourPieces(*rules, styleOf, source, begin, *plan, budgetMs, wholeText,
                                 [&](int line) { return editorThere && goOn(line); },
                                 [&](qint64 offset, QByteArrayView styles) {
                                     if (editorThere)
                                         editorThere = give({offset, styles.toByteArray()});
                                 });
        };
        work.finished = [done, finished] {
            if (finished)
                finished(*done);
        };
        startStyleWork(txtText, std::move(work));
        started = true;
        return 0;
    });
    if (!started && showProgress && finished)
        finished(lines);
    return lines;
}

}
