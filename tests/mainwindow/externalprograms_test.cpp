// The commands that start other programs: each with its program missing
// (a message, nothing started) and with a stand-in program that records how
// it was called.
#include "core/errors.h"
#include "core/filenames.h"
#include "core/services.h"
#include "core/globals.h"
#include "core/paths.h"
#include "core/settings.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "mainwindow/externalprograms.h"
#include "mainwindow/frmabout.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindowfixture.h"
#include "modaldialog.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace lumrik;

namespace {

// Records what the desktop was asked to open instead of opening it.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder()
    {
        for (const char *s : {"file", "http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(s), this, "open");
    }
    ~UrlRecorder() override
    {
        for (const char *s : {"file", "http", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(s));
    }
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls << url; }
};

class ExternalProgramsTest : public test::MainWindowFixture {
protected:
    ExternalProgramsTest()
    {
        settleRounds = 0;
        errorsAllowed = true;
    }
    // A stand-in program: writes its arguments, one a line, and its working
    // folder to `<name>.args` beside it, then runs the shell lines `extra`.
    QString standIn(const QString &relPath, const QString &extra = {})
    {
        const QString path = env.path(relPath);
        const QString log = path + ".args";
        const QByteArray script = ("#!/bin/sh\n: > '" + log + ".tmp'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '"
                                   + log + ".tmp'; done\npwd >> '" + log + ".tmp'\nmv '" + log + ".tmp' '" + log
                                   + "'\n" + extra + "\n")
                                      .toUtf8();
        env.write(relPath, script);
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
        return path;
    }
    // The stand-in's arguments (its working folder last), once it has run.
    static QStringList argsOf(const QString &program, int waitMs = 5000)
    {
        const QString log = program + ".args";
        if (!QTest::qWaitFor([&] { return QFile::exists(log); }, waitMs))
            return {};
        return QString::fromUtf8(test::readFile(log)).split('\n', Qt::SkipEmptyParts);
    }
    frmDocument *openProgram(frmMain &w, const QString &name, const QByteArray &text)
    {
        return w.openDocument(env.write(name, text), "MILL");
    }
};

}

TEST(ExternalPrograms, Texts)
{
    EXPECT_EQ(updaterCheckArguments(), QStringList{"/check"});
    EXPECT_EQ(updaterUpdateArguments(), (QStringList{"/update", "/version=1.0.0", "/prod=KV"}));
    EXPECT_EQ(kalmeroFailureText(1, 0),
              QString::fromUtf8("Kalmero kunde ej startas !\r\n\nVälj inställningar och ange sökvägen till\r\n"
                                "exe filen 'PENDROF.EXE' eller 'Kalmero32.exe' \r\nFel = 1 ErrCode = 0"));
    EXPECT_EQ(findProgram("", "Dalvinger32.exe"), "");
}

TEST_F(ExternalProgramsTest, CompareWithoutTheCompareProgram)
{
    frmMain w;
    openProgram(w, "A.NC", "O1\r\n");
    openProgram(w, "B.NC", "O2\r\n");
    mnuCompare_Click(&w);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Vindre.exe kunde ej startas !");
    EXPECT_EQ(boxes.calls()[0].title, "Fel vid laddning av Vindre.exe");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
    EXPECT_FALSE(QFile::exists(env.tmpPath() + "/1.JTmp"));

    // Present but not runnable: the same message.
    env.write("Vindre.exe", "MZ not a program here");
    boxes.clear();
    mnuCompare_Click(&w);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Vindre.exe kunde ej startas !");
    EXPECT_TRUE(errors.empty());
}

TEST_F(ExternalProgramsTest, CompareHandsOverTheCurrentTexts)
{
    const QString vindre = standIn("vindre.EXE"); // found without regard to case
    frmMain w;
    frmDocument *a = openProgram(w, "A.NC", "O1\r\nN10 G0\r\n");
    // One document only: nothing happens.
    mnuCompare_Click(&w);
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_FALSE(QFile::exists(vindre + ".args"));

    frmDocument *b = openProgram(w, "B.NC", "O2\r\n");
    openProgram(w, "C.NC", "O3\r\n"); // the two oldest are compared
    a->txtText->setText("N10 G1 X5.");  // changed, not saved
    ASSERT_TRUE(a->txtText->IsDirty());
    ASSERT_FALSE(b->txtText->IsDirty());
    mnuCompare_Click(&w);
    const QStringList args = argsOf(vindre);
    ASSERT_EQ(args.size(), 3);
    EXPECT_EQ(args[0], env.tmpPath() + "/1.JTmp");
    EXPECT_EQ(args[1], env.tmpPath() + "/2.JTmp");
    EXPECT_EQ(QDir(args[2]).canonicalPath(), QDir(env.dataPath()).canonicalPath()); // started in the program folder
    EXPECT_EQ(test::readFile(args[0]), a->txtText->TextAll());
    EXPECT_EQ(test::readFile(args[1]), "O2\r\n");
    EXPECT_EQ(test::readFile(env.path("A.NC")), "O1\r\nN10 G0\r\n"); // the file on disk is untouched
    EXPECT_TRUE(a->txtText->IsDirty());
    EXPECT_FALSE(b->txtText->IsDirty());
    EXPECT_TRUE(boxes.calls().empty());
    a->txtText->setIsDirty(false);
}

TEST_F(ExternalProgramsTest, FileDatabaseProgram)
{
    frmMain w;
    // Missing: a plain message names the program; nothing else happens.
    test::SessionScope::set(&SettingValues::programInfoPath, env.path("db"));
    mnuFindDB_Click(&w);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.contains("Dalvinger32.exe"));
    boxes.clear();

