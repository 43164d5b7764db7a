#include "core/codepage.h"
#include "ncops/mdlrkfix.h"

#include <gtest/gtest.h>

using namespace lumrik;

TEST(RemoveChr, DropsEveryOccurrence)
{
    EXPECT_EQ(RkRemoveChr("'A'B''", '\''), "AB");
    EXPECT_EQ(RkRemoveChr("", ' '), "");
}

TEST(OmNumTnc, ReplacesTheLeadingNumber)
{
    QByteArray r = "untouched";
    EXPECT_FALSE(RkOmNumTnc("", r, 10));
    EXPECT_EQ(r, "untouched");
    ASSERT_TRUE(RkOmNumTnc("5", r, 10));
    EXPECT_EQ(r, "10");
    ASSERT_TRUE(RkOmNumTnc("5 L X+10 R0 FMAX", r, 0));
    EXPECT_EQ(r, "0 L X+10 R0 FMAX");
    ASSERT_TRUE(RkOmNumTnc("L X+5", r, 10));
    EXPECT_EQ(r, "10L X+5");
    ASSERT_TRUE(RkOmNumTnc("7 X", r, -3));
    EXPECT_EQ(r, "-3 X");
}

TEST(BlockFix, ReadFindsTheFirstWordWithItsRun)
{
    QByteArray r;
    qint32 v = -1;
    ASSERT_TRUE(RkBlockFix("G1 N10 X5", r, "N", v, 2, false));
    EXPECT_EQ(r, "N10");
    EXPECT_EQ(v, 10);
    ASSERT_TRUE(RkBlockFix("N0010", r, "N", v, 2, false));
    EXPECT_EQ(r, "N0010");
    EXPECT_EQ(v, 10);

    r = "keep";
    v = 77;
    EXPECT_FALSE(RkBlockFix("NOTE N10", r, "N", v, 2, false)); // only the first "N" counts
    EXPECT_FALSE(RkBlockFix("G1 X5", r, "N", v, 2, false));
    EXPECT_FALSE(RkBlockFix("N10", r, "N", v, 4, false));
    EXPECT_EQ(r, "keep");
    EXPECT_EQ(v, 77);
}

TEST(BlockFix, ReadingRoundsHalvesToEvenAndStopsAtTheNumber)
{
    struct Case { const char *run; qint32 value; } cases[] = {
        {"N10.5", 10}, {"N11.5", 12}, {"N10.51", 11}, {"N10.49", 10}, {"N10-5", 10},
        {"N-7", -7}, {"N+7", 7}, {"N-", 0}, {"N.", 0}, {"N--5", 0}, {"N1.2.3", 1},
        {"N-2.5", -2}, {"N2147483647", 2147483647}, {"N-2147483648", -2147483647 - 1},
    };
    for (const auto &c : cases) {
        QByteArray r;
        qint32 v = -99;
        ASSERT_TRUE(RkBlockFix(c.run, r, "N", v, 2, false)) << c.run;
        EXPECT_EQ(v, c.value) << c.run;
    }
}

TEST(BlockFix, NumberBeyond32BitsIsNoNumber)
{
    for (const char *line : {"N2147483648 G1", "N99999999999999999999", "N-2147483649",
                             "N2147483647.5"}) {
        QByteArray r = "keep";
        qint32 v = 3;
        EXPECT_FALSE(RkBlockFix(line, r, "N", v, 2, false)) << line;
        EXPECT_FALSE(RkBlockFix(line, r, "N", v, 1, false)) << line;
        EXPECT_EQ(r, "keep");
        EXPECT_EQ(v, 3);
    }
}

TEST(BlockFix, RemoveBlanksTheWordInPlace)
{
    QByteArray r;
    qint32 v = 0;
    ASSERT_TRUE(RkBlockFix("N10 G1", r, "N", v, 1, false));
    EXPECT_EQ(r, "    G1");
    EXPECT_EQ(v, 10);
    ASSERT_TRUE(RkBlockFix("G1 N10 X5", r, "N", v, 1, false));
    EXPECT_EQ(r, "G1     X5");
}

