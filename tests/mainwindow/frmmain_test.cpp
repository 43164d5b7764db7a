// The main window on the offscreen platform: menus and toolbars, command
// state, the machine selector, the ways of opening, closing and Exit.
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/language.h"
#include "core/settings.h"
#include "documents/frmdocument.h"
#include "documents/saving.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindowfixture.h"
#include "testsupport.h"
#include "sessionscope.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <functional>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

const QByteArray kCrLfProgram = "O1000\r\nN10 G0 X1. (SP\xC5N \xE4\xF6)\r\nN20 M30\r\n";
const QByteArray kLfProgram = "%\nO2000\nN10 G1 X2. F100 (\xB0\x80\x9F)\nN20 M30\n%\n";

// Waits until `state` holds, serving events (closed windows deleted) the
// while; the limit is only a safety net for a very busy machine.
bool waitFor(const std::function<bool()> &state)
{
    return QTest::qWaitFor(state, 60000);
}

// Waits until what is queued now has been served (a drop opens its files,
// a window closes, from the queue): for what must then still be as it was.
void serveQueued()
{
    QObject marker;
    bool served = false;
    QTimer::singleShot(0, &marker, [&] { served = true; });
    EXPECT_TRUE(waitFor([&] { return served; }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class MainWindowTest : public test::MainWindowFixture {
protected:
    QString savePath; // what the Save As dialog answers

    MainWindowTest()
    {
        settingsIni = "[Settings]\r\nLastCnc=MILL\r\nFirstStart=False\r\nDefaultTile=0\r\n";
        machineCfg = "[Settings]\r\nFileExtension=*.NC\r\nCodeText1=G\r\n";
        settleDeletes = true;
    }
    void SetUp() override
    {
        setSaveDialogHook([this](QWidget *, const QString &, const QString &, const QString &, const QString &) {
            return savePath;
        });
        env.write("lathe.CFG", "[Settings]\r\nFileExtension=*.MPF\r\n");
        MainWindowFixture::SetUp();
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        setSaveDialogHook({});
        fileSelectorHooks() = {};
    }
    // Chooses `path` in File > Open, with `machine` picked in the selector.
    void chooseInSelector(const QString &path, const QString &machine)
    {
        fileSelectorHooks().choose = [=](QWidget *, const QString &, const QString &, QString &p, QString &f,
                                         QString &m) {
            p = path.left(path.lastIndexOf('/') + 1);
            f = path.mid(path.lastIndexOf('/') + 1);
            m = machine;
        };
    }
};

TEST_F(MainWindowTest, MenusToolbarsAndSelectorAtLoad)
{
    frmMain w;
    EXPECT_EQ(w.objectName(), "frmMain");
    EXPECT_EQ(w.windowTitle(), "Lumrik-32");
    // Menu bar in Swedish, with text ids; the hidden menus stay out of sight.
    QStringList titles;
    for (QAction *a : w.menuBar()->actions())
        if (a->isVisible())
            titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&Arkiv", "&Redigera", "&Visa", "&NcOption", "&Macro...", "&Kommunikation",
                                   "&Fönster", "&Hjälp"}));
    EXPECT_EQ(w.menuAction("mnuFileOpen")->text(), QString::fromUtf8("&Öppna..."));
    EXPECT_EQ(w.menuAction("mnuFileOpen")->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(tagOf(w.menuAction("mnuFileOpen")), "103");
    EXPECT_EQ(w.menuAction("mnuEditFind")->text(), QString::fromUtf8("&Sök  "));
    EXPECT_EQ(w.menuAction("mnuWindowTileVertical")->shortcut(), QKeySequence("Ctrl+W"));
    EXPECT_EQ(w.menuAction("mnuTxd2Cnc")->shortcut(), QKeySequence("F5"));
    EXPECT_TRUE(w.mnuViewAutoColorNC->isChecked()); // "AutoColor" defaults to True
    EXPECT_FALSE(w.mnuViewAutoColorNC->isVisible());
    // Buttons are found by key, on whichever toolbar they sit.
    ASSERT_TRUE(w.toolButton("tbrFile", "Save"));
    EXPECT_EQ(w.toolButton("tbrFile", "Save")->toolTip(), "Spara aktivt program");
    EXPECT_EQ(w.toolButton("Fix")->toolTip(), QString::fromUtf8("Jämför 2 öppna program"));
    EXPECT_FALSE(w.tbToolBar->isVisibleTo(&w));
    EXPECT_FALSE(w.toolButton("tbrOptions", "Subprogram")->isVisible());
    // Machine selector: the ".cfg" files in any case, LastCnc selected and loaded.
    ASSERT_EQ(w.comboMaskiner->count(), 2);
    EXPECT_EQ(w.comboMaskiner->currentText(), "MILL");
    EXPECT_EQ(currentMachine().name(), "MILL");
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.NC");
    EXPECT_EQ(currentMachine().keys().codeText[0], "G");
    // Nothing open: the document commands are off; commands not built are off too.
    EXPECT_TRUE(enabled(w, "mnuFileNew"));
    EXPECT_TRUE(enabled(w, "mnuFileOpen"));
    EXPECT_TRUE(enabled(w, "mnuFileExit"));
    EXPECT_TRUE(enabled(w, "mnuRxdFromCnc")); // receiving needs no open program
    EXPECT_TRUE(enabled(w, "mnuHelix"));      // generators need none either
    for (const char *n : {"mnuFileSave", "mnuFileSaveAs", "mnuFileClose", "mnuFileCloseAll", "mnuEditCut",
                          "mnuEditPaste", "mnuEditMarkAll", "mnuFilePrint", "mnuTxd2Cnc",
                          "mnuEditFind"})
        EXPECT_FALSE(enabled(w, n)) << n;
    EXPECT_FALSE(w.toolButton("tbrFile", "Save")->isEnabled());
    EXPECT_TRUE(w.toolButton("tbrFile", "New")->isEnabled());
    EXPECT_EQ(test::activeNow().editor(), 0);
}

TEST_F(MainWindowTest, LastMachineInOtherCaseSelectsNothing)
{
    env.write("lumrik32.INI", "[Settings]\r\nLastCnc=mill\r\nFileExtension=*.TXT\r\n");
    RkLoadIniSettings();
    frmMain w;
    EXPECT_EQ(w.comboMaskiner->currentIndex(), -1);
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.TXT"); // the main file's value stays
}

TEST_F(MainWindowTest, NewDocumentsAndCommandState)
{
    frmMain w;
    w.setCommand("mnuCompare", [] {}); // as if the compare program were there
    w.mnuFileNew_Click();
    ASSERT_EQ(w.documents().size(), 1);
    frmDocument *d = w.activeDocument();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->caption(), QString::fromUtf8("NAMNLÖS"));
    EXPECT_EQ(d->sMaskin, "MILL");
    for (const char *n : {"mnuFileSave", "mnuFileSaveAs", "mnuFileClose", "mnuEditPaste", "mnuEditMarkAll",
                          "mnuEditUndo"})
        EXPECT_TRUE(enabled(w, n)) << n;
    // The new document's activation has made the clipboard items follow its (empty) selection.
    EXPECT_FALSE(enabled(w, "mnuEditCut"));
    EXPECT_FALSE(enabled(w, "mnuEditDelete"));
    EXPECT_TRUE(enabled(w, "mnuEditFind"));
    EXPECT_TRUE(enabled(w, "mnuFilePrint"));
    EXPECT_FALSE(enabled(w, "mnuCompare"));
    EXPECT_FALSE(w.toolButton("tbrEdit", "Cut")->isEnabled());

    // A selection enables Cut, Copy and Delete; a caret move without one disables them.
    d->txtText->setTextAll("N10 G0\r\nN20 M30");
    w.mnuEditMarkAll_Click();
    EXPECT_TRUE(w.toolButton("tbrEdit", "Cut")->isEnabled());
    EXPECT_TRUE(enabled(w, "mnuEditDelete"));
    d->txtText->setSelMark(0);
    d->txtText->setCaret(1, 1);
    w.MnUpdateValidSelections(true);
    EXPECT_FALSE(w.toolButton("tbrEdit", "Copy")->isEnabled());
    EXPECT_FALSE(enabled(w, "mnuEditCopy"));
    d->txtText->setIsDirty(false);

    w.mnuFileNew_Click();
    EXPECT_TRUE(enabled(w, "mnuCompare"));
    EXPECT_TRUE(w.toolButton("tbrOptions", "Fix")->isEnabled());
    w.mnuFileNew_Click();
    EXPECT_FALSE(enabled(w, "mnuCompare"));
    EXPECT_EQ(w.documents().size(), 3);

    // Close All closes unchanged documents without a question.
    w.mnuFileCloseAll_Click();
    (void)waitFor([&] { return w.documents().isEmpty() && w.statusPanel(3).isEmpty(); });
    EXPECT_TRUE(w.documents().isEmpty());
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_FALSE(enabled(w, "mnuFileSave"));
    EXPECT_FALSE(enabled(w, "mnuCompare"));
    EXPECT_EQ(w.statusPanel(3), "");
}

