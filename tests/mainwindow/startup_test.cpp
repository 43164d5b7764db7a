#include "core/filenames.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/startup.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumrik;
using namespace lumrik::test;

TEST(Startup, DataPathPrefersEnvironmentThenPortableFolder)
{
    QTemporaryDir exeDir, dataDir;
    qputenv("LUMRIK_DATA", dataDir.path().toLocal8Bit());
    EXPECT_EQ(resolveDataPath(exeDir.path()), dataDir.path());
    qunsetenv("LUMRIK_DATA");
    writeFile(exeDir.path() + "/LUMRIK32.ini", "[Settings]\r\n");
    EXPECT_EQ(resolveDataPath(exeDir.path()), exeDir.path());
}

TEST(Startup, TemporaryFolderIsPrivate)
{
    const QString tmp = resolveTmpPath();
    ASSERT_FALSE(tmp.isEmpty());
    EXPECT_FALSE(tmp.endsWith('/'));
    struct stat st;
    ASSERT_EQ(stat(QFile::encodeName(tmp).constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0077, 0u);
}

TEST(Startup, FirstStartGetsSampleMachineAndProgramOnce)
{
    TempEnv env;
    installSampleData(gsDataPath);
    EXPECT_TRUE(QFileInfo::exists(env.path("DEMO.cfg")));
    EXPECT_TRUE(QFileInfo::exists(env.path("ncprog/O1000.NC")));
    EXPECT_EQ(GetIniSetting("Settings", "LastCnc"), "DEMO");
    // A folder in use is left as it is.
    QFile::remove(env.path("ncprog/O1000.NC"));
    installSampleData(gsDataPath);
    EXPECT_FALSE(QFileInfo::exists(env.path("ncprog/O1000.NC")));
}

TEST(Startup, ShippedFilesAreNeverMadeThroughALink)
{
    TempEnv env;
    // A dangling link where the syntax file goes: every start would otherwise
    // make a file where it points.
    const QString target = env.path("outside/.bashrc");
    QDir().mkpath(env.path("outside"));
    ASSERT_TRUE(QFile::link(target, env.path("fanuc.syn")));
    installSampleData(gsDataPath);
    installSampleData(gsDataPath);
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(QFileInfo(env.path("fanuc.syn")).isSymLink());
    // What has no name yet is put in place as before.
    EXPECT_TRUE(QFileInfo(env.path("ncprog/O1000.NC")).isFile());
}

TEST(Startup, CommandLineIsOnePathWithoutQuotes)
{
    EXPECT_EQ(commandLinePath({"lumrik32"}), "");
    EXPECT_EQ(commandLinePath({"lumrik32", "\"/nc/my prog.nc\""}), "/nc/my prog.nc");
    EXPECT_EQ(commandLinePath({"lumrik32", "/nc/my", "prog.nc"}), "/nc/my prog.nc");
    // Relative to the folder the program was started in, never another one.
    EXPECT_EQ(commandLinePath({"lumrik32", "REL.NC"}, "/verkstad/fras"), "/verkstad/fras/REL.NC");
    EXPECT_EQ(commandLinePath({"lumrik32", "\"../svarv/O 1.NC\""}, "/verkstad/fras"), "/verkstad/svarv/O 1.NC");
    EXPECT_EQ(commandLinePath({"lumrik32", "./x.nc"}), QDir::currentPath() + "/x.nc");
    EXPECT_EQ(commandLinePath({"lumrik32", "file:///nc/Fr%C3%A4s%20O1.NC"}), QString::fromUtf8("/nc/Fräs O1.NC"));
    // The name exactly as given: blanks at its ends, "\\" and bytes that are not UTF-8 belong to it.
    EXPECT_EQ(commandLinePath({"lumrik32", " lead.nc "}, "/nc"), "/nc/ lead.nc ");
    EXPECT_EQ(commandLinePath({"lumrik32", "  "}, "/nc"), "");
    EXPECT_EQ(RkPathBytes(commandLinePath({"lumrik32", RkDecodeName("a\\b.nc")}, "/nc")), QByteArray("/nc/a\\b.nc"));
    EXPECT_EQ(RkPathBytes(commandLinePath({"lumrik32", "file:///nc/X%D6.NC"})), QByteArray("/nc/X\xD6.NC"));
    EXPECT_EQ(RkPathBytes(commandLinePath({"lumrik32", "file://localhost/nc/a%5Cb%2"})), QByteArray("/nc/a\\b%2"));
}

TEST(Startup, RelativeNameFromAFolderThatIsNotUtf8)
{
    QTemporaryDir root;
    const QByteArray folder = QFile::encodeName(root.path()) + "/D\xC5T";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    const QByteArray was = QFile::encodeName(QDir::currentPath());
    ASSERT_EQ(::chdir(folder.constData()), 0);
    const QString path = commandLinePath({"lumrik32", "p.nc"});
    ASSERT_EQ(::chdir(was.constData()), 0);
    EXPECT_EQ(RkPathBytes(path), folder + "/p.nc");
}

TEST(Startup, TitleRecentFilesAndMacroMenuFromSettings)
{
    TempEnv env;
    env.write("lumrik32.INI", "[Options]\r\nTitle=X\r\n[Recent Files]\r\nMRU0=/nc/a.nc\r\nMRU2=/nc/c.nc\r\n"
                              "[MACRO]\r\n4_NAMN=Gängor\r\n3_NAMN=Y\r\n0_NAMN=Egen\r\n0_PATH=\\Macron\\Egen\r\n");
    SessionScope scope;
    test::SessionScope::set(&SettingValues::title, "X");
    frmMain w;
    w.applyTitle();
    EXPECT_EQ(w.windowTitle(), "Lumrik-32");
    test::SessionScope::set(&SettingValues::title, "Verkstad 2");
    w.applyTitle();
    EXPECT_EQ(w.windowTitle(), "Lumrik-32 [ Verkstad 2 ]");

    w.fillRecentFiles();
    EXPECT_TRUE(w.mnuFileMRU[0]->isVisible());
    EXPECT_FALSE(w.mnuFileMRU[1]->isVisible());
    EXPECT_TRUE(w.mnuFileMRU[2]->isVisible());
    EXPECT_EQ(w.mnuFileMRU[2]->text(), "/nc/c.nc");

    test::SessionScope::macroFolders([](MacroFolderValues &f) { f = {}; });
    w.fillMacroMenu();
    EXPECT_EQ(w.mnuSubMacro[0]->text(), "Egen");
    EXPECT_EQ(test::macroFoldersNow()[0], "\\Macron\\Egen");
    EXPECT_FALSE(w.mnuSubMacro[3]->isVisible());
    EXPECT_TRUE(w.mnuSubMacro[4]->isVisible());
    EXPECT_EQ(w.mnuSubMacro[4]->text(), QString::fromUtf8("Gängor"));
    EXPECT_EQ(test::macroFoldersNow()[4], "");
}
