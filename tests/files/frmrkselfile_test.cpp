// The file selector window on real folders: opening, the exits, the list,
// sorting, rename, new folder, delete and the backup clean-up.
#include "core/errors.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/paths.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "files/foldertree.h"
#include "files/frmconfirmbackupdelete.h"
#include "files/frmrkselfile.h"
#include "files/printing.h"
#include "files/printingjobs.h"
#include "qtprint.h"
#include "modaldialog.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumrik;
using lumrik::test::MsgBoxRecorder;
using lumrik::test::TempEnv;

namespace {

// While it lives, the desktop's data folder (and with it the trash) is `path`.
class DataHomeAt {
public:
    explicit DataHomeAt(const QString &path) : old_(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(path));
    }
    ~DataHomeAt()
    {
        if (old_.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", old_);
    }

private:
    QByteArray old_;
};

class SelFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::SessionScope::settings([](SettingValues &v) {
            v.showFileExt = "*.NC";
            v.showAllFiles = true;
            v.scanComment = true;
            v.numberSort = false;
        });
        test::SessionScope::features([](FeatureValues &f) { f.makeBackup = false; });
        prog = env.path("ncprog");
        env.write("ncprog/O1000.NC", "%\r\nO1000 (SHAFT 12)\r\nN10 G0 X0\r\n");
        env.write("ncprog/o2000.nc", "O2000 ( lower case )\r\n");
        env.write("ncprog/NOTE.TXT", "(NOT LISTED)\r\n");
        env.write("ncprog/.HIDDEN.NC", "(H)\r\n");
        env.write("ncprog/SUB/S1.NC", "(IN SUB)\r\n");
        env.write("other/X1.NC", "(OTHER MACHINE)\r\n");
        writeMachine("DEMO", prog, prog);
        writeMachine("MILL", env.path("other"), env.path("other"));
        test::useMachineName("DEMO");
        setErrorBoxHook([this](const QString &text) {
            errors << text;
            return true;
        });
    }
    void TearDown() override
    {
        setErrorBoxHook({});
    }

    void writeMachine(const QString &name, const QString &root, const QString &send)
    {
        env.write(name + ".cfg", ("[Settings]\r\nDefaultPath=" + root + "\r\n[CNCProgPath]\r\nDefaultCncPath=" + send
                                  + "\r\n")
                                     .toUtf8());
    }

    // Shows the selector as File > Open does, without waiting.
    void open(frmRkSelFile &f)
    {
        f.sRootPath = GetDefaultPath("root");
        f.sPreSelectedPath = GetDefaultPath("send");
        f.show();
    }

    static QStringList shownNames(const frmRkSelFile &f)
    {
        QStringList out;
        for (int i = 0; i < f.lstViewFiles->topLevelItemCount(); ++i)
            out << f.lstViewFiles->topLevelItem(i)->text(0);
        return out;
    }

    static QTreeWidgetItem *item(const frmRkSelFile &f, const QString &shown)
    {
        for (int i = 0; i < f.lstViewFiles->topLevelItemCount(); ++i)
            if (f.lstViewFiles->topLevelItem(i)->text(0) == shown)
                return f.lstViewFiles->topLevelItem(i);
        return nullptr;
    }

    static void select(frmRkSelFile &f, const QString &shown)
    {
        QTreeWidgetItem *it = item(f, shown);
        ASSERT_NE(it, nullptr) << shown.toStdString();
        f.lstViewFiles->setCurrentItem(it);
    }

    // Presses "Sänd" and closes the send window it opens; the window's caption
    // and the hand-off file's bytes as the window found them.
    static std::pair<QString, QByteArray> sendSelected(frmRkSelFile &f)
    {
        std::pair<QString, QByteArray> seen;
        bool up = false;
        lumrik::test::whenModalShown<QWidget>(
            [&](QWidget *w) {
                seen = {w->windowTitle(), lumrik::test::readFile(tmpFile(kTxdTmp))};
                w->close();
            },
            &up);
        f.cmdSend->click();
        EXPECT_TRUE(up);
        return seen;
    }

    TempEnv env;
    QString prog;
    QStringList errors;
    test::SessionScope session_; // the settings, the machine and the feature switches, given back after TearDown
};

}

TEST_F(SelFileTest, OpenReturnsTheChosenFileAndMachine)
{
    frmRkSelFile f(test::testSession());
    f.sRootPath = GetDefaultPath("root");
    f.sPreSelectedPath = GetDefaultPath("send");
    QStringList seen;
    QTimer::singleShot(0, &f, [&] {
        seen = shownNames(f);
        select(f, "O2000.NC");
        EXPECT_TRUE(f.cmdOpen->isEnabled());
        f.cmdOpen->click();
    });
    EXPECT_EQ(f.exec(), QDialog::Accepted);
    EXPECT_FALSE(f.isVisible());
    // Names in upper case, sorted; no dot files, no folders, only the filter's extension.
    EXPECT_EQ(seen, (QStringList{"O1000.NC", "O2000.NC"}));
    // The name on disk comes back, so the file opens.
    EXPECT_EQ(f.sSelectedFile, "o2000.nc");
    EXPECT_EQ(f.sSelectedPath, prog + "/");
    EXPECT_TRUE(QFile::exists(f.sSelectedPath + f.sSelectedFile));
    EXPECT_EQ(f.cmbMaskiner->currentText(), "DEMO");
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SelFileTest, ListShowsCommentsDatesAndSizes)
{
    frmRkSelFile f(test::testSession());
    open(f);
    ASSERT_EQ(f.lstViewFiles->columnCount(), 4);
    EXPECT_EQ(f.lstViewFiles->headerItem()->text(1), "KOMMENTAR");
    QTreeWidgetItem *a = item(f, "O1000.NC");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(1), "SHAFT 12");
    EXPECT_EQ(a->text(3), "32");
    EXPECT_FALSE(a->text(2).isEmpty());
    EXPECT_EQ(item(f, "O2000.NC")->text(1), "LOWER CASE");

    // Comments off: name, date, size.
    f.mnuVisaPar->trigger();
    EXPECT_FALSE(f.showComments());
    ASSERT_EQ(f.lstViewFiles->columnCount(), 3);
    EXPECT_EQ(item(f, "O1000.NC")->text(2), "32");

    // Preview of the current file.
    select(f, "O1000.NC");
    f.mnuVisaFirstBlock->trigger();
    EXPECT_TRUE(f.txtPreView->isVisible());
    // The file without its last byte: the CR of the last line end is left.
    EXPECT_EQ(f.txtPreView->toPlainText(), "%\nO1000 (SHAFT 12)\nN10 G0 X0\n");
}

