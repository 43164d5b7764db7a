// Line ends through the whole-program commands: each line end comes out as it
// went in (CR LF, LF, a lone CR), only the rule's own changes differ, undo
// gives the program back byte for byte, and no command ends in the error
// report, also where emptying a line joins a lone CR and an LF.
#include "core/globals.h"
#include "ncops/frmomnum.h"
#include "ncops/mdlmnfix.h"
#include "ncops/mdlrkfix.h"
#include "ncops/omnum.h"
#include "ncops/toollist.h"
#include "ncops_testutil.h"
#include "sessionscope.h"
#include "testsupport.h"
#include "sessionscope.h"

#include <QCheckBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {

// Lines and their ends as the editor counts them: CR LF, LF or a lone CR.
struct Split {
    std::vector<QByteArray> lines, ends;
};
Split splitLines(const QByteArray &text)
{
    Split s;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        const qsizetype len = (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        s.lines.push_back(text.mid(start, i - start));
        s.ends.push_back(text.mid(i, len));
        i += len - 1;
        start = i + 1;
    }
    s.lines.push_back(text.mid(start));
    s.ends.push_back({});
    return s;
}
QByteArray joinLines(const Split &s)
{
    QByteArray t;
    for (size_t i = 0; i < s.lines.size(); ++i)
        t += s.lines[i] + s.ends[i];
    return t;
}

// Starts the renumbering dialog with `set` applied to it.
struct OmnumStart {
    WindowDriver driver;
    explicit OmnumStart(std::function<void(frmOmnum *)> set = {})
        : driver([set](QWidget *w) {
              auto *dlg = qobject_cast<frmOmnum *>(w);
              if (!dlg)
                  return false;
              if (set)
                  set(dlg);
              dlg->btnStartOmnum->click();
              return true;
          })
    {
    }
};

struct CommandsEnv {
    TempEnv env;
    test::SessionScope session; // the settings and the machine
    CommandsEnv()
    {
        frmOmnum::unload();
        test::SessionScope::settings([](SettingValues &v) {
            v.toolListChrs = QStringLiteral("T");
            v.decCheckBlockChars = QStringLiteral("X");
        });
        test::useMachineFile(env.path("MILL.cfg"));
    }
    ~CommandsEnv()
    {
        frmOmnum::unload();
        Editor::setPieceBytesForTests(0);
    }
};

bool sawErrorReport(const MsgBoxRecorder &boxes) { return boxes.saw(QStringLiteral("Ett fel uppstod")); }

}

// «N5 G1», a lone CR, a line of one blank, «N7 X1» in an LF program: the
// renumbering empties the blank line, so its CR and LF become one CR LF and
// the program has a line fewer than the pass counted.
TEST(LineEndsCommands, RenumberingAcrossALoneCrEndsWithoutAnErrorReport)
{
    CommandsEnv ce;
    const QByteArray program("\x4E\x35\x20\x47\x31\x0D\x20\x0A\x4E\x37\x20\x58\x31\x0A", 14);
    const QByteArray tnc("5 L\r \n7 L\n");
    struct Case {
        const char *name;
        QByteArray in, out;
        std::function<void(frmOmnum *)> set;
    };
    const std::vector<Case> cases = {
        {"renumber", program, "N10 G1\r\nN20 X1\n", {}},
        {"add", "G1\r \nX1\n", "N10 G1\r\nN20 X1\n", [](frmOmnum *d) { d->chkAddBlockNr->click(); }},
        {"remove", program, "G1\r\nX1\n", [](frmOmnum *d) { d->chkRemoveBlockNr->click(); }},
        {"tnc", tnc, "0 L\r\n1 L\n",
         [](frmOmnum *d) {
             if (!d->chkTncType->isChecked())
                 d->chkTncType->click();
         }},
    };
    for (const Case &c : cases) {
        MsgBoxRecorder boxes;
        TestDoc d(c.in, 2);
        d.ed()->emptyUndoBuffer();
        d.ed()->setCaret(1, 1);
        OmnumStart start(c.set);
        RkOmnum(&d.doc);
        EXPECT_EQ(d.ed()->textView().toByteArray(), c.out) << c.name;
        EXPECT_FALSE(sawErrorReport(boxes)) << c.name;
        EXPECT_TRUE(d.ed()->IsDirty()) << c.name;
        EXPECT_TRUE(d.ed()->Redraw()) << c.name;
        EXPECT_EQ(d.ed()->Count(), 3) << c.name;
        EXPECT_EQ(d.ed()->TextIndex(), 3) << c.name; // the last line, empty after the last LF
        EXPECT_EQ(d.ed()->SelText(), c.out) << c.name;
        d.ed()->setAction(6);
        EXPECT_EQ(d.ed()->textView().toByteArray(), c.in) << c.name << ": undo";
        if (c.set && c.name == std::string("tnc"))
            frmOmnum::unload(); // the TNC box is remembered
    }
}

