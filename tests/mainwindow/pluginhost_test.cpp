// The plug-in host: loading plug-in libraries from the plug-ins folder, their
// menu items and toolbar buttons, the take-over of File > Open, the host's
// document and settings methods, and libraries that must be left out.
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/paths.h"
#include "core/progress.h"
#include "core/services.h"
#include "core/settings.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/pluginfile.h"
#include "documents/pluginlist.h"
#include "files/printing.h"
#include "mainwindow/commands_plugins.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindow/pluginhost.h"
#include "mainwindowfixture.h"
#include "testsupport.h"
#include "sessionscope.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolBar>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace lumrik;

namespace {

// A plug-in of the program's own, for the host methods.
class FakePlugin : public RkPlugin {
public:
    RkPluginHost *host = nullptr;
    std::function<void(qint16)> onStartup;
    void sethost(RkPluginHost *h) override { host = h; }
    void startup(qint16 command) override
    {
        if (onStartup)
            onStartup(command);
    }
    QString PluginName() override { return QStringLiteral("Fejk"); }
    QString PluginVersion() override { return QStringLiteral("1"); }
    QString PluginDesc() override { return {}; }
    bool can(qint16) override { return false; }
    void setup() override {}
};

class PluginHostTest : public test::MainWindowFixture {
protected:
    int chooserCalls = 0;

    PluginHostTest() { errorsAllowed = true; }
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        // The built-in File > Open would show the file selector: count instead.
        fileSelectorHooks().choose = [this](QWidget *, const QString &, const QString &, QString &, QString &,
                                            QString &) { ++chooserCalls; };
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        fileSelectorHooks().choose = nullptr;
    }
    // Puts a built plug-in library into the plug-ins folder under `name`,
    // registered unless told otherwise.
    void addLibrary(const char *built, const QString &name, bool registered = true)
    {
        QDir().mkpath(env.path("plugins"));
        ASSERT_TRUE(QFile::copy(QString::fromUtf8(built), env.path("plugins/" + name))) << built;
        if (registered)
            registerAsChecked(name);
    }
    // Records a library of the plug-ins folder as registration does after its
    // check passed.
    void registerAsChecked(const QString &name)
    {
        const PluginFile library(env.path("plugins/" + name));
        ASSERT_TRUE(library.ok()) << library.reason().toStdString();
        ASSERT_TRUE(recordPluginRegistration(pluginProgId(name), library.fingerprint()));
    }
    frmDocument *open(frmMain &w, const QByteArray &text)
    {
        return w.openDocument(env.write("ncprog/P1.NC", text), "MILL");
    }
    static QByteArray textOf(frmDocument *d) { return d->txtText->TextAll(); }
    static QAction *button(frmMain &w, int n) { return w.tbPlugins->actions().at(n - 1); }
    static QString tagOf(QAction *a) { return a ? a->property("tag").toString() : QString(); }
    static QAction *item(frmMain &w, const char *name) { return w.findChild<QAction *>(QString::fromLatin1(name)); }
};

}

TEST_F(PluginHostTest, WithoutPluginsNothingAppears)
{
    {
        frmMain w;
        PluginHost *h = installPluginHost(&w);
        EXPECT_EQ(h->pluginCount(), 0);
        EXPECT_EQ(h->gDisabledEvents.size(), 1); // slot 0, empty
        EXPECT_TRUE(w.tbPlugins->isHidden());
        EXPECT_FALSE(w.menuAction("mnuTools")->isVisible());
        EXPECT_EQ(installPluginHost(&w), h); // once per window
    }
    // A folder holding no libraries.
    env.write("plugins/readme.txt", "Plugin:er läggs här.\r\n");
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    EXPECT_EQ(h->pluginCount(), 0);
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(errors.empty());
}

// The plug-ins are looked for last when the main window loads: a plug-in's
// sethost already reads the selected machine's settings, not the main ones.
TEST_F(PluginHostTest, SethostSeesTheSelectedMachine)
{
    addLibrary(LUMRIK_TEST_SAMPLEPLUGIN, "Omvandla.so");
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    ASSERT_EQ(h->pluginCount(), 1);
    EXPECT_EQ(w.comboMaskiner->currentText(), "MILL");
    QObject *plugin = h->pluginObject(0);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->property("machineAtSethost").toString(), "MILL");
    EXPECT_EQ(plugin->property("extensionAtSethost").toString(), "*.NC");
}

TEST_F(PluginHostTest, SamplePluginAddsItsCommandsAndTheyRun)
{
    addLibrary(LUMRIK_TEST_SAMPLEPLUGIN, "Omvandla.so");
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    ASSERT_EQ(h->pluginCount(), 1) << (boxes.calls().empty() ? "" : boxes.calls().front().text.toStdString());
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(h->pluginFile(0), env.path("plugins/Omvandla.so"));
    EXPECT_EQ(pluginProgId(h->pluginFile(0)), "Omvandla.plugin");
    QObject *plugin = h->pluginObject(0);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->property("sethostCalls").toInt(), 1);

    // File menu: directly below its plug-in place, with "*" and the tag.
    QAction *konvertera = item(w, "mnuFilePlugins1");
    ASSERT_NE(konvertera, nullptr);
    EXPECT_EQ(konvertera->text(), "Konvertera*");
    EXPECT_EQ(tagOf(konvertera), "0.3");
    const auto fileItems = w.menu("mnuFile")->actions();
    EXPECT_EQ(fileItems.indexOf(konvertera), fileItems.indexOf(w.menuAction("mnuFilePlugins0")) + 1);
    // View menu item and toolbar button 1; the band shows.
    EXPECT_EQ(tagOf(item(w, "mnuViewPlugins1")), "0.4");
    QAction *b1 = button(w, 1);
    EXPECT_TRUE(b1->isVisible());
    EXPECT_EQ(b1->toolTip(), "Gör om till versaler");
    EXPECT_FALSE(b1->icon().isNull());
    EXPECT_EQ(tagOf(b1), "0.4");
    EXPECT_FALSE(button(w, 2)->isVisible());
    EXPECT_FALSE(w.tbPlugins->isHidden());
    // Menu 8 shows Verktyg; 4 and 9 land in NcOption.
    EXPECT_TRUE(w.menuAction("mnuTools")->isVisible());
    EXPECT_EQ(item(w, "mnuToolsPlugins1")->text(), "Tempmapp*");
    EXPECT_EQ(item(w, "mnuNcOptionsPlugins1")->text(), "Fel*");
    EXPECT_EQ(item(w, "mnuNcOptionsPlugins2")->text(), "Registrera sen*");

    frmDocument *doc = open(w, "n10 g0\r\n   n20 x1\r\n");
    ASSERT_NE(doc, nullptr);
    konvertera->trigger();
    EXPECT_EQ(plugin->property("lastCommand").toInt(), 3);
    EXPECT_EQ(textOf(doc), "n10 g0\r\n   n20 x1\r\n(KONVERTERAD)");

    b1->trigger(); // every line upper-cased, read without its leading blanks
    EXPECT_EQ(textOf(doc), "N10 G0\r\nN20 X1\r\n(KONVERTERAD)");

    item(w, "mnuToolsPlugins1")->trigger();
    EXPECT_TRUE(textOf(doc).startsWith("(" + gsTmpPath.toUtf8() + ")\r\nN10 G0"));

    // A command that throws: its text in a box, nothing else.
    const QByteArray before = textOf(doc);
    item(w, "mnuNcOptionsPlugins1")->trigger();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Provfel i plugin:en");
    EXPECT_EQ(textOf(doc), before);

    // View > Toolbar hides and shows the plug-in band with the others.
    w.menuAction("mnuViewToolbar")->trigger();
    EXPECT_TRUE(w.tbPlugins->isHidden());
    w.menuAction("mnuViewToolbar")->trigger();
    EXPECT_FALSE(w.tbPlugins->isHidden());
    EXPECT_TRUE(errors.empty());
}

