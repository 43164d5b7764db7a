// What the send makes of the program text: EIA table, skip rules, padding,
// filter, stop text, end-of-block codes, the hand-off file's lines and the
// settings of the machine file.
#include "dnc/txdsend.h"

#include "dnc/receive.h"
#include "testsupport/testsupport.h"

#include <gtest/gtest.h>

using namespace lumrik;
using lumrik::test::TempEnv;

namespace {
const QByteArray kCrLf("\r\n");
QByteArray nuls(int n) { return QByteArray(n, '\0'); }

QByteArray transform(const QByteArray &line, const TxdOptions &o, TxdLineAction *action = nullptr)
{
    QByteArray out;
    const TxdLineAction a = txdTransformLine(line, o, out);
    if (action)
        *action = a;
    return a == TxdLineAction::Skip ? QByteArray("<skip>") : out;
}
}

TEST(TxdEia, TableIsTheExactInverseOfTheReceiveTable)
{
    const auto &send = isoToEiaTable();
    const auto &receive = eiaToIsoTable();
    int covered = 0;
    for (int iso = 0; iso <= 90; ++iso) {
        const unsigned char eia = send[size_t(iso)];
        if (eia == 0)
            continue;
        ++covered;
        ASSERT_LT(eia, receive.size());
        EXPECT_EQ(receive[eia], iso) << "ISO " << iso;
    }
    int listed = 0;
    for (size_t eia = 0; eia < receive.size(); ++eia)
        if (receive[eia] != 0) {
            ++listed;
            EXPECT_EQ(send[receive[eia]], eia) << "EIA " << eia;
        }
    EXPECT_EQ(covered, 49);
    EXPECT_EQ(listed, 49);
}

TEST(TxdEia, TranslatesALineAndRefusesCodesAboveZ)
{
    QByteArray out;
    EXPECT_EQ(isoToEia("G01 X10.5\r\n", out), -1);
    EXPECT_EQ(out, QByteArray::fromHex("672001103701206b150080"));
    EXPECT_EQ(isoToEia("':#", out), -1);
    EXPECT_EQ(out, nuls(3));
    EXPECT_EQ(isoToEia("%(-)", out), -1);
    EXPECT_EQ(out, QByteArray::fromHex("0b1a404a"));
    EXPECT_EQ(isoToEia("G01 x1", out), 4);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(isoToEia("\xC5", out), 0);
}

TEST(TxdLines, SkipRules)
{
    TxdOptions o;
    EXPECT_EQ(transform("  '(kommentar)", o), "<skip>");
    EXPECT_EQ(transform(" /N10 G0", o), " /N10 G0\r\n");
    o.doNotSend = "/";
    EXPECT_EQ(transform(" /N10 G0", o), "<skip>");
    EXPECT_EQ(transform("N10 /G0", o), "N10 /G0\r\n");
    o.doNotSend = "//";  // a longer text never matches
    EXPECT_EQ(transform("//N10", o), "//N10\r\n");
    EXPECT_EQ(transform("", o), "\r\n");
    EXPECT_EQ(transform("   ", o), "   \r\n");
}

TEST(TxdLines, NulPaddingAndTheFilterLeavesThePaddingAlone)
{
    TxdOptions o;  // empty filter: NUL is the filter character
    EXPECT_EQ(transform("O1000.MIN%", o), "O1000.MIN" + nuls(50) + "%\r\n");
    EXPECT_EQ(transform(".MIN%", o), ".MIN%\r\n");
    EXPECT_EQ(transform("%O1.MIN%", o), nuls(50) + "%O1.MIN%\r\n");  // before the first "%"
    EXPECT_EQ(transform("N10 M00~ (TEXT)", o), "N10 M00~" + nuls(64) + " (TEXT)\r\n");
    EXPECT_EQ(transform(QByteArray("N1\0 G0~", 7), o), "N1 G0~" + nuls(64) + "\r\n");
    o.filter = ' ';
    EXPECT_EQ(transform("N10 G01 X1", o), "N10G01X1\r\n");
    EXPECT_EQ(transform(QByteArray("N1\0~ 2", 6), o), QByteArray("N1\0~", 4) + nuls(64) + "2\r\n");
    o.filter = '%';
    EXPECT_EQ(transform("O1.MIN%", o), "O1.MIN" + nuls(50) + "\r\n");
}

