#include "core/globals.h"
#include "core/inifile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

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

TEST(IniFile, EachFileKeepsItsOwnEncoding)
{
    TempEnv env;
    // Windows-1252: read and written in it.
    const QString w = env.write("w.ini", "[Settings]\r\nShowFileExtText=Alla filer \xc5\xc4\xd6\r\n");
    EXPECT_EQ(GetIniSetting("Settings", "ShowFileExtText", "", w), QString::fromUtf8("Alla filer ÅÄÖ"));
    ASSERT_TRUE(SaveIniSetting("Settings", "CurrentPath", QString::fromUtf8("/nc/Fräs"), w));
    EXPECT_EQ(readFile(w), QByteArray("[Settings]\r\nShowFileExtText=Alla filer \xc5\xc4\xd6\r\nCurrentPath=/nc/Fr\xe4s\r\n"));

    // UTF-8 with letters above 127: read and written as UTF-8, so the next
    // start reads both lines right.
    const QString u = env.write("u.ini", "[Options]\nTitle=Verkstad \xc3\x85" "by\n");
    EXPECT_EQ(GetIniSetting("Options", "Title", "", u), QString::fromUtf8("Verkstad Åby"));
    ASSERT_TRUE(SaveIniSetting("Settings", "CurrentPath", QString::fromUtf8("/nc/Fräs"), u));
    EXPECT_EQ(readFile(u), QByteArray("[Options]\nTitle=Verkstad \xc3\x85" "by\n\n[Settings]\nCurrentPath=/nc/Fr\xc3\xa4s\n"));
    EXPECT_EQ(GetIniSetting("Settings", "CurrentPath", "", u), QString::fromUtf8("/nc/Fräs"));
    EXPECT_EQ(GetIniSetting("Options", "Title", "", u), QString::fromUtf8("Verkstad Åby"));
    // Characters outside Windows-1252 are kept whole in a UTF-8 file.
    ASSERT_TRUE(SaveIniSetting("Options", "Title", QString::fromUtf8("Verkstad Ω"), u));
    EXPECT_EQ(GetIniSetting("Options", "Title", "", u), QString::fromUtf8("Verkstad Ω"));

    // Plain ASCII and new files are Windows-1252.
    const QString a = env.write("a.ini", "[S]\r\nK=1\r\n");
    ASSERT_TRUE(SaveIniSetting("S", "Namn", QString::fromUtf8("Åby"), a));
    EXPECT_EQ(readFile(a), QByteArray("[S]\r\nK=1\r\nNamn=\xc5" "by\r\n"));
    ASSERT_TRUE(SaveIniSetting("S", "Namn", QString::fromUtf8("Öst"), env.path("new.ini")));
    EXPECT_EQ(readFile(env.path("new.ini")), QByteArray("[S]\r\nNamn=\xd6st\r\n"));

    // A byte-order mark stays where it was.
    const QString b = env.write("bom.ini", "\xef\xbb\xbf[S]\r\nK=\xc3\xa5\r\n");
    EXPECT_EQ(GetIniSetting("s", "k", "", b), QString::fromUtf8("å"));
    ASSERT_TRUE(SaveIniSetting("S", "L", QString::fromUtf8("ä"), b));
    EXPECT_EQ(readFile(b), QByteArray("\xef\xbb\xbf[S]\r\nK=\xc3\xa5\r\nL=\xc3\xa4\r\n"));
}

TEST(IniFile, ValueTheEncodingCannotHoldIsRefusedAndTold)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QByteArray before = "[Settings]\r\nTitle=\xc5" "by\r\n";
    const QString f = env.write("w.ini", before);
    EXPECT_FALSE(SaveIniSetting("Settings", "Title", QString::fromUtf8("Ωmega"), f));
    EXPECT_FALSE(SaveIniSetting("Settings", QString::fromUtf8("Ωkey"), "1", f));
    EXPECT_EQ(readFile(f), before); // never written as "?"
    ASSERT_EQ(boxes.calls().size(), 2u);
    const QString text = boxes.calls()[0].text;
    EXPECT_TRUE(text.startsWith("Fel vid skrivning till INI-fil...")) << text.toStdString();
    EXPECT_TRUE(text.contains(f));
    EXPECT_TRUE(text.contains(QString::fromUtf8("\"Ω\"")));
    EXPECT_TRUE(text.contains("Windows-1252"));
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Exclamation);

    // The euro sign is a Windows-1252 character.
    EXPECT_TRUE(SaveIniSetting("Settings", "Pris", QString::fromUtf8("5 €"), f));
    EXPECT_TRUE(readFile(f).endsWith("Pris=5 \x80\r\n"));
}