TEST_F(PluginHostTest, TakenOverFileOpenReachesOnlyThePlugin)
{
    {
        frmMain plain; // no plug-in: the built-in command runs
        installPluginHost(&plain);
        plain.menuAction("mnuFileOpen")->trigger();
        EXPECT_EQ(chooserCalls, 1);
        chooserCalls = 0;
    }
    addLibrary(LUMRIK_TEST_SAMPLEPLUGIN, "Omvandla.so");
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    ASSERT_EQ(h->pluginCount(), 1);
    QObject *plugin = h->pluginObject(0);
    QAction *open = w.menuAction("mnuFileOpen");
    EXPECT_TRUE(h->IsDisabledEvents(open));
    EXPECT_FALSE(h->IsDisabledEvents(w.menuAction("mnuFileSave")));
    EXPECT_FALSE(h->IsDisabledEvents(nullptr));

    open->trigger();
    EXPECT_EQ(plugin->property("openClicks").toInt(), 1);
    // The Open buttons go to the plug-in too, once per click.
    w.toolButton("tbrFile", "Open")->trigger();
    EXPECT_EQ(plugin->property("openClicks").toInt(), 2);
    w.tbToolBar_ButtonClick("Open");
    EXPECT_EQ(plugin->property("openClicks").toInt(), 3);
    EXPECT_EQ(chooserCalls, 0);
    EXPECT_TRUE(open->isEnabled());

    // Handing the same control over again changes nothing.
    h->DisableEvents(open);
    EXPECT_TRUE(h->IsDisabledEvents(open));
    open->trigger();
    EXPECT_EQ(plugin->property("openClicks").toInt(), 4);
}

TEST_F(PluginHostTest, BrokenLibrariesAreReportedAndSkipped)
{
    addLibrary(LUMRIK_TEST_THROWINGPLUGIN, "a_throwing.so");
    addLibrary(LUMRIK_TEST_LACKINGPLUGIN, "b_lacking.so");
    addLibrary(LUMRIK_TEST_FOREIGNPLUGIN, "c_foreign.so");
    env.write("plugins/d_junk.so", "inget bibliotek\r\n");
    registerAsChecked("d_junk.so");
    addLibrary(LUMRIK_TEST_NOTAPLUGIN, "e_plain.so");
    addLibrary(LUMRIK_TEST_UNRESOLVEDPLUGIN, "f_unresolved.so");
    addLibrary(LUMRIK_TEST_SAMPLEPLUGIN, "g_sample.so");
    frmMain w;
    PluginHost *h = installPluginHost(&w);

    // One message naming every failure; the good plug-in after them loads.
    ASSERT_EQ(boxes.calls().size(), 1u);
    const MsgBoxCall &box = boxes.calls()[0];
    EXPECT_EQ(box.title, kPluginStartFailureTitle);
    EXPECT_EQ(box.icon, MbIcon::Critical);
    EXPECT_TRUE(box.text.startsWith(kPluginStartFailure));
    for (const char *f : {"a_throwing.so", "b_lacking.so", "c_foreign.so", "d_junk.so", "e_plain.so", "f_unresolved.so"})
        EXPECT_TRUE(box.text.contains(QString::fromLatin1(f))) << f;
    EXPECT_TRUE(box.text.contains("Licensfil saknas"));
    EXPECT_TRUE(box.text.contains("d_junk.so: är ingen plugin"));
    EXPECT_TRUE(box.text.contains("c_foreign.so: är en plugin för ett annat program"));
    EXPECT_FALSE(box.text.contains("g_sample.so"));
    // Swedish only: nothing of the system loader's own English text.
    for (const char *english : {"undefined symbol", "Cannot load", "not a valid", "library", "Qt"})
        EXPECT_FALSE(box.text.contains(QString::fromLatin1(english))) << english;
    EXPECT_EQ(h->startFailures().size(), 6);

    ASSERT_EQ(h->pluginCount(), 1);
    EXPECT_EQ(h->pluginName(0), "Provplugin");
    EXPECT_EQ(tagOf(item(w, "mnuFilePlugins1")), "0.3");
    EXPECT_EQ(item(w, "mnuFilePlugins2"), nullptr);
    EXPECT_EQ(h->menuItems("mnuToolsPlugins").size(), 1);
    // The failed plug-in's take-over of File > Save was taken back with it.
    EXPECT_FALSE(h->IsDisabledEvents(w.menuAction("mnuFileSave")));
    EXPECT_EQ(button(w, 1)->toolTip(), "Gör om till versaler");
    EXPECT_EQ(tagOf(button(w, 1)), "0.4");
    EXPECT_TRUE(errors.empty());
}

