// A UTF-8 program with a byte-order mark in the real main window: whatever
// the keys and the whole-program commands do at its start, the saved file
// begins with the mark and then the bytes the same steps make of the program
// without one. The mark is no character: no caret stands before it, no count
// counts it, no command numbers it.
#include "core/globals.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "mainwindow/frmmain.h"
#include "omnumfixture.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace lumrik;

namespace {

const QByteArray kMark("\xEF\xBB\xBF");

// A milling program in UTF-8: «Å» and «–» in its comments, tools to list,
// blocks without numbers.
const QByteArray kMilling = "%\r\n(FR\xC3\x85N \xE2\x80\x93 SIDA 1)\r\nG0 X0 Y0\r\nT1 M6\r\nG1 X10 Y5 F200\r\n"
                            "T2 M6\r\nG1 X20\r\nM30\r\n%\r\n";

class ByteOrderMarkTest : public test::OmnumWindowFixture {
protected:
    ByteOrderMarkTest()
    {
        settingsIni = "[Settings]\r\nLastCnc=MILL\r\nFirstStart=False\r\nAutoColor=0\r\nToolListChrs=T\r\n";
    }

    using Steps = std::function<void(frmMain &, frmDocument *)>;

    // Opens the program in the main window, runs the steps, saves with the
    // File menu; gives the saved file's bytes.
    QByteArray savedAfter(const QByteArray &program, const Steps &steps)
    {
        frmMain w;
        w.resize(1024, 768);
        w.show();
        const QString path = env.write("ncprog/P1.NC", program);
        frmDocument *doc = w.openDocument(path, "MILL");
        if (!doc) {
            ADD_FAILURE() << "not opened";
            return {};
        }
        doc->txtText->setFocus();
        steps(w, doc);
        w.runCommand("mnuFileSave");
        EXPECT_FALSE(doc->txtText->IsDirty());
        const QByteArray saved = test::readFile(path);
        doc->close();
        return saved;
    }
    // The same steps on the program with and without its mark: the mark,
    // then what they made of the program without one.
    void expectMarkKept(const char *name, const QByteArray &program, const Steps &steps)
    {
        const QByteArray plain = savedAfter(program, steps);
        const QByteArray marked = savedAfter(kMark + program, steps);
        EXPECT_TRUE(marked.startsWith(kMark)) << name << ": " << marked.left(16).toHex(' ').toStdString();
        EXPECT_EQ(marked.mid(kMark.size()), plain) << name;
        EXPECT_FALSE(marked.mid(kMark.size()).contains(kMark)) << name << ": the mark moved into the text";
    }

    static void keys(frmDocument *doc, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(doc->txtText->focusProxy(), key, mods);
    }
};

void run(frmMain &w, const char *command) { w.menuAction(QString::fromLatin1(command))->trigger(); }

}

TEST_F(ByteOrderMarkTest, KeysAtTheStartOfTheProgramStayAfterTheMark)
{
    // Ctrl+Home, then a typed character: before the program's first byte.
    const QByteArray typed = savedAfter(kMark + kMilling, [](frmMain &, frmDocument *doc) {
        keys(doc, Qt::Key_End, Qt::ControlModifier);
        keys(doc, Qt::Key_Home, Qt::ControlModifier);
        EXPECT_EQ(doc->txtText->CaretX(), 1);
        EXPECT_EQ(doc->txtText->CaretY(), 1);
        QTest::keyClick(doc->txtText->focusProxy(), 'X');
    });
    EXPECT_EQ(typed, kMark + "X" + kMilling);

    // A new first line.
    const QByteArray newLine = savedAfter(kMark + kMilling, [](frmMain &, frmDocument *doc) {
        keys(doc, Qt::Key_Home, Qt::ControlModifier);
        keys(doc, Qt::Key_Return);
    });
    EXPECT_EQ(newLine, kMark + "\r\n" + kMilling);

    // Delete at the start takes the program's first character, not the mark.
    const QByteArray deleted = savedAfter(kMark + kMilling, [](frmMain &, frmDocument *doc) {
        keys(doc, Qt::Key_Home, Qt::ControlModifier);
        keys(doc, Qt::Key_Delete);
    });
    EXPECT_EQ(deleted, kMark + kMilling.mid(1));

    // Backspace at the start has nothing before it; Shift+Home selects no mark.
    const QByteArray backspace = savedAfter(kMark + kMilling, [](frmMain &, frmDocument *doc) {
        keys(doc, Qt::Key_Down);
        keys(doc, Qt::Key_Home, Qt::ShiftModifier | Qt::ControlModifier);
        keys(doc, Qt::Key_Delete);
        keys(doc, Qt::Key_Backspace);
        keys(doc, Qt::Key_Backspace);
    });
    EXPECT_EQ(backspace, kMark + kMilling.mid(3));
}