TEST(IniFile, UntouchedLinesKeepTheirBytes)
{
    TempEnv env;
    // Lines that are not edited are not decoded and encoded again.
    const QByteArray bytes = "; \x81\x8d odd bytes\r\n[S]\r\nA=\xe5\r\nB=1\r\n";
    const QString f = env.write("o.ini", bytes);
    ASSERT_TRUE(SaveIniSetting("S", "B", "2", f));
    QByteArray expected = bytes;
    expected.replace("B=1", "B=2");
    EXPECT_EQ(readFile(f), expected);
}

// A file edited on two kinds of system keeps every line end as it was, the
// edited line too; a lone CR at the very end stays.
TEST(IniFile, MixedLineEndsAreKeptByteForByte)
{
    for (const QByteArray &bytes : {QByteArray("[Settings]\nA=1\r\nB=2\nC=3\r\n"), QByteArray("[S]\r\nA=1\nB=2\r"),
                                   QByteArray("[S]\nA=1\r\n\r\r\n")}) {
        IniFile ini;
        ini.loadFromBytes(bytes);
        EXPECT_EQ(ini.toBytes(), bytes);
    }
    TempEnv env;
    const QString f = env.write("mixed.ini", "[Settings]\nA=1\r\nB=2\nC=3\r\n");
    ASSERT_TRUE(SaveIniSetting("Settings", "B", "5", f));
    EXPECT_EQ(readFile(f), QByteArray("[Settings]\nA=1\r\nB=5\nC=3\r\n"));
    ASSERT_TRUE(SaveIniSetting("Settings", "D", "4", f));
    EXPECT_EQ(readFile(f), QByteArray("[Settings]\nA=1\r\nB=5\nC=3\r\nD=4\r\n"));
    IniFile back;
    ASSERT_TRUE(back.load(f));
    EXPECT_EQ(back.value("Settings", "C"), "3");
}

TEST(IniFile, LineBreaksInValuesAreWrittenAsBlanks)
{
    TempEnv env;
    SaveIniSetting("S", "K", "a\r\nb\nc", env.path("a.ini"));
    EXPECT_EQ(GetIniSetting("S", "K", "", env.path("a.ini")), "a  b c");
}

TEST(IniFile, EveryFailedWriteIsToldWithFileAndReason)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString f = env.write("ro.ini", "[S]\r\nK=1\r\n");
    // Refused also with rights that ignore permissions: nobody may write it.
    QFile::setPermissions(f, QFile::ReadOwner);
    EXPECT_FALSE(SaveIniSetting("S", "K", "2", f));
    EXPECT_FALSE(SaveIniSetting("S", "K", "3", f));
    ASSERT_EQ(boxes.calls().size(), 2u);
    for (const MsgBoxCall &c : boxes.calls()) {
        EXPECT_EQ(c.text, "Fel vid skrivning till INI-fil...\r\n\r\n" + f + QString::fromUtf8(": Åtkomst nekad"));
        EXPECT_EQ(c.icon, MbIcon::Exclamation);
    }
    EXPECT_EQ(readFile(f), QByteArray("[S]\r\nK=1\r\n"));
}

TEST(IniFile, FileThatCannotBeReadIsNotReplaced)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    // A folder where the file should be.
    QDir().mkpath(env.path("folder.ini/x"));
    EXPECT_FALSE(SaveIniSetting("S", "K", "9", env.path("folder.ini")));
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.endsWith(env.path("folder.ini") + QString::fromUtf8(": Det är en mapp")));
    EXPECT_TRUE(QFileInfo(env.path("folder.ini/x")).isDir());
    boxes.clear();

    const QString f = env.write("noread.ini", "[S]\r\nK=1\r\nL=2\r\n");
    QFile::setPermissions(f, QFile::WriteOwner);
    if (QFile(f).open(QIODevice::ReadOnly))
        GTEST_SKIP() << "permissions are not enforced for this user";
    EXPECT_FALSE(SaveIniSetting("S", "K", "9", f));
    QFile::setPermissions(f, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(readFile(f), QByteArray("[S]\r\nK=1\r\nL=2\r\n"));
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.contains(f + QString::fromUtf8(": Åtkomst nekad")));
}

