// While a whole-program operation rewrites a program in the real main window,
// nothing else acts on it: the window activated with the file changed on disk
// asks "Ändrad fil" only once the operation is over, on the finished text,
// and a timer that replaces the text through the plug-in host acts after it.
#include "core/codepage.h"
#include "core/globals.h"
#include "core/msgbox.h"
#include "core/progress.h"
#include "documents/editor.h"
#include "documents/findreplace.h"
#include "documents/findreplace_rules.h"
#include "documents/frmdocument.h"
#include "mainwindow/commands_plugins.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/pluginhost.h"
#include "mainwindowfixture.h"
#include "ncops/frmomnum.h"
#include "ncops/mdlmnfix.h"
#include "ncops/mdlrkfix.h"
#include "ncops/omnum.h"
#include "testsupport.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include <qpa/qwindowsysteminterface.h>

using namespace lumrik;
using test::OnceDuringWork;

namespace {

// A milling program of about 3.4 MB: block numbers, small letters, numbers
// without a decimal point and G1 words for every operation to change.
QByteArray bigProgram()
{
    QByteArray t = "%\r\nO2000 (OWNER)\r\n";
    for (int i = 1; i <= 120000; ++i) {
        QByteArray line = "N" + QByteArray::number(i * 5) + " G1 X" + QByteArray::number(i % 300) + " Y-"
                          + QByteArray::number(i % 70) + ".5 F200";
        if (i % 7 == 0)
            line = line.toLower();
        t += line + "\r\n";
    }
    return t + "M30\r\n%";
}

// Each line (CR LF ends) through `rule`, the line ends kept.
QByteArray perLine(const QByteArray &text, const std::function<QByteArray(QByteArrayView, int)> &rule)
{
    QByteArray out;
    int no = 0;
    for (qsizetype at = 0;;) {
        const qsizetype end = text.indexOf("\r\n", at);
        out += rule(QByteArrayView(text).sliced(at, (end < 0 ? text.size() : end) - at), ++no);
        if (end < 0)
            return out;
        out += "\r\n";
        at = end + 2;
    }
}

class LongWorkOwnerTest : public test::MainWindowFixture {
protected:
    LongWorkOwnerTest()
    {
        settingsIni = "[Settings]\r\nLastCnc=MILL\r\nFirstStart=False\r\nAutoColor=0\r\nDecCheckChrs=XYF\r\n";
    }
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        // Start in the renumbering dialog, whenever it shows.
        QObject::connect(&answers_, &QTimer::timeout, [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *o = qobject_cast<frmOmnum *>(w); o && o->isVisible())
                    o->btnStartOmnum->click();
        });
        answers_.start(0);
    }
    void TearDown() override
    {
        answers_.stop();
        setMsgBoxHook({});
        MainWindowFixture::TearDown();
        frmDocument::setReplaceConfirm({});
    }

    struct Asked {
        QString title;
        bool duringWork;
        QByteArray text; // the document's text when the box came
    };

    // Opens the big program, runs `operation`, and during it changes the file
    // on disk and gives the main window the focus back. Every box is noted
    // with the text at that moment; "Ändrad fil" is answered "Ja".
    void run(const char *name, const std::function<void(frmMain &)> &operation,
             const std::function<QByteArray(const QByteArray &)> &expected)
    {
        SCOPED_TRACE(name);
        frmMain w;
        installPluginHost(&w);
        frmDocument::setReplaceConfirm([](frmDocument *) { return 4; }); // replace all
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        const QByteArray original = bigProgram();
        ASSERT_GE(original.size(), 3 * 1024 * 1024);
        const QString path = env.write("ncprog/BIG.NC", original);
        frmDocument *doc = w.openDocument(path, "MILL");
        ASSERT_NE(doc, nullptr);
        doc->txtText->setFocus();

        std::vector<Asked> asked;
        setMsgBoxHook([&](const MsgBoxCall &c) {
            asked.push_back({c.title, LongWork::underWay(), doc->txtText->TextAll()});
            return c.buttons == MbButtons::YesNo ? MbYes : MbOk;
        });
        const QByteArray onDisk = "%\r\nO3000 (CHANGED ON DISK)\r\nM30\r\n%";
        OnceDuringWork changer([&] {
            test::writeFile(path, onDisk);
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            f.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
            f.close();
            QWindowSystemInterface::handleWindowActivated<QWindowSystemInterface::AsynchronousDelivery>(nullptr);
            QWindowSystemInterface::handleWindowActivated<QWindowSystemInterface::AsynchronousDelivery>(
                w.windowHandle(), Qt::ActiveWindowFocusReason);
        });
        operation(w);
        test::untilLongWorkIsOver();
        ASSERT_TRUE(changer.ran());
        const QByteArray done = doc->txtText->TextAll();
        EXPECT_TRUE(done == expected(original)) << "the operation's result is the rule's";

        auto changedAsked = [&] {
            for (const Asked &a : asked)
                if (a.title == QStringLiteral("Ändrad fil"))
                    return &a;
            return static_cast<const Asked *>(nullptr);
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return changedAsked() != nullptr; }, 20000));
        if (const Asked *a = changedAsked()) {
            EXPECT_FALSE(a->duringWork);
            EXPECT_TRUE(a->text == done) << "asked about the finished text";
        }
        // "Ja" loaded the file from disk over the finished text.
        EXPECT_TRUE(QTest::qWaitFor([&] { return doc->txtText->TextAll() == onDisk; }, 20000));
        EXPECT_EQ(LongWork::waiting(), 0);
        doc->txtText->setIsDirty(false);
        setMsgBoxHook({});
    }

    QTimer answers_;
};

