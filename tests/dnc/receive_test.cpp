// Cleaning of received bytes and the work file they go to.
#include "dnc/receive.h"

#include "core/errors.h"
#include "testsupport/testsupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {
RxdChunk run(const RxdOptions &o, std::initializer_list<QByteArray> chunks)
{
    RxdChunkProcessor p(o);
    RxdChunk all;
    for (const QByteArray &c : chunks) {
        RxdChunk r = p.process(c);
        all.file += r.file;
        all.display += r.display;
        all.sendDc1 |= r.sendDc1;
        all.eiaError |= r.eiaError;
        all.skipped += r.skipped;
    }
    return all;
}
const QByteArray kNul(1, '\0');
}

TEST(RxdChunkProcessor, LineEndsBecomeCrLfAndCrNulAreDropped)
{
    RxdOptions o;
    o.filter = kNul;  // an empty "FilterChr" expands to one NUL
    EXPECT_EQ(run(o, {"N1\nN2\n"}).file, "N1\r\nN2\r\n");
    EXPECT_EQ(run(o, {"N1\r\nN2\r\n"}).file, "N1\r\nN2\r\n");
    EXPECT_EQ(run(o, {"N1\rN2\r"}).file, "N1N2");
    // A CR LF pair split between chunks gives the same result.
    EXPECT_EQ(run(o, {"N1\r", "\nN2\r", "\n"}).file, "N1\r\nN2\r\n");
    // NUL padding is neither stored nor shown while the filter holds NUL.
    const RxdChunk r = run(o, {QByteArray("\0\0N1\n\0", 6)});
    EXPECT_EQ(r.file, "N1\r\n");
    EXPECT_EQ(r.display, "N1\r\n");

    // Without NUL in the filter, CR and NUL are shown but still never stored;
    // other control codes are stored.
    RxdOptions plain;
    plain.filter = "%";
    const RxdChunk s = run(plain, {QByteArray("%\x01X\0\r\n", 6)});
    EXPECT_EQ(s.file, QByteArray("\x01X\r\n"));
    EXPECT_EQ(s.display, QByteArray("\x01X\0\r\r\n", 6));
}

TEST(RxdChunkProcessor, StartCharacterIsWaitedForAcrossChunks)
{
    RxdOptions o;
    o.waitStartChr = true;
    o.startChr = 0x25;
    o.filter = kNul;
    RxdChunkProcessor p(o);
    RxdChunk a = p.process("garbage\n");
    EXPECT_TRUE(a.file.isEmpty());
    EXPECT_TRUE(a.display.isEmpty());
    EXPECT_EQ(a.skipped, 8);
    EXPECT_TRUE(p.waitingForStart());
    RxdChunk b = p.process("xx%\nO1\n%");
    EXPECT_EQ(b.file, "%\r\nO1\r\n%");
    EXPECT_EQ(b.skipped, 2);
    EXPECT_FALSE(b.sendDc1);
    EXPECT_FALSE(p.waitingForStart());
    // A later start character is an ordinary character.
    EXPECT_EQ(p.process("%").file, "%");
}

TEST(RxdChunkProcessor, KearneyAnswersOnceAndDropsDcCodes)
{
    RxdOptions o;
    o.kearney = true;
    o.waitStartChr = true;
    o.startChr = 0x12;
    o.filter = QByteArray("\0\x11\x12\x13\x14", 5);
    RxdChunkProcessor p(o);
    RxdChunk a = p.process("\x11junk\x12N1\x14\n");
    EXPECT_TRUE(a.sendDc1);
    EXPECT_EQ(a.file, "N1\r\n");
    RxdChunk b = p.process("\x12N2\x13\n");
    EXPECT_FALSE(b.sendDc1);
    EXPECT_EQ(b.file, "N2\r\n");
}

TEST(RxdChunkProcessor, EiaIsTranslatedAndFilteredAfterTranslation)
{
    RxdOptions o;
    o.eia = true;
    o.waitStartChr = true;
    o.startChr = 0x0B;   // the EIA "%", compared before translation
    o.filter = "(";
    // 25 would be "%" in ISO but is "V" in EIA: it does not start the reception.
    QByteArray in("\x25\x0B\x80\x45\x01\x34\x7F\x1A\x20\x80", 10);
    RxdChunk r = run(o, {in});
    EXPECT_EQ(r.skipped, 1);
    EXPECT_EQ(r.file, "%\r\nN1U0\r\n");   // 7F (unlisted) and "(" (filtered) dropped
    EXPECT_FALSE(r.eiaError);

    // Every listed code maps to a distinct character; 0x80 is the block end.
    const auto &t = eiaToIsoTable();
    int listed = 0;
    for (int c = 0; c <= 128; ++c)
        listed += t[c] != 0;
    EXPECT_EQ(listed, 49);
    EXPECT_EQ(t[0x80], '\n');
    EXPECT_EQ(t[0x2A], '\b');
    EXPECT_EQ(t[0x3E], '\t');
}