TEST_F(MainWindowTest, MachineSwitchFollowsDocuments)
{
    frmMain w;
    w.mnuFileNew_Click();
    frmDocument *first = w.activeDocument();
    w.comboMaskiner->setCurrentIndex(w.comboMaskiner->findText("lathe"));
    EXPECT_EQ(currentMachine().name(), "lathe");
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.MPF");
    EXPECT_EQ(first->sMaskin, "lathe");
    w.mnuFileNew_Click(); // also "lathe"
    first->sMaskin = "MILL";
    w.mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(first->parentWidget()));
    w.MnUpdateValidSelections(true);
    EXPECT_EQ(w.comboMaskiner->currentText(), "MILL");
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.NC");
    first->sMaskin = "UNKNOWN"; // not in the list: the selector stays
    w.MnUpdateValidSelections(true);
    EXPECT_EQ(w.comboMaskiner->currentText(), "MILL");
}

TEST_F(MainWindowTest, OpenKeepsLineEndsAndBytes)
{
    const QString crlf = env.write("ncprog/A.NC", kCrLfProgram);
    const QString lf = env.write("ncprog/b.nc", kLfProgram);
    frmMain w;

    chooseInSelector(crlf, "lathe");
    w.mnuFileOpen_Click();
    frmDocument *a = w.activeDocument();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->caption(), crlf);
    EXPECT_EQ(a->sMaskin, "lathe"); // the machine chosen in the selector
    EXPECT_EQ(a->txtText->TextType(), 1);
    EXPECT_EQ(a->txtText->Count(), 4); // the last line end opens an empty line
    EXPECT_EQ(test::activeNow().file(), crlf);
    EXPECT_EQ(test::activeNow().path(), env.path("ncprog/"));
    EXPECT_EQ(w.mruList().value(0), crlf);

    chooseInSelector(lf, "MILL");
    w.mnuFileOpen_Click();
    frmDocument *b = w.activeDocument();
    ASSERT_NE(a, b);
    EXPECT_EQ(b->txtText->TextType(), 2);
    EXPECT_EQ(w.mruList().mid(0, 2), (QStringList{lf, crlf}));

    // Saved unchanged, each file keeps its bytes when the setting writes its form.
    test::SessionScope::set(&SettingValues::saveAsUnixType, 1);
    w.mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(a->parentWidget()));
    w.mnuFileSave_Click();
    EXPECT_EQ(test::readFile(crlf), kCrLfProgram);
    test::SessionScope::set(&SettingValues::saveAsUnixType, 2);
    w.mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(b->parentWidget()));
    w.mnuFileSave_Click();
    EXPECT_EQ(test::readFile(lf), kLfProgram);

    // Cancel in the selector loads nothing.
    fileSelectorHooks().choose = [](QWidget *, const QString &, const QString &, QString &, QString &f,
                                    QString &) { f.clear(); };
    w.mnuFileOpen_Click();
    EXPECT_EQ(w.documents().size(), 2);
}

