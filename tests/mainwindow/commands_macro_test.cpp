// The Macro menu: each entry opens the macro template window on its folder
// (the document's machine's own folder first) and the result lands on the
// clipboard.
#include "core/errors.h"
#include "core/globals.h"
#include "core/settings.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "generators/frmmacron.h"
#include "mainwindow/commands_macro.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindowfixture.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

// Answers the macro window when it shows: records what it was given, then
// lets `act` fill it in and press a button.
struct MacronAnswer {
    std::function<void(frmMacron *)> act;
    int shown = 0;
    QString ncmPath, caption, folder;
    QStringList entries;
    QTimer timer;

    explicit MacronAnswer(std::function<void(frmMacron *)> a) : act(std::move(a))
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *m = qobject_cast<frmMacron *>(w);
                if (!m || !m->isVisible())
                    continue;
                timer.stop();
                ++shown;
                ncmPath = m->ncmPath;
                caption = m->windowTitle();
                folder = m->templateFolder();
                for (int i = 0; i < m->cmbNcmFiler->count(); ++i)
                    entries << m->cmbNcmFiler->itemText(i);
                act(m);
                return;
            }
        });
        timer.start();
    }
};

void cancel(frmMacron *m) { m->cmdAbort->click(); }

class MacroCommandTest : public test::MainWindowFixture {
protected:
    MacroCommandTest()
    {
        settingsIni += "[MACRO]\r\n1_NAMN=&Fanuc\r\n1_PATH=Fanuc\r\n2_NAMN=Borta\r\n2_PATH=Saknas\r\n";
        settleDeletes = true;
    }
    void SetUp() override
    {
        test::SessionScope::macroFolders([](MacroFolderValues &f) { f = {}; });
        MainWindowFixture::SetUp();
        QGuiApplication::clipboard()->setText("kvar");
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        test::SessionScope::macroFolders([](MacroFolderValues &f) { f = {}; });
    }
    void prepare(frmMain &w)
    {
        w.fillMacroMenu();
        installMacroCommands(&w);
    }
    frmDocument *open(frmMain &w, const QString &machine = "MILL")
    {
        return w.openDocument(env.write("ncprog/P1.NC", "N10 G0 X1\r\n"), machine);
    }
    static bool macronOpen()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<frmMacron *>(w))
                return true;
        return false;
    }
};

}

TEST_F(MacroCommandTest, NothingWithoutADocument)
{
    frmMain w;
    prepare(w);
    EXPECT_TRUE(w.hasCommand("mnuSubMacro"));
    w.mnuSubMacro[0]->trigger();
    w.mnuSubMacro[1]->trigger();
    EXPECT_FALSE(macronOpen());
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(MacroCommandTest, MachineFolderFirstAndTheResultOnTheClipboard)
{
    env.write("Macron/MILL/Fanuc/HAL.NCM", "D >= Diameter [10]\r\n//\r\nG1 X[<1>/2]\r\n");
    env.write("Fanuc/ANNAN.NCM", "//\r\n");
    frmMain w;
    prepare(w);
    ASSERT_NE(open(w), nullptr);
    MacronAnswer answer([](frmMacron *m) {
        m->chooseTemplate("HAL");
        m->Text1[0]->setText("30");
        m->cmdOk->click();
    });
    w.mnuSubMacro[1]->trigger();
    EXPECT_EQ(answer.shown, 1);
    EXPECT_EQ(answer.ncmPath, "\\Macron\\MILL\\Fanuc");
    EXPECT_EQ(answer.caption, "Fanuc");
    EXPECT_EQ(answer.entries, QStringList({"HAL"}));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "G1 X15\r\n");
    EXPECT_TRUE(boxes.saw("Resultatet är kopierat till klippbordet!"));
    EXPECT_EQ(w.activeDocument()->txtText->TextAll(), "N10 G0 X1\r\n"); // nothing written into the document
}

TEST_F(MacroCommandTest, EntryFolderWhenTheMachineHasNone)
{
    env.write("fanuc/ANNAN.ncm", "//\r\n");
    frmMain w;
    prepare(w);
    open(w, "LATHE");
    MacronAnswer answer(&cancel);
    w.mnuSubMacro[1]->trigger();
    EXPECT_EQ(answer.ncmPath, "\\Fanuc");
    EXPECT_EQ(answer.folder, env.path("fanuc")); // found without regard to case
    EXPECT_EQ(answer.entries, QStringList({"ANNAN"}));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "kvar");
}

