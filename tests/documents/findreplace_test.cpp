// Find and replace: the matching rules, the editor's find, find-next and
// replace actions on real text, FindIt with its messages and search
// variables, the history lists, the Find dialog's proposal, and the three
// dialogs offscreen.
#include "core/codepage.h"
#include "core/globals.h"
#include "documents/editor.h"
#include "documents/findreplace.h"
#include "documents/findreplace_rules.h"
#include "documents/frmdocument.h"
#include "documents/frmfind.h"
#include "documents/frmreplace.h"
#include "documents/frmreplaceconfirm.h"
#include "documenthost_fake.h"
#include "modaldialog.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <deque>

using namespace lumrik;
using namespace lumrik::test;

namespace {

QByteArray cp(const char *s) { return toCp1252(QString::fromUtf8(s)); }

qsizetype findIn(const QByteArray &text, const QByteArray &target, bool wholeWords, bool caseSensitive = false,
                 qsizetype from = 0)
{
    return ByteSearch(target, {caseSensitive, wholeWords}).find(text, from, text.size());
}

// Answers each replace question (frmReplaceConfirm shown modally) with the
// next answer's button, and counts the questions.
class ConfirmAnswerer {
public:
    explicit ConfirmAnswerer(std::deque<int> answers) : answers_(std::move(answers))
    {
        answerEachModal<frmReplaceConfirm>(&owner_, [this](frmReplaceConfirm *dlg) { answer(dlg); });
    }
    int asked = 0;
    QRect lastFrame;

private:
    void answer(frmReplaceConfirm *dlg)
    {
        ++asked;
        lastFrame = dlg->frameGeometry();
        const int a = answers_.empty() ? 0 : answers_.front();
        if (!answers_.empty())
            answers_.pop_front();
        if (a == -1) {
            dlg->close(); // the close box
            return;
        }
        QPushButton *b = a == 1 ? dlg->cmdYes : a == 2 ? dlg->cmdNo : a == 4 ? dlg->cmdAll : dlg->cmdCancel;
        b->click();
    }
    std::deque<int> answers_;
    QObject owner_; // the answering lives as long as this
};

// A document window made active for FindIt, with the program-wide search
// state given back afterwards.
class FindReplaceTest : public ::testing::Test {
protected:
    FakeDocumentHost host;
    MsgBoxRecorder boxes;
    frmDocument doc;
    Editor *ed = doc.txtText;

    void SetUp() override
    {
        installReplaceConfirm();
        host.active = &doc;
        gbNotSwedish = false;
        test::SessionScope::search([](SearchValues &v) {
            v.target.clear();
            v.replacement.clear();
        });
    }
    void TearDown() override
    {
        frmDocument::setReplaceConfirm({});
        frmFind::unload();
        frmReplace::unload();
        test::SessionScope::search([](SearchValues &v) {
            v.target.clear();
            v.replacement.clear();
            v.findString.clear();
        });
    }
    int notFoundBoxes() const
    {
        int n = 0;
        for (const MsgBoxCall &c : boxes.calls())
            n += c.title == QStringLiteral("Sökning klar");
        return n;
    }
};

}

// ----- Matching rules ---------------------------------------------------------

TEST(FindRules, UpperCaseOfWindows1252Letters)
{
    EXPECT_EQ(upperCp1252(cp("g01 x10 åäö éü")), cp("G01 X10 ÅÄÖ ÉÜ"));
    EXPECT_EQ(upperCp1252(cp("š œ ž ÿ")), cp("Š Œ Ž Ÿ"));
    // No single upper-case byte: kept.
    EXPECT_EQ(upperCp1252(cp("ß µ ÷ 1.5")), cp("ß µ ÷ 1.5"));
}

TEST(FindRules, CaseIsIgnoredUnlessAsked)
{
    const QByteArray text = cp("N10 G01 X5 (FRÄS Ö)");
    EXPECT_EQ(findIn(text, "g01", false), 4);
    EXPECT_EQ(findIn(text, cp("fräs ö"), false), 12);
    EXPECT_EQ(findIn(text, "g01", false, true), -1);
    EXPECT_EQ(findIn(text, "G01", false, true), 4);
}