    const QString dalvinger = standIn("db/Dalvinger32.exe");
    mnuFindDB_Click(&w);
    QStringList args = argsOf(dalvinger);
    ASSERT_EQ(args.size(), 2);
    EXPECT_EQ(args[0], "/FIND");
    QFile::remove(dalvinger + ".args");

    // Information of an untitled program: it must be saved first.
    w.mnuFileNew_Click();
    mnuInfo_Click(&w);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, QString::fromUtf8("Programmet måste vara sparat först."));
    EXPECT_EQ(boxes.calls()[0].title, "Fel");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Exclamation);
    QTest::qWait(200);
    EXPECT_FALSE(QFile::exists(dalvinger + ".args"));

    // A saved program: its full path is one argument, blanks and all.
    frmDocument *d = openProgram(w, "my progs/O 100.NC", "O100\r\n");
    ASSERT_TRUE(d);
    mnuInfo_Click(&w);
    args = argsOf(dalvinger);
    ASSERT_EQ(args.size(), 2);
    EXPECT_EQ(args[0], env.path("my progs/O 100.NC"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(ExternalProgramsTest, CalculationProgramOpensItsResult)
{
    env.write("Geo.nc", "OLD RESULT\r\n");
    // The stand-in notes whether an old result was still there, then writes its own.
    const QString pendrof = standIn("Pendrof.exe", "[ -e Geo.nc ] && echo old >> stale.txt\n"
                                                   "printf 'O9000\\r\\nN10 G0 X1.\\r\\n' > Geo.nc");
    test::SessionScope::set(&SettingValues::kalmeroPath, "/nonexistent/LMK");
    const QString before = QDir::currentPath();
    frmMain w;
    mnuOptionKalmero_Click(&w);
    EXPECT_EQ(test::settingsNow().kalmeroPath, gsDataPath); // the program folder holds the program
    EXPECT_FALSE(QFile::exists(env.path("stale.txt")));
    const QStringList args = argsOf(pendrof, 0); // waited for: done already
    ASSERT_EQ(args.size(), 1);
    EXPECT_EQ(QDir(args[0]).canonicalPath(), QDir(env.dataPath()).canonicalPath());
    EXPECT_EQ(QDir::currentPath(), before);
    ASSERT_EQ(w.documents().size(), 1);
    frmDocument *d = w.documents().front();
    EXPECT_EQ(d->txtText->TextAll(), "O9000\r\nN10 G0 X1.\r\n");
    EXPECT_EQ(d->caption(), test::wordsNow().untitled);
    EXPECT_EQ(d->sMaskin, "");
    EXPECT_TRUE(boxes.calls().empty());

    // A run without a result opens nothing; the second program starts as well.
    QFile::remove(pendrof);
    QFile::remove(pendrof + ".args");
    standIn("Pendrof.exe", "rm -f Geo.nc");
    const QString kalmero = standIn("Kalmero32.exe");
    mnuOptionKalmero_Click(&w);
    EXPECT_EQ(w.documents().size(), 1);
    EXPECT_EQ(argsOf(kalmero).size(), 1);
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(ExternalProgramsTest, CalculationProgramMissingOrBroken)
{
    test::SessionScope::set(&SettingValues::kalmeroPath, env.path("LMK"));
    QDir().mkpath(test::settingsNow().kalmeroPath);
    const QString before = QDir::currentPath();
    frmMain w;
    // Neither program: the start-failure message.
    StartKalmero(&w);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, kalmeroFailureText(1, 0));
    EXPECT_EQ(boxes.calls()[0].title, "Fel vid laddning av Kalmero");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
    EXPECT_EQ(QDir::currentPath(), before);

    // A program that cannot start: the message, and the second program is not tried.
    env.write("LMK/PENDROF.EXE", "not runnable");
    const QString kalmero = standIn("LMK/Kalmero32.exe");
    boxes.clear();
    StartKalmero(&w);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, kalmeroFailureText(1, 0));
    QTest::qWait(200);
    EXPECT_FALSE(QFile::exists(kalmero + ".args"));
    EXPECT_EQ(QDir::currentPath(), before);

    // A folder that does not exist.
    test::SessionScope::set(&SettingValues::kalmeroPath, env.path("gone"));
    boxes.clear();
    StartKalmero(&w);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, kalmeroFailureText(0, kErrPathNotFound));
    EXPECT_TRUE(w.documents().isEmpty());
    EXPECT_TRUE(errors.empty());
}