TEST_F(MainWindowTest, RecentFilesAndTheAlreadyOpenQuestion)
{
    const QString crlf = env.write("A.NC", kCrLfProgram);
    frmMain w;
    w.fillRecentFiles();
    w.AddToMruList(crlf);
    w.mnuFileMRU_Click(0);
    ASSERT_EQ(w.documents().size(), 1);
    EXPECT_EQ(w.activeDocument()->sMaskin, "MILL"); // the main window's machine
    EXPECT_TRUE(boxes.calls().empty());

    // Already open (caption compared without regard to case): No brings it to the front.
    frmDocument *open = w.activeDocument();
    open->setCaption(crlf.toUpper());
    w.mnuFileNew_Click();
    boxes.answer(MbNo);
    w.mnuFileMRU_Click(0);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Filen \"" + crlf + QString::fromUtf8("\" är redan öppen.\r\nVill du öppna en kopia?"));
    EXPECT_EQ(boxes.calls()[0].buttons, MbButtons::YesNo);
    EXPECT_EQ(w.documents().size(), 2);
    EXPECT_EQ(w.activeDocument(), open);
    EXPECT_EQ(w.mruList().value(0), crlf); // the list is unchanged

    // Yes opens a second copy.
    boxes.answer(MbYes);
    w.mnuFileMRU_Click(0);
    EXPECT_EQ(w.documents().size(), 3);

    // A recent file that is gone: a message, the entry stays.
    const QString gone = env.path("gone.nc");
    w.AddToMruList(gone);
    boxes.clear();
    w.mnuFileMRU_Click(0);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, gone + " kan ej hittas");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Exclamation);
    EXPECT_EQ(w.mruList().value(0), gone);
    EXPECT_EQ(w.documents().size(), 3);

    // A path with "&" is kept whole (the menu shows it with a doubled mark).
    w.AddToMruList("/a&b/c.nc");
    EXPECT_EQ(w.mruList().value(0), "/a&b/c.nc");
    EXPECT_EQ(w.mnuFileMRU[0]->text(), "/a&&b/c.nc");
}

