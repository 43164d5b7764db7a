#include "core/globals.h"
#include "core/inifile.h"
#include "core/paths.h"
#include "mainwindow/machinekeys.h"
#include "sessionscope.h"
#include "testsupport.h"
#include "sessionscope.h"

#include <gtest/gtest.h>

using namespace lumrik;

TEST(MachineKeys, MissingFileGivesEveryDefault)
{
    test::TempEnv env;
    const MachineKeys k = readMachineKeys(env.path("NONE.cfg"), 4711, "/root/folder");
    EXPECT_EQ(k.fileExtension, "*.*");
    EXPECT_EQ(k.commentColor, 4711);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(k.codeText[i], "");
        EXPECT_EQ(k.codeColor[i], 4711);
    }
    EXPECT_EQ(k.rootFolder, "/root/folder");
    // An empty name never falls back to the main settings file.
    env.write("lumrik32.INI", "[Settings]\r\nFileExtension=*.WRONG\r\n");
    EXPECT_EQ(readMachineKeys(QString(), 1, "/r").fileExtension, "*.*");
}

TEST(MachineKeys, ReadsSettingsAndKeepsDefaultsForBadColours)
{
    test::TempEnv env;
    const QString f = env.write("MILL.cfg", "[Settings]\r\nFileExtension=*.NC;*.H\r\nCommentColor=255\r\n"
                                            "CodeText1=G0\r\nCodeColor1=16711680\r\nCodeColor2=blue\r\n"
                                            "CodeText8=M30\r\nDefaultPath=[exedir]\\ncprog\\\r\n");
    const MachineKeys k = readMachineKeys(f, 7, "/old");
    EXPECT_EQ(k.fileExtension, "*.NC;*.H");
    EXPECT_EQ(k.commentColor, 255);
    EXPECT_EQ(k.codeText[0], "G0");
    EXPECT_EQ(k.codeColor[0], 16711680);
    EXPECT_EQ(k.codeColor[1], 7); // not a number: the text colour
    EXPECT_EQ(k.codeText[7], "M30");
    EXPECT_EQ(k.rootFolder, env.dataPath() + "/ncprog/");
}

TEST(MachineKeys, SelectingAMachineLoadsItsKeysWithoutRegardToFileCase)
{
    test::TempEnv env;
    env.write("lathe.CFG", "[settings]\r\nfileextension=*.MPF\r\n");
    test::SessionScope::set(&SettingValues::textColor, 0x123456);
    test::changeMachineKeys([&](MachineKeys &k) { k.rootFolder = "/kept"; });
    selectMachine("LATHE");
    EXPECT_EQ(currentMachine().name(), "LATHE");
    EXPECT_EQ(currentMachine().file(), env.path("lathe.CFG"));
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.MPF");
    EXPECT_EQ(currentMachine().keys().commentColor, 0x123456);
    EXPECT_EQ(currentMachine().keys().rootFolder, "/kept");
    selectMachine("GONE");
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.*");
    EXPECT_EQ(currentMachine().file(), env.path("GONE.cfg"));
}

TEST(MachineKeys, TheMachinesFileIsReadOnceForAllItsKeys)
{
    test::TempEnv env;
    const QString f = env.write("MILL.cfg", "[Settings]\r\nFileExtension=*.NC\r\nCodeText1=G0\r\n");
    const quint64 before = RkIniFileReads();
    const MachineKeys k = readMachineKeys(f, 0, "/r");
    EXPECT_EQ(k.fileExtension, "*.NC");
    EXPECT_EQ(k.codeText[0], "G0");
    EXPECT_EQ(RkIniFileReads() - before, 1u);
}