TEST_F(PluginHostTest, LibrariesThatThrowHangOrCrashWhileLoadingCannotTakeTheEditorDown)
{
    // Long enough for a crashing library's check to end as a crash, not as a
    // hang: under the address sanitizer, with every core busy, its process
    // takes seconds to start and to report.
#if defined(__SANITIZE_ADDRESS__)
    constexpr int kCheckSeconds = 20;
#else
    constexpr int kCheckSeconds = 4;
#endif
    setPluginCheckTimeoutMs(kCheckSeconds * 1000);
    addLibrary(LUMRIK_TEST_LOADTHROWSPLUGIN, "a_kastar.so");
    addLibrary(LUMRIK_TEST_NOTAPLUGIN, "b_vanlig.so");
    addLibrary(LUMRIK_TEST_LOADCRASHESPLUGIN, "c_kraschar.so");
    addLibrary(LUMRIK_TEST_LOADHANGSPLUGIN, "d_hanger.so");
    addLibrary(LUMRIK_TEST_SAMPLEPLUGIN, "e_prov.so");
    frmMain w;
    PluginHost *h = installPluginHost(&w);

    // The good plug-in after them loads; the others are named, with the reason.
    ASSERT_EQ(h->pluginCount(), 1);
    EXPECT_EQ(h->pluginName(0), "Provplugin");
    EXPECT_EQ(tagOf(item(w, "mnuFilePlugins1")), "0.3");
    ASSERT_EQ(boxes.calls().size(), 1u);
    const MsgBoxCall &box = boxes.calls()[0];
    EXPECT_EQ(box.title, kPluginStartFailureTitle);
    EXPECT_EQ(box.icon, MbIcon::Critical);
    const QStringList lines = box.text.split("\r\n");
    EXPECT_TRUE(box.text.startsWith(kPluginStartFailure + "\r\n\r\n"));
    EXPECT_TRUE(lines.contains(QString::fromUtf8("a_kastar.so: fel när den laddades (\"Licensservern svarar inte\")")))
        << box.text.toStdString();
    EXPECT_TRUE(lines.contains(QString::fromUtf8("b_vanlig.so: är ingen plugin")));
    EXPECT_TRUE(lines.contains(QString::fromUtf8("c_kraschar.so: kraschade när den laddades"))) << box.text.toStdString();
    EXPECT_TRUE(lines.contains(
        QString::fromUtf8("d_hanger.so: svarar inte när den laddas (kontrollen avbröts efter %1 sekunder)").arg(kCheckSeconds)))
        << box.text.toStdString();
    EXPECT_EQ(h->startFailures().size(), 4);

    // Registering checks every library the same way and says so, with the
    // information icon.
    boxes.clear();
    cmdRegPlugins_Click(&w);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Information);
    EXPECT_EQ(boxes.calls()[0].title, "Plugin:er");
    EXPECT_TRUE(boxes.calls()[0].text.startsWith(kRegistrationDone));
    for (const char *f : {"a_kastar.so", "b_vanlig.so", "c_kraschar.so", "d_hanger.so"})
        EXPECT_TRUE(boxes.calls()[0].text.contains(QString::fromLatin1(f))) << f;
    EXPECT_FALSE(boxes.calls()[0].text.contains("e_prov.so"));
    setPluginCheckTimeoutMs(5000);
}

TEST_F(PluginHostTest, FailedStartLeavesNoTrace)
{
    addLibrary(LUMRIK_TEST_THROWINGPLUGIN, "Trasig.so");
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    EXPECT_EQ(h->pluginCount(), 0);
    EXPECT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(item(w, "mnuFilePlugins1"), nullptr);
    EXPECT_FALSE(w.menuAction("mnuTools")->isVisible());
    EXPECT_FALSE(button(w, 1)->isVisible());
    EXPECT_TRUE(w.tbPlugins->isHidden());
    EXPECT_EQ(h->gDisabledEvents.size(), 1);
}

TEST_F(PluginHostTest, UnregisteredPluginIsNotLoadedAndRegistrationChecksLibraries)
{
    addLibrary(LUMRIK_TEST_SAMPLEPLUGIN, "Omvandla.so");
    addLibrary(LUMRIK_TEST_UNRESOLVEDPLUGIN, "Ofullständig.so");
    EXPECT_EQ(checkPluginLibrary(env.path("plugins/Omvandla.so")), QString());
    EXPECT_TRUE(checkPluginLibrary(env.path("plugins/Ofullständig.so")).startsWith("kan inte laddas"));
    ASSERT_TRUE(setPluginRegistered("Omvandla.plugin", false));
    ASSERT_TRUE(setPluginRegistered("Ofullständig.plugin", false));
    {
        frmMain w;
        EXPECT_EQ(installPluginHost(&w)->pluginCount(), 0);
        EXPECT_TRUE(boxes.calls().empty());
    }
    const PluginRegistration r = registerPluginLibraries();
    EXPECT_EQ(r.libraries.size(), 2);
    ASSERT_EQ(r.failures.size(), 1);
    EXPECT_TRUE(r.failures[0].startsWith("Ofullständig.so: "));
    EXPECT_TRUE(isPluginRegistered("Omvandla.plugin"));
    frmMain w;
    EXPECT_EQ(installPluginHost(&w)->pluginCount(), 1);
}

TEST_F(PluginHostTest, PluginListShowsLoadedPluginsAndOpensTheirSettings)
{
    addLibrary(LUMRIK_TEST_SAMPLEPLUGIN, "Omvandla.so");
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    ASSERT_EQ(pluginCatalog(), h);
    QWidget page;
    auto *lv = new QTreeWidget(&page);
    lv->setColumnCount(3);
    auto *setup = new QPushButton(&page);
    auto *reg = new QPushButton(&page);
    attachPluginList(lv, setup, reg);
    ASSERT_EQ(lv->topLevelItemCount(), 1);
    EXPECT_EQ(lv->topLevelItem(0)->text(0), "Provplugin");
    EXPECT_EQ(lv->topLevelItem(0)->text(1), "1.2");
    EXPECT_EQ(lv->topLevelItem(0)->text(2), "Plugin för test");
    EXPECT_FALSE(setup->isEnabled());
    lv->setCurrentItem(lv->topLevelItem(0));
    EXPECT_TRUE(setup->isEnabled());
    setup->click();
    EXPECT_EQ(h->pluginObject(0)->property("setupCalls").toInt(), 1);
    // Registering from the list checks the folder and says so.
    reg->click();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, kRegistrationDone);
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Information);
}

// ---------------------------------------------------------------------------
// Host methods, through a plug-in of the program's own

