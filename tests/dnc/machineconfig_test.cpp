// The machine configuration file: defaults of an empty file, stored forms,
// write order and the machine list.
#include "dnc/machineconfig.h"

#include "core/codepage.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "testsupport/testsupport.h"
#include "sessionscope.h"

#include <gtest/gtest.h>

using namespace lumrik;
using lumrik::test::readFile;
using lumrik::test::TempEnv;

TEST(MachineConfig, EmptyFileReadsAsDefaults)
{
    TempEnv env;
    env.write("lumrik32.INI", "[Settings]\r\nEditFontColor=255\r\n");
    test::changeMachineKeys([&](MachineKeys &k) { k.rootFolder = "/nc/root/"; });
    const QString file = env.write("MILL1.CFG", QByteArray());
    const MachineSettings s = MachineConfig(file).read();
    EXPECT_EQ(s.DefaultPath, "[exedrive]\\Ncprog\\");
    EXPECT_EQ(s.FileExtension, "*.*");
    EXPECT_EQ(s.ComPort, 1);
    EXPECT_EQ(s.BaudRate, "2400");
    EXPECT_EQ(s.Protokoll, "RTS/CTS");
    EXPECT_EQ(s.Code, "ISO");
    EXPECT_EQ(s.DataBits, "7");
    EXPECT_EQ(s.Parity, QStringLiteral("JÄMN"));
    EXPECT_EQ(s.StopBits, "1");
    EXPECT_EQ(s.EobCode, "CR LF");
    EXPECT_EQ(s.BufSize, "256");
    EXPECT_EQ(s.DelayBeforeClose, "0");
    EXPECT_EQ(s.ChrDelayInMs, "0");
    EXPECT_EQ(s.RecDelay, "0");
    EXPECT_TRUE(s.DisplayTxData);
    EXPECT_FALSE(s.Send30Null);
    EXPECT_FALSE(s.LoopSend);
    EXPECT_TRUE(s.LeaderChr.isEmpty() && s.TrailerChr.isEmpty() && s.SendTo.isEmpty() && s.DoNotSend.isEmpty());
    // Colours default to the editor text colour, folders to the root folder.
    EXPECT_EQ(s.CodeColor[0], 255);
    EXPECT_EQ(s.CodeColor[7], 255);
    EXPECT_EQ(s.CommentColor, 255);
    EXPECT_EQ(s.DefaultCncPath, "/nc/root/");
    EXPECT_EQ(s.DefaultRxdCncPath, "/nc/root/");
    // A missing file reads the same.
    EXPECT_EQ(MachineConfig(env.path("NONE.cfg")).Protokoll(), "RTS/CTS");
    test::changeMachineKeys([&](MachineKeys &k) { k.rootFolder = QString(); });
}

TEST(MachineConfig, SectionAndKeyNamesIgnoreCaseAndBadNumbersThrow)
{
    TempEnv env;
    const QString file = env.write("LATHE.cfg", "[CncProgPath]\r\ndefaultrxdcncpath=/rx/\r\n"
                                                "[communication]\r\nBUFSIZE=0\r\nsend30null=x\r\n"
                                                "[Settings]\r\nCodeColor3=röd\r\n");
    MachineConfig cfg(file);
    EXPECT_EQ(cfg.DefaultRxdCncPath(), "/rx/");
    EXPECT_EQ(cfg.BufSize(), "0");
    EXPECT_EQ(cfg.blockSize(), 1);  // kept within 1..256
    EXPECT_THROW(cfg.Send30Null(), RkError);
    EXPECT_THROW(cfg.CodeColor(3), RkError);
    EXPECT_THROW(cfg.read(), RkError);
}