TEST_F(ByteOrderMarkTest, WholeProgramCommandsKeepTheMarkInFront)
{
    expectMarkKept("Skapa T-Lista", kMilling, [](frmMain &w, frmDocument *) { run(w, "mnuNcOptionsToolList"); });
    expectMarkKept("Infoga mellanrum", kMilling, [](frmMain &w, frmDocument *) { run(w, "mnuViewUnPack"); });
    expectMarkKept("Ta bort mellanrum", kMilling, [](frmMain &w, frmDocument *) { run(w, "mnuViewPack"); });
    expectMarkKept("Omnumrering", kMilling, [this](frmMain &w, frmDocument *) {
        answerOmnum([](frmOmnum *o) {
            o->chkTncType->setChecked(false);
            o->chkAddBlockNr->setChecked(true);
        });
        run(w, "mnuNcOptionsOmnum");
    });
    // The renumbered program's first line is its own, numbered.
    const QByteArray numbered = savedAfter(kMark + kMilling.mid(3), [this](frmMain &w, frmDocument *) {
        answerOmnum([](frmOmnum *o) {
            o->chkTncType->setChecked(false);
            o->chkAddBlockNr->setChecked(true);
        });
        run(w, "mnuNcOptionsOmnum");
    });
    EXPECT_TRUE(numbered.startsWith(kMark + "N")) << numbered.left(16).toStdString();
    EXPECT_TRUE(numbered.contains(" (FR\xC3\x85N")) << numbered.left(32).toStdString();
    EXPECT_TRUE(errors.empty());
}

TEST_F(ByteOrderMarkTest, TncRenumberingNumbersTheFirstLineToo)
{
    QByteArray tnc;
    const QList<QByteArray> lines = {"0 BEGIN PGM P1 MM", "1 BLK FORM 0.1 Z X+0 Y+0 Z-20",
                                     "2 BLK FORM 0.2 X+100 Y+100 Z+0", "3 TOOL CALL 1 Z S2000",
                                     "4 ; FR\xC3\x85N SIDA", "5 L X+10 Y+10 R0 FMAX", "6 L Z-5 F200",
                                     "7 M30", "8 END PGM P1 MM"};
    for (const QByteArray &l : lines)
        tnc += l + "\r\n";
    const auto renumber = [this](frmMain &w, frmDocument *) {
        answerOmnum([](frmOmnum *o) {
            o->chkTncType->setChecked(true);
            o->txtFirstBlockNr->setText("0");
            o->txtOmNumIncr->setText("1");
        });
        run(w, "mnuNcOptionsOmnum");
    };
    expectMarkKept("TNC", tnc, renumber);
    const QByteArray saved = savedAfter(kMark + tnc, renumber);
    ASSERT_TRUE(saved.startsWith(kMark));
    const QList<QByteArray> got = saved.mid(kMark.size()).split('\n');
    ASSERT_GE(got.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(got[i].startsWith(QByteArray::number(i) + " ")) << i << ": " << got[i].toStdString();
    EXPECT_TRUE(got[8].startsWith("8 END PGM"));
}