void command(frmMain &w, const char *name) { w.menuAction(QString::fromLatin1(name))->trigger(); }

}

TEST_F(LongWorkOwnerTest, RenumberingAsksAboutTheChangedFileAfterItIsDone)
{
    run("renumbering", [](frmMain &w) { command(w, "mnuNcOptionsOmnum"); },
        [](const QByteArray &text) {
            OmnumRun rule(frmOmnum::instance()->options());
            rule.setSelection(1, int(text.count("\r\n")) + 1);
            return perLine(text, [&](QByteArrayView l, int no) { return rule.line(l, no); });
        });
}

TEST_F(LongWorkOwnerTest, UpperCaseAsksAboutTheChangedFileAfterItIsDone)
{
    run("upper case", [](frmMain &w) { command(w, "mnuViewUppercase"); },
        [](const QByteArray &text) { return perLine(text, [](QByteArrayView l, int) { return upper1252(l); }); });
}

TEST_F(LongWorkOwnerTest, DecimalPointsAskAboutTheChangedFileAfterTheyAreDone)
{
    run("decimal points", [](frmMain &w) { command(w, "mnuOptionPunktKoll"); },
        [](const QByteArray &text) {
            const QByteArray letters = toCp1252(test::settingsNow().decCheckBlockChars);
            return perLine(text, [&](QByteArrayView l, int) {
                QByteArray line = l.toByteArray();
                addDecimalPoints(line, letters);
                return line;
            });
        });
}

TEST_F(LongWorkOwnerTest, ReplaceAllAsksAboutTheChangedFileAfterItIsDone)
{
    run("replace all", [](frmMain &) { FindIt("G1", 1, false, true, "G01", true); },
        [](const QByteArray &text) {
            const ByteSearch search("G1", {false, true});
            return spliceReplacements(text, 0, text.size(), search.findAll(text, 0, text.size()), 2, "G01");
        });
}

// A timer (of a plug-in, say) that reads and replaces the text through the
// host while an operation works: its read waits for the operation's result,
// and its change goes in on top of it.
TEST_F(LongWorkOwnerTest, AHostCallFromATimerActsOnTheFinishedText)
{
    frmMain w;
    installPluginHost(&w);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const QByteArray original = bigProgram();
    frmDocument *doc = w.openDocument(env.write("ncprog/BIG.NC", original), "MILL");
    ASSERT_NE(doc, nullptr);
    PluginHost *host = PluginHost::of(&w);
    ASSERT_NE(host, nullptr);

    bool duringWork = false;
    bool readAfterWork = false;
    QByteArray seen;
    QTimer pluginTimer;
    pluginTimer.setSingleShot(true);
    QObject::connect(&pluginTimer, &QTimer::timeout, [&] {
        duringWork = doc->busy();
        seen = host->plugin_GetEditText();
        readAfterWork = !doc->busy();
        host->plugin_SetEditText(QByteArray(seen).replace("F200", "F250"));
    });
    OnceDuringWork starter([&] { pluginTimer.start(0); });
    command(w, "mnuViewUppercase");
    test::untilLongWorkIsOver();
    ASSERT_TRUE(starter.ran());
    const QByteArray upper = perLine(original, [](QByteArrayView l, int) { return upper1252(l); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !seen.isEmpty(); }, 20000));
    EXPECT_TRUE(duringWork) << "the timer came while the program was busy";
    EXPECT_TRUE(readAfterWork);
    EXPECT_TRUE(seen == upper);
    EXPECT_TRUE(doc->txtText->TextAll() == QByteArray(upper).replace("F200", "F250"));
    doc->txtText->setIsDirty(false);
}

