// Settings-like files in the shop's two encodings, each holding "Å Ä Ö", go
// through every writer of the program and stay valid in their own encoding:
// the main settings file (single keys, the editor settings, a macro entry,
// the plug-in switches, the exit of the main window) and a machine file (the
// set-up's keys and the renumbering options). The language and syntax files
// are read in either encoding.
#include "core/codepage.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/language.h"
#include "dnc/machineconfig.h"
#include "documents/frmeditsetup.h"
#include "documents/macropackage.h"
#include "documents/pluginlist.h"
#include "documents/syntaxrules.h"
#include "mainwindowfixture.h"
#include "sessionscope.h"
#include "ncops/frmomnum.h"

#include <QLineEdit>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

const QString kAao = QString::fromUtf8("Å Ä Ö");

class SettingsEncodingTest : public test::MainWindowFixture, public ::testing::WithParamInterface<TextEncoding> {
protected:
    TextEncoding enc() const { return GetParam(); }
    QByteArray bytes(const QString &text) const { return encodeText(text, enc()); }
    void SetUp() override
    {
        settingsIni = bytes("[Settings]\r\nLastCnc=MILL\r\nFirstStart=False\r\nAutoColor=0\r\n[Options]\r\nTitle=Verkstad "
                            + kAao + "\r\n");
        machineCfg = bytes("[Settings]\r\nFileExtension=*.NC\r\n; Fräs " + kAao + "\r\n[OmNum]\r\nIncr=10\r\n");
        MainWindowFixture::SetUp();
        currentMachine().use("MILL", env.path("MILL.cfg"));
    }
    // The file is still all in its own encoding, with its first line intact.
    void expectValid(const QString &path, const QString &firstValue)
    {
        const QByteArray b = test::readFile(path);
        EXPECT_EQ(textEncodingOf(b), enc()) << path.toStdString();
        EXPECT_TRUE(b.contains(bytes(firstValue))) << path.toStdString();
        if (enc() == TextEncoding::Windows1252) {
            EXPECT_FALSE(isValidUtf8(b));
        }
    }
};

}

TEST_P(SettingsEncodingTest, EveryWriterKeepsTheFilesEncoding)
{
    const QString ini = mainSettingsFile();
    const QString cfg = env.path("MILL.cfg");

    // Single keys.
    ASSERT_TRUE(SaveIniSetting("Settings", "DefaultPath", "/nc/Fräs " + kAao));
    // The editor settings, written in one go.
    EditSetupValues v = readEditSetup();
    test::SessionScope::set(&SettingValues::showFileExtText, "Fräsprogram " + kAao);
    ASSERT_TRUE(applyEditSetup(test::testSession(), v));
    // A macro entry.
    ASSERT_TRUE(writeMacroEntry(3, "Gängor " + kAao, "Macron/Gängor"));
    // A plug-in switched off and on again.
    ASSERT_TRUE(setPluginRegistered("Ölplugin.plugin", false));
    ASSERT_TRUE(setPluginRegistered("Ölplugin.plugin", true));
    // The main window's exit.
    {
        frmMain w;
        test::activeNow().setPath("/nc/Svarv " + kAao);
        w.AddToMruList("/nc/Svarv " + kAao + "/O1.NC");
        w.close();
    }
    expectValid(ini, "Verkstad " + kAao);
    EXPECT_EQ(GetIniSetting("Options", "Title"), "Verkstad " + kAao);
    EXPECT_EQ(GetIniSetting("Settings", "DefaultPath"), "/nc/Fräs " + kAao);
    EXPECT_TRUE(GetIniSetting("Settings", "CurrentPath").endsWith("Svarv " + kAao));
    EXPECT_EQ(GetIniSetting("Settings", "ShowFileExtText"), "Fräsprogram " + kAao);
    EXPECT_EQ(GetIniSetting("MACRO", "3_NAMN"), "Gängor " + kAao);
    EXPECT_EQ(GetIniSetting("Recent Files", "MRU0"), "/nc/Svarv " + kAao + "/O1.NC");
    EXPECT_FALSE(test::readFile(ini).contains('?'));

    // The machine file: the set-up's keys and the renumbering options.
    MachineConfig m(cfg);
    MachineSettings s = m.read();
    s.DefaultCncPath = "/nc/Sänd " + kAao;
    ASSERT_TRUE(m.write(s));
    {
        frmOmnum f;
        f.txtSkipBlock->setText("Ö");
        f.btnStartOmnum_Click();
    }
    expectValid(cfg, "; Fräs " + kAao);
    EXPECT_EQ(GetIniSetting("CNCProgPath", "DefaultCncPath", "", cfg), "/nc/Sänd " + kAao);
    EXPECT_EQ(GetIniSetting("OmNum", "SkipBlock", "", cfg), "Ö");
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_P(SettingsEncodingTest, WhatTheEncodingCannotHoldIsRefusedWithAMessage)
{
    const QString cfg = env.path("MILL.cfg");
    const QByteArray before = test::readFile(cfg);
    MachineConfig m(cfg);
    MachineSettings s = m.read();
    s.DefaultCncPath = QString::fromUtf8("/nc/Ωmega");
    const bool written = m.write(s);
    if (enc() == TextEncoding::Utf8) {
        EXPECT_TRUE(written);
        EXPECT_EQ(GetIniSetting("CNCProgPath", "DefaultCncPath", "", cfg), QString::fromUtf8("/nc/Ωmega"));
        EXPECT_TRUE(boxes.calls().empty());
    } else {
        EXPECT_FALSE(written);
        // That one key stays as it was, never with a "?"; the others are written.
        IniFile old;
        old.loadFromBytes(before);
        EXPECT_EQ(GetIniSetting("CNCProgPath", "DefaultCncPath", "", cfg), old.value("CNCProgPath", "DefaultCncPath"));
        EXPECT_FALSE(test::readFile(cfg).contains('?'));
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_TRUE(boxes.calls()[0].text.contains(cfg + ": "));
        EXPECT_TRUE(boxes.calls()[0].text.contains(QString::fromUtf8("\"Ω\"")));
    }
}

TEST_P(SettingsEncodingTest, LanguageAndSyntaxFilesAreReadInTheirEncoding)
{
    const QString lng = env.write("Lumrik32.LNG", bytes("[LANGUAGE]\r\n390=Installationsfil saknas " + kAao + "\r\n"));
    const QString oldLanguageFile = gsLanguageFile;
    gsLanguageFile = lng;
    EXPECT_EQ(RkGetLanguage(390), "Installationsfil saknas " + kAao);
    gsLanguageFile = oldLanguageFile;
    IniFile syn;
    syn.loadFromBytes(bytes("[KEYWORDS]\r\nK1=Ö\r\n"));
    EXPECT_EQ(syn.value("KEYWORDS", "K1"), QString::fromUtf8("Ö"));
    EXPECT_EQ(syn.encoding(), enc());
}

INSTANTIATE_TEST_SUITE_P(BothEncodings, SettingsEncodingTest,
                         ::testing::Values(TextEncoding::Utf8, TextEncoding::Windows1252),
                         [](const auto &info) {
                             return info.param == TextEncoding::Utf8 ? std::string("Utf8") : std::string("Windows1252");
                         });