TEST(TxdLines, SendToCutsTheLineAndEndsTheSend)
{
    TxdOptions o;
    o.sendTo = "M30";
    TxdLineAction a;
    EXPECT_EQ(transform("N990 M30 (END)", o, &a), "N990 M30");
    EXPECT_EQ(a, TxdLineAction::SendAndStop);
    EXPECT_EQ(transform("N980 M3", o, &a), "N980 M3\r\n");
    EXPECT_EQ(a, TxdLineAction::Send);
}

TEST(TxdLines, EndOfBlockCodes)
{
    EXPECT_EQ(txdEob("CR LF"), "\r\n");
    EXPECT_EQ(txdEob("CR"), "\r");
    EXPECT_EQ(txdEob("LF"), "\n");
    EXPECT_EQ(txdEob("LF CR CR"), "\n\r\r");
    EXPECT_EQ(txdEob("CRLF"), "");
    TxdOptions o;
    o.eob = txdEob("CRLF");
    EXPECT_EQ(transform("N10", o), "N10");
}

TEST(TxdLines, ReaderEndsLinesAtCrOrCrLfOnly)
{
    TxdLineReader r(QByteArrayView("A\r\nB\rC\nD\r\n\r\nE"));
    QList<QByteArray> lines;
    while (!r.atEnd())
        lines << r.next().toByteArray();
    EXPECT_EQ(lines, QList<QByteArray>({"A", "B", "C\nD", "", "E"}));
}

TEST(TxdLines, RateTextNeverDividesByZero)
{
    EXPECT_EQ(txdRateText(1000, 0), " Chr's/sec : 1000000.");
    EXPECT_EQ(txdRateText(2400, 2000), " Chr's/sec : 1200.");
    EXPECT_EQ(txdRateText(1, 2000), " Chr's/sec : .5");
    EXPECT_EQ(txdRateText(10, 3000), " Chr's/sec : 3.3");
}

TEST(TxdSettings, DefaultsOfAMachineWithoutCommunicationSection)
{
    TempEnv env;
    TxdSettings s;
    ASSERT_EQ(readTxdSettings(MachineConfig(env.write("M.cfg", "[Settings]\r\n")), s), TxdSettingsStatus::Ok);
    EXPECT_EQ(s.commSettings, "2400,E,7,1");
    EXPECT_EQ(s.comPort, 1);
    EXPECT_EQ(s.protokoll, "RTS/CTS");
    EXPECT_EQ(s.protocol.handshake, comRTS);
    EXPECT_FALSE(s.protocol.skipCts);
    EXPECT_FALSE(s.eia);
    EXPECT_FALSE(s.options.binary);
    EXPECT_EQ(s.options.eob, "\r\n");
    EXPECT_EQ(s.options.filter, '\0');
    EXPECT_TRUE(s.leader.isEmpty() && s.trailer.isEmpty());
    EXPECT_EQ(s.blockSize, 256);
    EXPECT_EQ(s.chrDelay, 0);
    EXPECT_FALSE(s.loopSend);
    EXPECT_TRUE(s.displayTxData);
}