TEST(BlockFix, WriteReplacesTheNumber)
{
    QByteArray r;
    qint32 v = 20;
    ASSERT_TRUE(RkBlockFix("N10.5 G1", r, "N", v, 3, false));
    EXPECT_EQ(r, "N20 G1");
    ASSERT_TRUE(RkBlockFix("N5", r, "N", v, 3, true));
    EXPECT_EQ(r, "N0020");
    v = 123456;
    ASSERT_TRUE(RkBlockFix("N5", r, "N", v, 3, true));
    EXPECT_EQ(r, "N3456");
    v = 20;
    ASSERT_TRUE(RkBlockFix("10 L X+5", r, "", v, 3, false));
    EXPECT_EQ(r, "20 L X+5");
    EXPECT_FALSE(RkBlockFix("L X+5", r, "", v, 3, false));
    // Writing does not read the old number, so a huge one is still replaced.
    ASSERT_TRUE(RkBlockFix("N99999999999 G1", r, "N", v, 3, false));
    EXPECT_EQ(r, "N20 G1");
}

TEST(BlockFix, WorksOnLinesLongerThan32767)
{
    QByteArray line;
    while (line.size() < 40000)
        line += "G1 X5 ";
    line += "N12 G1";
    QByteArray r;
    qint32 v = 0;
    ASSERT_TRUE(RkBlockFix(line, r, "N", v, 2, false));
    EXPECT_EQ(v, 12);
    v = 30;
    ASSERT_TRUE(RkBlockFix(line, r, "N", v, 3, false));
    EXPECT_EQ(r.right(6), "N30 G1");
    EXPECT_EQ(r.size(), line.size());
}

TEST(ExtractValue, ReadsTheValueAfterTheFirstLetter)
{
    EXPECT_FLOAT_EQ(ExtractValue('X', "G1 X-2.5Y3"), -2.5f);
    EXPECT_FLOAT_EQ(ExtractValue('X', "X12,5"), 12.5f);
    EXPECT_FLOAT_EQ(ExtractValue('X', "X12.5"), 12.5f);
    EXPECT_FLOAT_EQ(ExtractValue('X', "X+3"), 3.0f);
    EXPECT_FLOAT_EQ(ExtractValue('X', "X.5"), 0.5f);
    EXPECT_FLOAT_EQ(ExtractValue('X', "G1 X5 X7"), 5.0f);
    EXPECT_FLOAT_EQ(ExtractValue('R', "' T1 R0.4"), 0.4f);
    for (const char *none : {"G1 X", "G1 X1.2.3", "G1 x5", "G1 X-", "X1,2.3", "X5-3", "X--5",
                             "G1 Y5"})
        EXPECT_EQ(ExtractValue('X', none), kNoValue) << none;
    EXPECT_FALSE(extractValue('X', "X" + QByteArray(60, '9')).has_value()); // beyond single precision
    EXPECT_FLOAT_EQ(*extractValue('X', "X0." + QByteArray(80, '0') + "1"), 0.0f);
}

TEST(InstrList, TrueWhenAnyCharacterOfTheSetOccurs)
{
    EXPECT_FALSE(RkInstrList("G1 X5", "N%:$O"));
    EXPECT_TRUE(RkInstrList("O1000", "N%:$O"));
    EXPECT_FALSE(RkInstrList("O1000", ""));
}

TEST(Upper1252, CapitalisesSwedishLetters)
{
    EXPECT_EQ(upper1252("g1 x5 (\xe5\xe4\xf6 \xf7\xff)"), "G1 X5 (\xc5\xc4\xd6 \xf7\x9f)");
}