TEST_F(PluginHostTest, DocumentMethodsReadAndWriteTheActiveDocument)
{
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    FakePlugin fake;
    ASSERT_TRUE(h->addPlugin(&fake, nullptr, "fejk.so"));
    RkPluginHost *host = fake.host;
    ASSERT_EQ(host, h->hostFor(0));

    // No document: the plug-in gets an error, the user sees nothing.
    try {
        host->plugin_GetEditText();
        ADD_FAILURE() << "no error without a document";
    } catch (const RkError &e) {
        EXPECT_EQ(e.number(), 91);
    }
    EXPECT_THROW(host->plugin_GetTextRowCount(), RkError);
    EXPECT_THROW(host->plugin_SetEditText("X"), RkError);
    EXPECT_TRUE(boxes.calls().empty());

    frmDocument *doc = open(w, "L1\r\n   L2\r\n\tL3\r\n");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(host->plugin_GetTextRowCount(), 4);
    EXPECT_EQ(host->plugin_GetTextRow(2), "L2");
    EXPECT_EQ(host->plugin_GetTextRow(3), "\tL3"); // only blanks go
    EXPECT_EQ(doc->txtText->TextIndex(), 3);
    EXPECT_THROW(host->plugin_GetTextRow(9), RkError);

    host->plugin_AddEditText("N99");
    EXPECT_EQ(textOf(doc), "L1\r\n   L2\r\n\tL3\r\nN99");
    host->plugin_InsertEditText("%\r\n");
    EXPECT_EQ(host->plugin_GetEditText(), "%\r\nL1\r\n   L2\r\n\tL3\r\nN99");

    // Line replacement in insert mode replaces and leaves insert mode on.
    doc->txtText->setInsertMode(true);
    host->plugin_SetTextRow(3, "NY");
    EXPECT_EQ(textOf(doc), "%\r\nL1\r\nNY\r\n\tL3\r\nN99");
    EXPECT_TRUE(doc->txtText->InsertMode());
    EXPECT_THROW(host->plugin_SetTextRow(42, "X"), RkError);
    EXPECT_TRUE(doc->txtText->InsertMode());
    doc->txtText->setInsertMode(false);
    host->plugin_SetTextRow(1, "O1000");
    EXPECT_FALSE(doc->txtText->InsertMode());

    // 8-bit text goes both ways byte for byte.
    const QByteArray bytes("(\xC5\xC4\xD6 \xB0)\r\nN10\r\n");
    host->plugin_SetEditText(bytes);
    EXPECT_EQ(host->plugin_GetEditText(), bytes);
    EXPECT_TRUE(doc->txtText->IsDirty());

    // A read-only program is changed by the plug-in as any other; the user
    // still cannot type into it.
    doc->bReadOnly = true;
    doc->txtText->setReadOnly(true);
    host->plugin_AddEditText("X");
    host->plugin_SetTextRow(1, "Y");
    EXPECT_EQ(host->plugin_GetEditText(), QByteArray("Y\r\nN10\r\nX"));
    EXPECT_TRUE(doc->txtText->ReadOnly());
    EXPECT_THROW(host->plugin_SetTextRow(42, "X"), RkError);
    EXPECT_TRUE(doc->txtText->ReadOnly());
    EXPECT_TRUE(errors.empty());
}

// The plug-ins read and write the window's program: a UTF-8 program's bytes
// without its byte-order mark, which a new text keeps; a whole new text is
// one undo step.
TEST_F(PluginHostTest, DocumentMethodsReadTheProgramWithoutItsMark)
{
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    FakePlugin fake;
    ASSERT_TRUE(h->addPlugin(&fake, nullptr, "fejk.so"));
    RkPluginHost *host = fake.host;
    frmDocument *doc = open(w, "\xEF\xBB\xBF(FR\xC3\x85N)\r\nN10\r\n");
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(doc->program()->hasByteOrderMark());
    EXPECT_EQ(host->plugin_GetEditText(), QByteArray("(FR\xC3\x85N)\r\nN10\r\n"));
    EXPECT_EQ(host->plugin_GetTextRowCount(), 3);
    EXPECT_EQ(host->plugin_GetTextRow(1), QByteArray("(FR\xC3\x85N)"));
    host->plugin_AddEditText("M30");
    EXPECT_EQ(doc->program()->fileBytes(), QByteArray("\xEF\xBB\xBF(FR\xC3\x85N)\r\nN10\r\nM30"));
    EXPECT_EQ(host->plugin_GetEditText(), QByteArray("(FR\xC3\x85N)\r\nN10\r\nM30"));
    w.menuAction("mnuEditUndo")->trigger();
    EXPECT_EQ(host->plugin_GetEditText(), QByteArray("(FR\xC3\x85N)\r\nN10\r\n"));
    doc->program()->setModified(false);
    EXPECT_TRUE(errors.empty());
}

TEST_F(PluginHostTest, SettingsAreReadByTheirExactNames)
{
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    FakePlugin fake;
    ASSERT_TRUE(h->addPlugin(&fake, nullptr, "fejk.so"));
    RkPluginHost *host = fake.host;

    const QVariant tmp = host->pReadGlobal("gsTmpPath");
    EXPECT_EQ(tmp.metaType().id(), QMetaType::QString);
    EXPECT_EQ(tmp.toString(), gsTmpPath);
    for (const char *other : {"gstmppath", "gsTmpPath ", "gNoSuchThing", ""}) {
        const QVariant v = host->pReadGlobal(QString::fromLatin1(other));
        EXPECT_EQ(v.metaType().id(), QMetaType::QString) << other;
        EXPECT_TRUE(v.toString().isEmpty()) << other;
    }
    test::SessionScope::set(&SettingValues::textColor, 0x123456);
    const QVariant colour = host->pReadGlobal("gTextColor");
    EXPECT_EQ(colour.metaType().id(), QMetaType::Int);
    EXPECT_EQ(colour.toInt(), 0x123456);
    const QVariant type = host->pReadGlobal("gTextType");
    EXPECT_EQ(type.metaType().id(), QMetaType::Short);
    EXPECT_EQ(type.toInt(), test::activeNow().textType());
    const QVariant helix = host->pReadGlobal("gUseHelix");
    EXPECT_EQ(helix.metaType().id(), QMetaType::Bool);
    EXPECT_TRUE(helix.toBool());
    EXPECT_FALSE(host->pReadGlobal("gMakeBackup").toBool());
    test::changeMachineKeys([&](MachineKeys &k) { k.codeText[2] = "M3"; });
    test::changeMachineKeys([&](MachineKeys &k) { k.codeColor[7] = 255; });
    GsPrinterHeader = "Huvud";
    EXPECT_EQ(host->pReadGlobal("gsCodeText3").toString(), "M3");
    EXPECT_EQ(host->pReadGlobal("gCodeColor8").toInt(), 255);
    EXPECT_EQ(host->pReadGlobal("GsPrinterHeader").toString(), "Huvud");
    EXPECT_EQ(host->pReadGlobal("gActiveCfg").toString(), currentMachine().name());

    test::SessionScope::set(&SettingValues::numKbdDec, true);
    test::SessionScope::set(&SettingValues::upperCase, false);
    EXPECT_TRUE(host->NumKbdDec());
    EXPECT_FALSE(host->UpperCase());
    test::SessionScope::set(&SettingValues::numKbdDec, false);
    EXPECT_EQ(host->GetConfigFolder("send"), GetDefaultPath("send"));
    EXPECT_EQ(host->GetConfigFolder("root"), GetDefaultPath("root"));
    EXPECT_EQ(host->mainWidget(), &w);
    EXPECT_EQ(host->control("mnuFileOpen"), w.menuAction("mnuFileOpen"));
    EXPECT_EQ(host->control("comboMaskiner"), static_cast<QObject *>(w.comboMaskiner));
    EXPECT_EQ(host->control("finnsInte"), nullptr);
}

