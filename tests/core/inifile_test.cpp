#include "core/globals.h"
#include "core/inifile.h"
#include "testsupport.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

TEST(IniFile, FindsSectionsAndKeysWithoutRegardToCase)
{
    TempEnv env;
    const QString f = env.write("m.cfg", "[CNCPROGPATH]\r\nDefaultCncPath=/nc/send\r\n[Settings]\r\nColorFile=heidenhain\r\n");
    EXPECT_EQ(GetIniSetting("CncProgPath", "defaultcncpath", "x", f), "/nc/send");
    EXPECT_EQ(GetIniSetting("settings", "COLORFILE", "fanuc", f), "heidenhain");
    EXPECT_EQ(GetIniSetting("Settings", "Missing", "def", f), "def");
    EXPECT_EQ(GetIniSetting("Nowhere", "ColorFile", "def", f), "def");
}

TEST(IniFile, EmptyValueIsNotTheDefaultAndMissingFileGivesDefault)
{
    TempEnv env;
    const QString f = env.write("a.ini", "[S]\nEmpty=\nSpaced =  value with blanks  \n");
    EXPECT_EQ(GetIniSetting("S", "Empty", "def", f), "");
    EXPECT_EQ(GetIniSetting("S", "Spaced", "def", f), "value with blanks");
    EXPECT_EQ(GetIniSetting("S", "Empty", "def", env.path("missing.ini")), "def");
}

TEST(IniFile, LongValuesComeBackWhole)
{
    TempEnv env;
    const QString longValue(300, 'x');
    ASSERT_TRUE(SaveIniSetting("S", "K", longValue, env.path("a.ini")));
    EXPECT_EQ(GetIniSetting("S", "K", "", env.path("a.ini")), longValue);
}

TEST(IniFile, ShortFileArgumentMeansMainSettingsFileAndIsFilledIn)
{
    TempEnv env;
    QString file;
    ASSERT_TRUE(SaveIniSetting("Settings", "LastCnc", "MAZAK", file));
    EXPECT_EQ(file, gsDataPath + "/lumrik32.INI");
    QString one = "x";
    EXPECT_EQ(GetIniSetting("settings", "lastcnc", "", one), "MAZAK");
    EXPECT_EQ(one, file);
}

TEST(IniFile, MainSettingsFileIsFoundWithoutRegardToCase)
{
    TempEnv env;
    env.write("LUMRIK32.ini", "[Settings]\r\nTitle=Verkstad\r\n");
    EXPECT_EQ(GetIniSetting("Settings", "Title"), "Verkstad");
    SaveIniSetting("Settings", "Other", "1");
    EXPECT_FALSE(QFile::exists(env.path("lumrik32.INI")));
    EXPECT_TRUE(readFile(env.path("LUMRIK32.ini")).contains("Other=1"));
}

TEST(IniFile, EditChangesOnlyItsOwnLineAndKeepsLineEnds)
{
    TempEnv env;
    const QByteArray crlf = "; kommentar \xe5\xe4\xf6\r\n[Settings]\r\nEditFont=Courier New\r\nEditFontSize=12\r\n\r\n[Printing]\r\nColumns=1\r\n";
    const QString f = env.write("crlf.ini", crlf);
    SaveIniSetting("SETTINGS", "editfontsize", "14", f);
    QByteArray expected = crlf;
    expected.replace("EditFontSize=12", "editfontsize=14");
    expected.replace("editfontsize=14", "EditFontSize=14"); // stored spelling of the key is kept
    EXPECT_EQ(readFile(f), expected);

    const QByteArray lf = "[A]\nx=1\n";
    const QString g = env.write("lf.ini", lf);
    SaveIniSetting("A", "y", "2", g);
    SaveIniSetting("B", "z", "3", g);
    EXPECT_EQ(readFile(g), QByteArray("[A]\nx=1\ny=2\n\n[B]\nz=3\n"));
}

TEST(IniFile, Windows1252AndUtf8TextIsReadAndWrittenAs1252)
{
    TempEnv env;
    const QString f = env.write("w.ini", "[Settings]\r\nShowFileExtText=Alla filer \xc5\xc4\xd6\r\n");
    EXPECT_EQ(GetIniSetting("Settings", "ShowFileExtText", "", f), QString::fromUtf8("Alla filer ÅÄÖ"));
    const QString u = env.write("u.ini", "[Settings]\nText=S\xc3\xa5g\n");
    EXPECT_EQ(GetIniSetting("Settings", "Text", "", u), QString::fromUtf8("Såg"));
    SaveIniSetting("Settings", "Ny", QString::fromUtf8("Fräs"), u);
    EXPECT_EQ(readFile(u), QByteArray("[Settings]\nText=S\xc3\xa5g\nNy=Fr\xe4s\n"));
}

TEST(IniFile, LineBreaksInValuesAreWrittenAsBlanks)
{
    TempEnv env;
    SaveIniSetting("S", "K", "a\r\nb\nc", env.path("a.ini"));
    EXPECT_EQ(GetIniSetting("S", "K", "", env.path("a.ini")), "a  b c");
}

TEST(IniFile, FailedWriteIsReportedOnceAndKeepsTheFile)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString f = env.write("ro.ini", "[S]\r\nK=1\r\n");
    // Refused also with rights that ignore permissions: nobody may write it.
    QFile::setPermissions(f, QFile::ReadOwner);
    EXPECT_FALSE(SaveIniSetting("S", "K", "2", f));
    EXPECT_FALSE(SaveIniSetting("S", "K", "3", f));
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Fel vid skrivning till INI-fil...");
    EXPECT_EQ(readFile(f), QByteArray("[S]\r\nK=1\r\n"));
}

TEST(IniFile, WriteIntoMissingFolderFailsOnceWithoutEndingTheProgram)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    EXPECT_FALSE(SaveIniSetting("S", "K", "1", env.path("no/such/folder/x.ini")));
    EXPECT_FALSE(SaveIniSetting("S", "L", "2", env.path("no/such/folder/x.ini")));
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Fel vid skrivning till INI-fil...");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Exclamation);
}
