// Whole-program commands on a program of more than one piece: the rule runs
// off the window while the event loop goes on, the document is busy and
// read-only meanwhile and keeps its text until the result goes in, and the
// result is the rule's, one undo step, also when aborted; what is typed
// meanwhile lands on the finished text.
#include "core/globals.h"
#include "ncops/mdlmnfix.h"
#include "ncops/omnum.h"
#include "ncops/frmomnum.h"
#include "ncops/mdlrkfix.h"
#include "ncops_testutil.h"
#include "testsupport.h"
#include "sessionscope.h"

#include <QAbstractScrollArea>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {

// Pieces of a few kilobytes: a program of some hundred kilobytes is then
// larger than one piece and goes off the window.
struct SmallPieces {
    SmallPieces() { Editor::setPieceBytesForTests(4096); }
    ~SmallPieces() { Editor::setPieceBytesForTests(0); }
};

// Each line (CR LF ends) through `rule`.
QByteArray perLine(const QByteArray &text, const std::function<QByteArray(QByteArrayView)> &rule)
{
    QByteArray out;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray l = lines[i];
        const bool cr = l.endsWith('\r');
        if (cr)
            l.chop(1);
        out += rule(l);
        if (cr)
            out += '\r';
        if (i + 1 < lines.size())
            out += '\n';
    }
    return out;
}

}

TEST(LineWork, PackOffTheWindowLeavesTheTextUntilTheResultGoesIn)
{
    SmallPieces pieces;
    MsgBoxRecorder boxes;
    const QByteArray original = numberedProgram(20000);
    TestDoc d(original);
    d.ed()->setInsertMode(true);

    // What a timer of the window sees while the command works.
    int rounds = 0;
    bool sawBusy = false, sawReadOnly = false, textAsItWas = true;
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!d.doc.busy())
            return;
        ++rounds;
        sawBusy = true;
        sawReadOnly = sawReadOnly || d.ed()->ReadOnly();
        // Before the first piece goes in, the text is the program as it was.
        if (rounds == 1)
            textAsItWas = d.text() == original;
    });
    watcher.start();
    MnPack(&d.doc);
    EXPECT_TRUE(d.doc.busy()) << "the command returned before the work was over";
    untilLongWorkIsOver();
    watcher.stop();

    EXPECT_TRUE(sawBusy);
    EXPECT_TRUE(sawReadOnly);
    EXPECT_TRUE(textAsItWas);
    EXPECT_GT(rounds, 10) << "the event loop ran while it worked";
    EXPECT_FALSE(d.doc.busy());
    EXPECT_FALSE(d.ed()->ReadOnly());
    EXPECT_TRUE(d.ed()->InsertMode());
    EXPECT_TRUE(d.ed()->Redraw());
    EXPECT_TRUE(d.text() == perLine(original, [](QByteArrayView l) { return PackBlock(l); }));
    EXPECT_TRUE(d.ed()->IsDirty());
    d.ed()->setAction(6);
    EXPECT_TRUE(d.text() == original) << "one undo step";
}

TEST(LineWork, AbortedOffTheWindowKeepsTheLinesDoneAndTheRest)
{
    SmallPieces pieces;
    MsgBoxRecorder boxes;
    const int n = 20000;
    const QByteArray original = perLine(numberedProgram(n), [](QByteArrayView l) { return PackBlock(l); });
    TestDoc d(original);
    {
        AbortAfter abort(7000);
        MnUnPack(&d.doc);
        untilLongWorkIsOver();
    }
    EXPECT_TRUE(gRkAbort);
    const QList<QByteArray> lines = d.text().split('\n'), before = original.split('\n');
    ASSERT_EQ(lines.size(), n);
    for (int i = 0; i < n; ++i) {
        const QByteArray expected = i < 7000 ? UnpackPackedBlock(PackBlock(before[i].chopped(i + 1 < n ? 1 : 0)))
                                                   + (i + 1 < n ? "\r" : "")
                                             : before[i];
        ASSERT_EQ(lines[i], expected) << i;
    }
    d.ed()->setAction(6);
    EXPECT_TRUE(d.text() == original);

    // The next run goes through every line.
    MnUnPack(&d.doc);
    untilLongWorkIsOver();
    EXPECT_FALSE(gRkAbort);
    EXPECT_TRUE(d.text() == numberedProgram(n));
}