TEST(IniFile, WriteIntoMissingFolderIsToldEveryTimeWithoutEndingTheProgram)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString f = env.path("no/such/folder/x.ini");
    EXPECT_FALSE(SaveIniSetting("S", "K", "1", f));
    EXPECT_FALSE(SaveIniSetting("S", "L", "2", f));
    ASSERT_EQ(boxes.calls().size(), 2u);
    EXPECT_EQ(boxes.calls()[1].text,
              "Fel vid skrivning till INI-fil...\r\n\r\n" + f + ": Filen eller mappen finns inte");
}

TEST(IniFile, BatchWritesEachFileOnceAndTellsOneFailure)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString f = env.write("b.ini", "[S]\r\nA=1\r\n");
    const QString ro = env.write("ro.ini", "[S]\r\n");
    QFile::setPermissions(ro, QFile::ReadOwner);
    {
        IniWriteBatch batch;
        EXPECT_TRUE(SaveIniSetting("S", "A", "2", f));
        EXPECT_TRUE(SaveIniSetting("S", "B", "3", f));
        EXPECT_TRUE(SaveIniSetting("S", "X", "1", ro));
        EXPECT_TRUE(SaveIniSetting("S", "Y", "2", ro));
        EXPECT_EQ(readFile(f), QByteArray("[S]\r\nA=1\r\n")); // not yet
        EXPECT_FALSE(batch.commit());
    }
    EXPECT_EQ(readFile(f), QByteArray("[S]\r\nA=2\r\nB=3\r\n"));
    EXPECT_EQ(boxes.calls().size(), 1u);
    // After the batch, writes go at once again.
    EXPECT_TRUE(SaveIniSetting("S", "C", "4", f));
    EXPECT_TRUE(readFile(f).endsWith("C=4\r\n"));
}

TEST(IniFile, APlainAsciiFileBecomesUtf8WhenAValueNeedsIt)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QByteArray before = "[Settings]\r\nLastCnc=OLD\r\n; kommentar\r\n";
    const QString f = env.write("a.ini", before);
    const QString greek = QString::fromUtf8("/nc/Ω9.NC");
    EXPECT_TRUE(RkWriteIniFile(f, {{"Recent Files", "MRU0", greek}, {"Settings", "LastCnc", "MILL"}}));
    EXPECT_TRUE(boxes.calls().empty());
    // Nothing else changes: the old lines keep their bytes, the new value is UTF-8.
    EXPECT_EQ(readFile(f), "[Settings]\r\nLastCnc=MILL\r\n; kommentar\r\n\r\n[Recent Files]\r\nMRU0="
                               + greek.toUtf8() + "\r\n");
    EXPECT_EQ(GetIniSetting("Recent Files", "MRU0", "", f), greek);
}

TEST(IniFile, AWindows1252FileLeavesTheOneKeyAndWritesTheOthers)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString f = env.write("b.ini", "[Settings]\r\nTitle=\xc5" "by\r\nLastCnc=OLD\r\n");
    const QList<IniEdit> edits{{"Recent Files", "MRU0", QString::fromUtf8("/nc/Ω9.NC")},
                               {"Settings", "LastCnc", "MILL"},
                               {"Settings", "FirstStart", "False"}};
    EXPECT_FALSE(RkWriteIniFile(f, edits));
    EXPECT_EQ(readFile(f), "[Settings]\r\nTitle=\xc5" "by\r\nLastCnc=MILL\r\nFirstStart=False\r\n");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.contains("MRU0"));
    EXPECT_TRUE(boxes.calls()[0].text.contains(QString::fromUtf8("har inte ändrats")));
    // Told once: the next exit writes again without a second box.
    EXPECT_FALSE(RkWriteIniFile(f, edits));
    EXPECT_EQ(boxes.calls().size(), 1u);
}

TEST(IniFile, ANamedPipeAsSettingsFileIsRefusedWithoutWaiting)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString fifo = env.path("lumrik32.INI");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Nobody writes into the pipe: a read would never end.
    EXPECT_EQ(GetIniSetting("Settings", "LastCnc", "def"), "def");
    EXPECT_EQ(GetIniSetting("Settings", "FirstStart", "True"), "True");
    ASSERT_EQ(boxes.calls().size(), 1u); // told once
    EXPECT_TRUE(boxes.calls()[0].text.contains(QString::fromUtf8("Det är ingen vanlig fil")));
    EXPECT_FALSE(SaveIniSetting("Settings", "LastCnc", "MILL"));
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
}