// The machine's values reach the plug-ins under the names they always read,
// in the same forms: the texts as text, the colours as 32-bit numbers, as the
// selector put them in use; the next machine's values follow at once.
TEST_F(PluginHostTest, TheMachinesValuesReadByTheirOldNames)
{
    env.write("LATHE.cfg", "[Settings]\r\nFileExtension=*.MPF;*.SPF\r\nCommentColor=16711680\r\n"
                           "CodeText1=T\r\nCodeText8=M30\r\nCodeColor1=255\r\nCodeColor8=-1\r\n"
                           "DefaultPath=[exedrive]\\svarv\\\r\n");
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    FakePlugin fake;
    ASSERT_TRUE(h->addPlugin(&fake, nullptr, "fejk.so"));
    RkPluginHost *host = fake.host;
    w.comboMaskiner->setCurrentIndex(w.comboMaskiner->findText("LATHE"));
    ASSERT_EQ(currentMachine().name(), "LATHE");

    auto text = [&](const char *name, const QString &expected) {
        const QVariant v = host->pReadGlobal(QString::fromLatin1(name));
        EXPECT_EQ(v.metaType().id(), QMetaType::QString) << name;
        EXPECT_EQ(v.toString(), expected) << name;
    };
    auto number = [&](const char *name, int expected) {
        const QVariant v = host->pReadGlobal(QString::fromLatin1(name));
        EXPECT_EQ(v.metaType().id(), QMetaType::Int) << name;
        EXPECT_EQ(v.toInt(), expected) << name;
    };
    text("gActiveCfg", "LATHE");
    text("gActiveCfgFile", currentMachine().file());
    EXPECT_EQ(QFileInfo(currentMachine().file()), QFileInfo(gsDataPath + "/LATHE.cfg"));
    text("gsFileExtension", "*.MPF;*.SPF");
    text("gsRootFolder", ExpandExePath(QStringLiteral("[exedrive]\\svarv\\")));
    text("gsCodeText1", "T");
    for (const char *empty : {"gsCodeText2", "gsCodeText7"})
        text(empty, "");
    text("gsCodeText8", "M30");
    number("gCommentColor", 16711680);
    number("gCodeColor1", 255);
    number("gCodeColor8", -1);
    number("gCodeColor2", test::settingsNow().textColor); // a colour the machine has not: the editor text colour
    for (const char *other : {"gactivecfg", "gsCodeText9", "gCodeColor0", "gsCodeText"})
        text(other, "");

    // Back to the milling machine: its values at once, by the same names.
    w.comboMaskiner->setCurrentIndex(w.comboMaskiner->findText("MILL"));
    text("gActiveCfg", "MILL");
    text("gsFileExtension", "*.NC");
    text("gsCodeText8", "");
    number("gCommentColor", test::settingsNow().textColor);
}

// The names of the settings and print settings, read by plug-ins, give the
// session's values in the forms the plug-ins have always had: a bool, a
// 16-bit or a 32-bit whole number, or text.
TEST_F(PluginHostTest, SettingNamesReadTheSessionsValuesInTheirOwnForms)
{
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    FakePlugin fake;
    ASSERT_TRUE(h->addPlugin(&fake, nullptr, "fejk.so"));
    RkPluginHost *host = fake.host;
    // Read once before the values change: no entry keeps what it saw then.
    EXPECT_EQ(host->pReadGlobal("gTextFont").metaType().id(), QMetaType::QString);

    QSignalSpy changed(&test::testSession().settings(), &Settings::changed);
    test::SessionScope::settings([](SettingValues &v) {
        v.textFont = QString::fromUtf8("Fräs Mono");
        v.textFontSize = 13;
        v.textColor = 0x010203;
        v.textBackColor = 0xF0F0F0;
        v.mainLeft = 1111;
        v.mainTop = 1112;
        v.mainWidth = 70000; // past 16 bits: a 32-bit name
        v.mainHeight = 1114;
        v.fileLeft = 2221;
        v.fileTop = 2222;
        v.fileWidth = 2223;
        v.fileHeight = 2224;
        v.showFileExt = "*.H";
        v.kalmeroPath = "/opt/lmk";
        v.useKalmero = true;
        v.programInfoPath = "/opt/db";
        v.showAllFiles = false;
        v.numKbdDec = true;
        v.upperCase = true;
        v.noBack = true;
        v.defaultTile = "2";
        v.scanComment = true;
        v.numberSort = true;
        v.kollegieBlock = true;
        v.scrollbarShow = 2;
        v.saveAsUnixType = 2;
        v.toolListChrs = "T,M6";
        v.decCheckBlockChars = "XYZ";
        v.setupAllowed = false;
        v.title = "Verkstad 2";
        v.maxComPorts = 40000; // a 16-bit name: bounded as always
    });
    EXPECT_EQ(changed.count(), 1);
    test::SessionScope::print([](PrintValues &p) {
        p.font = "DejaVu Sans Mono";
        p.fontSize = 9;
        p.boldComments = true;
        p.italicComments = true;
        p.time = true;
        p.columns = 3;
        p.topMargin = 11;
        p.bottomMargin = 12;
        p.leftMargin = 13;
        p.rightMargin = 14;
    });

    const auto b = [](bool v) { return QVariant(v); };
    const auto i2 = [](int v) { return QVariant::fromValue<qint16>(qint16(v)); };
    const auto i4 = [](int v) { return QVariant::fromValue<qint32>(qint32(v)); };
    const auto s = [](const QString &v) { return QVariant(v); };
    const std::vector<std::pair<const char *, QVariant>> expected = {
        {"gTextFont", s(QString::fromUtf8("Fräs Mono"))},
        {"gTextFontSize", i2(13)},
        {"gTextColor", i4(0x010203)},
        {"gTextBackColor", i4(0xF0F0F0)},
        {"gOldLeft", i4(1111)},
        {"gOldTop", i4(1112)},
        {"gOldWidth", i4(70000)},
        {"gOldHeight", i4(1114)},
        {"gFileSelectLeft", i4(2221)},
        {"gFileSelectTop", i4(2222)},
        {"gFileSelectWidth", i4(2223)},
        {"gFileSelectHeight", i4(2224)},
        {"gsShowFileExt", s("*.H")},
        {"gsKalmeroPath", s("/opt/lmk")},
        {"gsUseKalmero", b(true)},
        {"gsProgramInfoPath", s("/opt/db")},
        {"gbShowAllFiles", b(false)},
        {"gNumKbdDec", b(true)},
        {"gUpperCase", b(true)},
        {"gNoBack", b(true)},
        {"gDefaultTile", s("2")},
        {"gScanComment", b(true)},
        {"gNumberSort", b(true)},
        {"gKollegieBlock", b(true)},
        {"gScrollbarShow", i2(2)},
        {"gSaveAsUnixType", i2(2)},
        {"gsToolListChrs", s("T,M6")},
        {"gsDecCheckBlockChars", s("XYZ")},
        {"gSetupAllowed", b(false)},
        {"gTitle", s("Verkstad 2")},
        {"gMaxComPorts", i2(32767)},
        {"gPrinterFont", s("DejaVu Sans Mono")},
        {"gPrinterFontSize", i2(9)},
        {"gPrintBoldComments", b(true)},
        {"gPrintItalicComments", b(true)},
        {"gPrintTime", b(true)},
        {"gPrintColumns", i2(3)},
        {"gPrintTMargin", i4(11)},
        {"gPrintBMargin", i4(12)},
        {"gPrintLMargin", i4(13)},
        {"gPrintRMargin", i4(14)},
        // Never readers' names: an empty text, as for any unknown name.
        {"gOldWindowState", s(QString())},
        {"gsShowFileExtText", s(QString())},
    };
    for (const auto &[name, want] : expected) {
        const QVariant got = host->pReadGlobal(QString::fromLatin1(name));
        EXPECT_EQ(got.metaType().id(), want.metaType().id()) << name;
        EXPECT_EQ(got, want) << name;
        EXPECT_EQ(got.toString(), want.toString()) << name;
    }
    EXPECT_TRUE(host->NumKbdDec());
    EXPECT_TRUE(host->UpperCase());

    // A later change is what the next read gives, seen from within the
    // change's own signal too.
    QVariant seenInSignal;
    const auto c = QObject::connect(&test::testSession().settings(), &Settings::changed, &w,
                           [&] { seenInSignal = host->pReadGlobal("gsToolListChrs"); });
    test::SessionScope::set(&SettingValues::toolListChrs, QStringLiteral("D"));
    QObject::disconnect(c);
    EXPECT_EQ(seenInSignal, QVariant(QStringLiteral("D")));
    test::SessionScope::set(&SettingValues::upperCase, false);
    EXPECT_FALSE(host->UpperCase());
    EXPECT_EQ(host->pReadGlobal("gUpperCase"), QVariant(false));
}

