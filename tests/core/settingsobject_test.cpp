#include "core/globals.h"
#include "core/sessionstate.h"
#include "core/settings.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace lumrik;

TEST(SettingsObject, AChangeIsSignalledOnceAndStored)
{
    test::SessionScope scope;
    Settings &settings = programSession().settings();
    QSignalSpy spy(&settings, &Settings::changed);
    settings.change([](SettingValues &v) {
        v.textFont = "DejaVu Sans Mono";
        v.mainWidth = 4321;
        v.saveAsUnixType = 2;
        v.kollegieBlock = !v.kollegieBlock;
    });
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(test::settingsNow().textFont, "DejaVu Sans Mono");
    EXPECT_EQ(test::settingsNow().mainWidth, 4321);
    EXPECT_EQ(test::settingsNow().saveAsUnixType, 2);
    EXPECT_EQ(settings.values().kollegieBlock, test::settingsNow().kollegieBlock);
    // Nothing different: no signal.
    settings.change([](SettingValues &v) { v.mainWidth = 4321; });
    EXPECT_EQ(spy.count(), 1);
}

TEST(SettingsObject, LoadingSignalsOnceAndTheScopeGivesEveryValueBack)
{
    test::TempEnv env;
    const SettingValues before = programSession().settings().values();
    {
        test::SessionScope scope;
        env.write("lumrik32.INI", "[Settings]\r\nEditFont=Mono\r\nFileWidth=9000\r\nSaveAsUnix=True\r\n"
                                  "RullningsList=True\r\n[Options]\r\nTitle=Verkstad 2\r\nComPorts=16\r\n");
        QSignalSpy spy(&programSession().settings(), &Settings::changed);
        RkLoadIniSettings();
        EXPECT_LE(spy.count(), 1);
        const SettingValues v = programSession().settings().values();
        EXPECT_EQ(v.textFont, "Mono");
        EXPECT_EQ(v.textFontSize, 12);
        EXPECT_EQ(v.fileWidth, 9000);
        EXPECT_EQ(v.fileHeight, 6500);
        EXPECT_EQ(v.saveAsUnixType, 2);
        EXPECT_EQ(v.scrollbarShow, 2);
        EXPECT_EQ(v.title, "Verkstad 2");
        EXPECT_EQ(v.maxComPorts, 16);
        EXPECT_EQ(v.showFileExtText, "Alla filer (*.*)");
        EXPECT_EQ(test::settingsNow().title, "Verkstad 2");
    }
    EXPECT_TRUE(programSession().settings().values() == before);
}

TEST(SettingsObject, TheLastMachineIsLoadedAsTheCurrentMachineWhoseFileStaysUntilItIsChosen)
{
    test::TempEnv env;
    CurrentMachine &machine = test::testSession().machine();
    const QString oldName = machine.name(), oldFile = machine.file();
    {
        test::SessionScope scope;
        machine.use("OLD", env.path("OLD.cfg"));
        env.write("lumrik32.INI", "[Settings]\r\nLastCnc=MILL\r\n");
        QSignalSpy changed(&machine, &CurrentMachine::changed);
        QSignalSpy chosen(&machine, &CurrentMachine::chosen);
        RkLoadIniSettings();
        ASSERT_EQ(changed.count(), 1);
        EXPECT_EQ(changed.at(0).at(0).toString(), "MILL");
        EXPECT_EQ(chosen.count(), 0);
        EXPECT_EQ(currentMachine().name(), "MILL");
        EXPECT_EQ(currentMachine().file(), env.path("OLD.cfg"));
        // Read again: nothing new.
        RkLoadIniSettings();
        EXPECT_EQ(changed.count(), 1);
    }
    machine.use(oldName, oldFile);
}