TEST_F(SelFileTest, EnterAbortAndClose)
{
    frmRkSelFile f(test::testSession());
    open(f);
    select(f, "O1000.NC");
    f.lstViewFiles->setFocus();
    QTest::keyClick(f.lstViewFiles, Qt::Key_Return);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.sSelectedFile, "O1000.NC");

    // The next opening starts with nothing chosen; the close box is Abort.
    f.show();
    EXPECT_EQ(f.sSelectedFile, "");
    f.close();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.sSelectedFile, "");
    EXPECT_EQ(f.sSelectedPath, prog + "/");

    // "&Stäng" changes nothing but the visibility.
    f.sSelectedPath = "kept";
    f.show();
    f.mnuClose->trigger();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.sSelectedPath, "kept");

    // The placement is written when the window hides.
    EXPECT_FALSE(GetIniSetting("Settings", "FileWidth").isEmpty());
}

TEST_F(SelFileTest, SearchIsANamePrefixOfTheShownFolderOnly)
{
    env.write("ncprog/O1234.NC", "x");
    env.write("ncprog/X12.NC", "x");
    frmRkSelFile f(test::testSession());
    open(f);
    f.txtSearch->setText("o12");
    QTest::keyClick(f.txtSearch, Qt::Key_Return);
    EXPECT_EQ(f.searchPattern(), "o12*");
    EXPECT_EQ(shownNames(f), QStringList{"O1234.NC"});
    EXPECT_TRUE(f.isVisible());

    // A search text with a path in it finds nothing and leaves the folder alone.
    f.txtSearch->setText("SUB/S");
    f.cmdShowFiles->click();
    EXPECT_TRUE(shownNames(f).isEmpty());
    EXPECT_EQ(f.currentPath(), prog + "/");
    f.txtSearch->setText("../other/X");
    f.cmdShowFiles->click();
    EXPECT_TRUE(shownNames(f).isEmpty());

    f.txtSearch->clear();
    f.mnuVisaUppdat->trigger();
    EXPECT_EQ(shownNames(f).size(), 4);

    // A folder change empties the search box; the last pattern stays until
    // the next "Visa urval".
    f.txtSearch->setText("o12");
    f.cmdShowFiles->click();
    ASSERT_TRUE(f.FoTrVi->setSelectedFolder(prog + "/SUB"));
    EXPECT_TRUE(f.txtSearch->text().isEmpty());
    EXPECT_EQ(f.searchPattern(), "o12*");
    f.cmdShowFiles->click();
    EXPECT_EQ(f.searchPattern(), "");
}

TEST_F(SelFileTest, NumericSortingOfNamesAndSizes)
{
    QDir(prog).removeRecursively();
    env.write("ncprog/100.NC", QByteArray(900, 'x'));
    env.write("ncprog/20.NC", QByteArray(10000, 'x'));
    env.write("ncprog/3.NC", QByteArray(25, 'x'));
    env.write("ncprog/1E999.NC", "x");
    test::SessionScope::set(&SettingValues::numberSort, true);
    test::SessionScope::set(&SettingValues::scanComment, false);
    frmRkSelFile f(test::testSession());
    open(f);
    EXPECT_EQ(shownNames(f), (QStringList{"3.NC", "20.NC", "100.NC", "1E999.NC"}));
    EXPECT_TRUE(errors.isEmpty());

    // Size column (the last): the first click descending, the second ascending.
    const int sizeCol = f.lstViewFiles->columnCount() - 1;
    f.lstViewFiles->header()->sectionClicked(sizeCol);
    EXPECT_EQ(shownNames(f), (QStringList{"20.NC", "100.NC", "3.NC", "1E999.NC"}));
    f.lstViewFiles->header()->sectionClicked(sizeCol);
    EXPECT_EQ(shownNames(f), (QStringList{"1E999.NC", "3.NC", "100.NC", "20.NC"}));

    // Without the setting the names sort as text.
    test::SessionScope::set(&SettingValues::numberSort, false);
    f.cmdShowFiles->click();
    EXPECT_EQ(shownNames(f), (QStringList{"100.NC", "1E999.NC", "20.NC", "3.NC"}));
}