// The names of the last search and of the feature switches give the
// session's values in the forms the plug-ins have always had; the main
// window turns on the first six switches when it loads, the last three stay
// off.
TEST_F(PluginHostTest, SearchAndFeatureNamesReadTheSessionsValuesInTheirOwnForms)
{
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    FakePlugin fake;
    ASSERT_TRUE(h->addPlugin(&fake, nullptr, "fejk.so"));
    RkPluginHost *host = fake.host;
    const auto b = [](bool v) { return QVariant(v); };
    const auto i2 = [](int v) { return QVariant::fromValue<qint16>(qint16(v)); };
    const auto s = [](const QString &v) { return QVariant(v); };
    const auto check = [&](const std::vector<std::pair<const char *, QVariant>> &expected) {
        for (const auto &[name, want] : expected) {
            const QVariant got = host->pReadGlobal(QString::fromLatin1(name));
            EXPECT_EQ(got.metaType().id(), want.metaType().id()) << name;
            EXPECT_EQ(got, want) << name;
            EXPECT_EQ(got.toString(), want.toString()) << name;
        }
    };
    check({{"gUseCncComm", b(true)}, {"gUseDecCheck", b(true)}, {"gUseHelix", b(true)},
           {"gUseMacro", b(true)}, {"gUseSubFix", b(true)}, {"gUseMacBild", b(true)},
           {"gUseTapePunch", b(false)}, {"gUseGADb", b(false)}, {"gMakeBackup", b(false)}});

    QSignalSpy searched(&test::testSession().search(), &SearchState::changed);
    test::SessionScope::search([](SearchValues &v) {
        v.target = QString::fromUtf8("G01 Å");
        v.replacement = "G1";
        v.origin = 1;
        v.to = 1;
        v.wholeWordsOnly = true;
        v.action = 40000; // a 16-bit name: bounded as always
        v.findString = "N20";
        v.findDirection = 1;
    });
    EXPECT_EQ(searched.count(), 1);
    test::SessionScope::features([](FeatureValues &f) {
        f.cncComm = f.decCheck = f.helix = f.macro = f.subFix = f.macBild = false;
        f.tapePunch = f.gaDb = f.makeBackup = true;
    });
    check({{"gSearchTarget", s(QString::fromUtf8("G01 Å"))}, {"gSearchReplacement", s("G1")},
           {"gSearchOrigin", i2(1)}, {"gSearchTo", i2(1)}, {"gSearchWholeWordsOnly", b(true)},
           {"gSearchAction", i2(32767)}, {"gFindString", s("N20")}, {"gFindDirection", i2(1)},
           {"gUseCncComm", b(false)}, {"gUseDecCheck", b(false)}, {"gUseHelix", b(false)},
           {"gUseMacro", b(false)}, {"gUseSubFix", b(false)}, {"gUseMacBild", b(false)},
           {"gUseTapePunch", b(true)}, {"gUseGADb", b(true)}, {"gMakeBackup", b(true)},
           {"gsearchtarget", s(QString())}, {"gUseGaDb", s(QString())}});

    // A later change is what the next read gives, seen from within the
    // change's own signal too.
    QVariant seenInSignal;
    const auto c = QObject::connect(&test::testSession().search(), &SearchState::changed, &w,
                                    [&] { seenInSignal = host->pReadGlobal("gSearchTarget"); });
    test::SessionScope::search([](SearchValues &v) { v.target = "M30"; });
    QObject::disconnect(c);
    EXPECT_EQ(seenInSignal, QVariant(QStringLiteral("M30")));
    test::SessionScope::features([](FeatureValues &f) { f.makeBackup = false; });
    EXPECT_EQ(host->pReadGlobal("gMakeBackup"), QVariant(false));
}

TEST_F(PluginHostTest, RegistrationRulesAndCommandTags)
{
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    FakePlugin first, second;
    ASSERT_TRUE(h->addPlugin(&first, nullptr, "a.so"));
    ASSERT_TRUE(h->addPlugin(&second, nullptr, "b.so"));

    // A command registered later, from within a command, is the caller's own.
    std::vector<int> calls;
    first.onStartup = [&](qint16 c) {
        calls.push_back(c);
        if (c == 1)
            first.host->RegisterPlugin(1, "Sen", 2, false, {}, 0);
    };
    second.onStartup = [&](qint16 c) { calls.push_back(100 + c); };
    h->runPluginCommand("0.1");
    QAction *late = item(w, "mnuEditPlugins1");
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(tagOf(late), "0.2");
    late->trigger();
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));

    // The second View item with a button uses button 2.
    second.host->RegisterPlugin(2, "A", 1, false, {}, 0);
    second.host->RegisterPlugin(2, "B", 7, true, "Knapp B", 31);
    EXPECT_TRUE(button(w, 2)->isVisible());
    EXPECT_FALSE(button(w, 1)->isVisible());
    EXPECT_EQ(tagOf(button(w, 2)), "1.7");
    button(w, 2)->trigger();
    EXPECT_EQ(calls.back(), 107);

    // Menu 8 with no name still shows Verktyg; a button without a menu item
    // or with a picture outside 1..31 is an error report, the rest stays.
    second.host->RegisterPlugin(8, {}, 1, true, "Ingen meny", 1);
    EXPECT_TRUE(w.menuAction("mnuTools")->isVisible());
    EXPECT_EQ(errors.size(), 1u);
    second.host->RegisterPlugin(0, "Bild", 3, true, "Fel bild", 32);
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_EQ(item(w, "mnuFilePlugins1")->text(), "Bild*");
    EXPECT_FALSE(button(w, 1)->isVisible());

    // Bad tags and failures are shown, never thrown.
    for (const char *tag : {"x.1", "7.1", "1", "0.abc"}) {
        boxes.clear();
        h->runPluginCommand(QString::fromLatin1(tag));
        ASSERT_EQ(boxes.calls().size(), 1u) << tag;
        EXPECT_FALSE(boxes.calls()[0].text.isEmpty()) << tag;
    }
    errors.clear();
}

