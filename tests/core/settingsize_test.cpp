// Settings-like files past the size limit are refused whole and told, and a
// round of look-ups reads each file once.
#include "core/globals.h"
#include "core/inifile.h"
#include "core/settings.h"
#include "sessionscope.h"
#include "testsupport.h"
#include "sessionscope.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {
// A file of `size` bytes that begins with `head`; the rest is a hole that
// reads as NULs, so that no test writes megabytes.
QString sparseFile(const QString &path, const QByteArray &head, qint64 size)
{
    writeFile(path, head);
    EXPECT_EQ(::truncate(QFile::encodeName(path).constData(), size), 0);
    return path;
}
}

TEST(SettingsSize, AFileOverTheLimitIsRefusedWithAMessageNamingIt)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString main = sparseFile(env.path(gsExeName + ".INI"), "[Settings]\r\nLastCnc=DEMO\r\nEditFontSize=20\r\n",
                                    kMaxSettingsFileBytes + 1);
    EXPECT_EQ(GetIniSetting("Settings", "LastCnc", "ingen"), "ingen");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.contains(gsExeName + ".INI"));
    EXPECT_TRUE(boxes.calls()[0].text.contains("16 MB"));
    // Told once; every later look-up gives its default without a box.
    RkLoadIniSettings();
    EXPECT_EQ(currentMachine().name(), "");
    EXPECT_EQ(test::settingsNow().textFontSize, 12);
    EXPECT_EQ(boxes.calls().size(), 1u);

    // A write does not replace the big file by the few keys it carries.
    boxes.clear();
    EXPECT_FALSE(SaveIniSetting("Settings", "LastCnc", "MILL"));
    EXPECT_TRUE(boxes.saw("Fel vid skrivning till INI-fil..."));
    EXPECT_TRUE(boxes.saw("16 MB"));
    EXPECT_EQ(QFileInfo(main).size(), kMaxSettingsFileBytes + 1);

    // A syntax file or a machine file the same way, each named.
    boxes.clear();
    const QString syn = sparseFile(env.path("fanuc.syn"), "[Keywords]\r\n", kMaxSettingsFileBytes + 100);
    IniFile ini;
    EXPECT_FALSE(ini.load(syn));
    EXPECT_TRUE(ini.tooLarge());
    EXPECT_TRUE(boxes.saw("fanuc.syn"));
    const QString cfg = sparseFile(env.path("MILL.cfg"), "[Communication]\r\nBaudRate=9600\r\n", kMaxSettingsFileBytes * 3);
    EXPECT_EQ(GetIniSetting("Communication", "BaudRate", "2400", cfg), "2400");
    EXPECT_TRUE(boxes.saw("MILL.cfg"));
}

TEST(SettingsSize, AFileAtTheLimitIsRead)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString cfg = sparseFile(env.path("MILL.cfg"), "[Communication]\r\nBaudRate=9600\r\n\r\n;", kMaxSettingsFileBytes);
    EXPECT_EQ(GetIniSetting("Communication", "BaudRate", "2400", cfg), "9600");
    EXPECT_TRUE(boxes.calls().empty());
}

TEST(SettingsRound, EachFileIsReadOncePerRoundAndAgainWhenItChanges)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString cfg = env.write("MILL.cfg", "[Communication]\r\nBaudRate=9600\r\nDataBits=7\r\n");
    const QString other = env.write("LATHE.cfg", "[Communication]\r\nBaudRate=4800\r\n");

    // Without a round every key reads the file.
    quint64 before = RkIniFileReads();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(GetIniSetting("Communication", "BaudRate", "", cfg), "9600");
    EXPECT_EQ(RkIniFileReads() - before, 5u);

    {
        const IniReadRound round;
        before = RkIniFileReads();
        for (int i = 0; i < 50; ++i) {
            EXPECT_EQ(GetIniSetting("Communication", "BaudRate", "", cfg), "9600");
            EXPECT_EQ(GetIniSetting("Communication", "DataBits", "", cfg), "7");
            EXPECT_EQ(GetIniSetting("Communication", "BaudRate", "", other), "4800");
        }
        EXPECT_EQ(RkIniFileReads() - before, 2u);

        // An inner round is the same round.
        {
            const IniReadRound inner;
            EXPECT_EQ(GetIniSetting("Communication", "DataBits", "", cfg), "7");
        }
        EXPECT_EQ(RkIniFileReads() - before, 2u);

        // Written by this program: the next look-up sees the new value.
        EXPECT_TRUE(SaveIniSetting("Communication", "DataBits", "8", cfg));
        EXPECT_EQ(GetIniSetting("Communication", "DataBits", "", cfg), "8");

        // Changed on disk by someone else: read again.
        writeFile(cfg, "[Communication]\r\nBaudRate=19200\r\n");
        EXPECT_EQ(GetIniSetting("Communication", "BaudRate", "", cfg), "19200");
        EXPECT_EQ(GetIniSetting("Communication", "DataBits", "7", cfg), "7");
        // Gone: the default.
        QFile::remove(cfg);
        EXPECT_EQ(GetIniSetting("Communication", "BaudRate", "2400", cfg), "2400");
    }
    // After the round, the file is read for each key again.
    before = RkIniFileReads();
    GetIniSetting("Communication", "BaudRate", "", other);
    GetIniSetting("Communication", "BaudRate", "", other);
    EXPECT_EQ(RkIniFileReads() - before, 2u);
    EXPECT_TRUE(boxes.calls().empty());
}