TEST_F(SelFileTest, RenameRefusesBadNamesAndNeverReplaces)
{
    MsgBoxRecorder boxes;
    env.write("ncprog/O3000.NC", "KEEP");
    frmRkSelFile f(test::testSession());
    open(f);
    select(f, "O1000.NC");
    ASSERT_EQ(f.currentFile(), "O1000.NC");

    for (const QString bad : {"a/b", "..\\x", ".", "..", ".O1000.NC", "..."}) {
        boxes.clear();
        f.lstViewFiles_AfterLabelEdit(bad);
        ASSERT_EQ(boxes.calls().size(), 1u) << bad.toStdString();
        // The common failure first, the reason after it.
        EXPECT_TRUE(boxes.calls()[0].text.startsWith(QString::fromUtf8("Något fel uppstod vid omdöpning.\n\n")))
            << boxes.calls()[0].text.toStdString();
        EXPECT_GT(boxes.calls()[0].text.size(), 40);
        EXPECT_EQ(boxes.calls()[0].title, QString::fromUtf8("Fel vid omdöpning"));
        select(f, "O1000.NC");
    }
    EXPECT_TRUE(QFile::exists(prog + "/O1000.NC"));
    EXPECT_FALSE(QFile::exists(env.path("x")));
    EXPECT_FALSE(QFile::exists(prog + "/.O1000.NC")); // it would be hidden from the list for good

    // Onto an existing file, also one differing only in letter case: refused.
    boxes.clear();
    f.lstViewFiles_AfterLabelEdit("o3000.nc");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.startsWith(QString::fromUtf8("Något fel uppstod vid omdöpning.\n\n")));
    EXPECT_TRUE(boxes.calls()[0].text.contains("finns redan"));
    EXPECT_EQ(lumrik::test::readFile(prog + "/O3000.NC"), "KEEP");
    EXPECT_TRUE(QFile::exists(prog + "/O1000.NC"));

    // A good name: renamed, listed and selected.
    select(f, "O1000.NC");
    boxes.clear();
    f.lstViewFiles_AfterLabelEdit("O1001.NC");
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(QFile::exists(prog + "/O1001.NC"));
    EXPECT_FALSE(QFile::exists(prog + "/O1000.NC"));
    EXPECT_TRUE(shownNames(f).contains("O1001.NC"));
    EXPECT_EQ(f.currentFile(), "O1001.NC");

    // Only the letter case changes: allowed, nothing else is touched.
    select(f, "O2000.NC");
    f.lstViewFiles_AfterLabelEdit("O2000.NC");
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(QDir(prog).entryList(QDir::Files).contains("O2000.NC"));
    EXPECT_FALSE(QDir(prog).entryList(QDir::Files).contains("o2000.nc"));
}

TEST_F(SelFileTest, RenameThroughTheLabelEdit)
{
    frmRkSelFile f(test::testSession());
    open(f);
    select(f, "O2000.NC");
    f.mnuRename->trigger();
    auto *edit = f.lstViewFiles->findChild<QLineEdit *>();
    ASSERT_NE(edit, nullptr);
    // The edit starts with the name on disk.
    EXPECT_EQ(edit->text(), "o2000.nc");
    edit->setText("o2500.nc");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(prog + "/o2500.nc"); }, 30000));
    EXPECT_FALSE(QFile::exists(prog + "/o2000.nc"));
    EXPECT_TRUE(f.isVisible());
}

TEST_F(SelFileTest, NewFolderRefusesBadNames)
{
    MsgBoxRecorder boxes;
    frmRkSelFile f(test::testSession());
    open(f);
    for (const QString bad : {"x/y", "..", ".", "a\\b", ".NY", "..."}) {
        boxes.clear();
        EXPECT_FALSE(f.CreateNewFolder(bad));
        EXPECT_EQ(boxes.calls().size(), 1u) << bad.toStdString();
    }
    EXPECT_FALSE(QDir(prog + "/x").exists());
    EXPECT_FALSE(QDir(prog + "/.NY").exists());

    // Through the input box; the new folder becomes the shown one.
    f.inputBox = [](const QString &prompt, const QString &title) {
        EXPECT_EQ(title, "Ny mapp");
        return QStringLiteral("NEW");
    };
    boxes.clear();
    f.mnuPopupNewFolder->trigger();
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(QDir(prog + "/NEW").exists());
    EXPECT_EQ(f.currentPath(), prog + "/NEW/");
    EXPECT_EQ(f.lstViewFiles->topLevelItemCount(), 0);

    // An existing name cannot be created again.
    f.FoTrVi->setSelectedFolder(prog);
    EXPECT_FALSE(f.CreateNewFolder("NEW"));
    EXPECT_TRUE(boxes.saw("Fel vid skapande av ny mapp."));
}

TEST_F(SelFileTest, DeleteAsksAndMovesToTheTrash)
{
    MsgBoxRecorder boxes;
    QDir().mkpath(env.path("xdg"));
    const DataHomeAt dataHome(env.path("xdg"));
    frmRkSelFile f(test::testSession());
    open(f);
    select(f, "O1000.NC");

    // From the search box nothing happens.
    f.txtSearch->setFocus();
    f.mnuDelete_Click();
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(QFile::exists(prog + "/O1000.NC"));

    // From the list: No keeps the file, Yes moves it to the trash.
    f.lstViewFiles->setFocus();
    boxes.answer(MbNo);
    f.mnuDelete_Click();
    EXPECT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(QFile::exists(prog + "/O1000.NC"));

    boxes.answer(MbYes);
    f.mnuDelete_Click();
    EXPECT_FALSE(QFile::exists(prog + "/O1000.NC"));
    EXPECT_TRUE(QFile::exists(env.path("xdg/Trash/files/O1000.NC")));
    EXPECT_EQ(shownNames(f), QStringList{"O2000.NC"});
    EXPECT_EQ(boxes.calls().size(), 2u);
}