TEST_F(MainWindowTest, DropCommandLineAndHandOver)
{
    const QString crlf = env.write("A.NC", kCrLfProgram);
    const QString lf = env.write("b.nc", kLfProgram);
    frmMain w;

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(lf), QUrl::fromLocalFile(crlf), QUrl::fromLocalFile(lf)});
    // Only file lists are taken, as copies.
    QMimeData text;
    text.setText("N10");
    QDragEnterEvent enterText(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enterText);
    EXPECT_FALSE(enterText.isAccepted());
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(w.documents().isEmpty()); // opened once the drop is over
    // However busy the machine, the documents come when the drop has been served.
    (void)QTest::qWaitFor([&] { return w.documents().size() == 3; }, 60000);
    serveQueued();
    ASSERT_EQ(w.documents().size(), 3);
    EXPECT_TRUE(boxes.calls().empty()); // the same file twice: no question
    EXPECT_EQ(w.documents()[0]->txtText->TextType(), 2);
    EXPECT_EQ(w.documents()[1]->txtText->TextType(), 1);
    EXPECT_EQ(w.documents()[0]->sMaskin, "MILL");
    EXPECT_EQ(w.mruList().mid(0, 3), (QStringList{lf, crlf, QString()}));

    // While the file selector is shown a drop does nothing.
    fileSelectorHooks().isVisible = [] { return true; };
    QApplication::sendEvent(&w, &enter);
    QApplication::sendEvent(&w, &drop);
    serveQueued();
    EXPECT_EQ(w.documents().size(), 3);
    fileSelectorHooks().isVisible = {};

    // Command line and hand-over: quotes removed, line ends classified, no recent entry.
    test::activeNow().setTextType(1);
    w.openCommandLine("\"" + lf + "\"");
    EXPECT_EQ(w.activeDocument()->caption(), lf);
    EXPECT_EQ(w.activeDocument()->txtText->TextType(), 2);
    EXPECT_EQ(w.activeDocument()->sMaskin, ""); // the selector has not been shown yet
    test::activeNow().setTextType(1);
    w.openHandedOver("\"" + lf + "\"");
    EXPECT_EQ(w.activeDocument()->txtText->TextType(), 2);
    EXPECT_EQ(w.mruList().mid(0, 2), (QStringList{lf, crlf}));
    EXPECT_EQ(w.documents().size(), 5);
}

