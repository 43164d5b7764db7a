// The document window: its set-up, typed-character rules, insert toggle,
// find next, changed-file question, hex dump, closing, lined paper, context
// menu and the hand-over to the main window when it goes.
#include "core/globals.h"
#include "documents/frmdocument.h"
#include "documenthost_fake.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>

using namespace lumrik;
using namespace lumrik::test;

namespace {

// Program-wide settings a test changes, given back afterwards.
struct SettingsGuard {
    test::SessionScope session;
    SettingsGuard()
    {
        test::SessionScope::words([](WordValues &w) { w.untitled = QStringLiteral("NAMNLÖS"); });
        test::SessionScope::settings([](SettingValues &v) {
            v.textBackColor = 0xFFFFFF;
            v.textColor = 0;
        });
    }
};

void typeText(frmDocument &doc, const QString &text, Qt::KeyboardModifiers mods = Qt::NoModifier,
              int key = Qt::Key_unknown)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, key, mods, QString(c));
        QApplication::sendEvent(doc.txtText->focusProxy(), &press);
    }
}

void pressKey(frmDocument &doc, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(doc.txtText->focusProxy(), &press);
}

void touch(const QString &path, const QDateTime &when)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
}

}

TEST(frmDocument, LoadTakesTheEditorSettings)
{
    SettingsGuard keep;
    test::activeNow().setTextType(2);
    test::activeNow().setInsertMode(false);
    frmDocument doc;
    EXPECT_EQ(doc.objectName(), QStringLiteral("frmDocument"));
    EXPECT_EQ(doc.txtText->objectName(), QStringLiteral("txtText"));
    EXPECT_EQ(doc.txtText->TextType(), 2);
    EXPECT_EQ(doc.txtText->LeftMargin(), 20);
    EXPECT_FALSE(doc.txtText->InsertMode());
    EXPECT_FALSE(doc.bNamed);
    EXPECT_FALSE(doc.fileStamp.isValid());
}

TEST(frmDocument, UpperCaseAndKeypadComma)
{
    SettingsGuard keep;
    frmDocument doc;
    doc.show();
    test::SessionScope::set(&SettingValues::upperCase, true);
    typeText(doc, QString::fromUtf8("x1ö"));
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("X1\xD6"));

    test::SessionScope::set(&SettingValues::upperCase, false);
    test::SessionScope::set(&SettingValues::numKbdDec, true);
    typeText(doc, QStringLiteral(","));                                      // main keyboard
    typeText(doc, QStringLiteral(","), Qt::KeypadModifier, Qt::Key_Comma);   // keypad decimal
    typeText(doc, QStringLiteral(","));                                      // main keyboard again
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("X1\xD6,.,"));
    EXPECT_FALSE(doc.numpadFlag());

    test::SessionScope::set(&SettingValues::numKbdDec, false);
    typeText(doc, QStringLiteral(","), Qt::KeypadModifier, Qt::Key_Comma);
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("X1\xD6,.,,"));
}

TEST(frmDocument, KeypadPointLeavesALaterCommaAlone)
{
    SettingsGuard keep;
    frmDocument doc;
    doc.show();
    test::SessionScope::set(&SettingValues::numKbdDec, true);
    QWidget *keys = doc.txtText->focusProxy();
    // A keypad that types a point: the flag is set, with no comma to convert.
    QTest::keyClicks(keys, QStringLiteral("X1"));
    QTest::keyClick(keys, Qt::Key_Period, Qt::KeypadModifier);
    EXPECT_TRUE(doc.numpadFlag());
    // More keys, then a comma on the main keyboard: it stays a comma.
    QTest::keyClicks(keys, QStringLiteral("5 Y"));
    EXPECT_FALSE(doc.numpadFlag());
    QTest::keyClick(keys, Qt::Key_Comma);
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("X1.5 Y,"));
    // Right after the keypad key, its own comma still becomes a point.
    QTest::keyClick(keys, Qt::Key_Comma, Qt::KeypadModifier);
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("X1.5 Y,."));
    // A Shift pressed on its own between them ends the keypad's turn too.
    QTest::keyClick(keys, Qt::Key_Period, Qt::KeypadModifier);
    QTest::keyClick(keys, Qt::Key_Shift);
    QTest::keyClick(keys, Qt::Key_Comma);
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("X1.5 Y,..,"));
}

