// The plug-in list of the editor settings and the registration of the
// plug-in libraries of the plug-ins folder.
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "documents/pluginlist.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumrik;

namespace {

struct FakeEntry {
    QString name, version, desc;
    bool hasSetup = false;
    bool throwsName = false;
    int setupCalls = 0;
};

class FakeCatalog : public PluginCatalog {
public:
    std::vector<FakeEntry> entries;
    int pluginCount() const override { return int(entries.size()); }
    QString pluginFile(int i) const override { return gsDataPath + "/plugins/" + entries.at(size_t(i)).name + ".so"; }
    QString pluginName(int i) override
    {
        if (entries.at(size_t(i)).throwsName)
            throw std::runtime_error("trasig");
        return entries.at(size_t(i)).name;
    }
    QString pluginVersion(int i) override { return entries.at(size_t(i)).version; }
    QString pluginDesc(int i) override { return entries.at(size_t(i)).desc; }
    bool pluginCan(int i, int code) override { return code == 1 && entries.at(size_t(i)).hasSetup; }
    void pluginSetup(int i) override
    {
        if (++entries.at(size_t(i)).setupCalls > 1)
            throw RkError(5, "Inställningarna kunde inte visas");
    }
};

class PluginListTest : public ::testing::Test {
protected:
    test::TempEnv env;
    test::MsgBoxRecorder boxes;
    FakeCatalog catalog;
    QWidget page;
    QTreeWidget *lv = new QTreeWidget(&page);
    QPushButton *setup = new QPushButton(&page);
    QPushButton *reg = new QPushButton(&page);

    void SetUp() override
    {
        env.write("lumrik32.INI", "[Settings]\r\nFirstStart=False\r\n");
        lv->setColumnCount(3);
        setPluginCatalog(&catalog);
    }
    void TearDown() override { setPluginCatalog(nullptr); }
};

}

TEST_F(PluginListTest, RowsFollowTheLoadedPluginsAndTheSettingsButtonTheirAnswer)
{
    catalog.entries = {{"Omvandla", "1.0", "Konverterar program", false},
                       {"Verktyg", "2.1", "Verktygslista", true}};
    attachPluginList(lv, setup, reg);
    ASSERT_EQ(lv->topLevelItemCount(), 2);
    EXPECT_EQ(lv->topLevelItem(1)->text(0), "Verktyg");
    EXPECT_EQ(lv->topLevelItem(1)->text(1), "2.1");
    EXPECT_EQ(lv->topLevelItem(1)->text(2), "Verktygslista");
    EXPECT_TRUE(lv->isEnabled());
    EXPECT_TRUE(reg->isEnabled());
    EXPECT_FALSE(setup->isEnabled());

    lv->setCurrentItem(lv->topLevelItem(1));
    EXPECT_TRUE(setup->isEnabled());
    setup->click();
    EXPECT_EQ(catalog.entries[1].setupCalls, 1);
    lv->setCurrentItem(lv->topLevelItem(0));
    EXPECT_FALSE(setup->isEnabled());
    cmdSetupPlugin_Click(lv); // a plug-in without settings is not asked for them
    EXPECT_EQ(catalog.entries[0].setupCalls, 0);

    // A plug-in that fails in its settings dialog: its message, no crash.
    lv->setCurrentItem(lv->topLevelItem(1));
    setup->click();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Inställningarna kunde inte visas");
}

TEST_F(PluginListTest, FillingStopsQuietlyAtAFailingPlugin)
{
    catalog.entries = {{"A", "1", "", false}, {"B", "1", "", false, true}, {"C", "1", "", false}};
    fillPluginList(lv);
    ASSERT_EQ(lv->topLevelItemCount(), 1);
    EXPECT_EQ(lv->topLevelItem(0)->text(0), "A");

    setPluginCatalog(nullptr); // nothing loaded: an empty list
    fillPluginList(lv);
    EXPECT_EQ(lv->topLevelItemCount(), 0);
    cmdSetupPlugin_Click(lv);
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(PluginListTest, RegistrationWithoutFolderEmptyFolderAndBadLibraries)
{
    // No plug-ins folder: nothing, not even a message.
    cmdRegPlugins_Click(&page);
    EXPECT_TRUE(boxes.calls().empty());

    // An empty folder: the completion message.
    QDir().mkpath(env.path("plugins"));
    cmdRegPlugins_Click(&page);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, kRegistrationDone);
    EXPECT_EQ(boxes.calls()[0].title, "Plugin:er");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Information);

    // A file that is no plug-in is named, not reported as done alone.
    boxes.clear();
    env.write("plugins/Med blanksteg.so", "ingen plugin\r\n");
    env.write("plugins/notes.txt", "x");
    const PluginRegistration r = registerPluginLibraries();
    EXPECT_EQ(r.libraries, QStringList{env.path("plugins/Med blanksteg.so")});
    ASSERT_EQ(r.failures.size(), 1);
    EXPECT_TRUE(r.failures[0].startsWith("Med blanksteg.so: "));
    cmdRegPlugins_Click(&page);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.startsWith(kRegistrationDone));
    EXPECT_TRUE(boxes.calls()[0].text.contains("Med blanksteg.so: är ingen plugin"));
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Information);
}