// Renumbering off the window makes the same bytes, the same selection and
// the same place as renumbering in place.
TEST(LineWork, RenumberingOffTheWindowEqualsRenumberingInPlace)
{
    TempEnv env; // the dialog keeps its choices in the machine's file
    test::MachineScope restoreMachine;
    test::useMachineFile(env.path("MILL.cfg"));
    frmOmnum::unload();
    MsgBoxRecorder boxes;
    const QByteArray original = numberedProgram(20000);
    struct Outcome {
        QByteArray text;
        qint64 anchor, caret;
        int textIndex;
        bool dirty;
    };
    const auto renumber = [&](qsizetype piece) {
        Editor::setPieceBytesForTests(piece);
        TestDoc d(original);
        d.ed()->setCaret(3, 5);
        WindowDriver start([](QWidget *w) {
            auto *o = qobject_cast<frmOmnum *>(w);
            if (o)
                o->btnStartOmnum->click();
            return o != nullptr;
        });
        RkOmnum(&d.doc);
        untilLongWorkIsOver();
        Editor::setPieceBytesForTests(0);
        return Outcome{d.text(), d.ed()->anchorOffset(), d.ed()->caretOffset(), d.ed()->TextIndex(),
                       d.ed()->IsDirty()};
    };
    const Outcome inPlace = renumber(0), offTheWindow = renumber(4096);
    EXPECT_NE(inPlace.text, original);
    EXPECT_TRUE(offTheWindow.text == inPlace.text);
    EXPECT_EQ(offTheWindow.anchor, inPlace.anchor);
    EXPECT_EQ(offTheWindow.caret, inPlace.caret);
    EXPECT_EQ(offTheWindow.textIndex, inPlace.textIndex);
    EXPECT_TRUE(offTheWindow.dirty);
    EXPECT_TRUE(inPlace.dirty);
    frmOmnum::unload();
}

// A close of the document's window while the work is under way does not
// close it under the work: it comes once the work is over.
TEST(LineWork, ACloseDuringTheWorkComesAfterIt)
{
    SmallPieces pieces;
    MsgBoxRecorder boxes;
    const QByteArray original = numberedProgram(20000);
    TestDoc d(original);
    d.doc.show();
    bool closedDuringWork = true;
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!d.doc.busy())
            return;
        closer.stop();
        closedDuringWork = d.doc.close();
    });
    closer.start();
    boxes.answer(MbYes); // pack
    boxes.answer(MbNo);  // the close asks about the changed program: not saved
    MnPack(&d.doc);
    untilLongWorkIsOver();
    EXPECT_FALSE(closedDuringWork);
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_FALSE(d.doc.isVisible()) << "closed after the work";
    EXPECT_TRUE(d.text() == perLine(original, [](QByteArrayView l) { return PackBlock(l); }));
}