TEST(frmDocument, InsertTogglesOnlyWithoutModifiers)
{
    SettingsGuard keep;
    FakeDocumentHost host;
    test::SessionScope::words([](WordValues &w) {
        w.insert = QStringLiteral("Infoga");
        w.overwrite = QStringLiteral("Översk.");
    });
    test::activeNow().setInsertMode(true);
    frmDocument doc;
    host.active = &doc;
    doc.show();
    pressKey(doc, Qt::Key_Insert);
    EXPECT_FALSE(doc.txtText->InsertMode());
    EXPECT_FALSE(test::activeNow().insertMode());
    EXPECT_EQ(host.panels[1], QStringLiteral("Översk."));
    pressKey(doc, Qt::Key_Insert, Qt::ControlModifier);
    pressKey(doc, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_FALSE(doc.txtText->InsertMode());
    pressKey(doc, Qt::Key_Insert);
    EXPECT_TRUE(doc.txtText->InsertMode());
    EXPECT_TRUE(test::activeNow().insertMode());
    EXPECT_EQ(host.panels[1], QStringLiteral("Infoga"));
}

TEST(frmDocument, F3FindsNextEvenWithShift)
{
    SettingsGuard keep;
    frmDocument doc;
    doc.show();
    doc.txtText->setTextAll("G1 X1\r\nG1 X2\r\nG1 X3");
    doc.txtText->SearchTarget = "X";
    doc.txtText->SearchOrigin = 1;
    doc.txtText->setAction(9);
    EXPECT_EQ(doc.txtText->SelStartY(), 1);
    pressKey(doc, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(doc.txtText->SelStartY(), 2);
    pressKey(doc, Qt::Key_F3);
    EXPECT_EQ(doc.txtText->SelStartY(), 3);
    EXPECT_EQ(doc.txtText->SelText(), QByteArray("X"));
}

TEST(frmDocument, ChangedFileIsAskedAboutOnce)
{
    SettingsGuard keep;
    TempEnv env;
    FakeDocumentHost host;
    MsgBoxRecorder boxes;
    const QString path = env.write("prog.nc", "N10 G0\r\n");
    const QDateTime base = QDateTime::currentDateTime().addSecs(-100);
    touch(path, base);
    frmDocument doc;
    host.active = &doc;
    doc.sMaskin = QStringLiteral("FANUC");
    doc.setCaption(path);
    doc.FileOpen(path);
    doc.UpdateText();
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(doc.panelText(3), QStringLiteral("FANUC"));
    EXPECT_GE(host.selectionUpdates, 1);

    // Changed on disk; No keeps the text and the question does not come back.
    writeFile(path, "N10 G1\r\n");
    touch(path, base.addSecs(10));
    boxes.answer(MbNo);
    doc.Activation();
    ASSERT_EQ(boxes.calls().size(), 1u);
    const MsgBoxCall &q = boxes.calls()[0];
    EXPECT_EQ(q.title, QStringLiteral("Ändrad fil"));
    EXPECT_EQ(q.buttons, MbButtons::YesNo);
    EXPECT_EQ(q.icon, MbIcon::Exclamation);
    EXPECT_EQ(q.text, QStringLiteral("Filen \"") + path
                          + QStringLiteral("\"har ändrats utanför Lumrik-32.\nVill du ladda om den?\n\n"
                                           "Notera att eventuella ändringar gjorda i Lumrik-32 kanske inte kommer sparas."));
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("N10 G0\r\n"));
    doc.Activation();
    doc.UpdateText();
    EXPECT_EQ(boxes.calls().size(), 1u);

    // Changed again; Yes loads it again.
    writeFile(path, "N10 G2\r\n");
    touch(path, base.addSecs(20));
    boxes.answer(MbYes);
    doc.Activation();
    EXPECT_EQ(boxes.calls().size(), 2u);
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("N10 G2\r\n"));
    doc.Activation();
    EXPECT_EQ(boxes.calls().size(), 2u);

    // Deleted on disk: nothing is asked.
    QFile::remove(path);
    doc.Activation();
    EXPECT_EQ(boxes.calls().size(), 2u);
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("N10 G2\r\n"));
}

