#include "core/currentmachine.h"
#include "core/globals.h"
#include "sessionscope.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QStringList>

using namespace lumrik;

// The machine in use is told once per change, and the variables the plug-ins
// read follow it; only a choice asks the main selector to follow.
TEST(CurrentMachine, UseAndChooseTellTheirChangeOnceAndKeepTheVariablesInStep)
{
    const test::MachineScope restore;
    CurrentMachine &m = currentMachine();
    QStringList changed, chosen;
    QObject watcher;
    QObject::connect(&m, &CurrentMachine::changed, &watcher, [&](const QString &n) { changed << n; });
    QObject::connect(&m, &CurrentMachine::chosen, &watcher, [&](const QString &n) { chosen << n; });

    m.use("MILL", "/data/MILL.cfg");
    EXPECT_EQ(currentMachine().name(), "MILL");
    EXPECT_EQ(currentMachine().file(), "/data/MILL.cfg");
    EXPECT_EQ(m.name(), "MILL");
    EXPECT_EQ(m.file(), "/data/MILL.cfg");
    m.use("MILL", "/data/MILL.cfg"); // no change, nothing told
    m.choose("LATHE", "/data/LATHE.cfg");
    m.choose("LATHE", "/data/LATHE.cfg"); // chosen again: the selector is asked again
    EXPECT_EQ(changed, (QStringList{"MILL", "LATHE"}));
    EXPECT_EQ(chosen, (QStringList{"LATHE", "LATHE"}));
    EXPECT_EQ(currentMachine().name(), "LATHE");

    // The selector's owner: only the one registered releases it.
    QObject a, b;
    m.setSelectorOwner(&a);
    m.setShown("MILL");
    m.releaseSelector(&b);
    EXPECT_EQ(m.selectorOwner(), &a);
    EXPECT_EQ(m.shown(), "MILL");
    m.releaseSelector(&a);
    EXPECT_EQ(m.selectorOwner(), nullptr);
    EXPECT_EQ(m.shown(), "");
}