TEST(TxdSettings, ValuesOfTheMachineFile)
{
    TempEnv env;
    const QString file = env.write("M.cfg",
                                   "[Communication]\r\nComPort=3\r\nBaudRate=9600\r\nParity=MARK\r\nDataBits=8\r\n"
                                   "StopBits=2\r\nProtokoll=KEARNEY\r\nCode=EIA\r\nLeaderChr=(00*20)\r\n"
                                   "TrailerChr=25,0D,0A\r\nDoNotSend=/\r\nTxdFilter=20\r\nSendTo=M30\r\n"
                                   "Send30Null=1\r\nDisplayTxData=0\r\nEobCode=LF CR CR\r\nBufSize=999\r\n"
                                   "ChrDelayInMs=-5\r\nLoopSend=1\r\nDelayBeforeClose=-1\r\n");
    TxdSettings s;
    ASSERT_EQ(readTxdSettings(MachineConfig(file), s), TxdSettingsStatus::Ok);
    EXPECT_EQ(s.comPort, 3);
    EXPECT_EQ(s.commSettings, "9600,MARK,8,2");
    EXPECT_TRUE(s.protocol.kearney && s.protocol.waitDc1);
    EXPECT_TRUE(s.eia);
    EXPECT_EQ(s.leader, nuls(20));
    EXPECT_EQ(s.trailer, "%\r\n");
    EXPECT_EQ(s.options.doNotSend, "/");
    EXPECT_EQ(s.options.filter, ' ');
    EXPECT_EQ(s.options.sendTo, "M30");
    EXPECT_TRUE(s.send30Null);
    EXPECT_FALSE(s.displayTxData);
    EXPECT_EQ(s.options.eob, "\n\r\r");
    EXPECT_EQ(s.blockSize, 256);
    EXPECT_EQ(s.chrDelay, 0);
    EXPECT_TRUE(s.loopSend);
    EXPECT_EQ(s.delayBeforeClose, -1);
}

TEST(TxdSettings, ProtocolTable)
{
    struct Row {
        const char *name;
        int hs;
        bool skipCts, waitDc1, osp, kearney;
    } rows[] = {
        {"INGEN", comNone, true, false, false, false},     {"RTS/CTS", comRTS, false, false, false, false},
        {"RTS/CTS2", comRTS, true, false, false, false},   {"XON/XOFF", comRTSXOnXOff, false, false, false, false},
        {"DC-KODER", comRTS, false, true, false, false},   {"OSP5000", comRTS, true, true, true, false},
        {"KEARNEY", comRTS, false, true, false, true},
    };
    for (const Row &r : rows) {
        const TxdProtocol p = txdProtocol(QString::fromLatin1(r.name));
        EXPECT_TRUE(p.known) << r.name;
        EXPECT_EQ(p.handshake, r.hs) << r.name;
        EXPECT_EQ(p.skipCts, r.skipCts) << r.name;
        EXPECT_EQ(p.waitDc1, r.waitDc1) << r.name;
        EXPECT_EQ(p.osp, r.osp) << r.name;
        EXPECT_EQ(p.kearney, r.kearney) << r.name;
    }
    EXPECT_FALSE(txdProtocol("rts/cts").known);
}

TEST(TxdSettings, UnknownProtocolAndMalformedCodesAreRefused)
{
    TempEnv env;
    TxdSettings s;
    QString msg;
    EXPECT_EQ(readTxdSettings(MachineConfig(env.write("A.cfg", "[Communication]\r\nProtokoll=HEJ\r\n")), s, &msg),
              TxdSettingsStatus::UnknownProtocol);
    EXPECT_EQ(msg, "Stop i SelectProtokoll !!!");
    for (const char *bad : {"LeaderChr=0D,,0A", "TrailerChr=(1B)", "TxdFilter=G", "ComPort=x"}) {
        msg.clear();
        const QString file = env.write("B.cfg", QByteArray("[Communication]\r\n") + bad + "\r\n");
        EXPECT_EQ(readTxdSettings(MachineConfig(file), s, &msg), TxdSettingsStatus::BadHexCode) << bad;
        EXPECT_TRUE(msg.contains(QString::fromLatin1(bad).section('=', 0, 0))) << bad;
    }
}