TEST_F(PluginHostTest, OnlyRegisteredLibrariesOnlyTheirOwnersCanChangeAreLoaded)
{
    addLibrary(LUMRIK_TEST_SAMPLEPLUGIN, "Okand.so", false);
    {
        // Unregistered: not loaded (not even checked), and named once.
        frmMain w;
        PluginHost *h = installPluginHost(&w);
        EXPECT_EQ(h->pluginCount(), 0);
        EXPECT_EQ(item(w, "mnuFilePlugins1"), nullptr);
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_EQ(boxes.calls()[0].title, "Plugin:er");
        EXPECT_TRUE(boxes.calls()[0].text.contains(QString::fromUtf8("Okand.so: är inte registrerad")))
            << boxes.calls()[0].text.toStdString();
        EXPECT_EQ(h->notLoaded().size(), 1);
    }
    // Registered, in a folder its group can write: not loaded, and the
    // message says why.
    boxes.clear();
    registerAsChecked("Okand.so");
    const QByteArray folder = QFile::encodeName(env.path("plugins"));
    ASSERT_EQ(::chmod(folder.constData(), 0775), 0);
    {
        frmMain w;
        PluginHost *h = installPluginHost(&w);
        EXPECT_EQ(h->pluginCount(), 0);
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_TRUE(boxes.calls()[0].text.contains(
            QString::fromUtf8("Okand.so: mappen %1 kan ändras av andra användare än ägaren").arg(env.path("plugins"))))
            << boxes.calls()[0].text.toStdString();
    }
    // A library anyone can write, in a safe folder: the same.
    boxes.clear();
    ASSERT_EQ(::chmod(folder.constData(), 0755), 0);
    const QByteArray lib = QFile::encodeName(env.path("plugins/Okand.so"));
    ASSERT_EQ(::chmod(lib.constData(), 0757), 0);
    {
        frmMain w;
        EXPECT_EQ(installPluginHost(&w)->pluginCount(), 0);
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_TRUE(boxes.calls()[0].text.contains(QString::fromUtf8("Okand.so: filen kan ändras")));
    }
    // Registered, and only its owner can change it and its folder: loaded, no message.
    boxes.clear();
    ASSERT_EQ(::chmod(lib.constData(), 0755), 0);
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    ASSERT_EQ(h->pluginCount(), 1);
    EXPECT_EQ(h->pluginName(0), "Provplugin");
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(errors.empty());
}

TEST_F(PluginHostTest, ALibrarySwappedWhileItIsCheckedIsNeverWhatRuns)
{
    addLibrary(LUMRIK_TEST_SAMPLEPLUGIN, "Omvandla.so");
    // As the check starts, the whole plug-ins folder is swapped for one whose
    // library of the same name is another (one that, if it ever ran, would
    // fail its start and be named).
    const QString folder = env.path("plugins");
    int swaps = 0;
    auto swap = [&](const QString &library) {
        EXPECT_EQ(library, folder + "/Omvandla.so");
        ++swaps;
        ASSERT_TRUE(QDir().rename(folder, env.path("plugins.gammal")));
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QFile::copy(QString::fromUtf8(LUMRIK_TEST_THROWINGPLUGIN), folder + "/Omvandla.so"));
    };
    testHooks().pluginCheckStarts = swap;
    {
        frmMain w;
        PluginHost *h = installPluginHost(&w);
        testHooks().pluginCheckStarts = nullptr;
        EXPECT_EQ(swaps, 1);
        // The checked library is the one that runs.
        ASSERT_EQ(h->pluginCount(), 1);
        EXPECT_EQ(h->pluginName(0), "Provplugin");
        EXPECT_TRUE(h->startFailures().isEmpty());
        EXPECT_TRUE(boxes.calls().empty()) << boxes.calls().front().text.toStdString();
        EXPECT_EQ(item(w, "mnuFilePlugins1")->text(), "Konvertera*");
    }
    // The library now in the folder is not the registered one: it is named
    // and neither checked nor loaded.
    {
        int checks = 0;
        testHooks().pluginCheckStarts = [&](const QString &) { ++checks; };
        frmMain w;
        PluginHost *h = installPluginHost(&w);
        testHooks().pluginCheckStarts = nullptr;
        EXPECT_EQ(h->pluginCount(), 0);
        EXPECT_EQ(checks, 0);
        EXPECT_EQ(item(w, "mnuFilePlugins1"), nullptr);
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_EQ(boxes.calls()[0].title, kPluginsTitle);
        EXPECT_TRUE(boxes.calls()[0].text.contains(
            QString::fromUtf8("Omvandla.so: har bytts ut sedan den registrerades och måste registreras igen")))
            << boxes.calls()[0].text.toStdString();
        EXPECT_EQ(h->notLoaded().size(), 1);
    }
    // Registering, with the good library swapped back in as the check of a
    // library that is no plug-in starts: that library is what was checked,
    // it fails and is not recorded, so the record stays the good one's.
    boxes.clear();
    ASSERT_TRUE(QFile::remove(folder + "/Omvandla.so"));
    ASSERT_TRUE(QFile::copy(QString::fromUtf8(LUMRIK_TEST_NOTAPLUGIN), folder + "/Omvandla.so"));
    testHooks().pluginCheckStarts = [&](const QString &) {
        ASSERT_TRUE(QDir(folder).removeRecursively());
        ASSERT_TRUE(QDir().rename(env.path("plugins.gammal"), folder));
    };
    const PluginRegistration r = registerPluginLibraries();
    testHooks().pluginCheckStarts = nullptr;
    EXPECT_EQ(r.failures, QStringList{QString::fromUtf8("Omvandla.so: är ingen plugin")});
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    ASSERT_EQ(h->pluginCount(), 1);
    EXPECT_EQ(h->pluginName(0), "Provplugin");
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(PluginHostTest, RegistrationRecordsOnlyPassingLibrariesAndTellsAReplacedOne)
{
    addLibrary(LUMRIK_TEST_SAMPLEPLUGIN, "Omvandla.so", false);
    addLibrary(LUMRIK_TEST_UNRESOLVEDPLUGIN, "Ofullständig.so", false);
    const PluginRegistration r = registerPluginLibraries();
    ASSERT_EQ(r.failures.size(), 1);
    EXPECT_TRUE(r.failures[0].startsWith("Ofullständig.so: kan inte laddas"));
    IniFile ini;
    ASSERT_TRUE(ini.load(mainSettingsFile()));
    EXPECT_EQ(ini.value("Plugins", "Omvandla.plugin"), "True");
    EXPECT_EQ(ini.value("Plugins", "Omvandla.plugin.sha256").size(), 64);
    EXPECT_EQ(ini.value("Plugins", QString::fromUtf8("Ofullständig.plugin"), "<inget>"), "<inget>");
    EXPECT_EQ(ini.value("Plugins", QString::fromUtf8("Ofullständig.plugin.sha256"), "<inget>"), "<inget>");
    {
        frmMain w;
        PluginHost *h = installPluginHost(&w);
        EXPECT_EQ(h->pluginCount(), 1);
        EXPECT_EQ(h->notLoaded(), QStringList{QString::fromUtf8("Ofullständig.so: är inte registrerad")});
    }

    // Another library put in its place under the same name, the same size
    // and time or not: not loaded until it is registered again.
    boxes.clear();
    const QString lib = env.path("plugins/Omvandla.so");
    QFile f(lib);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const QDateTime when = QFileInfo(lib).lastModified();
    QByteArray bytes = f.readAll();
    bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x01);
    ASSERT_TRUE(f.seek(0));
    ASSERT_EQ(f.write(bytes), bytes.size());
    f.close();
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
    f.close();
    int checks = 0;
    testHooks().pluginCheckStarts = [&](const QString &) { ++checks; };
    {
        frmMain w;
        PluginHost *h = installPluginHost(&w);
        EXPECT_EQ(h->pluginCount(), 0);
        EXPECT_EQ(checks, 0);
        ASSERT_FALSE(boxes.calls().empty());
        EXPECT_TRUE(boxes.calls().back().text.contains(QString::fromUtf8("Omvandla.so: har bytts ut")));
    }
    testHooks().pluginCheckStarts = nullptr;

    // A record from before fingerprints (name only) is not enough either.
    ASSERT_TRUE(QFile::copy(QString::fromUtf8(LUMRIK_TEST_SAMPLEPLUGIN), env.path("plugins/Gammal.so")));
    ASSERT_TRUE(setPluginRegistered("Gammal.plugin", true));
    boxes.clear();
    {
        frmMain w;
        EXPECT_EQ(installPluginHost(&w)->pluginCount(), 0);
        ASSERT_FALSE(boxes.calls().empty());
        EXPECT_TRUE(boxes.calls().back().text.contains(
            QString::fromUtf8("Gammal.so: är registrerad utan kontrollsumma och måste registreras igen")));
    }
}

