#include "documents/syntax.h"

#include "core/errors.h"
#include "core/progress.h"
#include "core/services.h"
#include "documents/editor.h"

#include <QElapsedTimer>
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

// The editor's style number of each style of the rules. The lines are styled
// with those numbers directly: moving the selection for every span would lay
// out each line again, which makes a large program take minutes.
std::vector<int> editorStyles(Editor *ed, const SyntaxRules &rules)
{
    std::vector<int> out;
    out.reserve(rules.styles.size());
    for (const SyntaxStyle &st : rules.styles)
        out.push_back(ed->attributeStyle(rkColor(st.colour), st.bold, st.italic));
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

        WaitCursor cursor(showProgress, Qt::BusyCursor);
        std::optional<ProgressRun> progress;
        if (showProgress)
            progress.emplace(owner ? owner : txtText->window(), txtText->Count() + 1);
        EditorStateGuard state(txtText);
        const std::vector<int> styleNo = editorStyles(txtText, rules);
        txtText->clearCharacterAttributes();

        QElapsedTimer clock;
        clock.start();
        const int count = txtText->Count();
        const int from = firstLine == 0 ? 1 : std::max(firstLine, 1);
        const int to = firstLine == 0 ? count : std::min(lastLine, count);
        if (styleNo.empty())
            return 0;
        std::vector<ColorSpan> runs;
        std::vector<int> scratch;
        // The line's own bytes, read in place: work per line is its length.
        return txtText->applyAttributeRuns(
            from, to,
            [&](QByteArrayView line, std::vector<Editor::AttributeRun> &out) {
                lineRuns(line, rules, runs, scratch);
                for (const ColorSpan &r : runs)
                    out.push_back({r.start, r.end, styleNo[size_t(r.style)]});
            },
            [&](int line) {
                return !(budgetMs > 0 && clock.elapsed() > budgetMs) && (!progress || progress->step(line));
            });
    });
}

}
