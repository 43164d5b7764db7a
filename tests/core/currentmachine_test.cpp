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

// The machine's keys are the current machine's own: what was given is what is
// read back, and each real change is told once, a change to the same values
// not at all.
TEST(CurrentMachine, KeysAreKeptAndEachRealChangeIsToldOnce)
{
    const test::MachineScope restore;
    CurrentMachine &m = currentMachine();
    MachineKeys k;
    k.fileExtension = "*.NC;*.H";
    k.commentColor = 0x00FF00;
    k.codeText = {"G", "M", "T", "S", "F", "X", "Y", "Z"};
    for (int i = 0; i < 8; ++i)
        k.codeColor[size_t(i)] = 0x10 * (i + 1);
    k.rootFolder = "/nc/prog/";
    m.setKeys(MachineKeys{}); // a known start, told or not
    int told = 0;
    MachineKeys seen;
    QObject watcher;
    QObject::connect(&m, &CurrentMachine::keysChanged, &watcher, [&] {
        ++told;
        seen = m.keys();
    });

    m.setKeys(k);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(seen, k); // the observer already reads the new keys
    EXPECT_EQ(m.keys(), k);
    m.setKeys(k);
    m.changeKeys([](MachineKeys &same) { same.rootFolder = "/nc/prog/"; });
    EXPECT_EQ(told, 1);

    // Each key on its own is a change.
    m.changeKeys([](MachineKeys &c) { c.codeText[7] = "A"; });
    m.changeKeys([](MachineKeys &c) { c.codeColor[0] = 1; });
    m.changeKeys([](MachineKeys &c) { c.commentColor = 2; });
    m.changeKeys([](MachineKeys &c) { c.fileExtension = "*.*"; });
    m.changeKeys([](MachineKeys &c) { c.rootFolder = "/other/"; });
    EXPECT_EQ(told, 6);
    EXPECT_EQ(m.keys().codeText[7], "A");
    EXPECT_EQ(m.keys().codeText[6], "Y");
    EXPECT_EQ(m.keys().codeColor[0], 1);
    EXPECT_EQ(m.keys().codeColor[1], 0x20);
    EXPECT_EQ(m.keys().commentColor, 2);
    EXPECT_EQ(m.keys().fileExtension, "*.*");
    EXPECT_EQ(m.keys().rootFolder, "/other/");

    // The machine itself changes apart from its keys.
    m.use("KEYS", "/data/KEYS.cfg");
    EXPECT_EQ(told, 6);
    EXPECT_EQ(m.keys().rootFolder, "/other/");
}