TEST_F(ExternalProgramsTest, Updater)
{
    frmMain w;
    w.show();
    // Missing: said so, never taken for "no new updates".
    mnuHelpUpdates_Click(&w);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.saw("Update.exe kunde ej startas !"));
    EXPECT_EQ(boxes.calls()[0].title, "Uppdateringar");

    // The check answers by its exit code: the file "answer" holds it.
    const QString updater = standIn("Update.exe", "[ \"$1\" = /check ] && exit $(cat answer)\nexit 0");
    env.write("answer", "0");
    boxes.clear();
    mnuHelpUpdates_Click(&w);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Det finns inga nya uppdateringar.");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Information);
    EXPECT_EQ(argsOf(updater, 0).value(0), "/check");

    // New updates, and No: the program goes on.
    env.write("answer", "1");
    boxes.clear();
    boxes.answer(MbNo);
    mnuHelpUpdates_Click(&w);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].buttons, MbButtons::YesNo);
    EXPECT_TRUE(boxes.calls()[0].text.startsWith("Det finns nya uppdateringar.\r\nVill du hämta de nu?\r\n"));
    EXPECT_TRUE(w.isVisible());

    // Yes: the update starts with this version, and the program ends.
    boxes.clear();
    boxes.answer(MbYes);
    QFile::remove(updater + ".args");
    mnuHelpUpdates_Click(&w);
    EXPECT_FALSE(w.isVisible());
    // The check ran first; the update's own record follows.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return argsOf(updater, 0).value(0) == "/update"; }, 5000));
    EXPECT_EQ(argsOf(updater).mid(0, 3), (QStringList{"/update", "/version=1.0.0", "/prod=KV"}));
}

