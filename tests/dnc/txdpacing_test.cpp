// The output layer: blocks of "BufSize" into an empty buffer, one character at
// a time with a pause, waiting for the machine, EIA errors and abort.
#include "fakeserialport.h"
#include "dnc/txdsend.h"

#include "testsupport/testsupport.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lumrik;
using lumrik::test::MsgBoxRecorder;

namespace {
struct Rig {
    FakeSerialPort port;
    TxdSender sender{&port};
    Rig()
    {
        port.setPortOpen(true);
        port.OutBufferSize = 512;
    }
};
}

TEST(TxdPacing, EmptyTextWritesNothingAndDoesNotWait)
{
    Rig r;
    r.port.holdOutput = true;
    r.port.Output("x");  // a full buffer would make any wait hang
    EXPECT_FALSE(r.sender.SendString(QByteArrayView(), false));
    EXPECT_EQ(r.port.writes.size(), 1);
}

TEST(TxdPacing, BlocksGoOutOnlyIntoAnEmptyBuffer)
{
    Rig r;
    r.port.holdOutput = true;
    r.port.drainPerQuery = 40;
    r.sender.blockSize = 256;
    const QByteArray line(600, 'A');
    EXPECT_FALSE(r.sender.SendString(line, false));
    ASSERT_EQ(r.port.writes.size(), 3);
    EXPECT_EQ(r.port.writes[0].size(), 256);
    EXPECT_EQ(r.port.writes[1].size(), 256);
    EXPECT_EQ(r.port.writes[2].size(), 88);
    EXPECT_EQ(r.port.outCountAtWrite, QList<int>({0, 0, 0}));
    EXPECT_EQ(r.port.written, line);
}

TEST(TxdPacing, BlockSizeOfOneAndAFullBufferBeforeTheCall)
{
    Rig r;
    r.sender.blockSize = 1;
    r.port.holdOutput = true;
    r.port.Output("old");
    r.port.drainPerQuery = 1;
    EXPECT_FALSE(r.sender.SendString("ABC", false));
    EXPECT_EQ(r.port.writes, QList<QByteArray>({"old", "A", "B", "C"}));
    EXPECT_EQ(r.port.outCountAtWrite.mid(1), QList<int>({0, 0, 0}));
}

TEST(TxdPacing, CharacterDelayPacesEveryCharacterWithoutBlockingEvents)
{
    Rig r;
    r.sender.lChrDelay = 20;
    r.sender.bNoChrDelay = false;
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(r.sender.SendString("N10 G01 X1", false));
    EXPECT_GE(clock.elapsed(), 200);
    EXPECT_EQ(r.port.writes.size(), 10);
    for (const QByteArray &w : r.port.writes)
        EXPECT_EQ(w.size(), 1);
    EXPECT_GE(ticks, 5);  // the window kept running during the pauses
}

TEST(TxdPacing, WaitsForCtsAndTheAbortButtonEndsTheWait)
{
    Rig r;
    r.port.setCts(false);
    QTimer::singleShot(50, [&] { r.port.setCts(true); });
    EXPECT_FALSE(r.sender.SendString("N1", false));
    EXPECT_EQ(r.port.written, "N1");

    r.port.setCts(false);
    QTimer::singleShot(50, [&] { r.sender.bAbort = true; });
    EXPECT_TRUE(r.sender.SendString("N2", false));
    EXPECT_EQ(r.port.written, "N1");
    EXPECT_FALSE(r.port.PortOpen());
    EXPECT_GE(r.port.purges, 1);
}

TEST(TxdPacing, SkipCtsMakesTheMachineAlwaysReady)
{
    Rig r;
    r.port.setCts(false);
    r.sender.bSkipCts = true;
    EXPECT_FALSE(r.sender.SendString("N1", false));
    EXPECT_EQ(r.port.written, "N1");
}

TEST(TxdPacing, EiaBlockWithALowerCaseLetterWritesNothing)
{
    MsgBoxRecorder boxes;
    Rig r;
    EXPECT_TRUE(r.sender.SendString("G01 x10\r\n", true));
    EXPECT_TRUE(r.port.written.isEmpty());
    EXPECT_TRUE(r.sender.bAbort);
    EXPECT_FALSE(r.port.PortOpen());
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("EIA översättningsfel.\r\nÖverföringen har avbrutits."));
    EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("Översättningsfel"));
}

TEST(TxdPacing, EiaCharacterModeWritesTheCharactersBeforeTheBadOne)
{
    MsgBoxRecorder boxes;
    Rig r;
    r.sender.lChrDelay = 1;
    r.sender.bNoChrDelay = false;
    EXPECT_TRUE(r.sender.SendString("G1a2", true));
    EXPECT_EQ(r.port.written, QByteArray::fromHex("6701"));
    EXPECT_EQ(boxes.calls().size(), 1u);
}

TEST(TxdPacing, EiaTranslatesApostropheAndColonToBlankTape)
{
    Rig r;
    EXPECT_FALSE(r.sender.SendString("':", true));
    EXPECT_EQ(r.port.written, QByteArray(2, '\0'));
}

TEST(TxdPacing, RefusedOutputStopsTheSend)
{
    Rig r;
    r.port.refuseOutput = true;
    EXPECT_TRUE(r.sender.SendString("N1", false));
    EXPECT_FALSE(r.port.PortOpen());
}