TEST(RxdChunkProcessor, EiaCodeAbove128EndsTheChunkBeforeIt)
{
    RxdOptions o;
    o.eia = true;
    RxdChunkProcessor p(o);
    EXPECT_EQ(p.process(QByteArray("\x45\x01\x80", 3)).file, "N1\r\n");
    RxdChunk r = p.process(QByteArray("\x45\x02\x81\x45", 4));
    EXPECT_TRUE(r.eiaError);
    EXPECT_EQ(r.file, "N2");
    EXPECT_EQ(r.display, "N2");
}

TEST(RxdChunkProcessor, BinaryKeepsEveryByteFromTheStartCharacterOn)
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    RxdOptions o;
    o.binary = true;
    o.filter = QByteArray("\0\r\n%", 4);   // not applied in binary mode
    EXPECT_EQ(run(o, {all.left(100), all.mid(100)}).file, all);

    o.waitStartChr = true;
    o.startChr = 0x25;
    EXPECT_EQ(run(o, {all.left(30), all.mid(30)}).file, all.mid(0x25));
}

TEST(RxdReception, AppendsChunksAndDiscards)
{
    test::TempEnv env;
    const QString path = env.tmpPath() + "/Rxd.Tmp";
    test::writeFile(path, "stale content that must go");
    RxdOptions o;
    o.filter = kNul;
    {
        RxdReception r(o);
        r.open(path);
        EXPECT_TRUE(test::readFile(path).isEmpty());   // truncated at the start
        r.feed("%\nN1 G0");
        r.feed(" X1\n%\n");
        EXPECT_EQ(r.bytesReceived(), 13);
        r.close();
        EXPECT_EQ(r.bytesWritten(), 16);
    }
    EXPECT_EQ(test::readFile(path), "%\r\nN1 G0 X1\r\n%\r\n");

    RxdReception r(o);
    r.open(path);
    r.feed("N1\n");
    r.discard();
    EXPECT_FALSE(QFile::exists(path));

    RxdReception bad(o);
    EXPECT_THROW(bad.open(env.tmpPath() + "/no/such/folder/Rxd.Tmp"), RkError);
}

TEST(RxdTargetName, ExtensionRule)
{
    const QString u = QStringLiteral("NAMNLÖS");
    EXPECT_EQ(rxdTargetName("O1000", "*.NC", u), "O1000.NC");
    EXPECT_EQ(rxdTargetName("o1000.nc", "*.NC", u), "o1000.nc");
    EXPECT_EQ(rxdTargetName("  O1000 ", "*.NC", u), "O1000.NC");
    EXPECT_EQ(rxdTargetName("O1000", "*.*", u), "O1000");
    EXPECT_EQ(rxdTargetName("O1000", "*.NC;*.H", u), "O1000.NC");
    EXPECT_EQ(rxdTargetName("O1000", "*", u), "O1000");
    EXPECT_EQ(rxdTargetName("O1000", "", u), "O1000");
    EXPECT_EQ(rxdTargetName("O1000", "*.N?", u), "O1000");
    EXPECT_EQ(rxdTargetName("   ", "*.NC", u), u);
    EXPECT_EQ(rxdTargetName(u, "*.NC", u), u);
}

TEST(RxdTail, AProgramEndsAfterAnEndOfBlockOrPercent)
{
    EXPECT_EQ(rxdTail("", RxdTail::Nothing), RxdTail::Nothing);
    EXPECT_EQ(rxdTail("N10 G0\r\n", RxdTail::Nothing), RxdTail::AtBlockEnd);
    EXPECT_EQ(rxdTail("N20 G1 Y", RxdTail::AtBlockEnd), RxdTail::InBlock);
    EXPECT_EQ(rxdTail("%", RxdTail::InBlock), RxdTail::AtBlockEnd);
    // Blanks and control codes after the end do not count...
    EXPECT_EQ(rxdTail(QByteArray("%\x14\x04 \0\x7F", 6), RxdTail::Nothing), RxdTail::AtBlockEnd);
    EXPECT_EQ(rxdTail("  \x14", RxdTail::AtBlockEnd), RxdTail::AtBlockEnd);
    EXPECT_EQ(rxdTail("  \x14", RxdTail::InBlock), RxdTail::InBlock);
    // ...but a letter does, high bytes too.
    EXPECT_EQ(rxdTail("N1\n\xC5", RxdTail::Nothing), RxdTail::InBlock);
    EXPECT_EQ(rxdTail("P1=5\r", RxdTail::Nothing), RxdTail::AtBlockEnd);
}

TEST(RxdTail, AReceptionTellsItsTailByWhatArrived)
{
    test::TempEnv env;
    RxdOptions o;
    o.filter = kNul;
    RxdReception r(o);
    r.open(env.tmpPath() + "/Rxd.Tmp");
    EXPECT_EQ(r.tail(), RxdTail::Nothing);
    r.feed("%\nN1 G0");
    EXPECT_EQ(r.tail(), RxdTail::InBlock);
    // CR alone ends a block as the machine sends it, though the file drops it.
    r.feed(" X1\r");
    EXPECT_EQ(r.tail(), RxdTail::AtBlockEnd);
    r.feed(QByteArray("\0\0", 2));
    EXPECT_EQ(r.tail(), RxdTail::AtBlockEnd);
    r.feed("N2");
    EXPECT_EQ(r.tail(), RxdTail::InBlock);
    r.discard();
}
