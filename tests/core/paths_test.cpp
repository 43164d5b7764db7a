#include "core/globals.h"
#include "core/paths.h"
#include "testsupport.h"
#include "sessionscope.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

TEST(PathTokens, ExpandIsCaseSensitiveAndReplacesEveryToken)
{
    TempEnv env;
    EXPECT_EQ(ExpandExePath("[exedir]\\Macron"), gsDataPath + "/Macron");
    EXPECT_EQ(ExpandExePath("[exedrive]\\ncprog\\"), QDir::homePath() + "/ncprog/");
    // Text without a token stays exactly as stored.
    EXPECT_EQ(ExpandExePath("[EXEDIR]\\x"), "[EXEDIR]\\x");
    EXPECT_EQ(ExpandExePath("Fanuc\\6M"), "Fanuc\\6M");
    EXPECT_EQ(ExpandExePath("C:\\NC\\"), "C:\\NC\\");
    EXPECT_EQ(ExpandExePath("[exedir]|[exedir]"), gsDataPath + "|" + gsDataPath);
    QString byRef = "[exedir]";
    ExpandExePath(byRef);
    EXPECT_EQ(byRef, gsDataPath);
}

TEST(PathTokens, CollapseGivesTheStoredFormAndStopsAtSeparators)
{
    TempEnv env;
    QString byRef = gsDataPath;
    EXPECT_EQ(CollapseExePath(byRef), "[exedir]");
    EXPECT_EQ(byRef, "[exedir]");
    // Stored with "\" between folders, as every installation reads it.
    EXPECT_EQ(CollapseExePath(gsDataPath + "/NC/Prog1"), "[exedir]\\NC\\Prog1");
    EXPECT_EQ(CollapseExePath(gsDataPath + "/ncprog/"), "[exedir]\\ncprog\\");
    EXPECT_FALSE(CollapseExePath(gsDataPath + "X/NC").startsWith("[exedir]"));
    EXPECT_EQ(CollapseExePath(QDir::homePath() + "/NcProg"), "[exedrive]\\NcProg");
    EXPECT_EQ(CollapseExePath("/opt/Other"), "/opt/Other");
    EXPECT_EQ(CollapseExePath("[exedir]\\x\\"), "[exedir]\\x\\");
    // The stored form expands to a folder of this computer, and back.
    EXPECT_EQ(ExpandExePath("[exedir]\\ncprog\\"), gsDataPath + "/ncprog/");
    EXPECT_EQ(ExpandExePath(CollapseExePath(gsDataPath + "/Sub/Dir")), gsDataPath + "/Sub/Dir");
    EXPECT_EQ(CollapseExePath(ExpandExePath("[exedir]\\ncprog\\")), "[exedir]\\ncprog\\");
    // Another letter case is another folder here: it stays as it is.
    gsDataPath = "/opt/Prog/Ed";
    EXPECT_EQ(CollapseExePath("/OPT/prog/ED/nc"), "/OPT/prog/ED/nc");
    EXPECT_EQ(CollapseExePath("/opt/Prog/Ed/NC"), "[exedir]\\NC");
    EXPECT_EQ(ExpandExePath(CollapseExePath("/opt/Prog/Ed/NC")), "/opt/Prog/Ed/NC");
}

TEST(PathParts, WindowsStyleAndNativePaths)
{
    EXPECT_EQ(GetDrivePart("C:\\Prog\\Ed"), "C:");
    EXPECT_EQ(GetDrivePart("\\\\srv\\share\\dir"), "\\\\srv\\share");
    EXPECT_EQ(GetDrivePart("\\\\srv\\share"), "\\\\srv\\share");
    EXPECT_EQ(GetDrivePart("\\\\srv\\"), "\\\\srv");
    EXPECT_EQ(GetFileNamePart("C:\\a\\b.nc"), "b.nc");
    EXPECT_EQ(GetFileNamePart("/home/u/b.nc"), "b.nc");
    EXPECT_EQ(GetFileNamePart("C:\\a\\"), "C:\\a\\");
    EXPECT_EQ(GetPathPart("C:\\a\\b.nc"), "C:\\a\\");
    EXPECT_EQ(GetPathPart("/a/b.nc"), "/a/");
    // A path of this computer is cut at "/" alone: ":" and "\\" belong to its names.
    EXPECT_EQ(GetFileNamePart("/x/O1:2.nc"), "O1:2.nc");
    EXPECT_EQ(GetPathPart("/x/O1:2.nc"), "/x/");
    EXPECT_EQ(GetFileNamePart("/x/a\\b.nc"), "a\\b.nc");
    EXPECT_EQ(GetFileExtension("/x/O1:2.nc"), "nc");
    EXPECT_EQ(GetFileNamePart("C:O1.NC"), "O1.NC");
    EXPECT_EQ(GetFileExtension("/a.b/c"), "");
    EXPECT_EQ(GetFileExtension("/a/c.Nc"), "Nc");
    EXPECT_EQ(RkFileBaseName("C:\\a\\plug.dll"), "plug");
    EXPECT_EQ(RkAddBackslash("/a"), "/a/");
    EXPECT_EQ(RkAddBackslash("/a/"), "/a/");
    EXPECT_EQ(TrimAtNull(QString("ab") + QChar(0) + "cd"), "ab");
    EXPECT_EQ(TrimAtNull("abc"), "abc");
    EXPECT_EQ(ZeroPadLeft("7", 3), "007");
    EXPECT_EQ(ZeroPadLeft("1234", 3), "1234");
    EXPECT_TRUE(IsValidFileName("a\"b"));
    EXPECT_FALSE(IsValidFileName("a|b"));
    EXPECT_TRUE(IsValidFileName(""));
}