TEST_F(ExternalProgramsTest, ManualAndWebPages)
{
    UrlRecorder opened;
    frmMain w;
    // No manual: said so, nothing opened.
    mnuHelpContents_Click(&w);
    EXPECT_TRUE(boxes.saw("lumrik32.pdf"));
    EXPECT_TRUE(opened.urls.isEmpty());

    const QString pdf = env.write("Lumrik32.PDF", "%PDF-1.4\n");
    mnuHelpContents_Click(&w);
    mnuHelpSearch_Click(&w);
    ASSERT_EQ(opened.urls.size(), 2);
    EXPECT_EQ(opened.urls[0], QUrl::fromLocalFile(pdf));
    EXPECT_EQ(opened.urls[1], QUrl::fromLocalFile(pdf));

    mnuHelpWeb_Click(&w);
    mnuHelpHowToDo_Click(&w);
    ASSERT_EQ(opened.urls.size(), 4);
    EXPECT_EQ(opened.urls[2], QUrl(kHomePageUrl));
    EXPECT_EQ(opened.urls[3], QUrl(kHowToPageUrl));
    EXPECT_EQ(boxes.calls().size(), 1u);
}

TEST_F(ExternalProgramsTest, AboutIsModalOverTheMainWindow)
{
    frmMain w;
    w.show();
    bool seen = false;
    bool up = false;
    test::whenModalShown<frmAbout>(
        [&](frmAbout *about) {
            seen = about->parentWidget() == &w && about->isModal();
            about->cmdOK_Click();
        },
        &up);
    mnuHelpAbout_Click(&w);
    EXPECT_TRUE(up);
    EXPECT_TRUE(seen);
}

#include "externalprograms_test.moc"

