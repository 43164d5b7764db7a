#include "core/language.h"
#include "mainwindow/commanddefs.h"
#include "mainwindow/commandregistry.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindow/toolbarlayout.h"
#include "mainwindowfixture.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

class CommandTableTest : public test::MainWindowFixture {};

QString captionOf(const CommandEntry &s)
{
    return s.caption ? QString::fromUtf8(s.caption) : builtInCaption(s.id);
}

// Every action of `menu` and its submenus, depth first, as the user meets them.
void collect(QMenu *menu, QList<QAction *> &out)
{
    out << menu->menuAction();
    for (QAction *a : menu->actions()) {
        if (a->menu())
            collect(a->menu(), out);
        else
            out << a;
    }
}

}

TEST(CommandTable, EachIdIsDefinedOnceAndHasACaption)
{
    QSet<QString> seen;
    for (const CommandEntry &s : commandEntries()) {
        ASSERT_NE(s.id, nullptr);
        EXPECT_FALSE(seen.contains(s.id)) << s.id << " defined twice";
        seen << s.id;
        EXPECT_FALSE(captionOf(s).isEmpty()) << s.id << " has neither a caption nor a language text";
        EXPECT_EQ(commandEntry(s.id), &s);
    }
    EXPECT_EQ(commandEntry("mnuNoSuchCommand"), nullptr);
}

TEST(CommandTable, TheRegistryMakesTheActionFromTheEntry)
{
    CommandRegistry r;
    QObject owner;
    const CommandEntry entry{.id = "mnuViewAutoColorNC",
                           .caption = "Färg",
                           .key = Qt::CTRL | Qt::Key_K,
                           .icon = "ColorIt",
                           .flags = CommandEntry::Checked | CommandEntry::Hidden | CommandEntry::WidgetShortcut};
    QAction *a = r.create(entry, &owner);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->parent(), &owner);
    EXPECT_EQ(r.action("mnuViewAutoColorNC"), a);
    EXPECT_EQ(a->objectName(), "mnuViewAutoColorNC");
    EXPECT_EQ(CommandRegistry::commandOf(a), "mnuViewAutoColorNC");
    EXPECT_EQ(a->text(), "Färg");
    EXPECT_EQ(a->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_K));
    EXPECT_EQ(a->shortcutContext(), Qt::WidgetShortcut);
    EXPECT_FALSE(a->icon().isNull());
    EXPECT_FALSE(a->isIconVisibleInMenu());
    EXPECT_TRUE(a->isCheckable());
    EXPECT_TRUE(a->isChecked());
    EXPECT_FALSE(a->isVisible());

    // Without a caption the language table's built-in text and id are used.
    QAction *save = r.create(*commandEntry("mnuFileSave"), &owner);
    EXPECT_EQ(save->text(), builtInCaption("mnuFileSave"));
    EXPECT_FALSE(tagOf(save).isEmpty());
    EXPECT_EQ(save->shortcutContext(), Qt::WindowShortcut);
    EXPECT_TRUE(save->icon().isNull());
    EXPECT_FALSE(save->isCheckable());
    EXPECT_TRUE(save->isVisible());
}