TEST(FindRules, WholeWordsAreNcValues)
{
    EXPECT_EQ(findIn("T1M6", "T1", true), 0);         // packed block: the number ends at the next address
    EXPECT_EQ(findIn("N5 T1 M6", "T1", true), 3);
    EXPECT_EQ(findIn("N5 T10 M6", "T1", true), -1);   // another value
    EXPECT_EQ(findIn("DATA T1", "T1", true), 5);
    EXPECT_EQ(findIn("AT1", "T1", true), -1);
    EXPECT_EQ(findIn("G1 X10.5", "X10", true), -1);   // the decimals belong to the value
    EXPECT_EQ(findIn("G1 X10.5", "X10.5", true), 3);
    EXPECT_EQ(findIn("G1X10.5Y3", "X10.5", true), 2);
    EXPECT_EQ(findIn("(X10)", "X10", true), 1);
    EXPECT_EQ(findIn("X-10", "10", true), 2);
    EXPECT_EQ(findIn("X10", "X", true), -1);
    EXPECT_EQ(findIn("X10", "X", false), 0);
    // A search from inside a word still sees the word before the range.
    EXPECT_EQ(findIn("X10 10", "10", true, false, 1), 4);
}

TEST(FindRules, RangeWrapAndAllMatches)
{
    const QByteArray text = "X1 Y1 X1 Y1";
    const ByteSearch x1("x1", {});
    EXPECT_EQ(x1.find(text, 1, text.size()), 6);
    EXPECT_EQ(x1.find(text, 0, 1), -1); // the match must end inside the range
    EXPECT_EQ(x1.findWrapped(text, 7, false), -1);
    EXPECT_EQ(x1.findWrapped(text, 7, true), 0);
    // A match around the starting point is found by the wrapped part.
    EXPECT_EQ(ByteSearch("Y1 X", {}).findWrapped(text, 4, true), 3);
    EXPECT_EQ(ByteSearch("AA", {}).findAll("AAAAA", 0, 5), (std::vector<qsizetype>{0, 2}));
    EXPECT_EQ(spliceReplacements("X1 Y1 X1", 0, 8, {0, 6}, 2, "X10"), QByteArray("X10 Y1 X10"));
    EXPECT_EQ(spliceReplacements("AB X1 CD", 3, 5, {3}, 2, ""), QByteArray(""));
}

TEST(FindRules, TheSplicedTextInPartsIsTheWholeSplicedText)
{
    // Parts of every size, matches at part boundaries, long stretches without
    // a match and replacements longer than a part.
    QRandomGenerator rng(77);
    for (int round = 0; round < 400; ++round) {
        QByteArray text;
        for (int i = 0, n = int(rng.bounded(60)); i < n; ++i)
            text += "AB\r\n"[rng.bounded(4)];
        const QByteArray replacement = QByteArray("xyzw\r\n").left(int(rng.bounded(7)));
        const qsizetype start = rng.bounded(text.size() + 1), end = start + rng.bounded(text.size() - start + 1);
        const std::vector<qsizetype> hits = ByteSearch("AB", {true, false, false}).findAll(text, start, end);
        const QByteArray whole = spliceReplacements(text, start, end, hits, 2, replacement);
        const qsizetype partBytes = 1 + rng.bounded(7);
        QByteArray joined;
        for (const QByteArray &part : spliceReplacementsInParts(text, start, end, hits, 2, replacement, partBytes)) {
            EXPECT_GT(part.size(), 0);
            EXPECT_LE(part.size(), partBytes);
            joined += part;
        }
        ASSERT_EQ(joined, whole) << text.toHex().constData() << " " << start << ".." << end;
    }
}