namespace {

// A stand-in that writes each of its arguments followed by a NUL to `<path>.args`.
QString nulRecorder(test::TempEnv &env, const QString &relPath)
{
    const QString path = env.path(relPath);
    const QByteArray log = QFile::encodeName(path + ".args");
    env.write(relPath, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > '" + log + ".tmp'\nmv '" + log
                           + ".tmp' '" + log + "'\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

QList<QByteArray> recordedArguments(const QString &program)
{
    const QString log = program + ".args";
    if (!QTest::qWaitFor([&] { return QFile::exists(log); }, 10000))
        return {};
    QByteArray all = test::readFile(log);
    QList<QByteArray> out = all.split('\0');
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

}

TEST_F(ExternalProgramsTest, EveryNameReachesTheProgramAsItsOwnExactBytes)
{
    // No-break space, newline, quotes of both kinds, TAB, a backslash and a
    // byte that is not UTF-8: each name stays one argument with its own bytes.
    const QList<QByteArray> names = {"O\xc2\xa0" "100.NC", "two\nlines.NC", "say \"hi\" 'x'.NC", "tab\there.NC",
                                     "back\\slash.NC", "X\xd6.NC", " lead and trail .NC"};
    const QByteArray folder = QFile::encodeName(env.path("progs"));
    QDir().mkpath(env.path("progs"));
    QStringList paths;
    for (const QByteArray &n : names) {
        const QByteArray bytes = folder + '/' + n;
        QFile f;
        ASSERT_TRUE(RkOpenFile(f, RkDecodeName(bytes), QIODevice::WriteOnly)) << n.toStdString();
        f.write("O100\r\n");
        f.close();
        paths << RkDecodeName(bytes);
    }

    // Directly: started and left running, and started and waited for.
    const QString rec = nulRecorder(env, "bin/rec");
    ASSERT_TRUE(RkStartProgram(rec, paths, env.path("progs")));
    QList<QByteArray> got = recordedArguments(rec);
    ASSERT_EQ(got.size(), names.size());
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(got[i], folder + '/' + names[i]) << i;
    QFile::remove(rec + ".args");
    int exitCode = -5;
    ASSERT_EQ(ExecCmd(rec, paths, {}, &exitCode), 0);
    EXPECT_EQ(exitCode, 0);
    got = recordedArguments(rec);
    ASSERT_EQ(got.size(), names.size());
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(got[i], folder + '/' + names[i]) << i;
    // A NUL would cut an argument short: nothing is started.
    QFile::remove(rec + ".args");
    EXPECT_FALSE(RkStartProgram(rec, {QStringLiteral("a") + QChar(0) + "b"}));
    EXPECT_EQ(ExecCmd(rec, {QStringLiteral("a") + QChar(0) + "b"}), 1);
    // A missing program and a file that is no program do not start.
    EXPECT_FALSE(RkStartProgram(env.path("bin/none")));
    env.write("bin/text", "just text\n");
    EXPECT_EQ(ExecCmd(env.path("bin/text"), {}), 1);
    QTest::qWait(100);
    EXPECT_FALSE(QFile::exists(rec + ".args"));

    // Through the program information command, for each open program.
    test::SessionScope::set(&SettingValues::programInfoPath, env.path("db"));
    const QString dalvinger = nulRecorder(env, "db/Dalvinger32.exe");
    frmMain w;
    for (int i = 0; i < names.size(); ++i) {
        frmDocument *d = w.openDocument(paths[i], "MILL");
        ASSERT_TRUE(d) << names[i].toStdString();
        mnuInfo_Click(&w);
        got = recordedArguments(dalvinger);
        ASSERT_EQ(got.size(), 1) << names[i].toStdString();
        EXPECT_EQ(got[0], folder + '/' + names[i]);
        QFile::remove(dalvinger + ".args");
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(ExternalProgramsTest, ProgramsOthersCanChangeAreNotStartedAndTheMessageSaysWhy)
{
    frmMain w;
    const QString groupOpen = QString::fromUtf8("kan ändras av andra användare än ägaren");

    // The file-database program in a folder its group can write.
    test::SessionScope::set(&SettingValues::programInfoPath, env.path("db"));
    const QString dalvinger = standIn("db/Dalvinger32.exe");
    ASSERT_EQ(::chmod(QFile::encodeName(test::settingsNow().programInfoPath).constData(), 0775), 0);
    mnuFindDB_Click(&w);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.contains(dalvinger + " startas inte: mappen " + test::settingsNow().programInfoPath + " " + groupOpen))
        << boxes.calls()[0].text.toStdString();
    // Started programs are not waited for: the database program is tried
    // again from a safe folder, and only that run leaves its record.
    ASSERT_EQ(::chmod(QFile::encodeName(test::settingsNow().programInfoPath).constData(), 0755), 0);
    boxes.clear();
    mnuFindDB_Click(&w);
    EXPECT_EQ(argsOf(dalvinger).value(0), "/FIND");
    EXPECT_TRUE(boxes.calls().empty());

    // The compare program of this user, with the program folder above it
    // open to its group: nothing is written or started.
    standIn("Vindre.exe");
    openProgram(w, "A.NC", "O1\r\n");
    openProgram(w, "B.NC", "O2\r\n");
    const QByteArray data = QFile::encodeName(env.dataPath());
    struct stat before;
    ASSERT_EQ(::stat(data.constData(), &before), 0);
    ASSERT_EQ(::chmod(data.constData(), 0775), 0);
    boxes.clear();
    mnuCompare_Click(&w);
    ::chmod(data.constData(), before.st_mode & 07777);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.startsWith("Vindre.exe kunde ej startas !\r\n\r\n"));
    EXPECT_TRUE(boxes.calls()[0].text.contains("mappen " + env.dataPath() + " " + groupOpen))
        << boxes.calls()[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(env.tmpPath() + "/1.JTmp"));

    // An updater that anyone can write: its check is not run (it would have
    // been waited for), and "no new updates" is never said.
    const QString updater = standIn("Update.exe", "exit 0");
    QFile::setPermissions(updater, QFile::permissions(updater) | QFile::WriteOther);
    boxes.clear();
    mnuHelpUpdates_Click(&w);
    EXPECT_FALSE(QFile::exists(updater + ".args"));
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.startsWith(
        QString::fromUtf8("Update.exe kunde ej startas !\r\nSökningen efter uppdateringar kunde inte göras.\r\n\r\n")));
    EXPECT_TRUE(boxes.calls()[0].text.contains(QString::fromUtf8("filen kan ändras av andra användare än ägaren")));

    // A colleague's programs: not run, whoever may otherwise run them.
    if (::geteuid() != 0)
        return;
    QFile::remove(updater);
    standIn("Update.exe", "exit 0");
    ASSERT_EQ(::chown(QFile::encodeName(updater).constData(), 4321, 4321), 0);
    boxes.clear();
    mnuHelpUpdates_Click(&w);
    EXPECT_FALSE(QFile::exists(updater + ".args"));
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.contains(QString::fromUtf8("filen ägs av en annan användare")));

    test::SessionScope::set(&SettingValues::kalmeroPath, env.path("LMK"));
    const QString pendrof = standIn("LMK/Pendrof.exe");
    const QString kalmero = standIn("LMK/Kalmero32.exe");
    ASSERT_EQ(::chown(QFile::encodeName(pendrof).constData(), 4321, 4321), 0);
    env.write("LMK/Geo.nc", "O8000\r\n");
    boxes.clear();
    StartKalmero(&w);
    EXPECT_FALSE(QFile::exists(pendrof + ".args")); // it would have been waited for
    EXPECT_FALSE(QFile::exists(kalmero + ".args"));
    EXPECT_EQ(test::readFile(env.path("LMK/Geo.nc")), "O8000\r\n"); // nothing changed
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.startsWith(kalmeroFailureText(1, 0) + "\r\n\r\n" + pendrof + " startas inte"));
    EXPECT_EQ(w.documents().size(), 2); // no result opened
    EXPECT_TRUE(errors.empty());
}