// The built menus are the table: each item of the menu bar and the context
// menu carries its entry's caption, key, picture and flags, and every entry
// is placed exactly once.
TEST_F(CommandTableTest, TheBuiltMenusCarryTheTableEntries)
{
    frmMain w;
    QList<QAction *> shown;
    for (QAction *top : w.menuBar()->actions())
        if (top->menu())
            collect(top->menu(), shown);
    collect(w.findChild<QMenu *>("mnuPopup"), shown);

    QSet<QString> placed;
    for (QAction *a : shown) {
        const QByteArray id = a->objectName().toLatin1();
        const CommandEntry *s = commandEntry(id.constData());
        if (!s)
            continue; // separators, the recent files, the macro list
        EXPECT_FALSE(placed.contains(a->objectName())) << id.constData() << " placed twice";
        placed << a->objectName();
        EXPECT_EQ(w.menuAction(a->objectName()), a) << id.constData();
        if (a->menu() || id == "mnuPopup")
            continue; // a menu's title
        EXPECT_EQ(a->text(), captionOf(*s)) << id.constData();
        EXPECT_EQ(a->shortcut(), s->hasKey() ? QKeySequence(s->key) : QKeySequence()) << id.constData();
        if (s->hasKey()) {
            EXPECT_EQ(a->shortcutContext(), (s->flags & CommandEntry::WidgetShortcut) ? Qt::WidgetShortcut
                                                                                      : Qt::WindowShortcut)
                << id.constData();
        }
        EXPECT_EQ(!a->icon().isNull(), s->icon != nullptr) << id.constData();
        EXPECT_EQ(a->isCheckable(), (s->flags & (CommandEntry::Checkable | CommandEntry::Checked)) != 0)
            << id.constData();
        EXPECT_EQ(a->isChecked(), (s->flags & CommandEntry::Checked) != 0) << id.constData();
        EXPECT_EQ(a->isVisible(), (s->flags & CommandEntry::Hidden) == 0) << id.constData();
        EXPECT_EQ(CommandRegistry::commandOf(a), a->objectName());
    }
    for (const CommandEntry &s : commandEntries())
        EXPECT_TRUE(placed.contains(s.id)) << s.id << " is in the table but in no menu";

    // A few by hand, as the user knows them.
    EXPECT_EQ(w.menuAction("mnuFileSave")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(w.menuAction("mnuTxd2Cnc")->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(w.menuAction("mnuHelpWeb")->text(), "www.lumrik.se");
    EXPECT_EQ(w.menuAction("mnuPopSearchNext")->shortcutContext(), Qt::WidgetShortcut);
}

// A band button that places its menu item shows the picture its entry names,
// and only such an item has a picture.
TEST_F(CommandTableTest, AButtonPlacingAMenuItemShowsTheEntrysPicture)
{
    frmMain w;
    QSet<QString> pictured;
    for (const ToolBandSpec &band : commandBands())
        for (const ToolButtonSpec &b : band.buttons) {
            if (!b.key || !b.placesMenuItem)
                continue;
            const QString key = QString::fromUtf8(b.key);
            const QByteArray command = commandOfToolKey(key).toLatin1();
            const CommandEntry *s = commandEntry(command.constData());
            ASSERT_NE(s, nullptr) << b.key;
            ASSERT_NE(s->icon, nullptr) << command.constData() << " has no picture for " << b.key;
            EXPECT_EQ(QString::fromUtf8(s->icon), key);
            QAction *a = w.toolButton(QString::fromLatin1(band.name), key);
            ASSERT_NE(a, nullptr) << b.key;
            EXPECT_EQ(a, w.menuAction(QString::fromLatin1(command)));
            EXPECT_FALSE(a->icon().isNull()) << b.key;
            pictured << QString::fromLatin1(command);
        }
    for (const CommandEntry &s : commandEntries())
        if (s.icon) {
            EXPECT_TRUE(pictured.contains(s.id)) << s.id << " has a picture no button shows";
        }
}

// Each menu a plug-in may fill has its place: a separator named after the
// menu ("<menu>Plugins0") inside that menu, found under its name, shown only
// in Kommunikation and Verktyg. Arkiv's own named separator stays shown.
TEST_F(CommandTableTest, EveryPlugInMenuHasItsNamedSeparator)
{
    frmMain w;
    const struct {
        const char *menu;
        bool shown;
    } places[] = {{"mnuFile", false},   {"mnuEdit", false},   {"mnuView", false},     {"mnuNcOptions", false},
                  {"mnuMacro", false},  {"mnuTxdRxd", true},  {"mnuSimulera", false}, {"mnuTools", true}};
    for (const auto &p : places) {
        const QString name = QString::fromLatin1(p.menu) + "Plugins0";
        QAction *s = w.menuAction(name);
        ASSERT_NE(s, nullptr) << name.toStdString();
        EXPECT_TRUE(s->isSeparator()) << name.toStdString();
        EXPECT_EQ(s->objectName(), name);
        EXPECT_TRUE(w.menu(p.menu)->actions().contains(s)) << name.toStdString();
        EXPECT_EQ(s->isVisible(), p.shown) << name.toStdString();
    }
    QAction *bar4 = w.menuAction("mnuFileBar4");
    ASSERT_NE(bar4, nullptr);
    EXPECT_TRUE(bar4->isSeparator());
    EXPECT_TRUE(bar4->isVisible());
    EXPECT_TRUE(w.menu("mnuFile")->actions().contains(bar4));
}