TEST(FindRules, SkipsNeverMissAMatch)
{
    // The skip table against a plain scan, on random text of few letters.
    QRandomGenerator rng(1234);
    const char alphabet[] = "aAbB1 .";
    for (int round = 0; round < 300; ++round) {
        QByteArray text, target;
        const int n = int(rng.bounded(60)), m = 1 + int(rng.bounded(4));
        for (int i = 0; i < n; ++i) text += alphabet[rng.bounded(7)];
        for (int i = 0; i < m; ++i) target += alphabet[rng.bounded(7)];
        const qsizetype from = rng.bounded(4) == 0 ? qsizetype(rng.bounded(n + 1)) : 0;
        for (bool whole : {false, true}) {
            qsizetype expect = -1;
            const QByteArray up = upperCp1252(text), t = upperCp1252(target);
            for (qsizetype i = from; i + m <= n && expect < 0; ++i)
                if (up.mid(i, m) == t && (!whole || (isWordBoundary(text, i) && isWordBoundary(text, i + m))))
                    expect = i;
            ASSERT_EQ(findIn(text, target, whole, false, from), expect) << text.constData() << " / " << target.constData();
        }
    }
}

// ----- The editor's actions -----------------------------------------------------

TEST(EditorSearch, FindFromStartOrCaretWithoutWrap)
{
    Editor ed;
    ed.setTextAll("N10 G01 X1\r\nN20 G01 X2\r\nN30 M30");
    ed.SearchTarget = "G01";
    ed.SearchOrigin = 1;
    ed.setCaret(1, 3);
    ed.setAction(9);
    ASSERT_TRUE(ed.SearchResult());
    EXPECT_EQ(ed.SelStartY(), 1);
    EXPECT_EQ(ed.SelStartX(), 5);
    EXPECT_EQ(ed.CaretX(), 8); // the caret at the match's end
    ed.setAction(9);           // from the start again: the same match
    EXPECT_EQ(ed.SelStartY(), 1);

    ed.SearchOrigin = 0;
    ed.setAction(9); // from the caret: the next one
    EXPECT_EQ(ed.SelStartY(), 2);
    ed.setAction(11);
    EXPECT_FALSE(ed.SearchResult()); // no wrap: the end is the end
    EXPECT_EQ(ed.SelText(), QByteArray("G01")); // the last match stays selected
    EXPECT_EQ(ed.SelStartY(), 2);

    ed.SearchTo = 0; // the whole text: on from the start
    ed.setAction(11);
    EXPECT_TRUE(ed.SearchResult());
    EXPECT_EQ(ed.SelStartY(), 1);
}

TEST(EditorSearch, ReplaceAllIsLinearOneUndoStepAndKeepsColours)
{
    Editor ed;
    QByteArray text;
    for (int i = 0; i < 2000; ++i) text += "N" + QByteArray::number(i) + " G1 X" + QByteArray::number(i % 7) + "\r\n";
    text += "M30";
    ed.setTextAll(text);
    ed.setIsDirty(false);
    // A coloured comment-like span between matches.
    ed.setCaret(1, 2);
    ed.setSelMark(1);
    ed.setSelStartX(1); ed.setSelStartY(2); ed.setSelEndX(4); ed.setSelEndY(2);
    ed.setCharacterForeColor(QColor(255, 0, 0));
    ed.setSelMark(0);
    ed.setSelMark(1);
    ed.setSelStartX(4); ed.setSelStartY(3); ed.setSelEndX(6); ed.setSelEndY(3); // G1 of "N2 G1 X2"
    ed.setCharacterBold(true);
    ed.setCaret(1, 1);

    ed.SearchTarget = "G1";
    ed.SearchReplacement = "G01";
    ed.SearchOrigin = 1;
    int asked = 0;
    QObject::connect(&ed, &Editor::ReplaceQuery, [&](int &a) {
        ++asked;
        a = 4;
    });
    ed.setAction(10);
    EXPECT_TRUE(ed.SearchResult());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ed.searchReplacedCount(), 2000);
    EXPECT_EQ(ed.TextAll().count("G01"), 2000);
    EXPECT_EQ(ed.TextAll().count("G1 "), 0);
    EXPECT_EQ(ed.characterForeColorAt(2, 2), QColor(255, 0, 0));
    EXPECT_EQ(ed.characterForeColorAt(2, 6), ed.ForeColor());
    for (int col : {4, 5, 6}) // the replacement takes its match's look
        EXPECT_TRUE(ed.characterBoldAt(3, col)) << col;
    EXPECT_FALSE(ed.characterBoldAt(3, 7));
    EXPECT_TRUE(ed.IsDirty());
    // The selection shows the last replacement.
    EXPECT_EQ(ed.SelText(), QByteArray("G01"));
    EXPECT_EQ(ed.SelStartY(), 2000);

    ed.setAction(6);
    EXPECT_EQ(ed.TextAll(), text);
}

