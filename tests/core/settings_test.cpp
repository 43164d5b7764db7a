#include "core/globals.h"
#include "core/paths.h"
#include "core/settings.h"
#include "sessionscope.h"
#include "testsupport.h"
#include "sessionscope.h"

#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

TEST(Settings, MissingFileGivesTheDefaults)
{
    TempEnv env;
    RkLoadIniSettings();
    EXPECT_EQ(test::settingsNow().textFont, "Courier New");
    EXPECT_EQ(test::settingsNow().textFontSize, 12);
    EXPECT_EQ(test::settingsNow().textColor, 0);
    EXPECT_EQ(test::settingsNow().textBackColor, 0xFFFFFF);
    EXPECT_EQ(test::settingsNow().mainWidth, 3500);
    EXPECT_EQ(test::settingsNow().fileWidth, 8500);
    EXPECT_EQ(currentMachine().keys().rootFolder, gsDataPath);
    EXPECT_EQ(test::activeNow().path(), gsDataPath);
    EXPECT_EQ(currentMachine().keys().fileExtension, "*.*");
    EXPECT_EQ(test::settingsNow().showFileExtText, "Alla filer (*.*)");
    EXPECT_EQ(test::settingsNow().kalmeroPath, exeDrive() + "/LMK");
    EXPECT_TRUE(test::settingsNow().showAllFiles);
    EXPECT_TRUE(gFirstStart);
    EXPECT_EQ(test::settingsNow().scrollbarShow, 4);
    EXPECT_EQ(test::settingsNow().saveAsUnixType, 1);
    EXPECT_EQ(test::settingsNow().toolListChrs, "T");
    EXPECT_EQ(test::printNow().leftMargin, 40);
    EXPECT_EQ(test::printNow().columns, 1);
    EXPECT_TRUE(test::settingsNow().setupAllowed);
    EXPECT_EQ(test::settingsNow().maxComPorts, 4);
    EXPECT_TRUE(test::activeNow().insertMode());
    EXPECT_EQ(test::activeNow().textType(), 1);
}

TEST(Settings, TokensAndDependentDefaults)
{
    TempEnv env;
    env.write("lumrik32.INI", "[Settings]\r\nDefaultPath=[exedir]\\NC\r\nEditFontColor=255\r\nCodeColor3=65280\r\n"
                              "SaveAsUnix=True\r\nRullningsList=true\r\nUpperCase=1\r\n");
    RkLoadIniSettings();
    EXPECT_EQ(currentMachine().keys().rootFolder, gsDataPath + "/NC");
    EXPECT_EQ(test::activeNow().path(), gsDataPath + "/NC");
    EXPECT_EQ(currentMachine().keys().commentColor, 255);
    EXPECT_EQ(currentMachine().keys().codeColor[0], 255);
    EXPECT_EQ(currentMachine().keys().codeColor[2], 65280);
    EXPECT_EQ(currentMachine().keys().codeColor[7], 255);
    EXPECT_EQ(test::settingsNow().saveAsUnixType, 2);
    EXPECT_EQ(test::settingsNow().scrollbarShow, 2);
    EXPECT_TRUE(test::settingsNow().upperCase);
}

TEST(Settings, BadValueTakesItsDefaultAndLoadingGoesOn)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    env.write("lumrik32.INI", "[Settings]\r\nEditFontSize=abc\r\nEditFontColor=99999999999\r\nShowAllFiles=kanske\r\n"
                              "LastCnc=MAZAK\r\n[Printing]\r\nColumns=2\r\n");
    RkLoadIniSettings();
    EXPECT_EQ(test::settingsNow().textFontSize, 12);
    EXPECT_EQ(test::settingsNow().textColor, 0);
    EXPECT_TRUE(test::settingsNow().showAllFiles);
    EXPECT_EQ(currentMachine().name(), "MAZAK");
    EXPECT_EQ(test::printNow().columns, 2);
    EXPECT_TRUE(boxes.calls().empty());
}

TEST(Settings, Conversions)
{
    EXPECT_EQ(toInt16("32767"), 32767);
    EXPECT_FALSE(toInt16("32768"));
    EXPECT_EQ(toInt16(" 12 "), 12);
    EXPECT_EQ(toInt16("2.5"), 2);
    EXPECT_FALSE(toInt16(""));
    EXPECT_EQ(toInt32("16777215"), 16777215);
    EXPECT_EQ(toTruth("TRUE"), true);
    EXPECT_EQ(toTruth("false"), false);
    EXPECT_EQ(toTruth("0"), false);
    EXPECT_EQ(toTruth("-1"), true);
    EXPECT_FALSE(toTruth("ja"));
}