// Every whole-program command on programs with uneven line ends, in whole
// pieces and in pieces of a few bytes (so that a CR LF falls on a piece
// boundary): the result is the rule applied to each line with every line end
// kept, and undo gives the program back byte for byte.
TEST(LineEndsCommands, EveryCommandKeepsEachLineEndAndUndoesToTheSameBytes)
{
    CommandsEnv ce;
    struct Program {
        const char *name;
        QByteArray text;
        int type;
    };
    const std::vector<Program> programs = {
        {"CR CR LF in LF", QByteArray("n1 g1 x5\r\r\ng1 x6\n"), 2},
        {"CR CR CR LF in LF", QByteArray("g1 x5\r\r\r\ng1 x6"), 2},
        {"CR at the end", QByteArray("n1 g1 x5\ng1 x6\r"), 2},
        {"CR NUL LF", QByteArray("M1\r\0\nM2\n", 8), 2},
        {"CR blank LF", QByteArray("N5 G1\r \nN7 X1\n"), 2},
        {"lone CR in LF", QByteArray("t1 m6\rg1 x5 y1\n\tg0 x1\n"), 2},
        {"lone CR in CR LF", QByteArray("t1 m6\r\ng1 x5\rg1\t x6\r\n\r\ny2"), 1},
        {"lone LF in CR LF", QByteArray("t1 m6\r\ng1 x5\ng1 x6\r\n"), 1},
    };
    using Rule = std::function<QByteArray(const QByteArray &)>;
    struct Command {
        const char *name;
        void (*run)(frmDocument *);
        Rule rule; // per line; empty: the whole text by its own rule
    };
    const std::vector<Command> commands = {
        {"clear", MnClearChars, [](const QByteArray &l) { return clearControlChars(l); }},
        {"pack", MnPack, [](const QByteArray &l) { return PackBlock(l); }},
        {"unpack", MnUnPack, [](const QByteArray &l) { return UnpackPackedBlock(PackBlock(l)); }},
        {"upper", MnUppercase, [](const QByteArray &l) { return upper1252(l); }},
        {"decimal", MnPunktKoll,
         [](const QByteArray &l) {
             QByteArray r = l;
             addDecimalPoints(r, "X");
             return r;
         }},
        {"renumber", RkOmnum, {}},
        {"tool list", RkGetToolList, {}},
    };
    for (const qsizetype piece : {0, 1, 2, 3, 5, 8}) {
        Editor::setPieceBytesForTests(piece);
        for (const Program &p : programs) {
            for (const Command &c : commands) {
                const std::string what = std::string(c.name) + " on " + p.name + ", pieces " + std::to_string(piece);
                MsgBoxRecorder boxes;
                for (int i = 0; i < 3; ++i)
                    boxes.answer(MbYes);
                OmnumStart start;
                TestDoc d(p.text, p.type);
                d.ed()->emptyUndoBuffer();
                c.run(&d.doc);
                untilLongWorkIsOver();
                const QByteArray out = d.ed()->textView().toByteArray();
                Split expected = splitLines(p.text);
                if (c.rule) {
                    for (QByteArray &l : expected.lines)
                        l = c.rule(l);
                    EXPECT_EQ(out, joinLines(expected)) << what;
                } else if (c.run == RkOmnum) {
                    RkOmnumLines(expected.lines, OmnumOptions{});
                    EXPECT_EQ(out, joinLines(expected)) << what;
                } else {
                    // The tool list goes in front; the program follows as it was.
                    EXPECT_TRUE(out.endsWith(p.text)) << what;
                }
                EXPECT_FALSE(sawErrorReport(boxes)) << what;
                d.ed()->setAction(6);
                EXPECT_EQ(d.ed()->textView().toByteArray(), p.text) << what << ": undo";
                // A second run of the same command changes no line end either.
                if (c.rule) {
                    boxes.answer(MbYes);
                    boxes.answer(MbYes);
                    c.run(&d.doc);
                    untilLongWorkIsOver();
                    c.run(&d.doc);
                    untilLongWorkIsOver();
                    const QByteArray again = d.ed()->textView().toByteArray();
                    EXPECT_EQ(again.count('\r'), p.text.count('\r')) << what;
                    EXPECT_EQ(again.count('\n'), p.text.count('\n')) << what;
                }
            }
        }
    }
}