TEST(UpperUtf8, CapitalisesLettersAndKeepsEveryOtherSequence)
{
    EXPECT_EQ(upperUtf8("(\xc3\xbc" "ber \xc3\xa5\xc3\xa4\xc3\xb6 \xc3\xbf)"),
              "(\xc3\x9c" "BER \xc3\x85\xc3\x84\xc3\x96 \xc5\xb8)"); // "über åäö ÿ"
    // The byte-order mark, a „ quotation mark, ß, the micro sign and the
    // division sign keep their bytes; Greek and a letter beyond 16 bits change.
    EXPECT_EQ(upperUtf8("\xef\xbb\xbf" "g1 \xe2\x80\x9ex\xe2\x80\x9c \xc3\x9f \xc2\xb5m \xc3\xb7"),
              "\xef\xbb\xbf" "G1 \xe2\x80\x9eX\xe2\x80\x9c \xc3\x9f \xc2\xb5M \xc3\xb7");
    EXPECT_EQ(upperUtf8("\xce\xb1 \xf0\x90\x90\xa8"), "\xce\x91 \xf0\x90\x90\x80"); // α, Deseret ew
    // Bytes that start no whole sequence stay as they are.
    EXPECT_EQ(upperUtf8("a\xe5" "b\xc3"), "A\xe5" "B\xc3");
    for (const char *line : {"\xef\xbb\xbf" "g1", "x \xe2\x80\x9e" "a\xe2\x80\x9c", "\xc3\xbc" "ber"})
        EXPECT_TRUE(isValidUtf8(upperUtf8(line))) << line;
}

// Every lower-case letter of the Latin, Greek and Cyrillic ranges (the Turkish
// letters among them), upper-cased twice: each time valid UTF-8 with the
// byte-order mark kept, and each letter as Qt's own case mapping has it.
TEST(UpperUtf8, EveryLowerCaseLetterAsQtMapsItTwiceInARow)
{
    QString lower, upper;
    for (char32_t c = 0x80; c < 0x530; ++c) {
        if (!QChar::isLower(c) || c == 0xB5) // the micro sign stays (as in Windows-1252)
            continue;
        lower += QString::fromUcs4(&c, 1) + QLatin1Char(' ');
        const char32_t up = QChar::toUpper(c);
        upper += QString::fromUcs4(&up, 1) + QLatin1Char(' ');
    }
    ASSERT_GT(lower.size(), 400);
    const QByteArray bom = "\xEF\xBB\xBF";
    const QByteArray once = upperUtf8(bom + "(" + lower.toUtf8() + ")");
    EXPECT_TRUE(isValidUtf8(once));
    EXPECT_EQ(once, bom + "(" + upper.toUtf8() + ")");
    const QByteArray twice = upperUtf8(once);
    EXPECT_TRUE(isValidUtf8(twice));
    EXPECT_TRUE(twice.startsWith(bom));
    QString again;
    for (uint c : upper.toUcs4()) {
        const char32_t up = QChar::toUpper(c);
        again += QString::fromUcs4(&up, 1);
    }
    EXPECT_EQ(twice, bom + "(" + again.toUtf8() + ")");

    // A capital in ASCII is the ASCII byte, never a longer sequence.
    EXPECT_EQ(upperUtf8("\xEF\xBB\xBF(\xC4\xB1)"), QByteArray("\xEF\xBB\xBF(I)"));     // «(ı)»
    EXPECT_EQ(upperUtf8("(\xC5\xBF)"), QByteArray("(S)"));                              // «(ſ)»
    const QByteArray turkish = QStringLiteral("(dış çap ölçü ğ ş i)").toUtf8();
    EXPECT_EQ(upperUtf8(upperUtf8(turkish)), QStringLiteral("(DIŞ ÇAP ÖLÇÜ Ğ Ş I)").toUtf8());
    // A byte-order mark inside a line stays too.
    EXPECT_EQ(upperUtf8("a\xEF\xBB\xBF" "b\xC3\xA5"), QByteArray("A\xEF\xBB\xBF" "B\xC3\x85"));
}