// After "Nej" only that state of the file is let be: another file put in its
// place with the same time, or the same file with another size, is asked
// about again.
TEST(frmDocument, ChangedFileCheckSeesAnotherFileOrSizeAfterNo)
{
    SettingsGuard keep;
    TempEnv env;
    FakeDocumentHost host;
    MsgBoxRecorder boxes;
    const QString path = env.write("prog.nc", "N10 G0\r\n");
    const QDateTime base = QDateTime::currentDateTime().addSecs(-100);
    touch(path, base);
    frmDocument doc;
    host.active = &doc;
    doc.FileOpen(path);
    doc.UpdateText();

    writeFile(path, "N10 G1\r\n");
    touch(path, base.addSecs(10));
    boxes.answer(MbNo);
    doc.Activation();
    ASSERT_EQ(boxes.calls().size(), 1u);

    // A colleague's file of the same size and time renamed over it.
    const QString other = env.write("other.nc", "N99 G1\r\n");
    touch(other, base.addSecs(10));
    ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
    boxes.answer(MbNo);
    doc.Activation();
    ASSERT_EQ(boxes.calls().size(), 2u);
    EXPECT_EQ(boxes.calls()[1].title, QStringLiteral("Ändrad fil"));
    doc.Activation();
    EXPECT_EQ(boxes.calls().size(), 2u);

    // The same file grown, its time put back.
    writeFile(path, "N99 G1\r\nN100\r\n");
    touch(path, base.addSecs(10));
    boxes.answer(MbNo);
    doc.Activation();
    EXPECT_EQ(boxes.calls().size(), 3u);
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("N10 G0\r\n"));
}