// Keys typed into the program while the work is under way wait and land, in
// the order typed, on the finished text; a click into the text meanwhile is
// refused, so the keys land where the caret stood.
TEST(LineWork, KeysTypedDuringTheWorkLandInOrderOnTheFinishedTextAndClicksAreRefused)
{
    SmallPieces pieces;
    MsgBoxRecorder boxes;
    const QByteArray original = numberedProgram(20000).replace(' ', '\t');
    TestDoc d(original);
    d.doc.show();
    d.ed()->setInsertMode(true);
    QWidget *keys = d.ed()->focusProxy();
    auto *area = qobject_cast<QAbstractScrollArea *>(keys);
    ASSERT_NE(area, nullptr);

    bool typed = false, textKept = false;
    QTimer typist;
    typist.setInterval(0);
    QObject::connect(&typist, &QTimer::timeout, [&] {
        if (!d.doc.busy())
            return;
        typist.stop();
        typed = true;
        QTest::keyClicks(keys, "ab");
        QTest::mouseClick(area->viewport(), Qt::LeftButton, {}, QPoint(60, 60));
        QTest::keyClicks(keys, "c");
        textKept = d.text() == original;
    });
    typist.start();
    boxes.answer(MbYes);
    MnClearChars(&d.doc);
    untilLongWorkIsOver();
    ASSERT_TRUE(typed);
    EXPECT_TRUE(textKept) << "nothing typed reached the text under the work";
    const QByteArray cleared = perLine(original, [](QByteArrayView l) { return clearControlChars(l); });
    EXPECT_TRUE(d.text() == cleared) << "the keys wait for what waits for the end of the work";
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.text() == "abc" + cleared; }, 20000))
        << "the keys land in order, where the caret stood";
}

// Upper case off the window makes the same bytes, selection, place and one
// undo step as upper case in place, for a Windows-1252 program and for one in
// UTF-8 with a byte-order mark (its letters upper-cased as UTF-8, the mark
// kept).
TEST(LineWork, UpperCaseOffTheWindowEqualsUpperCaseInPlace)
{
    MsgBoxRecorder boxes;
    QByteArray cp1252 = numberedProgram(20000).toLower();
    cp1252.replace("x", "x\xe5\xe4"); // "åä"
    QByteArray utf8 = "\xef\xbb\xbf" + numberedProgram(20000).toLower();
    utf8.replace("x", "x(\xc3\xbc \xe2\x80\x93)"); // "(ü –)"
    struct Outcome {
        QByteArray text;
        qint64 anchor, caret;
        int textIndex;
        bool dirty, busyOnReturn;
        QByteArray undone;
    };
    const auto upper = [&](const QByteArray &original, qsizetype piece) {
        Editor::setPieceBytesForTests(piece);
        TestDoc d(original);
        d.ed()->setCaret(3, 5);
        boxes.answer(MbYes);
        MnUppercase(&d.doc);
        const bool busy = d.doc.busy();
        untilLongWorkIsOver();
        Editor::setPieceBytesForTests(0);
        Outcome o{d.text(), d.ed()->anchorOffset(), d.ed()->caretOffset(), d.ed()->TextIndex(), d.ed()->IsDirty(),
                  busy, {}};
        d.ed()->setAction(6);
        o.undone = d.text();
        return o;
    };
    for (const QByteArray &original : {cp1252, utf8}) {
        const Outcome inPlace = upper(original, 0), offTheWindow = upper(original, 4096);
        EXPECT_FALSE(inPlace.busyOnReturn);
        EXPECT_TRUE(offTheWindow.busyOnReturn) << "the command returned before the work was over";
        EXPECT_NE(inPlace.text, original);
        EXPECT_TRUE(offTheWindow.text == inPlace.text);
        EXPECT_EQ(offTheWindow.anchor, inPlace.anchor);
        EXPECT_EQ(offTheWindow.caret, inPlace.caret);
        EXPECT_EQ(offTheWindow.textIndex, inPlace.textIndex);
        EXPECT_TRUE(offTheWindow.dirty);
        EXPECT_TRUE(inPlace.dirty);
        EXPECT_TRUE(offTheWindow.undone == original) << "one undo step";
        EXPECT_TRUE(inPlace.undone == original) << "one undo step";
    }
    EXPECT_TRUE(upper(utf8, 4096).text.startsWith("\xef\xbb\xbfN1 G1 X(")) << "the mark stays the document's";
    EXPECT_TRUE(upper(cp1252, 4096).text.contains("X\xc5\xc4"));
    EXPECT_TRUE(upper(utf8, 4096).text.contains("X(\xc3\x9c \xe2\x80\x93)"));
}