TEST(EditorSearch, ReplaceAnswersReplaceSkipAllAndStop)
{
    Editor ed;
    ed.setTextAll("X1 X2\r\nX3 X4\r\nX5");
    ed.SearchTarget = "X";
    ed.SearchReplacement = "XX"; // holds the target: must not be found again
    ed.SearchOrigin = 1;
    std::deque<int> answers{1, 2, 1, 0};
    int asked = 0;
    auto c = QObject::connect(&ed, &Editor::ReplaceQuery, [&](int &a) {
        ++asked;
        a = answers.empty() ? 0 : answers.front();
        if (!answers.empty()) answers.pop_front();
    });
    ed.setAction(10);
    EXPECT_EQ(asked, 4);
    EXPECT_EQ(ed.searchReplacedCount(), 2);
    EXPECT_EQ(ed.TextAll(), QByteArray("XX1 X2\r\nXX3 X4\r\nX5"));
    EXPECT_EQ(ed.SelText(), QByteArray("X")); // stopped at X4, left selected
    EXPECT_EQ(ed.SelStartX(), 5);
    ed.setAction(6); // undo: the whole replace in one step
    EXPECT_EQ(ed.TextAll(), QByteArray("X1 X2\r\nX3 X4\r\nX5"));

    // From the caret: the text before it stays.
    answers = {4};
    asked = 0;
    ed.SearchOrigin = 0;
    ed.setCaret(1, 2);
    ed.setAction(10);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ed.TextAll(), QByteArray("X1 X2\r\nXX3 XX4\r\nXX5"));
    QObject::disconnect(c);

    ed.setReadOnly(true);
    ed.setAction(10);
    EXPECT_FALSE(ed.SearchResult());
    EXPECT_EQ(ed.TextAll(), QByteArray("X1 X2\r\nXX3 XX4\r\nXX5"));
}

// ----- FindIt and the search variables --------------------------------------------