TEST_F(MainWindowTest, AFileThatCannotBeLoadedLeavesNoWindowBehind)
{
    env.write("lumrik32.INI", "[Settings]\r\nLastCnc=MILL\r\n[Extensions]\r\nNC=abc\r\n");
    const QString bad = env.write("BAD.NC", kCrLfProgram);
    frmMain w;
    w.dropFiles({bad, env.path("missing.nc")});
    serveQueued();
    // The bad setting and the missing file are each told in a plain message
    // naming them; neither is a fault of the program.
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(boxes.calls().size(), 2u);
    EXPECT_TRUE(boxes.calls()[0].text.contains("[Extensions]"));
    EXPECT_EQ(boxes.calls()[1].text,
              "Filen \"" + env.path("missing.nc") + QString::fromUtf8("\" kan inte öppnas.\r\nFilen finns inte."));
    EXPECT_TRUE(w.documents().isEmpty());
    EXPECT_EQ(test::readFile(bad), kCrLfProgram);
    EXPECT_FALSE(w.menuAction("mnuFileSave")->isEnabled());
    errors.clear();
}

TEST_F(MainWindowTest, FilesThatCannotBeOpenedAreToldByNameAndNothingElseHappens)
{
    frmMain w;
    w.mnuFileNew_Click();
    w.activeDocument()->txtText->setTextAll("N10 G0 X5.\r\n");
    const QString folder = env.path("ncprog");
    QDir().mkpath(folder);
    const QString missing = env.path("saknas.nc");
    const auto told = [&](const QString &path, const QString &reason) {
        return boxes.saw("Filen \"" + path + QString::fromUtf8("\" kan inte öppnas.\r\n") + reason);
    };
    // Command line, hand-over, drop and a recent file: a plain message each,
    // no error report, no window, no recent entry.
    w.openCommandLine("\"" + missing + "\"");
    EXPECT_TRUE(told(missing, "Filen finns inte."));
    w.openHandedOver(folder);
    EXPECT_TRUE(told(folder, QString::fromUtf8("Det är en mapp, inte en fil.")));
    w.dropFiles({folder, missing});
    EXPECT_EQ(boxes.calls().size(), 4u);
    w.AddToMruList(folder);
    w.mnuFileMRU_Click(0);
    EXPECT_EQ(boxes.calls().size(), 5u);
    EXPECT_TRUE(told(folder, QString::fromUtf8("Det är en mapp, inte en fil.")));
    for (const MsgBoxCall &c : boxes.calls()) {
        EXPECT_EQ(c.icon, MbIcon::Exclamation);
        EXPECT_EQ(c.buttons, MbButtons::Ok);
    }
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(w.documents().size(), 1);
    EXPECT_EQ(w.activeDocument()->txtText->TextAll(), "N10 G0 X5.\r\n");
    EXPECT_EQ(w.mruList(), (QStringList{folder, QString(), QString(), QString()}));
    w.activeDocument()->txtText->setIsDirty(false);
}

TEST_F(MainWindowTest, CommandLinePathsAreFullPaths)
{
    const QString file = env.write("ncprog/P1.NC", kCrLfProgram);
    const QString old = QDir::currentPath();
    QDir::setCurrent(env.path("ncprog"));
    frmMain w;
    w.openCommandLine("\"./../ncprog/P1.NC\"");
    QDir::setCurrent(old);
    ASSERT_EQ(w.documents().size(), 1);
    EXPECT_EQ(w.activeDocument()->caption(), file);
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(MainWindowTest, ExitWithAReadOnlySettingsFileTellsItOnce)
{
    auto *w = new frmMain;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->showAtStart();
    w->AddToMruList("/nc/x.nc");
    const QString ini = mainSettingsFile();
    const QByteArray before = test::readFile(ini);
    QFile::setPermissions(ini, QFile::ReadOwner);
    w->mnuFileExit_Click();
    (void)waitFor([&] { return !w->isVisible(); });
    EXPECT_FALSE(w->isVisible());
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.startsWith("Fel vid skrivning till INI-fil...\r\n\r\n" + ini + ": "));
    EXPECT_EQ(test::readFile(ini), before);
    QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
    delete w;
}

