#include "core/activeprogram.h"
#include "sessionscope.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QSignalSpy>
#include <memory>

using namespace lumrik;

// Each value is told once per real change; the same value again tells nothing.
TEST(ActiveProgram, EveryValueIsToldOncePerRealChange)
{
    ActiveProgram a;
    QSignalSpy file(&a, &ActiveProgram::fileChanged);
    QSignalSpy path(&a, &ActiveProgram::pathChanged);
    QSignalSpy type(&a, &ActiveProgram::textTypeChanged);
    QSignalSpy insert(&a, &ActiveProgram::insertModeChanged);
    QSignalSpy editor(&a, &ActiveProgram::editorChanged);

    a.setFile("/nc/O1.NC");
    a.setFile("/nc/O1.NC");
    a.setFileName("O1.NC");
    a.setFileName("O1.NC");
    EXPECT_EQ(file.count(), 2);
    EXPECT_EQ(a.file(), "/nc/O1.NC");
    EXPECT_EQ(a.fileName(), "O1.NC");

    a.setPath("/nc/");
    a.setPath("/nc/");
    ASSERT_EQ(path.count(), 1);
    EXPECT_EQ(path.at(0).at(0).toString(), "/nc/");

    EXPECT_EQ(a.textType(), 1); // CR LF until a program says otherwise
    a.setTextType(1);
    a.setTextType(2);
    a.setTextType(2);
    ASSERT_EQ(type.count(), 1);
    EXPECT_EQ(type.at(0).at(0).toInt(), 2);

    EXPECT_TRUE(a.insertMode());
    a.setInsertMode(true);
    a.setInsertMode(false);
    EXPECT_EQ(insert.count(), 1);
    EXPECT_FALSE(a.insertMode());

    a.setEditor(7);
    a.releaseEditor(9); // another editor losing the keyboard changes nothing
    EXPECT_EQ(a.editor(), 7);
    a.releaseEditor(7);
    EXPECT_EQ(a.editor(), 0);
    EXPECT_EQ(editor.count(), 2);
}

// The active document is named, and its changed flag is the document's own:
// asked each time, never kept. A document that goes takes its state with it.
TEST(ActiveProgram, TheActiveDocumentIsAskedAndReleasedWhenItGoes)
{
    ActiveProgram a;
    QSignalSpy changed(&a, &ActiveProgram::documentChanged);
    bool firstModified = true;
    auto first = std::make_unique<QObject>();
    QObject second;
    EXPECT_EQ(a.document(), nullptr);
    EXPECT_FALSE(a.isDirty());

    a.activate(first.get(), [&] { return firstModified; });
    a.activate(first.get(), [&] { return firstModified; }); // again: not a change
    EXPECT_EQ(a.document(), first.get());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(a.isDirty());
    firstModified = false; // saved: the document says so at once
    EXPECT_FALSE(a.isDirty());

    a.activate(&second, [] { return true; });
    EXPECT_EQ(changed.count(), 2);
    EXPECT_TRUE(a.isDirty());
    a.release(first.get()); // not the active one: nothing changes
    EXPECT_EQ(a.document(), &second);
    EXPECT_EQ(changed.count(), 2);
    a.release(&second);
    EXPECT_EQ(a.document(), nullptr);
    EXPECT_FALSE(a.isDirty());
    EXPECT_EQ(changed.count(), 3);

    // A document destroyed without a word is not asked any more.
    a.activate(first.get(), [&] { return true; });
    first.reset();
    EXPECT_EQ(a.document(), nullptr);
    EXPECT_FALSE(a.isDirty());
}

// A test's changes of the active program are given back when its scope ends.
TEST(ActiveProgram, TheSessionScopeGivesItBack)
{
    ActiveProgram &a = test::activeNow();
    const QString file = a.file(), path = a.path();
    const int type = a.textType();
    const bool insert = a.insertMode();
    {
        test::SessionScope scope;
        a.setFile("/x/y.nc");
        a.setPath("/x/");
        a.setTextType(type == 1 ? 2 : 1);
        a.setInsertMode(!insert);
    }
    EXPECT_EQ(a.file(), file);
    EXPECT_EQ(a.path(), path);
    EXPECT_EQ(a.textType(), type);
    EXPECT_EQ(a.insertMode(), insert);
}