TEST_F(FindReplaceTest, FindItSearchesCaseInsensitiveAndSetsTheVariables)
{
    ed->setTextAll("N10 G00 X1\r\nN20 G01 X2\r\nN30 G01 X3");
    EXPECT_TRUE(FindIt("g01", 1, false, true, QString(), false));
    EXPECT_EQ(ed->SelStartY(), 2);
    EXPECT_EQ(ed->SelText(), QByteArray("G01"));
    EXPECT_EQ(test::searchNow().target, QStringLiteral("G01"));
    EXPECT_EQ(test::searchNow().replacement, QString());
    EXPECT_EQ(test::searchNow().origin, 1);
    EXPECT_EQ(test::searchNow().to, 1);
    EXPECT_TRUE(test::searchNow().wholeWordsOnly);
    EXPECT_EQ(test::searchNow().action, 9);
    EXPECT_TRUE(boxes.calls().empty());

    // F3 in the document repeats it from the match on.
    QKeyEvent f3(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
    QApplication::sendEvent(ed->focusProxy() ? ed->focusProxy() : ed, &f3);
    EXPECT_EQ(ed->SelStartY(), 3);

    EXPECT_FALSE(FindIt(QString(), 0, false, true, QString(), false)); // empty: nothing, no message
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(FindReplaceTest, NoMatchIsToldWithTheTextAsTyped)
{
    ed->setTextAll("N10 G01 X1");
    EXPECT_FALSE(FindIt("n99", 0, false, true, QString(), false));
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("Kan ej hitta  \"n99\""));
    EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("Sökning klar"));
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Information);
    EXPECT_EQ(test::searchNow().target, QStringLiteral("N99"));

    // A character Windows-1252 lacks cannot be in the program: not found, not '?'.
    ed->setTextAll("N10 (?) G01");
    EXPECT_FALSE(FindIt(QStringLiteral("Ω"), 0, false, true, QString(), false));
    EXPECT_EQ(notFoundBoxes(), 2);
    EXPECT_EQ(ed->SelMark(), 0);

    TempEnv env;
    gsLanguageFile = env.write("Lumrik32.LNG", "[LANGUAGE]\r\n616=Cannot find\r\n617=Search done\r\n");
    gbNotSwedish = true;
    boxes.clear();
    FindIt("Q1", 0, false, true, QString(), false);
    gbNotSwedish = false;
    gsLanguageFile.clear();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("Cannot find  \"Q1\""));
    EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("Search done"));
}

TEST_F(FindReplaceTest, ReplaceWritesUpperCaseAndAsksPerMatch)
{
    ed->setTextAll("N10 g01 X1\r\nN20 G01 X2\r\nN30 G01 X3\r\nN40 G01 X4");
    ConfirmAnswerer answers({1, 2, 4});
    EXPECT_TRUE(FindIt("g01", 0, false, true, "g1", true));
    EXPECT_EQ(answers.asked, 3);
    EXPECT_EQ(ed->TextAll(), QByteArray("N10 G1 X1\r\nN20 G01 X2\r\nN30 G1 X3\r\nN40 G1 X4"));
    EXPECT_EQ(test::searchNow().replacement, QStringLiteral("G1"));
    EXPECT_EQ(test::searchNow().action, 10);
    EXPECT_EQ(ed->searchReplacedCount(), 3);
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(FindReplaceTest, CancelAndTheCloseBoxStopAtOnce)
{
    ed->setTextAll("X1 X2 X3");
    {
        ConfirmAnswerer answers({0});
        EXPECT_TRUE(FindIt("X", 0, false, true, "Y", true)); // a match was there: no message
        EXPECT_EQ(answers.asked, 1);
    }
    {
        ConfirmAnswerer answers({-1});
        FindIt("X", 0, false, true, "Y", true);
        EXPECT_EQ(answers.asked, 1);
    }
    EXPECT_EQ(ed->TextAll(), QByteArray("X1 X2 X3"));
    EXPECT_TRUE(boxes.calls().empty());

    // Nothing to replace: told like a find.
    EXPECT_FALSE(FindIt("Z", 0, false, true, "Y", true));
    EXPECT_EQ(notFoundBoxes(), 1);
}

TEST_F(FindReplaceTest, ReplaceRefusesWhatCannotBeWritten)
{
    ed->setTextAll("X1 X2");
    EXPECT_FALSE(FindIt("X", 0, false, true, QStringLiteral("Ω"), true));
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("Sök & Ersätt"));
    EXPECT_EQ(ed->TextAll(), QByteArray("X1 X2"));

    // Windows-1252 letters are written as their bytes, in upper case.
    ConfirmAnswerer answers({4});
    EXPECT_TRUE(FindIt("x", 0, false, true, QStringLiteral("ö"), true));
    EXPECT_EQ(ed->TextAll(), cp("Ö1 Ö2"));

    boxes.clear();
    ed->setReadOnly(true); // hex view
    EXPECT_FALSE(FindIt(QStringLiteral("ö"), 0, false, true, "X", true));
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("Denna funktion är inte tillåten på denna filtyp."));
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
    EXPECT_EQ(ed->TextAll(), cp("Ö1 Ö2"));
}