TEST_F(MainWindowTest, CloseAsksAndCancelKeepsTheDocument)
{
    frmMain w;
    w.mnuFileNew_Click();
    frmDocument *d = w.activeDocument();
    d->txtText->setTextAll("N10 G0 X5.\r\n");
    d->txtText->setIsDirty(true);

    boxes.answer(MbCancel);
    w.mnuFileClose_Click();
    serveQueued();
    ASSERT_EQ(w.documents().size(), 1);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.contains(QString::fromUtf8("har ändrats, skall det sparas ?")));
    EXPECT_EQ(boxes.calls()[0].buttons, MbButtons::YesNoCancel);
    EXPECT_TRUE(d->txtText->IsDirty());

    // Yes on an untitled document asks for a name; a cancelled dialog keeps it open.
    savePath.clear();
    boxes.answer(MbYes);
    w.mnuFileClose_Click();
    serveQueued();
    ASSERT_EQ(w.documents().size(), 1);

    // Yes with a name saves and closes.
    savePath = env.path("saved.nc");
    boxes.answer(MbYes);
    w.mnuFileClose_Click();
    (void)waitFor([&] { return w.documents().isEmpty(); });
    EXPECT_TRUE(w.documents().isEmpty());
    EXPECT_EQ(test::readFile(savePath), QByteArray("N10 G0 X5.\r\n"));
    EXPECT_EQ(w.mruList().value(0), savePath); // saving puts it on the recent list

    // No discards.
    w.mnuFileNew_Click();
    w.activeDocument()->txtText->setTextAll("X");
    w.activeDocument()->txtText->setIsDirty(true);
    boxes.answer(MbNo);
    w.mnuFileClose_Click();
    (void)waitFor([&] { return w.documents().isEmpty(); });
    EXPECT_TRUE(w.documents().isEmpty());
}

TEST_F(MainWindowTest, CloseAllAsksForEachChangedDocumentNewestFirst)
{
    frmMain w;
    for (int i = 0; i < 3; ++i) {
        w.mnuFileNew_Click();
        w.activeDocument()->txtText->setTextAll(QByteArray::number(i));
        w.activeDocument()->txtText->setIsDirty(true);
    }
    frmDocument *middle = w.documents()[1];
    boxes.answer(MbNo);
    boxes.answer(MbCancel);
    boxes.answer(MbNo);
    w.mnuFileCloseAll_Click();
    (void)waitFor([&] { return w.documents().size() == 1; });
    EXPECT_EQ(boxes.calls().size(), 3u);
    ASSERT_EQ(w.documents().size(), 1);
    EXPECT_EQ(w.documents()[0], middle);
    EXPECT_EQ(middle->txtText->TextAll(), "1");
}

TEST_F(MainWindowTest, ExitWithCancelKeepsRunningThenSavesSettings)
{
    auto *w = new frmMain;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->resize(800, 600);
    w->showAtStart();
    w->resize(800, 600);
    w->AddToMruList("/nc/x.nc");
    w->mnuFileNew_Click();
    w->activeDocument()->txtText->setTextAll("G0");
    w->activeDocument()->txtText->setIsDirty(true);

    boxes.answer(MbCancel);
    w->mnuFileExit_Click();
    serveQueued();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->documents().size(), 1);
    EXPECT_EQ(GetIniSetting("Settings", "FirstStart"), "False"); // from the settings file of SetUp
    EXPECT_EQ(GetIniSetting("Recent Files", "MRU0"), ""); // nothing written yet

    boxes.answer(MbNo);
    test::activeNow().setPath(gsDataPath + "/ncprog/O1/");
    w->mnuFileExit_Click();
    (void)waitFor([&] { return !w->isVisible(); });
    EXPECT_FALSE(w->isVisible());
    // The current folder is stored with the program-folder token, and the
    // next start finds the same folder again.
    EXPECT_EQ(GetIniSetting("Settings", "CurrentPath"), "[exedir]\\ncprog\\O1\\");
    RkLoadIniSettings();
    EXPECT_EQ(test::activeNow().path(), gsDataPath + "/ncprog/O1/");
    EXPECT_EQ(GetIniSetting("Recent Files", "MRU0"), "/nc/x.nc");
    EXPECT_EQ(GetIniSetting("Recent Files", "MRU3"), "");
    EXPECT_EQ(GetIniSetting("Settings", "LastCnc"), "MILL");
    EXPECT_EQ(GetIniSetting("Settings", "FirstStart"), "False");
    const double dpi = w->screen()->logicalDotsPerInchX();
    EXPECT_NEAR(GetIniSetting("Settings", "MainWidth").toDouble(), w->width() * 1440.0 / dpi, 1.0);
    delete w;
}

