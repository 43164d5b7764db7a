// Ordinary failures never cost typed text or the settings of the session: a
// file that vanishes between the selector and the open, "Avbryt" in the error
// report, a recent file whose name the settings file's encoding cannot hold.
#include "core/inifile.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/saving.h"
#include "mainwindowfixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>

using namespace lumrik;
using namespace lumrik::test;

namespace {

class UnsavedWorkTest : public MainWindowFixture {
protected:
    UnsavedWorkTest()
    {
        // Plain ASCII, as the sample settings file is.
        settingsIni = "[Settings]\r\nLastCnc=MILL\r\nFirstStart=True\r\nAutoColor=0\r\n"
                      "CurrentPath=/old\r\n";
    }
    void TearDown() override
    {
        fileSelectorHooks().choose = nullptr;
        setSaveDialogHook({});
        setErrorExitHook({});
        MainWindowFixture::TearDown();
    }
    // Types into the active document as the keyboard does.
    static frmDocument *typeNewDocument(frmMain &w, const QString &text)
    {
        w.mnuFileNew_Click();
        frmDocument *d = w.activeDocument();
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(d->txtText->focusProxy(), &press);
        }
        return d;
    }
};

TEST_F(UnsavedWorkTest, AFileThatVanishesBeforeItOpensIsToldPlainlyAndNothingEnds)
{
    frmMain w;
    frmDocument *typed = typeNewDocument(w, "N10 G0 X5.");
    ASSERT_TRUE(typed->txtText->IsDirty());
    const QString chosen = env.write("ncprog/BORTA.NC", "N1\r\n");
    fileSelectorHooks().choose = [&](QWidget *, const QString &, const QString &, QString &path, QString &file,
                                     QString &machine) {
        path = env.path("ncprog/");
        file = "BORTA.NC";
        machine = "MILL";
        QFile::remove(chosen); // gone while the selector was up
    };
    w.mnuFileOpen_Click();
    EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors.front().toStdString());
    ASSERT_FALSE(boxes.calls().empty());
    EXPECT_TRUE(boxes.calls().back().text.contains("BORTA.NC"));
    EXPECT_EQ(boxes.calls().back().buttons, MbButtons::Ok);
    EXPECT_EQ(w.documents().size(), 1);
    EXPECT_EQ(typed->txtText->TextAll(), "N10 G0 X5.");
    EXPECT_TRUE(typed->txtText->IsDirty());
    typed->txtText->setIsDirty(false);
}

TEST_F(UnsavedWorkTest, AvbrytInTheErrorReportOffersEveryChangedDocumentFirst)
{
    errorsAllowed = true;
    frmMain w;
    frmDocument *typed = typeNewDocument(w, "N20 G1 Y2.");
    int exits = 0;
    size_t boxesAtExit = 0;
    setErrorBoxHook([&](const QString &t) {
        errors.push_back(t);
        return false; // "Avbryt"
    });
    setErrorExitHook([&] {
        ++exits;
        boxesAtExit = boxes.calls().size();
    });
    // The first save fails (a folder that is not there): the document is offered again.
    const QString target = env.path("ncprog/SPARAD.NC");
    int dialogs = 0;
    setSaveDialogHook([&](QWidget *, const QString &, const QString &, const QString &, const QString &) {
        return ++dialogs == 1 ? env.path("saknas/X.NC") : target;
    });
    QDir().mkpath(env.path("ncprog"));
    boxes.answer(MbYes);
    boxes.answer(MbOk);  // the failed save
    boxes.answer(MbYes); // offered again
    RkGuard("fault()", [] { throw RkError(kErrSubscript, "Index utanför intervallet"); });

    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(exits, 1);
    ASSERT_GE(boxesAtExit, 3u);
    EXPECT_TRUE(boxes.calls()[0].text.contains(QString::fromUtf8("har ändrats, skall det sparas")));
    EXPECT_EQ(boxes.calls()[0].buttons, MbButtons::YesNo);
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(readFile(target), "N20 G1 Y2.");
    EXPECT_FALSE(typed->txtText->IsDirty());
}

TEST_F(UnsavedWorkTest, ARecentFileNamedInGreekCostsNoOtherSetting)
{
    const QString greek = env.write(QString::fromUtf8("ncprog/Ω9.NC"), "N1 G0 X0\r\n");
    {
        frmMain w;
        ASSERT_TRUE(w.openDocument(greek, "MILL"));
        w.AddToMruList(greek);
        w.close();
    }
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(boxes.calls().empty()) << boxes.calls().front().text.toStdString();
    const QByteArray ini = readFile(env.path("lumrik32.INI"));
    EXPECT_TRUE(ini.startsWith("[Settings]\r\nLastCnc=MILL\r\nFirstStart=False\r\n")) << ini.constData();
    EXPECT_TRUE(ini.contains("MRU0=" + greek.toUtf8() + "\r\n"));
    EXPECT_EQ(GetIniSetting("Recent Files", "MRU0"), greek);
    EXPECT_FALSE(GetIniSetting("Settings", "CurrentPath").isEmpty());
}

}