// ----- History lists and the proposal ---------------------------------------------

TEST(FindHistory, MostRecentOnTopAndNeverTwice)
{
    QComboBox box;
    box.setEditable(true);
    UpdateComboList(&box, "G01");
    UpdateComboList(&box, "G01");
    EXPECT_EQ(box.count(), 1);
    UpdateComboList(&box, "X10");
    UpdateComboList(&box, "M30");
    UpdateComboList(&box, "G01"); // the third entry comes to the top
    ASSERT_EQ(box.count(), 3);
    EXPECT_EQ(box.itemText(0), QStringLiteral("G01"));
    EXPECT_EQ(box.itemText(1), QStringLiteral("M30"));
    EXPECT_EQ(box.itemText(2), QStringLiteral("X10"));
    EXPECT_EQ(box.currentText(), QStringLiteral("G01"));
    UpdateComboList(&box, QString());
    UpdateComboList(&box, "g01"); // exact comparison
    EXPECT_EQ(box.count(), 4);
}

TEST(FindProposal, WordUnderTheCaretOrTheSelection)
{
    const QString line = QStringLiteral("G01 X10.5 Y3");
    EXPECT_EQ(wordAtCaret(line, 1), QStringLiteral("G01"));
    EXPECT_EQ(wordAtCaret(line, 3), QStringLiteral("G01"));
    EXPECT_EQ(wordAtCaret(line, 6), QStringLiteral("X10.5"));
    EXPECT_EQ(wordAtCaret(line, 9), QStringLiteral("X10.5"));
    EXPECT_EQ(wordAtCaret(line, 13), QStringLiteral("Y3"));
    EXPECT_EQ(wordAtCaret(QString(), 1), QString());

    Editor ed;
    ed.setTextAll(cp("N10 G01 X10.5 Y3   \r\nN20 (ÖVRE)"));
    ed.setCaret(10, 1);
    EXPECT_EQ(findProposal(&ed), QStringLiteral("X10.5"));
    ed.setSelectionOffsets(14, 19); // "Y3" and its trailing blanks
    EXPECT_EQ(findProposal(&ed), QStringLiteral("Y3"));
    EXPECT_EQ(ed.TextIndex(), 1);
    ed.setSelectionOffsets(14, 28); // into the next line: the selected text, line end and all
    EXPECT_EQ(findProposal(&ed), QStringLiteral("Y3   \r\nN20 (ÖV"));
    EXPECT_EQ(ed.TextIndex(), 1);
    ed.setSelectionOffsets(0, 31); // everything: the trailing blanks of the last line only go
    EXPECT_EQ(findProposal(&ed), QStringLiteral("N10 G01 X10.5 Y3   \r\nN20 (ÖVRE)"));
    ed.setSelectionOffsets(25, 31);
    EXPECT_EQ(findProposal(&ed), QStringLiteral("(ÖVRE)"));
    EXPECT_EQ(ed.TextIndex(), 2);
}

// ----- The dialogs -----------------------------------------------------------------

