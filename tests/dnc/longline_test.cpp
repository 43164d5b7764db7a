// What a control writes when its blocks come without end-of-block characters:
// a program of several megabytes in one line is opened, edited with the keys,
// saved byte for byte and sent whole.
#include "fakeserialport.h"
#include "dnc/frmtxd2cnc.h"
#include "mainwindow/sendcommand.h"

#include "core/globals.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "testsupport/sessionscope.h"
#include "testsupport/testsupport.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace lumrik;
using lumrik::test::MsgBoxRecorder;
using lumrik::test::TempEnv;

TEST(LongLine, OneLineOfMegabytesIsOpenedEditedSavedAndSent)
{
    TempEnv env;
    MsgBoxRecorder boxes;
    FakeSerialPort::install();
    env.write("MILL1.cfg", "[Communication]\r\nDelayBeforeClose=-1\r\nProtokoll=INGEN\r\n");
    QByteArray text;
    for (int i = 1; text.size() < 3 * 1024 * 1024; ++i)
        text += "N" + QByteArray::number(i * 10) + " G1 X" + QByteArray::number(i % 400) + ".5 F300 ";
    const QString path = env.write("RXD.NC", text);

    frmDocument doc;
    doc.resize(800, 600);
    doc.show();
    doc.FileOpen(path);
    QCoreApplication::processEvents();
    Editor *ed = doc.txtText;
    ASSERT_EQ(ed->Count(), 1);
    EXPECT_EQ(ed->TextAll(), text);

    // Keys at the start, in the middle and at the end of the line.
    QWidget *keys = ed->focusProxy();
    ed->setCaret(1, 1);
    QTest::keyClicks(keys, "%");
    ed->setCaret(1000001, 1);
    QTest::keyClick(keys, Qt::Key_Delete);
    QTest::keyClicks(keys, "M0");
    ed->setCaret(int(text.size()) + 100, 1);
    QTest::keyClick(keys, Qt::Key_Backspace);
    QTest::keyClicks(keys, " M30");
    QByteArray edited = text;
    edited.chop(1);
    edited += " M30";
    edited.replace(999999, 1, "M0");
    edited.prepend('%');
    ASSERT_EQ(ed->TextAll(), edited);
    EXPECT_TRUE(ed->IsDirty());

    const QString saved = env.path("SAVED.NC");
    ed->FileSave(saved);
    EXPECT_EQ(lumrik::test::readFile(saved), edited);

    auto *port = static_cast<FakeSerialPort *>(txd2CncWindow(test::testSession())->Comm1);
    port->recordWrites = false;
    port->written.clear();
    sendActiveDocument(test::testSession(), &doc);
    EXPECT_TRUE(port->written == edited + "\r\n"); // the line and its end of block
    EXPECT_TRUE(ed->IsDirty());
    FakeSerialPort::uninstall();
}