TEST_F(PluginListTest, UnregisteringSwitchesOffAndRegisteringSwitchesOnAgain)
{
    EXPECT_EQ(pluginProgId("/opt/lumrik/plugins/Omvandla.so"), "Omvandla.plugin");
    // Never registered: not loaded, and not switched off either.
    EXPECT_FALSE(isPluginRegistered("Omvandla.plugin"));
    EXPECT_FALSE(isPluginSwitchedOff("Omvandla.plugin"));
    ASSERT_TRUE(setPluginRegistered("Omvandla.plugin", true));
    EXPECT_TRUE(isPluginRegistered("Omvandla.plugin"));
    catalog.entries = {{"Omvandla", "1.0", "Konverterar", false}};
    fillPluginList(lv);

    boxes.answer(MbNo);
    EXPECT_FALSE(unregisterPluginRow(lv, 0, &page));
    EXPECT_TRUE(isPluginRegistered("Omvandla.plugin"));

    boxes.answer(MbYes);
    EXPECT_TRUE(unregisterPluginRow(lv, 0, &page));
    EXPECT_FALSE(isPluginRegistered("Omvandla.plugin"));
    EXPECT_TRUE(isPluginSwitchedOff("Omvandla.plugin"));
    EXPECT_TRUE(boxes.calls().back().text.contains("Omvandla.plugin"));
    EXPECT_FALSE(unregisterPluginRow(lv, 5, &page)); // no such row

    // Registering records only a library whose check passes: one that is no
    // plug-in stays as it was, switched off, with nothing recorded for it.
    env.write("plugins/Omvandla.so", "x");
    const PluginRegistration r = registerPluginLibraries();
    ASSERT_EQ(r.failures.size(), 1);
    EXPECT_EQ(r.failures[0], QString::fromUtf8("Omvandla.so: är ingen plugin"));
    EXPECT_FALSE(isPluginRegistered("Omvandla.plugin"));
    IniFile ini;
    ASSERT_TRUE(ini.load(mainSettingsFile()));
    EXPECT_EQ(ini.value("Plugins", "Omvandla.plugin"), "False");
    EXPECT_EQ(ini.value("Plugins", "Omvandla.plugin.sha256", "<inget>"), "<inget>");
    EXPECT_EQ(ini.value("Settings", "FirstStart"), "False");
}

TEST_F(PluginListTest, LibrariesOthersCanChangeAreNeitherCheckedNorRecorded)
{
    QDir().mkpath(env.path("plugins"));
    const QString folder = env.path("plugins");
    const QString lib = env.write("plugins/Delad.so", "ingen plugin\r\n");
    EXPECT_EQ(pluginUnsafeReason(folder, true), "");
    EXPECT_EQ(pluginUnsafeReason(lib, false), "");

    // A library its group can write: named with the reason, not checked
    // (the check would run its code), not recorded.
    QFile::setPermissions(lib, QFile::permissions(lib) | QFile::WriteGroup);
    EXPECT_EQ(pluginUnsafeReason(lib, false), QString::fromUtf8("filen kan ändras av andra användare än ägaren"));
    PluginRegistration r = registerPluginLibraries();
    ASSERT_EQ(r.failures.size(), 1);
    EXPECT_EQ(r.failures[0], QString::fromUtf8("Delad.so: filen kan ändras av andra användare än ägaren"));
    EXPECT_FALSE(isPluginRegistered("Delad.plugin"));
    EXPECT_FALSE(isPluginSwitchedOff("Delad.plugin"));

    // A folder anyone can write: every library in it is refused the same way.
    QFile::setPermissions(lib, QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    EXPECT_EQ(pluginUnsafeReason(folder, true),
              QString::fromUtf8("mappen %1 kan ändras av andra användare än ägaren").arg(folder));
    r = registerPluginLibraries();
    ASSERT_EQ(r.failures.size(), 1);
    EXPECT_TRUE(r.failures[0].startsWith("Delad.so: mappen ")) << r.failures[0].toStdString();
    EXPECT_FALSE(isPluginRegistered("Delad.plugin"));
    // Recorded by hand, it is still not loaded.
    ASSERT_TRUE(setPluginRegistered("Delad.plugin", true));
    PluginSelection s = selectPluginLibraries(folder);
    EXPECT_TRUE(s.load.isEmpty());
    ASSERT_EQ(s.refused.size(), 1);
    EXPECT_TRUE(s.refused[0].startsWith("Delad.so: mappen "));

    // Owned by another user who is not root: refused too.
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    if (::getuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(lib).constData(), 65534, 65534), 0);
        EXPECT_EQ(pluginUnsafeReason(lib, false), QString::fromUtf8("filen ägs av en annan användare"));
        s = selectPluginLibraries(folder);
        EXPECT_TRUE(s.load.isEmpty());
        EXPECT_EQ(s.refused, QStringList{QString::fromUtf8("Delad.so: filen ägs av en annan användare")});
        ASSERT_EQ(::chown(QFile::encodeName(lib).constData(), 0, 0), 0);
    }
    // Safe again: loaded; an unregistered neighbour is named, a switched-off one is not.
    env.write("plugins/Ny.so", "x");
    env.write("plugins/Av.so", "x");
    ASSERT_TRUE(setPluginRegistered("Av.plugin", false));
    s = selectPluginLibraries(folder);
    EXPECT_EQ(s.load, QStringList{lib});
    EXPECT_EQ(s.refused, QStringList{QString::fromUtf8("Ny.so: är inte registrerad")});
    const QString text = pluginsNotLoadedMessage(s.refused);
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("Följande plugin:er laddades inte:\r\nNy.so: är inte registrerad\r\n")));
    EXPECT_EQ(pluginsNotLoadedMessage({}), "");
}