TEST(MachineConfig, FirstWriteOnEmptyFileFollowsTheDialogOrder)
{
    TempEnv env;
    const QString file = env.write("MILL1.CFG", QByteArray());
    MachineSettings s;
    s.Parity = QStringLiteral("UDDA");
    s.Code = QStringLiteral("BINÄR");
    s.CodeText[0] = "  M30  ";
    s.LoopSend = true;
    s.DefaultCncPath = "/a/";
    s.DefaultRxdCncPath = "/b/";
    ASSERT_TRUE(MachineConfig(file).write(s));

    IniFile ini;
    ASSERT_TRUE(ini.load(file));
    EXPECT_EQ(ini.sections(), QStringList({"Settings", "Communication", "CNCProgPath"}));
    const QStringList comm = ini.keys("Communication");
    ASSERT_GE(comm.size(), 3);
    EXPECT_EQ(comm.mid(comm.size() - 3), QStringList({"RecDelay", "SendTo", "BufSize"}));
    EXPECT_EQ(ini.keys("Settings").mid(0, 5), QStringList({"DefaultPath", "ColorFile", "FileExtension", "CodeText1", "CodeColor1"}));
    EXPECT_EQ(ini.keys("Settings").last(), "CommentColor");
    EXPECT_EQ(ini.value("Settings", "CodeText1"), "M30");
    EXPECT_EQ(ini.value("Communication", "LoopSend"), "1");
    EXPECT_EQ(ini.value("Communication", "Send30Null"), "0");
    // Swedish values are stored in the 8-bit code page and read back.
    EXPECT_TRUE(readFile(file).contains(toCp1252(QStringLiteral("Code=BINÄR"))));
    const MachineSettings back = MachineConfig(file).read();
    EXPECT_EQ(back.Parity, QStringLiteral("UDDA"));
    EXPECT_EQ(back.Code, QStringLiteral("BINÄR"));
    EXPECT_TRUE(back.LoopSend);
}

TEST(MachineConfig, LaterWriteKeepsOtherLinesAndTheOmNumSection)
{
    TempEnv env;
    const QString file = env.write("MILL1.cfg", "; egen kommentar\r\n[OmNum]\r\nStart=10\r\n"
                                                "[Communication]\r\nBaudRate=9600\r\nExtra=1\r\n");
    MachineSettings s;
    s.BaudRate = "19200";
    ASSERT_TRUE(MachineConfig(file).write(s));
    IniFile ini;
    ASSERT_TRUE(ini.load(file));
    EXPECT_EQ(ini.value("OmNum", "Start"), "10");
    EXPECT_EQ(ini.value("Communication", "Extra"), "1");
    EXPECT_EQ(ini.value("Communication", "BaudRate"), "19200");
    EXPECT_EQ(ini.sections().first(), "OmNum");
    EXPECT_TRUE(readFile(file).startsWith("; egen kommentar\r\n"));
    // The key written in place, not added again.
    EXPECT_EQ(ini.keys("Communication").count("BaudRate"), 1);
    EXPECT_EQ(ini.keys("Communication").indexOf("BaudRate"), 0);
}

TEST(MachineConfig, MachineListIsUpperCaseNamesBeforeCfg)
{
    TempEnv env;
    env.write("mill1.cfg", "");
    env.write("LATHE.CFG", "");
    env.write("old.cfg.bak", "");
    env.write("notes.txt", "");
    EXPECT_EQ(machineList(), QStringList({"LATHE", "MILL1"}));
    EXPECT_EQ(machineNameOf("Fräs.Cfg"), QStringLiteral("FRÄS"));
    // The file is found whatever case the name is asked in.
    EXPECT_EQ(machineConfigFile("MILL1"), env.path("mill1.cfg"));
}

TEST(MachineConfig, SettingsTextAndParityLetters)
{
    EXPECT_EQ(commSettingsText("2400", QStringLiteral("JÄMN"), "7", "1"), "2400,E,7,1");
    EXPECT_EQ(commSettingsText("9600", "UDDA", "8", "2"), "9600,O,8,2");
    EXPECT_EQ(commSettingsText("9600", "INGEN", "8", "1"), "9600,N,8,1");
    EXPECT_EQ(commSettingsText("2400", "MARK", "7", "1"), "2400,MARK,7,1");
}