TEST_F(SelFileTest, MachineChangeReRootsTheTree)
{
    frmRkSelFile f(test::testSession());
    open(f);
    EXPECT_EQ(f.FoTrVi->RootFolder(), prog);
    ASSERT_TRUE(f.FoTrVi->setSelectedFolder(prog + "/SUB"));
    EXPECT_EQ(f.currentPath(), prog + "/SUB/");
    f.cmdAbort->click();

    // Same machine: the tree stays where the user left it.
    open(f);
    EXPECT_EQ(f.currentPath(), prog + "/SUB/");
    f.cmdAbort->click();

    // Another machine: its root and its send folder.
    test::useMachineName("MILL");
    open(f);
    EXPECT_EQ(f.cmbMaskiner->currentText(), "MILL");
    EXPECT_EQ(f.FoTrVi->RootFolder(), env.path("other"));
    EXPECT_EQ(f.currentPath(), env.path("other") + "/");
    EXPECT_EQ(shownNames(f), QStringList{"X1.NC"});

    // Choosing a machine in the selector makes it current.
    f.cmbMaskiner->setCurrentIndex(f.cmbMaskiner->findText("DEMO"));
    f.cmbMaskiner_Click();
    EXPECT_EQ(currentMachine().name(), "DEMO");
    EXPECT_EQ(f.FoTrVi->RootFolder(), prog);
    f.cmdAbort->click();
}

TEST_F(SelFileTest, BackupCleanUpDeletesTheListedCopies)
{
    MsgBoxRecorder boxes;
    env.write("ncprog/P1.NC", "x");
    env.write("ncprog/P1.001", "x");
    env.write("ncprog/P1.002", "x");
    env.write("ncprog/BC.NC", "x");
    env.write("ncprog/BC.001", "x");
    env.write("ncprog/ABC.NC", "x");
    env.write("ncprog/ABC.001", "x");
    frmRkSelFile f(test::testSession());
    open(f);
    QStringList listed;
    QTimer::singleShot(0, &f, [&] {
        frmConfirmBackupDelete *d = f.backupDialog();
        for (int i = 0; i < d->lst2Delete->count(); ++i)
            listed << d->lst2Delete->item(i)->text();
        EXPECT_TRUE(d->cmdOk->isEnabled());
        boxes.answer(MbYes);
        d->cmdOk->click();
    });
    f.FindBackupFiles(f.currentPath());
    EXPECT_EQ(listed, (QStringList{"ABC.001", "BC.001", "P1.001", "P1.002"}));
    for (const QString &n : listed)
        EXPECT_FALSE(QFile::exists(prog + "/" + n)) << n.toStdString();
    EXPECT_TRUE(QFile::exists(prog + "/P1.NC"));
    EXPECT_TRUE(QFile::exists(prog + "/BC.NC"));
}

TEST_F(SelFileTest, BackupCleanUpGoesOnAfterAFailure)
{
    MsgBoxRecorder boxes;
    env.write("ncprog/P1.001", "x");
    env.write("ncprog/P1.003", "x");
    QDir(prog).mkdir("P1.002");
    frmConfirmBackupDelete d;
    d.sBackupPath = prog + "/";
    d.setNames({"P1.000", "P1.001", "P1.002", "P1.003"});
    // P1.000 is gone already (counts as deleted); the folder P1.002 fails.
    boxes.answer(MbYes);
    d.cmdOk_Click();
    EXPECT_TRUE(boxes.saw("Error 75 removing backupfiles"));
    EXPECT_FALSE(QFile::exists(prog + "/P1.001"));
    EXPECT_TRUE(QFile::exists(prog + "/P1.003"));
    EXPECT_EQ(d.names(), (QStringList{"P1.002", "P1.003"}));

    // Once the obstacle is gone, "&Rensa" again finishes the rest.
    QDir(prog).rmdir("P1.002");
    boxes.answer(MbYes);
    d.cmdOk_Click();
    EXPECT_FALSE(QFile::exists(prog + "/P1.003"));
    EXPECT_TRUE(d.names().isEmpty());

    // Nothing to delete: one empty line and "&Rensa" disabled.
    d.setNames({});
    EXPECT_EQ(d.lst2Delete->count(), 1);
    EXPECT_FALSE(d.cmdOk->isEnabled());
}

namespace {
// Answers every box with "Ja"; at the box whose text holds `at`, first puts a
// link to `elsewhere` in the place of `folder` (the folder itself moves to
// `folder` & "-moved"), as a colleague who can write the parent folder could.
struct SwapAtTheQuestion {
    SwapAtTheQuestion(const QString &at, const QString &folder, const QString &elsewhere)
    {
        setMsgBoxHook([=, this](const MsgBoxCall &call) {
            if (call.text.contains(at) && !swapped) {
                swapped = QDir().rename(folder, folder + "-moved") && QFile::link(elsewhere, folder);
                asked = call.text;
            }
            return int(MbYes);
        });
    }
    ~SwapAtTheQuestion() { setMsgBoxHook({}); }
    bool swapped = false;
    QString asked;
};
}

TEST_F(SelFileTest, BackupCleanUpDeletesOnlyInTheFolderShownWhenItIsSwappedDuringTheQuestion)
{
    test::SessionScope::features([](FeatureValues &f) { f.makeBackup = true; });
    env.write("ncprog/P1.NC", "x");
    env.write("ncprog/P1.001", "x");
    env.write("ncprog/P1.002", "x");
    // The operator's own work elsewhere, with the same names.
    const QString work = env.path("home/work");
    env.write("home/work/O1.NC", "own");
    env.write("home/work/O1.001", "own 1");
    env.write("home/work/O1.002", "own 2");
    env.write("home/work/P1.001", "own P1");
    env.write("home/work/P1.002", "own P2");
    frmRkSelFile f(test::testSession());
    open(f);
    SwapAtTheQuestion swap(QStringLiteral("säkerhetskopior raderas"), prog, work);
    QTimer::singleShot(0, &f, [&] { f.backupDialog()->cmdOk->click(); });
    f.FindBackupFiles(f.currentPath());
    ASSERT_TRUE(swap.swapped) << swap.asked.toStdString();
    // Nothing in the folder the link leads to is touched.
    for (const char *name : {"O1.NC", "O1.001", "O1.002", "P1.001", "P1.002"})
        EXPECT_TRUE(QFile::exists(work + "/" + name)) << name;
    // The copies the user saw are gone from the folder they were listed in.
    EXPECT_FALSE(QFile::exists(prog + "-moved/P1.001"));
    EXPECT_FALSE(QFile::exists(prog + "-moved/P1.002"));
    EXPECT_TRUE(QFile::exists(prog + "-moved/P1.NC"));
    QFile::remove(prog);
    QDir().rename(prog + "-moved", prog);
}

