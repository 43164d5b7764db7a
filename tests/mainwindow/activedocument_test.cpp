// The active program follows the document window the user works in: the
// session names it, the plug-ins read its changed flag, and the one insert
// mode goes with the user from window to window.
#include "core/globals.h"
#include "documents/frmdocument.h"
#include "documents/programdocument.h"
#include "mainwindow/commands_plugins.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/pluginhost.h"
#include "mainwindowfixture.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

class Plugin : public RkPlugin {
public:
    RkPluginHost *host = nullptr;
    void sethost(RkPluginHost *h) override { host = h; }
    void startup(qint16) override {}
    QString PluginName() override { return QStringLiteral("Läsare"); }
    QString PluginVersion() override { return QStringLiteral("1"); }
    QString PluginDesc() override { return {}; }
    bool can(qint16) override { return false; }
    void setup() override {}
};

class ActiveDocumentTest : public test::MainWindowFixture {
protected:
    ActiveDocumentTest() { settleDeletes = true; }
    test::ActiveScope keep;
};

void activate(frmMain &w, frmDocument *doc)
{
    w.mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(doc->parentWidget()));
}

}

TEST_F(ActiveDocumentTest, TheSessionFollowsTheWindowTheUserSwitchesTo)
{
    frmMain w;
    w.show();
    PluginHost *h = installPluginHost(&w);
    Plugin plugin;
    ASSERT_TRUE(h->addPlugin(&plugin, nullptr, "läsare.so"));
    ActiveProgram &active = test::activeNow();

    w.mnuFileNew_Click();
    frmDocument *first = w.activeDocument();
    w.mnuFileNew_Click();
    frmDocument *second = w.activeDocument();
    ASSERT_NE(first, second);
    EXPECT_EQ(active.document(), second);

    // The user types into the first program: it has changes, the second none.
    activate(w, first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return active.document() == first; }, 60000));
    QTest::keyClicks(first->txtText->focusProxy(), "G1");
    ASSERT_TRUE(first->program()->isModified());
    EXPECT_FALSE(second->program()->isModified());
    const QVariant dirty = plugin.host->pReadGlobal("gbIsDirty");
    EXPECT_EQ(dirty.metaType().id(), QMetaType::Bool);
    EXPECT_TRUE(dirty.toBool());

    // Each switch is told once, however many ways the window hears of it.
    QSignalSpy switched(&active, &ActiveProgram::documentChanged);
    activate(w, second);
    ASSERT_TRUE(QTest::qWaitFor([&] { return active.document() == second; }, 60000));
    second->Activation();
    second->UpdateText();
    EXPECT_EQ(switched.count(), 1);
    EXPECT_FALSE(plugin.host->pReadGlobal("gbIsDirty").toBool());
    w.mdiArea->activatePreviousSubWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return active.document() == first; }, 60000));
    EXPECT_EQ(switched.count(), 2);
    EXPECT_TRUE(plugin.host->pReadGlobal("gbIsDirty").toBool());

    // Saved, the first program says so at once: the flag is the document's.
    first->program()->setModified(false);
    EXPECT_FALSE(plugin.host->pReadGlobal("gbIsDirty").toBool());

    // Insert switched off in one window is off in the other too.
    ASSERT_TRUE(active.insertMode());
    QTest::keyClick(first->txtText->focusProxy(), Qt::Key_Insert);
    EXPECT_FALSE(active.insertMode());
    EXPECT_FALSE(plugin.host->pReadGlobal("gbInsertMode").toBool());
    activate(w, second);
    ASSERT_TRUE(QTest::qWaitFor([&] { return active.document() == second; }, 60000));
    second->txtText->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return active.editor() == second->txtText->hWnd(); }, 60000));
    EXPECT_FALSE(second->txtText->InsertMode());
    EXPECT_EQ(switched.count(), 3);

    // The window closed, the one left is the active one; none left, none is.
    w.mnuFileClose_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return active.document() == first; }, 60000));
    w.mnuFileClose_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.documents().isEmpty() && !active.document(); }, 60000));
    EXPECT_EQ(active.editor(), 0);
    EXPECT_FALSE(plugin.host->pReadGlobal("gbIsDirty").toBool());
}

// A program opened through File > Open is the commands' file: the plug-ins
// read its path, name and folder and its line ends in their old forms.
TEST_F(ActiveDocumentTest, TheOpenedFileIsReadByThePlugInsInTheirForms)
{
    const QString file = env.write("ncprog/Fräs O7.NC", QByteArray("O7\nN10 M30\n"));
    fileSelectorHooks().choose = [&](QWidget *, const QString &, const QString &, QString &p, QString &f,
                                     QString &m) {
        p = env.path("ncprog/");
        f = QStringLiteral("Fräs O7.NC");
        m.clear();
    };
    frmMain w;
    PluginHost *h = installPluginHost(&w);
    Plugin plugin;
    ASSERT_TRUE(h->addPlugin(&plugin, nullptr, "läsare.so"));
    ActiveProgram &active = test::activeNow();
    QSignalSpy told(&active, &ActiveProgram::fileChanged);

    w.mnuFileOpen_Click();
    fileSelectorHooks().choose = {};
    ASSERT_EQ(w.documents().size(), 1);
    EXPECT_EQ(active.document(), w.activeDocument());
    EXPECT_EQ(told.count(), 2); // the name, then the whole path
    const auto text = [&](const char *name) {
        const QVariant v = plugin.host->pReadGlobal(QString::fromLatin1(name));
        EXPECT_EQ(v.metaType().id(), QMetaType::QString) << name;
        return v.toString();
    };
    EXPECT_EQ(text("gsActiveFile"), file);
    EXPECT_EQ(text("gsActiveFileName"), QStringLiteral("Fräs O7.NC"));
    EXPECT_EQ(text("gsActivePath"), env.path("ncprog/"));
    const QVariant type = plugin.host->pReadGlobal("gTextType");
    EXPECT_EQ(type.metaType().id(), QMetaType::Short);
    EXPECT_EQ(type.toInt(), 2); // LF
    EXPECT_EQ(w.activeDocument()->txtText->TextType(), 2);
}