// A replace, a search and a find next (F3) asked for while replace all or a
// rewrite puts its text into the program: each acts once the text is
// finished, in the order they came, never refused as on a read-only program
// and never on half of the new text.
TEST_F(LongWorkOwnerTest, FindAndReplaceAskedDuringLongWorkComeAfterItInOrder)
{
    const QByteArray original = bigProgram();
    auto replaced = [](const QByteArray &text, const char *target, const char *replacement) {
        const ByteSearch search(target, {false, true});
        return spliceReplacements(text, 0, text.size(), search.findAll(text, 0, text.size()),
                                  qsizetype(strlen(target)), replacement);
    };
    struct Work {
        const char *name;
        std::function<void(frmMain &)> start;
        QByteArray result;
        const char *target; // of the replace asked during the work
    };
    const Work works[] = {
        {"replace all", [](frmMain &) { FindIt("G1", 1, false, true, "G01", true); }, replaced(original, "G1", "G01"),
         "G01"},
        {"upper case", [](frmMain &w) { command(w, "mnuViewUppercase"); },
         perLine(original, [](QByteArrayView l, int) { return upper1252(l); }), "G1"},
    };
    int round = 0;
    for (const Work &work : works) {
        SCOPED_TRACE(work.name);
        frmMain w;
        installPluginHost(&w);
        frmDocument::setReplaceConfirm([](frmDocument *) { return 4; }); // replace all
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        frmDocument *doc = w.openDocument(env.write(QStringLiteral("ncprog/BIG%1.NC").arg(++round), original), "MILL");
        ASSERT_NE(doc, nullptr);
        // The boxes from the moment the work is under way (the operation may
        // ask its own question first: "Ja").
        std::vector<QString> titles;
        bool working = false;
        setMsgBoxHook([&](const MsgBoxCall &c) {
            if (working)
                titles.push_back(c.title);
            return c.buttons == MbButtons::YesNo ? MbYes : MbOk;
        });
        OnceDuringWork asker([&] {
            working = true;
            ASSERT_TRUE(doc->busy());
            FindIt(QString::fromLatin1(work.target), 1, false, true, "G02", true);
            FindIt("F200", 1, false, true, QString(), false);
            QTimer::singleShot(0, &w, [&] { w.menuAction(QStringLiteral("mnuPopSearchNext"))->trigger(); });
        });
        work.start(w);
        ASSERT_TRUE(test::untilLongWorkIsOver());
        ASSERT_TRUE(asker.ran());
        // The second replace is long work of its own; the find and F3 follow it.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !doc->busy() && LongWork::waiting() == 0 && !LongWork::underWay(); }, 60000));
        test::MainWindowFixture::letEventsRun(3);
        const QByteArray expected = replaced(work.result, work.target, "G02");
        EXPECT_TRUE(doc->txtText->TextAll() == expected) << "both changes, in order, on the whole text";
        EXPECT_TRUE(titles.empty()) << (titles.empty() ? std::string() : titles.front().toStdString());
        // "F200" found from the start, then F3: the next one.
        const qsizetype firstF = expected.indexOf("F200");
        const qsizetype secondF = expected.indexOf("F200", firstF + 4);
        EXPECT_EQ(doc->txtText->SelText(), "F200");
        EXPECT_EQ(doc->txtText->caretOffset(), secondF + 4);
        doc->txtText->setIsDirty(false);
        setMsgBoxHook({});
    }
}