TEST_F(SelFileTest, DeleteToTheTrashTakesTheFileFromTheFolderShownIntoAPrivateTrash)
{
    QDir().mkpath(env.path("xdg"));
    const DataHomeAt dataHome(env.path("xdg"));
    const QString work = env.path("home/work");
    env.write("home/work/O1000.NC", "own");
    frmRkSelFile f(test::testSession());
    open(f);
    select(f, "O1000.NC");
    f.lstViewFiles->setFocus();
    const QString realProg = QFileInfo(prog).canonicalFilePath();
    {
        SwapAtTheQuestion swap(QStringLiteral("papperskorgen?"), prog, work);
        f.mnuDelete_Click();
        ASSERT_TRUE(swap.swapped);
    }
    EXPECT_EQ(lumrik::test::readFile(work + "/O1000.NC"), "own");
    EXPECT_FALSE(QFile::exists(prog + "-moved/O1000.NC"));
    EXPECT_EQ(lumrik::test::readFile(env.path("xdg/Trash/files/O1000.NC")), "%\r\nO1000 (SHAFT 12)\r\nN10 G0 X0\r\n");
    const QByteArray info = lumrik::test::readFile(env.path("xdg/Trash/info/O1000.NC.trashinfo"));
    EXPECT_TRUE(info.contains("Path=" + QFile::encodeName(realProg) + "/O1000.NC\n")) << info.toStdString();
    // The trash is the user's alone, as the desktop makes it.
    for (const char *part : {"xdg/Trash", "xdg/Trash/files", "xdg/Trash/info"})
        EXPECT_EQ(QFileInfo(env.path(part)).permissions() & 0x0077, 0) << part;
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(env.path("xdg/Trash")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    QFile::remove(prog);
    QDir().rename(prog + "-moved", prog);
}

TEST_F(SelFileTest, DeleteWithoutATrashDeletesNothing)
{
    MsgBoxRecorder boxes;
    // No usable trash: the trash folder's parent is a plain file.
    env.write("xdgfile", "not a folder");
    {
        const DataHomeAt dataHome(env.path("xdgfile"));
        frmRkSelFile f(test::testSession());
        open(f);
        select(f, "O1000.NC");
        f.lstViewFiles->setFocus();
        boxes.answer(MbYes);
        f.mnuDelete_Click();
    }
    // The user is told and the file stays where it was.
    EXPECT_TRUE(QFile::exists(prog + "/O1000.NC"));
    EXPECT_TRUE(boxes.saw("Något fel uppstod vid raderingen."));
    EXPECT_TRUE(boxes.saw("papperskorgen"));
    EXPECT_TRUE(QFile::exists(prog + "/o2000.nc"));
}

TEST_F(SelFileTest, SendHandsTheSelectedProgramsToTheSendWindow)
{
    MsgBoxRecorder boxes;
    env.write("ncprog/O3000.NC", "N10\nN20");
    frmRkSelFile f(test::testSession());
    open(f);
    f.lstViewFiles->setFocus();
    f.lstViewFiles->selectAll();
    EXPECT_TRUE(f.cmdSend->isEnabled());
    const auto [caption, handed] = sendSelected(f);
    EXPECT_EQ(caption, "3 nc program att sända");
    EXPECT_EQ(handed, "%\r\nO1000 (SHAFT 12)\r\nN10 G0 X0\r\nO2000 ( lower case )\r\nN10\r\nN20\r\n");
    EXPECT_TRUE(f.isVisible());
}

TEST_F(SelFileTest, TextsFromTheLanguageFile)
{
    const bool oldNotSwedish = gbNotSwedish;
    const QString oldFile = gsLanguageFile;
    gsLanguageFile = env.write("lang.lng", "[LANGUAGE]\r\n620=Select program\r\n621=Show\r\n631=Open\r\n"
                                           "642=NAME\r\n643=COMMENT\r\n644=CHANGED\r\n645=SIZE\r\n");
    gbNotSwedish = true;
    {
        frmRkSelFile f(test::testSession());
        open(f);
        EXPECT_EQ(f.windowTitle(), "SELECT PROGRAM");
        EXPECT_EQ(f.cmdShowFiles->text(), "Show");
        EXPECT_EQ(f.mnuOpen->text(), "Open");
        EXPECT_EQ(f.lstViewFiles->headerItem()->text(0), "NAME");
        EXPECT_EQ(f.lstViewFiles->headerItem()->text(3), "SIZE");
        f.cmdAbort->click();
    }
    gbNotSwedish = oldNotSwedish;
    gsLanguageFile = oldFile;
}

TEST_F(SelFileTest, PrintMenuPrintsTheCurrentProgramAndTheList)
{
    MsgBoxRecorder boxes;
    QTemporaryDir out;
    QStringList printed;
    setPrinterDialogHook([&](QPrinter &printer, QWidget *) {
        printed << out.filePath(QStringLiteral("p%1.pdf").arg(printed.size() + 1));
        printer.setOutputFileName(printed.back());
        return true;
    });
    frmRkSelFile f(test::testSession());
    open(f);
    // "Ncprogram" needs a chosen file; "Prog lista" is always there.
    EXPECT_FALSE(f.mnuPrintProg->isEnabled());
    EXPECT_TRUE(f.mnuPrintFDir->isEnabled());
    select(f, "O1000.NC");
    EXPECT_TRUE(f.mnuPrintProg->isEnabled());

    f.mnuPrintProg->trigger();
    ASSERT_TRUE(test::untilLongWorkIsOver());
    ASSERT_EQ(printed.size(), 1);
    EXPECT_TRUE(QFile::exists(printed[0]));
    EXPECT_EQ(GsPrinterHeader, prog + "/O1000.NC");

    f.mnuPrintFDir->trigger();
    ASSERT_TRUE(test::untilLongWorkIsOver());
    ASSERT_EQ(printed.size(), 2);
    EXPECT_TRUE(QFile::exists(printed[1]));
    EXPECT_EQ(GsPrinterHeader, prog + "/");
    EXPECT_EQ(GsTotalNumberofPages, "1");

    // A folder change clears the choice, and with it "Ncprogram".
    f.cmdShowFiles_Click();
    EXPECT_FALSE(f.mnuPrintProg->isEnabled());
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(errors.isEmpty());
    setPrinterDialogHook({});
}

namespace {

// A file whose name on disk is the bytes `name` (not valid UTF-8).
void writeRawName(const QString &folder, const QByteArray &name, const QByteArray &bytes)
{
    const QByteArray path = QFile::encodeName(folder) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
}

bool rawExists(const QString &folder, const QByteArray &name)
{
    struct stat st;
    return ::stat((QFile::encodeName(folder) + '/' + name).constData(), &st) == 0;
}

QByteArray rawRead(const QString &folder, const QByteArray &name)
{
    QByteArray out;
    const int fd = ::open((QFile::encodeName(folder) + '/' + name).constData(), O_RDONLY);
    if (fd < 0)
        return out;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        out.append(buf, n);
    ::close(fd);
    return out;
}

}

TEST_F(SelFileTest, AMissingProgramFolderShowsNoOtherFolder)
{
    MsgBoxRecorder boxes;
    // One machine points at a folder that is not there, another at an old
    // Windows path; the program folder holds the settings and machine files.
    writeMachine("GONE", env.path("nothere/MILL"), env.path("nothere/MILL/SEND"));
    writeMachine("WIN", "C:\\NCPROG\\MILL\\", "C:\\NCPROG\\MILL\\");
    for (const char *machine : {"GONE", "WIN"}) {
        SCOPED_TRACE(machine);
        test::useMachineName(machine);
        boxes.clear();
        frmRkSelFile f(test::testSession());
        open(f);
        // Told, naming the folder; the list is empty; the tree offers the home folder.
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_TRUE(boxes.calls()[0].text.contains(machine == QLatin1String("GONE") ? env.path("nothere/MILL")
                                                                                    : QStringLiteral("C:")));
        EXPECT_EQ(f.lstViewFiles->topLevelItemCount(), 0);
        EXPECT_EQ(f.currentPath(), "");
        EXPECT_EQ(f.FoTrVi->RootFolder(), QDir::homePath());
        EXPECT_FALSE(f.cmdOpen->isEnabled());
        // Refresh and Open find nothing to show or hand over.
        f.cmdShowFiles_Click();
        EXPECT_EQ(f.lstViewFiles->topLevelItemCount(), 0);
        f.cmdOpen_Click();
        EXPECT_EQ(f.sSelectedFile, "");
        EXPECT_FALSE(f.FoTrVi->RootFolder().startsWith(env.dataPath()));
    }

    // Once the folder is there, the next showing roots the tree at it.
    test::useMachineName("GONE");
    frmRkSelFile f(test::testSession());
    open(f);
    f.cmdAbort->click();
    env.write("nothere/MILL/O5000.NC", "(FOUND)\r\n");
    boxes.clear();
    open(f);
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(f.FoTrVi->RootFolder(), env.path("nothere/MILL"));
    EXPECT_EQ(shownNames(f), QStringList{"O5000.NC"});
}

TEST_F(SelFileTest, EachShowingStartsWithoutAChoice)
{
    MsgBoxRecorder boxes;
    frmRkSelFile f(test::testSession());
    open(f);
    f.mnuVisaFirstBlock->trigger(); // the preview on
    select(f, "O1000.NC");
    EXPECT_FALSE(f.txtPreView->toPlainText().isEmpty());
    EXPECT_TRUE(f.cmdOpen->isEnabled());
    f.cmdOpen->click();
    EXPECT_EQ(f.sSelectedFile, "O1000.NC");

    // Shown again: nothing chosen, nothing previewed, nothing to open or send.
    open(f);
    EXPECT_TRUE(f.lstViewFiles->selectedItems().isEmpty());
    EXPECT_EQ(f.currentFile(), "");
    EXPECT_TRUE(f.txtPreView->toPlainText().isEmpty());
    for (QWidget *b : {static_cast<QWidget *>(f.cmdOpen), static_cast<QWidget *>(f.cmdSend)})
        EXPECT_FALSE(b->isEnabled());
    for (QAction *a : {f.mnuOpen, f.mnuRename, f.mnuDelete, f.mnuPrintProg})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    f.cmdOpen_Click();
    EXPECT_EQ(f.sSelectedFile, "");
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(SelFileTest, ANameThatIsNotUtf8IsKeptShownAndActedOn)
{
    MsgBoxRecorder boxes;
    QDir().mkpath(env.path("xdg"));
    const DataHomeAt dataHome(env.path("xdg"));
    // "XÖ.NC" as an old Windows PC writes it: Ö is the single byte 0xD6.
    writeRawName(prog, "X\xD6.NC", "%\r\nO7000 (ROUND)\r\nN10 G0 X0\r\n");
    writeRawName(prog, "Y\xD6.NC", "O8000 (GONE SOON)\r\n");
    frmRkSelFile f(test::testSession());
    open(f);
    const QString shownX = QString::fromUtf8("XÖ.NC"), shownY = QString::fromUtf8("YÖ.NC");
    EXPECT_TRUE(shownNames(f).contains(shownX)) << shownNames(f).join(',').toStdString();
    EXPECT_EQ(item(f, shownX)->text(1), "ROUND");

    // Open hands over the name on disk: the file loads.
    select(f, shownX);
    f.ShowPreview();
    EXPECT_TRUE(f.txtPreView->toPlainText().contains("O7000"));
    f.cmdOpen_Click();
    const QString path = f.sSelectedPath + f.sSelectedFile;
    EXPECT_EQ(RkPathBytes(path), QFile::encodeName(prog) + "/X\xD6.NC");
    EXPECT_EQ(RkShownName(path), prog + "/" + shownX);
    frmDocument doc;
    doc.FileOpen(path);
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("%\r\nO7000 (ROUND)\r\nN10 G0 X0\r\n"));
    EXPECT_EQ(doc.windowTitle(), prog + "/" + shownX);
    // A save goes back into the same file, under the same name.
    doc.txtText->setTextAll("O7001\r\n");
    doc.txtText->FileSave(path);
    EXPECT_EQ(rawRead(prog, "X\xD6.NC"), "O7001\r\n");
    EXPECT_FALSE(QFile::exists(prog + "/X?.NC"));
    EXPECT_FALSE(QFile::exists(prog + QString::fromUtf8("/XÖ.NC")));

    // Rename: the edit starts with the name as shown; unchanged, nothing happens.
    open(f);
    select(f, shownX);
    f.lstViewFiles_AfterLabelEdit(shownX);
    EXPECT_TRUE(rawExists(prog, "X\xD6.NC"));
    select(f, shownX);
    f.lstViewFiles_AfterLabelEdit("X2.NC");
    EXPECT_FALSE(rawExists(prog, "X\xD6.NC"));
    EXPECT_EQ(lumrik::test::readFile(prog + "/X2.NC"), "O7001\r\n");
    EXPECT_TRUE(boxes.calls().empty());

    // Send: the file's own text, under the name the list shows.
    select(f, shownY);
    const auto [caption, handed] = sendSelected(f);
    EXPECT_EQ(caption, QString::fromUtf8("Sänder [YÖ.NC]"));
    EXPECT_EQ(handed, "O8000 (GONE SOON)\r\n");

    // Delete: to the trash, where the original name is kept for a restore.
    select(f, shownY);
    f.lstViewFiles->setFocus();
    boxes.answer(MbYes);
    f.mnuDelete_Click();
    EXPECT_FALSE(rawExists(prog, "Y\xD6.NC"));
    EXPECT_TRUE(rawExists(env.path("xdg/Trash/files"), "Y\xD6.NC"));
    const QByteArray info = rawRead(env.path("xdg/Trash/info"), "Y\xD6.NC.trashinfo");
    EXPECT_TRUE(info.contains("/Y%D6.NC\n")) << info.toStdString();
    EXPECT_FALSE(shownNames(f).contains(shownY));
    ASSERT_EQ(boxes.calls().size(), 1u); // the question only
    EXPECT_TRUE(boxes.calls()[0].text.contains(shownY));
    // Qt's own folder routines do not see these names: they go by hand.
    ::unlink((QFile::encodeName(env.path("xdg/Trash/files")) + "/Y\xD6.NC").constData());
    ::unlink((QFile::encodeName(env.path("xdg/Trash/info")) + "/Y\xD6.NC.trashinfo").constData());
}

TEST_F(SelFileTest, ADeleteThatFindsNoFileSaysSo)
{
    MsgBoxRecorder boxes;
    frmRkSelFile f(test::testSession());
    open(f);
    select(f, "O1000.NC");
    QFile::remove(prog + "/O1000.NC"); // gone behind the selector's back
    f.lstViewFiles->setFocus();
    boxes.answer(MbYes);
    f.mnuDelete_Click();
    ASSERT_EQ(boxes.calls().size(), 2u);
    EXPECT_TRUE(boxes.calls()[1].text.contains("Det finns ingen fil att radera"));
    EXPECT_TRUE(boxes.calls()[1].text.contains("O1000.NC"));
    EXPECT_EQ(shownNames(f), QStringList{"O2000.NC"});
}

TEST_F(SelFileTest, TheSendCaptionNamesTheFileAsTheListShowsIt)
{
    MsgBoxRecorder boxes;
    frmRkSelFile f(test::testSession());
    open(f);
    select(f, "O2000.NC"); // "o2000.nc" on disk
    EXPECT_EQ(sendSelected(f).first, QString::fromUtf8("Sänder [O2000.NC]"));
}

TEST_F(SelFileTest, AFolderNamedInWindows1252IsListedShownAndOpens)
{
    // ncprog/D\xC5T holds a program; the folder's name is not UTF-8.
    const QByteArray raw = QFile::encodeName(prog) + "/D\xC5T";
    ASSERT_EQ(::mkdir(raw.constData(), 0755), 0);
    const QString folder = RkDecodeName(raw);
    {
        QFile f;
        ASSERT_TRUE(RkOpenFile(f, folder + "/P1.NC", QIODevice::WriteOnly));
        f.write("(I MAPPEN)\r\n");
    }
    EXPECT_EQ(RkSubFolders(prog), (QStringList{RkDecodeName("D\xC5T"), "SUB"}));
    frmRkSelFile f(test::testSession());
    open(f);
    // In the tree under its Windows-1252 name; choosing it lists its program.
    const QModelIndex top = f.FoTrVi->model()->index(0, 0);
    QStringList shown;
    for (int r = 0; r < f.FoTrVi->model()->rowCount(top); ++r)
        shown << f.FoTrVi->model()->index(r, 0, top).data().toString();
    EXPECT_EQ(shown, (QStringList{QString::fromUtf8("DÅT"), "SUB"}));
    ASSERT_TRUE(f.FoTrVi->setSelectedFolder(folder));
    EXPECT_EQ(f.currentPath(), folder + "/");
    EXPECT_EQ(shownNames(f), QStringList{"P1.NC"});
    select(f, "P1.NC");
    f.cmdOpen_Click();
    EXPECT_EQ(f.sSelectedPath + f.sSelectedFile, folder + "/P1.NC");

    // The folder browser offers it too, and gives it back as it is on disk.
    QString chosen;
    bool up = false;
    lumrik::test::whenModalShown<QWidget>(
        [&](QWidget *browser) {
            auto *tree = browser->findChild<FolderTree *>("FoTrViBrowse");
            ASSERT_NE(tree, nullptr);
            EXPECT_EQ(tree->SelectedFolder(), folder);
            browser->findChild<QPushButton *>("cmdOK")->click();
        },
        &up);
    chosen = RkBrowseFolderTree(&f, "Välj", folder);
    EXPECT_TRUE(up);
    EXPECT_EQ(chosen, folder);
    EXPECT_TRUE(errors.isEmpty());
    f.cmdAbort->click();
    ::unlink(RkPathBytes(folder + "/P1.NC").constData());
    ::rmdir(raw.constData());
}

TEST_F(SelFileTest, AShownFolderThatVanishesIsToldAndNoOtherIsShown)
{
    MsgBoxRecorder boxes;
    frmRkSelFile f(test::testSession());
    open(f);
    ASSERT_TRUE(f.FoTrVi->setSelectedFolder(prog + "/SUB"));
    EXPECT_EQ(shownNames(f), QStringList{"S1.NC"});
    ASSERT_TRUE(QDir(prog + "/SUB").removeRecursively());
    // Told by name within the second, the list emptied; the tree stays on it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.calls().empty(); }, 5000));
    EXPECT_TRUE(boxes.calls()[0].text.contains(prog + "/SUB")) << boxes.calls()[0].text.toStdString();
    EXPECT_EQ(f.lstViewFiles->topLevelItemCount(), 0);
    EXPECT_EQ(f.currentPath(), "");
    EXPECT_EQ(f.FoTrVi->SelectedFolder(), prog + "/SUB");
    // Refresh, send and clean-up act on no other folder.
    f.cmdShowFiles_Click();
    EXPECT_EQ(f.lstViewFiles->topLevelItemCount(), 0);
    f.cmdOpen_Click();
    EXPECT_EQ(f.sSelectedFile, "");

    // The whole root goes: told, the tree emptied, nothing listed.
    boxes.clear();
    ASSERT_TRUE(f.FoTrVi->setSelectedFolder(prog));
    EXPECT_EQ(shownNames(f), (QStringList{"O1000.NC", "O2000.NC"}));
    ASSERT_TRUE(QDir(prog).removeRecursively());
    EXPECT_EQ(f.FoTrVi->RootFolder(), prog);
    EXPECT_FALSE(f.checkShownFolder());
    ASSERT_FALSE(boxes.calls().empty());
    EXPECT_TRUE(boxes.calls()[0].text.contains(prog));
    EXPECT_EQ(f.lstViewFiles->topLevelItemCount(), 0);
    EXPECT_EQ(f.FoTrVi->model()->rowCount(), 0);
    f.cmdAbort->click();
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SelFileTest, PlacementComesBackAsStored)
{
    env.write("lumrik32.INI", "[Settings]\r\n");
    test::SessionScope::settings([](SettingValues &v) {
        v.fileLeft = 1000;
        v.fileTop = 1010;
        v.fileWidth = 8500;
        v.fileHeight = 6007;
    });
    {
        frmRkSelFile f(test::testSession());
        open(f);
        f.cmdAbort->click();
    }
    EXPECT_EQ(GetIniSetting("Settings", "FileLeft"), "1000");
    EXPECT_EQ(GetIniSetting("Settings", "FileTop"), "1010");
    EXPECT_EQ(GetIniSetting("Settings", "FileWidth"), "8500");
    EXPECT_EQ(GetIniSetting("Settings", "FileHeight"), "6007");
}

// A selector moved by the user leaves its placement in the session, told once
// as it closes, and the next selector opens there.
TEST_F(SelFileTest, AMovedSelectorLeavesItsPlacementForTheNextOne)
{
    env.write("lumrik32.INI", "[Settings]\r\n");
    test::SessionScope::settings([](SettingValues &v) {
        v.fileLeft = 1000;
        v.fileTop = 1010;
        v.fileWidth = 8500;
        v.fileHeight = 6007;
    });
    QSignalSpy changed(&test::testSession().settings(), &Settings::changed);
    QPoint moved;
    {
        frmRkSelFile f(test::testSession());
        open(f);
        f.move(f.pos() + QPoint(30, 20));
        moved = f.pos();
        f.cmdAbort->click();
    }
    EXPECT_EQ(changed.count(), 1);
    const SettingValues &v = test::settingsNow();
    EXPECT_NE(v.fileLeft, 1000);
    EXPECT_NE(v.fileTop, 1010);
    EXPECT_EQ(GetIniSetting("Settings", "FileLeft"), QString::number(v.fileLeft));
    EXPECT_EQ(GetIniSetting("Settings", "FileTop"), QString::number(v.fileTop));
    // The size was not touched: its twips stay as they were stored.
    EXPECT_EQ(v.fileWidth, 8500);
    EXPECT_EQ(v.fileHeight, 6007);

    frmRkSelFile g(test::testSession());
    open(g);
    EXPECT_EQ(g.pos(), moved);
    g.cmdAbort->click();
    EXPECT_TRUE(errors.isEmpty());
}