TEST_F(PluginHostTest, ALinkOrAFolderAboveThatOthersCanChangeKeepsThePluginOut)
{
    // A registered library that is a link to a library in a folder anyone
    // can write (a good library, of this user's own).
    const QString open = env.path("delad");
    ASSERT_TRUE(QDir().mkpath(open));
    ASSERT_TRUE(QFile::copy(QString::fromUtf8(LUMRIK_TEST_SAMPLEPLUGIN), open + "/Omvandla.so"));
    QDir().mkpath(env.path("plugins"));
    ASSERT_TRUE(QFile::link(open + "/Omvandla.so", env.path("plugins/Omvandla.so")));
    registerAsChecked("Omvandla.so");
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0777), 0);
    const QString openTold = QString::fromUtf8("Omvandla.so: mappen %1 kan ändras av andra användare än ägaren").arg(open);
    {
        frmMain w;
        PluginHost *h = installPluginHost(&w);
        EXPECT_EQ(h->pluginCount(), 0);
        EXPECT_EQ(h->notLoaded(), QStringList{openTold});
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_TRUE(boxes.calls()[0].text.contains(openTold));
    }
    // Registering does not record it (nor run it).
    int checks = 0;
    testHooks().pluginCheckStarts = [&](const QString &) { ++checks; };
    const PluginRegistration r = registerPluginLibraries();
    testHooks().pluginCheckStarts = nullptr;
    EXPECT_EQ(checks, 0);
    EXPECT_EQ(r.failures, QStringList{openTold});
    // The same folder closed again: the link is followed and the plug-in loads.
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0755), 0);
    boxes.clear();
    {
        frmMain w;
        PluginHost *h = installPluginHost(&w);
        EXPECT_EQ(h->pluginCount(), 1);
        EXPECT_TRUE(boxes.calls().empty()) << boxes.calls().front().text.toStdString();
    }

    // The program folder above the plug-ins folder open to its group: nothing
    // of it runs, and the message names that folder.
    QFile::remove(env.path("plugins/Omvandla.so"));
    addLibrary(LUMRIK_TEST_SAMPLEPLUGIN, "Omvandla.so");
    const QByteArray data = QFile::encodeName(env.dataPath());
    struct stat before;
    ASSERT_EQ(::stat(data.constData(), &before), 0);
    ASSERT_EQ(::chmod(data.constData(), 0775), 0);
    boxes.clear();
    {
        frmMain w;
        PluginHost *h = installPluginHost(&w);
        ::chmod(data.constData(), before.st_mode & 07777);
        EXPECT_EQ(h->pluginCount(), 0);
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_TRUE(boxes.calls()[0].text.contains(
            QString::fromUtf8("Omvandla.so: mappen %1 kan ändras av andra användare än ägaren").arg(env.dataPath())))
            << boxes.calls()[0].text.toStdString();
    }
}

// A plug-in command asked for during long work runs once the work is over,
// in the order it was asked, never over a program half rewritten.
TEST_F(PluginHostTest, ACommandAskedDuringLongWorkRunsAfterIt)
{
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    FakePlugin plugin;
    ASSERT_TRUE(h->addPlugin(&plugin, nullptr, "a.so"));
    std::vector<int> calls;
    plugin.onStartup = [&](qint16 c) { calls.push_back(c); };
    {
        LongWork work;
        h->runPluginCommand("0.1");
        h->runPluginCommand("0.2");
        QCoreApplication::processEvents();
        EXPECT_TRUE(calls.empty());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls.size() == 2; }, 60000));
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));
    h->runPluginCommand("0.3");
    EXPECT_EQ(calls.back(), 3); // at once when nothing is under way
}