TEST_F(MainWindowTest, PlacementFirstStartAndRestoredFromTwips)
{
    {
        gFirstStart = true;
        frmMain w;
        w.showAtStart();
        const QRect avail = w.screen()->availableGeometry();
        EXPECT_NEAR(w.width(), avail.width() * 0.8, 2);
        EXPECT_NEAR(w.height(), avail.height() * 0.8, 2);
    }
    env.write("lumrik32.INI", "[Settings]\r\nFirstStart=False\r\nMainLeft=1440\r\nMainTop=720\r\n"
                              "MainWidth=7200\r\nMainHeight=5760\r\n");
    RkLoadIniSettings();
    frmMain w;
    w.showAtStart();
    const double dpi = w.screen()->logicalDotsPerInchX();
    EXPECT_NEAR(w.width(), 7200 * dpi / 1440, 1);
    EXPECT_NEAR(w.height(), 5760 * w.screen()->logicalDotsPerInchY() / 1440, 1);
    EXPECT_NEAR(w.pos().x(), dpi, 1);
    // Closed while maximised: the earlier normal placement stays stored.
    w.showMaximized();
    w.close();
    EXPECT_EQ(GetIniSetting("Settings", "MainWidth"), "7200");
    EXPECT_EQ(GetIniSetting("Settings", "FirstStart"), "False");
}

TEST_F(MainWindowTest, ToolbarDispatchByKey)
{
    frmMain w;
    w.tbToolBar_ButtonClick("save"); // case counts
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Vald funktion finns ej!");
    w.tbToolBar_ButtonClick("Subprogram");
    EXPECT_EQ(boxes.calls().size(), 1u);
    w.toolButton("tbrFile", "New")->trigger();
    w.toolButton("tbToolBar", "New")->trigger();
    EXPECT_EQ(w.documents().size(), 2);
    // Split keys act on the active editor and press their button.
    w.toolButton("tbrWin", "SplitH")->trigger();
    EXPECT_EQ(w.activeDocument()->txtText->SplitterType(), 2);
    EXPECT_TRUE(w.toolButton("tbrWin", "SplitH")->isChecked());
    EXPECT_FALSE(w.toolButton("tbrWin", "NoSplit")->isChecked());
    // A later command plugged in runs from menu and buttons alike.
    int sent = 0;
    w.setCommand("mnuTxd2Cnc", [&] { ++sent; });
    EXPECT_TRUE(w.toolButton("tbrComm", "Txd2Cnc")->isEnabled());
    w.toolButton("tbrComm", "Txd2Cnc")->trigger();
    w.menuAction("mnuTxd2Cnc")->trigger();
    EXPECT_EQ(sent, 2);
}

TEST_F(MainWindowTest, LanguageFileReplacesCaptionsAndWords)
{
    const QString lng = env.write("Lumrik32.LNG", "[LANGUAGE]\r\n102=&New\r\n122=Save it\r\n1012=Line\r\n"
                                                  "1015=Lines\r\n1022=untitled\r\n");
    frmMain w;
    gsLanguageFile = lng;
    gbNotSwedish = true;
    w.applyTexts();
    gbNotSwedish = false;
    EXPECT_EQ(w.menuAction("mnuFile")->text(), "str101");
    EXPECT_EQ(w.menuAction("mnuFileNew")->text(), "&New");
    EXPECT_EQ(w.menuAction("mnuOptionPunktKoll")->text(), "&Decimalpunkt");
    EXPECT_EQ(w.toolButton("Save")->toolTip(), "Save it");
    EXPECT_EQ(test::wordsNow().row, "Line ");
    EXPECT_EQ(test::wordsNow().rows, " Lines ");
    EXPECT_EQ(test::wordsNow().untitled, "UNTITLED");
    setBuiltInWords();
    EXPECT_EQ(test::wordsNow().untitled, QString::fromUtf8("NAMNLÖS"));
    EXPECT_EQ(test::wordsNow().overwrite, QString::fromUtf8("Översk."));
}