TEST_F(ExternalProgramsTest, RelativeFoldersOfTheSettingsLieBelowTheProgramFolder)
{
    EXPECT_EQ(settingFolder("db"), env.path("db"));
    EXPECT_EQ(settingFolder("LMK\\bin"), env.path("LMK/bin"));
    EXPECT_EQ(settingFolder("[exedir]\\LMK"), env.path("LMK"));
    EXPECT_EQ(settingFolder("/opt/lmk"), "/opt/lmk");
    EXPECT_EQ(settingFolder(""), "");

    // Run from another working folder, which holds programs of the same names.
    const QString elsewhere = env.tmpPath() + "/arbetsmapp";
    QDir().mkpath(elsewhere + "/db");
    QDir().mkpath(elsewhere + "/LMK");
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere));
    const QString dalvinger = standIn("db/Dalvinger32.exe");
    const QString pendrof = standIn("LMK/Pendrof.exe", "printf 'O1\\r\\n' > Geo.nc");
    for (const char *p : {"db/Dalvinger32.exe", "LMK/Pendrof.exe"}) {
        test::writeFile(elsewhere + "/" + p, "#!/bin/sh\ntouch '" + QFile::encodeName(elsewhere) + "/ran'\n");
        QFile::setPermissions(elsewhere + "/" + p, QFile::permissions(elsewhere + "/" + p) | QFile::ExeOwner);
    }
    test::SessionScope::set(&SettingValues::programInfoPath, "db");
    test::SessionScope::set(&SettingValues::kalmeroPath, "LMK");
    frmMain w;
    StartKalmero(&w);
    const QStringList args = argsOf(pendrof, 0);
    ASSERT_EQ(args.size(), 1);
    EXPECT_EQ(QDir(args[0]).canonicalPath(), QDir(env.path("LMK")).canonicalPath());
    ASSERT_EQ(w.documents().size(), 1);
    EXPECT_EQ(w.documents().front()->txtText->TextAll(), "O1\r\n");
    EXPECT_EQ(QDir::currentPath(), QDir(elsewhere).canonicalPath());
    mnuFindDB_Click(&w);
    EXPECT_EQ(argsOf(dalvinger).value(0), "/FIND");
    EXPECT_FALSE(QFile::exists(elsewhere + "/ran"));
    QDir::setCurrent(before);
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(errors.empty());
}