TEST_F(MacroCommandTest, StandardEntryAndAMissingFolder)
{
    env.write("EGEN.NCM", "//\r\n");
    frmMain w;
    prepare(w);
    open(w);
    {
        MacronAnswer answer(&cancel);
        w.mnuSubMacro[0]->trigger();
        EXPECT_EQ(answer.caption, "Standard");
        EXPECT_EQ(answer.ncmPath, "\\");
        EXPECT_EQ(answer.entries, QStringList({"EGEN"}));
        EXPECT_TRUE(boxes.calls().empty());
    }
    {
        MacronAnswer answer(&cancel);
        w.mnuSubMacro[2]->trigger();
        EXPECT_EQ(answer.shown, 1);
        EXPECT_TRUE(answer.entries.isEmpty());
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_EQ(boxes.calls()[0].text, "Felaktig sökväg till macro " + env.dataPath() + "/Saknas");
        EXPECT_EQ(boxes.calls()[0].title, "Macrofel !");
    }
}

TEST_F(MacroCommandTest, EntryFolderStoredInFull)
{
    QDir().mkpath(env.path("Macron/MILL/Paket"));
    EXPECT_EQ(macroEntryPath("MILL", "[exedir]\\Macron\\Paket"), "\\Macron\\Paket");
    EXPECT_EQ(macroEntryPath("MILL", env.path("Macron/Paket")), "\\Macron\\Paket");
    EXPECT_EQ(macroEntryPath("MILL", "Paket"), "\\Macron\\MILL\\Paket");
    EXPECT_EQ(macroEntryPath("mill", "paket"), "\\Macron\\mill\\paket");
    EXPECT_EQ(macroEntryPath("LATHE", "Paket"), "\\Paket");
}

TEST_F(MacroCommandTest, ASelfExpandingTemplateEndsWithAMessage)
{
    // Every default holds three copies of the next field's placeholder.
    QByteArray ncm;
    for (int n = 1; n < kMacroFields; ++n)
        ncm += "F >= Falt" + QByteArray::number(n) + " [" + ("<" + QByteArray::number(n + 1) + ">").repeated(3)
               + "]\r\n";
    ncm += "F >= Falt16 [1]\r\n//\r\nX<1>\r\n";
    env.write("Fanuc/LOOP.NCM", ncm);
    frmMain w;
    prepare(w);
    ASSERT_NE(open(w, "LATHE"), nullptr);
    MacronAnswer answer([](frmMacron *m) {
        m->chooseTemplate("LOOP");
        m->cmdOk->click();
    });
    w.mnuSubMacro[1]->trigger();
    EXPECT_EQ(answer.shown, 1);
    EXPECT_TRUE(boxes.saw("Fält 1 innehåller <2>. Text som ett fält fyller i ersätts inte igen."));
    EXPECT_TRUE(boxes.saw("Resultatet är kopierat till klippbordet!"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "X<2><2><2>\r\n");
    EXPECT_FALSE(macronOpen());
}

TEST_F(MacroCommandTest, TemplatesInEitherEncodingGoIntoProgramsOfEitherEncoding)
{
    const QByteArray year = QByteArray::number(QDate::currentDate().year());
    const QByteArray utf8Ncm = "D >= Diameter [10]\r\n//\r\n(\xC3\x85R <\xC3\x85R> \xC3\x98<1>)\r\n";
    const QByteArray cp1252Ncm = "D >= Diameter [10]\r\n//\r\n(\xC5R <\xC5R> \xD8<1>)\r\n";
    const QByteArray utf8Program = "(\xC3\x96)\r\nN10 G0 X1\r\n";
    const QByteArray cp1252Program = "(\xD6)\r\nN10 G0 X1\r\n";
    struct Case { const QByteArray &ncm, &program; QByteArray saved; } cases[] = {
        {utf8Ncm, utf8Program, "(\xC3\x85R " + year + " \xC3\x98" "10)\r\n" + utf8Program},
        {utf8Ncm, cp1252Program, "(\xC5R " + year + " \xD8" "10)\r\n" + cp1252Program},
        {cp1252Ncm, utf8Program, "(\xC3\x85R " + year + " \xC3\x98" "10)\r\n" + utf8Program},
        {cp1252Ncm, cp1252Program, "(\xC5R " + year + " \xD8" "10)\r\n" + cp1252Program},
    };
    int i = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(i++);
        env.write("Fanuc/YEAR.NCM", c.ncm);
        frmMain w;
        prepare(w);
        const QString path = env.write("ncprog/P1.NC", c.program);
        frmDocument *doc = w.openDocument(path, "LATHE");
        ASSERT_NE(doc, nullptr);
        MacronAnswer answer([](frmMacron *m) {
            m->chooseTemplate("YEAR");
            m->cmdOk->click();
        });
        w.mnuSubMacro[1]->trigger();
        ASSERT_EQ(answer.shown, 1);
        doc->txtText->setCaret(1, 1);
        w.runCommand("mnuEditPaste");
        w.runCommand("mnuFileSave");
        EXPECT_EQ(test::readFile(path), c.saved);
        doc->close();
    }
}