TEST(PathParts, ParseString)
{
    QStringList a;
    EXPECT_EQ(RkParseString(a, "T,M", ","), 2);
    EXPECT_EQ(a, (QStringList{"", "T", "M"}));
    EXPECT_EQ(RkParseString(a, "a,,b", ","), 3);
    EXPECT_EQ(RkParseString(a, "", ","), 1);
    EXPECT_EQ(RkParseString(a, "abc", ""), 1);
    EXPECT_EQ(a.value(1), "abc");
}

TEST(Wildcards, CaseInsensitiveAndStarDotStar)
{
    EXPECT_TRUE(RkMatchWildcard("O1000.nc", "*.NC"));
    EXPECT_TRUE(RkMatchWildcard("README", "*.*"));
    EXPECT_TRUE(RkMatchWildcard("prog", "prog.*"));
    EXPECT_FALSE(RkMatchWildcard("a.ncx", "*.nc"));
    EXPECT_TRUE(RkMatchWildcard("a.h", "*.c;*.h"));
    EXPECT_TRUE(RkMatchWildcard("P12.NC", "P??.nc"));
    EXPECT_FALSE(RkMatchWildcard("P123.NC", "P??.nc"));
}

TEST(PathParts, FirstStartPlacementRoundsToTheNearestPixel)
{
    EXPECT_EQ(RkFormFixRect(QRect(0, 0, 1280, 1024)), QRect(128, 102, 1024, 819));
    EXPECT_EQ(RkFormFixRect(QRect(0, 0, 1366, 768)), QRect(137, 77, 1093, 614));
    // A panel at the top: the window keeps clear of it.
    EXPECT_EQ(RkFormFixRect(QRect(0, 30, 1920, 1050)), QRect(192, 135, 1536, 840));
}

TEST(Folders, ListingsAndDefaultPaths)
{
    TempEnv env;
    env.write("FANUC.cfg", "[Settings]\r\nDefaultPath=[exedir]\\prog\\\r\n");
    env.write("mazak.CFG", "[CNCProgPath]\r\nDefaultRxdCncPath=/var/rx\r\n");
    env.write("notes.txt", "x");
    EXPECT_EQ(GetFolderFiles(gsDataPath, "cfg", false), (QStringList{"FANUC.cfg", "mazak.CFG"}));
    EXPECT_EQ(GetFolderFiles(gsDataPath, "*.cfg", true).first(), gsDataPath + "/FANUC.cfg");
    EXPECT_TRUE(GetFolderFiles(env.path("missing"), "cfg", false).isEmpty());
    QComboBox combo;
    FillComboWithFiles(gsDataPath, ".cfg", &combo);
    ASSERT_EQ(combo.count(), 2);
    EXPECT_EQ(combo.itemText(1), "mazak");
    SelectComboItem("MAZAK", &combo);
    EXPECT_EQ(combo.currentIndex(), 0);
    SelectComboItem("mazak", &combo);
    EXPECT_EQ(combo.currentIndex(), 1);

    test::useMachineName("fanuc");
    EXPECT_EQ(GetDefaultPath("root"), gsDataPath + "/prog/");
    EXPECT_EQ(GetDefaultPath("send"), QDir::homePath() + "/ncprog/");
    test::useMachineName("MAZAK");
    EXPECT_EQ(GetDefaultPath("rec"), "/var/rx");
    EXPECT_EQ(GetDefaultPath("other"), "");
    test::useMachineName(QString());
}

TEST(CopyFiles, AFolderCopiedOntoItselfKeepsEveryFile)
{
    test::TempEnv env;
    test::MsgBoxRecorder boxes;
    env.write("nc/O1.NC", "N1\r\n");
    env.write("nc/O2.NC", "N2\r\n");
    int count = -1;
    rkCopyFiles(env.path("nc"), env.path("nc/"), count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(test::readFile(env.path("nc/O1.NC")), "N1\r\n");
    EXPECT_EQ(test::readFile(env.path("nc/O2.NC")), "N2\r\n");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.contains(QString::fromUtf8("till sig själv")));
    // The same folder by another way (a link) is refused too.
    ASSERT_TRUE(QFile::link(env.path("nc"), env.path("link")));
    rkCopyFiles(env.path("link"), env.path("nc"), count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(test::readFile(env.path("nc/O1.NC")), "N1\r\n");
}

TEST(CopyFiles, AnOldTargetGoesOnlyWhenItsReplacementIsWhole)
{
    test::TempEnv env;
    test::MsgBoxRecorder boxes;
    env.write("from/O1.NC", "NEW\r\n");
    env.write("to/O1.NC", "OLD\r\n");
    env.write("to/O9.NC", "OTHER\r\n");
    int count = 0;
    rkCopyFiles(env.path("from"), env.path("to"), count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(test::readFile(env.path("to/O1.NC")), "NEW\r\n");
    EXPECT_EQ(test::readFile(env.path("to/O9.NC")), "OTHER\r\n");
    EXPECT_EQ(QDir(env.path("to")).entryList(QDir::Files).size(), 2); // no piece left behind
    // A source that cannot be read: the old target stays.
    const QString locked = env.write("from/O9.NC", "X\r\n");
    QFile::setPermissions(locked, {});
    if (QFile(locked).open(QIODevice::ReadOnly))
        return; // root reads everything
    rkCopyFiles(env.path("from"), env.path("to"), count);
    EXPECT_EQ(test::readFile(env.path("to/O9.NC")), "OTHER\r\n");
    EXPECT_FALSE(boxes.calls().empty());
}