TEST(frmDocument, HexDumpOfUnchangedText)
{
    SettingsGuard keep;
    frmDocument doc;
    doc.show();
    doc.txtText->setTextAll("AB");
    doc.txtText->setIsDirty(false);
    pressKey(doc, Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(untilLongWorkIsOver());
    EXPECT_TRUE(doc.bHexView);
    EXPECT_TRUE(doc.bReadOnly);
    EXPECT_TRUE(doc.txtText->ReadOnly());
    EXPECT_TRUE(doc.txtText->TextAll().startsWith("00000 | 41 42 "));
}

TEST(frmDocument, HexDumpOfChangedTextNeverLosesTheEdits)
{
    SettingsGuard keep;
    MsgBoxRecorder boxes;
    frmDocument doc;
    doc.setCaption(test::wordsNow().untitled);
    doc.show();
    doc.txtText->setTextAll("N10 X1");
    doc.txtText->setIsDirty(true);
    boxes.answer(MbNo); // do not save: then no dump either
    pressKey(doc, Qt::Key_G, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(boxes.calls().size(), 1u);
    EXPECT_FALSE(doc.bHexView);
    EXPECT_FALSE(doc.txtText->ReadOnly());
    EXPECT_EQ(doc.txtText->TextAll(), QByteArray("N10 X1"));
    EXPECT_TRUE(doc.txtText->IsDirty());
}

TEST(frmDocument, ClosingAsksOnlyForChangedText)
{
    SettingsGuard keep;
    MsgBoxRecorder boxes;
    {
        frmDocument doc;
        doc.setCaption(test::wordsNow().untitled);
        doc.txtText->setIsDirty(true); // untitled and empty: closes without a question
        QCloseEvent e;
        QApplication::sendEvent(&doc, &e);
        EXPECT_TRUE(e.isAccepted());
    }
    {
        frmDocument doc;
        doc.setCaption(test::wordsNow().untitled);
        doc.txtText->setTextAll("N10");
        doc.txtText->setIsDirty(false);
        QCloseEvent e;
        QApplication::sendEvent(&doc, &e);
        EXPECT_TRUE(e.isAccepted());
    }
    EXPECT_TRUE(boxes.calls().empty());
    {
        frmDocument doc;
        doc.setCaption(test::wordsNow().untitled);
        doc.txtText->setTextAll("N10");
        doc.txtText->setIsDirty(true);
        boxes.answer(MbCancel);
        QCloseEvent e;
        QApplication::sendEvent(&doc, &e);
        EXPECT_FALSE(e.isAccepted());
        EXPECT_EQ(boxes.calls().size(), 1u);
    }
}

TEST(frmDocument, LinedPaperMarginLinesAndRules)
{
    SettingsGuard keep;
    test::SessionScope::set(&SettingValues::kollegieBlock, true);
    frmDocument doc;
    doc.resize(400, 300);
    doc.show();
    doc.txtText->setTextAll("N10\r\nN20\r\nN30");
    QApplication::processEvents();
    const QImage img = doc.txtText->viewport()->grab().toImage();
    const int h = doc.txtText->LineHeight();
    const QColor blue(0, 0, 180);
    EXPECT_EQ(img.pixelColor(19, h / 2), blue);
    EXPECT_EQ(img.pixelColor(16, h / 2), blue);
    EXPECT_EQ(img.pixelColor(17, h / 2), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(300, h), blue);         // the rule under line 1
    EXPECT_EQ(img.pixelColor(300, 5 * h), blue);     // rules go on below the text
    EXPECT_EQ(img.pixelColor(300, h + h / 2), QColor(Qt::white));

    test::SessionScope::set(&SettingValues::kollegieBlock, false);
    doc.txtText->viewport()->update();
    QApplication::processEvents();
    const QImage plain = doc.txtText->viewport()->grab().toImage();
    EXPECT_EQ(plain.pixelColor(19, h / 2), QColor(Qt::white));
}

TEST(frmDocument, EditorEventsReachTheMainWindow)
{
    SettingsGuard keep;
    FakeDocumentHost host;
    frmDocument doc;
    host.active = &doc;
    doc.show();
    doc.txtText->setTextAll("N10 G0");
    doc.txtText->setIsDirty(false);
    QApplication::processEvents();

    doc.txtText->setIsDirty(true);
    EXPECT_TRUE(host.saveEnabled);
    EXPECT_EQ(doc.panelText(4), QStringLiteral("Ej sparad"));
    doc.txtText->setIsDirty(false);
    EXPECT_FALSE(host.saveEnabled);
    EXPECT_EQ(doc.panelText(4), QString());

    // Right click: the context menu with paste and cut/copy states.
    QApplication::clipboard()->setText(QStringLiteral("X"));
    QTest::mouseClick(doc.txtText->viewport(), Qt::RightButton, {}, QPoint(40, 5));
    EXPECT_EQ(host.popups, 1);
    EXPECT_TRUE(host.popupPaste);
    EXPECT_FALSE(host.popupCutCopy);
    doc.txtText->setSelStartX(1);
    doc.txtText->setSelEndX(4);
    QTest::mouseClick(doc.txtText->viewport(), Qt::RightButton, {}, QPoint(40, 5));
    EXPECT_TRUE(host.popupCutCopy);
    QTest::mouseClick(doc.txtText->viewport(), Qt::LeftButton, {}, QPoint(40, 5));
    EXPECT_EQ(host.popups, 2);

    // Caret moves update the command state, except while loading.
    const int before = host.selectionUpdates;
    doc.txtText->setCaret(3, 1);
    EXPECT_GT(host.selectionUpdates, before);
    doc.bLoading = true;
    const int during = host.selectionUpdates;
    doc.txtText->setCaret(5, 1);
    EXPECT_EQ(host.selectionUpdates, during);
    doc.bLoading = false;
}

TEST(frmDocument, ClosedWindowRearrangesTheRest)
{
    SettingsGuard keep;
    QApplication::processEvents(); // windows of earlier tests are gone
    FakeDocumentHost host;
    test::SessionScope::set(&SettingValues::defaultTile, QStringLiteral("2"));
    delete new frmDocument;
    (void)QTest::qWaitFor([&] { return !host.arrangements.empty(); }, 60000);
    ASSERT_EQ(host.arrangements.size(), 1);
    EXPECT_EQ(host.arrangements[0], 2);
    EXPECT_EQ(host.validUpdates, 1);
    EXPECT_EQ(host.panels[1], QString()); // no document left: the panels are emptied
}

TEST(frmDocument, ActivatingItsSubWindowRunsTheActivation)
{
    SettingsGuard keep;
    FakeDocumentHost host;
    QMdiArea area;
    area.resize(600, 400);
    auto *a = new frmDocument;
    auto *b = new frmDocument;
    a->sMaskin = QStringLiteral("A");
    b->sMaskin = QStringLiteral("B");
    area.addSubWindow(a)->show();
    area.addSubWindow(b)->show();
    area.show();
    area.setActiveSubWindow(qobject_cast<QMdiSubWindow *>(b->parentWidget()));
    QApplication::processEvents();
    const int before = host.selectionUpdates;
    area.setActiveSubWindow(qobject_cast<QMdiSubWindow *>(a->parentWidget()));
    (void)QTest::qWaitFor([&] { return host.selectionUpdates > before; }, 60000);
    EXPECT_GT(host.selectionUpdates, before);
    EXPECT_EQ(a->panelText(3), QStringLiteral("A"));
    EXPECT_EQ(a->parentWidget()->windowTitle(), a->windowTitle());
}