TEST_F(FindReplaceTest, FindDialogProposesSearchesAndStaysOpen)
{
    ed->setTextAll("G01 X10.5 Y3\r\nG01 X10.5\r\nG00 X10.5");
    ed->setCaret(6, 1);
    frmFind *dlg = frmFind::instance();
    EXPECT_EQ(dlg->objectName(), QStringLiteral("frmFind"));
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Sök"));
    EXPECT_EQ(test::searchNow().findDirection, 1);
    EXPECT_FALSE(dlg->cmdFind->isEnabled());
    dlg->show();
    EXPECT_EQ(dlg->comboText->currentText(), QStringLiteral("X10.5"));
    EXPECT_TRUE(dlg->cmdFind->isEnabled());
    EXPECT_FALSE(dlg->grab().isNull());

    // From the caret: each OK the next match, the dialog stays.
    dlg->cmdFind->click();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(ed->SelStartY(), 2);
    dlg->cmdFind->click();
    EXPECT_EQ(ed->SelStartY(), 3);
    dlg->cmdFind->click();
    EXPECT_EQ(notFoundBoxes(), 1);
    EXPECT_EQ(dlg->comboText->count(), 1); // one history entry

    // From the start: the first match each time (Enter in the box is OK).
    dlg->optOrigin[0]->click();
    dlg->cmdFind->click();
    ed->setCaret(1, 3);
    QTest::keyClick(dlg->comboText->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(ed->SelStartY(), 1);
    EXPECT_EQ(ed->SelStartX(), 5);

    dlg->comboText->setEditText(QString());
    EXPECT_FALSE(dlg->cmdFind->isEnabled());
    dlg->comboText->setEditText("Y3");
    dlg->cmdCancel->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(test::searchNow().findString, QStringLiteral("Y3"));

    // Shown again: the same dialog, its history and options kept, a new proposal.
    ed->setCaret(1, 3);
    EXPECT_EQ(frmFind::instance(), dlg);
    dlg->show();
    EXPECT_EQ(dlg->comboText->currentText(), QStringLiteral("G00"));
    EXPECT_TRUE(dlg->optOrigin[0]->isChecked());
    EXPECT_EQ(dlg->comboText->itemText(0), QStringLiteral("X10.5"));
    QTest::keyClick(dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(test::searchNow().findString, QStringLiteral("G00"));
}

TEST_F(FindReplaceTest, ReplaceDialogHidesAndReplaces)
{
    ed->setTextAll("N10 G1 X1\r\nN20 G1 X2\r\nN30 G10");
    frmReplace *dlg = frmReplace::instance();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Sök & Ersätt"));
    dlg->show();
    EXPECT_FALSE(dlg->cmdOk->isEnabled());
    dlg->comboText->setEditText("g1");
    EXPECT_TRUE(dlg->cmdOk->isEnabled());
    dlg->comboNewText->setEditText("g01");
    dlg->chkWholeWords->setChecked(true);
    dlg->optOrigin[0]->setChecked(true);
    EXPECT_FALSE(dlg->grab().isNull());
    ConfirmAnswerer answers({2, 1});
    dlg->cmdOk->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(answers.asked, 2); // G10 is another value
    EXPECT_EQ(ed->TextAll(), QByteArray("N10 G1 X1\r\nN20 G01 X2\r\nN30 G10"));
    EXPECT_EQ(dlg->comboText->itemText(0), QStringLiteral("g1"));
    EXPECT_EQ(dlg->comboNewText->itemText(0), QStringLiteral("g01"));
}

TEST(frmReplaceConfirm, ButtonsAnswerAndTheDialogSitsTopRight)
{
    struct Host : FakeDocumentHost {
        QWidget main;
        QWidget *mainWidget() override { return &main; }
    } host;
    host.main.setGeometry(100, 50, 800, 600);
    host.main.show();
    frmReplaceConfirm probe;
    EXPECT_EQ(probe.windowTitle(), QStringLiteral("Bekräfta"));
    EXPECT_EQ(probe.cmdYes->text(), QStringLiteral("&Ersätt"));
    EXPECT_FALSE(probe.grab().isNull());

    installReplaceConfirm();
    frmDocument doc;
    host.active = &doc;
    doc.txtText->setTextAll("A A A A A");
    doc.txtText->SearchTarget = "A";
    doc.txtText->SearchReplacement = "B";
    doc.txtText->SearchOrigin = 1;
    ConfirmAnswerer answers({1, 2, 1, 4});
    doc.txtText->setAction(10);
    frmDocument::setReplaceConfirm({});
    EXPECT_EQ(answers.asked, 4);
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("B A B B B"));
    const QRect m = host.main.frameGeometry();
    EXPECT_EQ(answers.lastFrame.top(), m.top());
    EXPECT_EQ(answers.lastFrame.right(), m.right());
}