// The language file's words reach the session in one change; a new program
// takes its caption from them, back in Swedish once the built-in words return.
TEST_F(MainWindowTest, TheLanguagesWordsAreTheSessionsInOneChange)
{
    const QString lng = env.write("Lumrik32.LNG", "[LANGUAGE]\r\n1010=Insert\r\n1022=untitled\r\n");
    frmMain w;
    QSignalSpy changed(&w.session().words(), &Words::changed);
    gsLanguageFile = lng;
    gbNotSwedish = true;
    w.applyTexts();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(test::wordsNow().insert, "Insert");
    w.mnuFileNew_Click();
    ASSERT_NE(w.activeDocument(), nullptr);
    EXPECT_EQ(w.activeDocument()->caption(), "UNTITLED");
    w.applyTexts(); // the same words again
    gbNotSwedish = false;
    EXPECT_EQ(changed.count(), 1);
    setBuiltInWords();
    EXPECT_EQ(changed.count(), 2);
    w.mnuFileNew_Click();
    EXPECT_EQ(w.activeDocument()->caption(), QString::fromUtf8("NAMNLÖS"));
}

TEST_F(MainWindowTest, WindowArrangements)
{
    frmMain w;
    w.resize(1000, 700);
    w.show();
    for (int i = 0; i < 3; ++i)
        w.mnuFileNew_Click();
    w.mnuWindowTileVertical_Click();
    EXPECT_EQ(test::settingsNow().defaultTile, "2");
    const auto subs = w.mdiArea->subWindowList();
    const int h = w.mdiArea->viewport()->height();
    for (QMdiSubWindow *s : subs)
        EXPECT_EQ(s->height(), h);
    w.mnuWindowTileHorizontal_Click();
    const int width = w.mdiArea->viewport()->width();
    for (QMdiSubWindow *s : subs)
        EXPECT_EQ(s->width(), width);
    w.mnuWindowCascade_Click();
    EXPECT_EQ(test::settingsNow().defaultTile, "0");
    // The Window menu lists the open documents; choosing one brings it to the front.
    QMenu *win = w.menu("mnuWindow");
    emit win->aboutToShow();
    emit win->aboutToShow(); // rebuilt, not appended
    ASSERT_TRUE(w.menuAction("mnuWindowCascade"));
    QList<QAction *> list;
    for (QAction *a : win->actions())
        if (a->objectName().startsWith("mnuWindowList") && a->objectName() != "mnuWindowListBar")
            list << a;
    ASSERT_EQ(list.size(), 3);
    EXPECT_TRUE(list[2]->isChecked());
    list[0]->trigger();
    EXPECT_EQ(w.activeDocument(), w.documents()[0]);
    for (frmDocument *d : w.documents())
        d->txtText->setIsDirty(false);
}

}

namespace {
// Renders the window with two programs open; LUMRIK_RENDER_PNG names a file to keep the picture in.
TEST_F(MainWindowTest, RendersWithDocuments)
{
    const QString a = env.write("ncprog/O1000.NC", "%\r\nO1000 (EXEMPEL - PLANFRAS)\r\nN10 G21 G17 G40 G49 G80 G90\r\n"
                                                   "N20 T1 M6 (PLANFRAS D50)\r\nN30 G0 G54 X-30. Y0 S1200 M3\r\n"
                                                   "N40 G43 H1 Z50.\r\nN50 Z2.\r\nN60 G1 Z0 F300\r\nN70 X130.\r\n"
                                                   "N80 Y40.\r\nN90 X-30.\r\nN100 G0 Z50.\r\nN110 M5\r\nN130 M30\r\n%\r\n");
    const QString b = env.write("ncprog/O2000.NC", kCrLfProgram);
    frmMain w;
    w.resize(1100, 720);
    w.show();
    w.fillRecentFiles();
    w.dropFiles({a, b});
    w.mnuWindowTileVertical_Click();
    QCoreApplication::processEvents();
    const QPixmap shot = w.grab();
    EXPECT_FALSE(shot.isNull());
    const QString out = qEnvironmentVariable("LUMRIK_RENDER_PNG");
    if (!out.isEmpty()) {
        shot.save(out);
        QMenu *file = w.menu("mnuFile");
        file->popup(QPoint(0, 0));
        QCoreApplication::processEvents();
        file->grab().save(QString(out).replace(".png", "-file.png"));
        file->hide();
        QMenu *nc = w.menu("mnuNcOptions");
        nc->popup(QPoint(0, 0));
        QCoreApplication::processEvents();
        nc->grab().save(QString(out).replace(".png", "-nc.png"));
        nc->hide();
    }
}
}
