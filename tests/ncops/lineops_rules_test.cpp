#include "core/globals.h"
#include "ncops/boldcomments.h"
#include "ncops/mdlmnfix.h"
#include "ncops/toollist.h"

#include <gtest/gtest.h>

using namespace lumrik;
using L = std::vector<QByteArray>;

TEST(PackBlock, DropsBlanksOutsideComments)
{
    EXPECT_EQ(PackBlock("N10 G1 X 10.5 (TOOL ONE) Y5"), "N10G1X10.5(TOOL ONE)Y5");
    EXPECT_EQ(PackBlock("G1 X5 (A B"), "G1X5(A B");
    EXPECT_EQ(PackBlock(QByteArray("G1\tX5\0Y1 (\tA\0)", 15)), QByteArray("G1X5Y1(\tA\0)", 11));
    EXPECT_EQ(PackBlock("X1) Y2 (A (B) C) D"), "X1)Y2(A (B)C)D");
}

TEST(UnpackBlock, PutsABlankBeforeAddressLetters)
{
    struct Case { const char *in, *out; } cases[] = {
        {"N10G1X10.5Y-3", "N10 G1 X10.5 Y-3"},
        {"G1X5(CUT HERE)Y5", "G1 X5(CUT HERE) Y5"},
        {"M30", "M30"},
        {"G1X5Z", "G1 X5Z"},
        {"g1x5", "g1x5"},
        {"N10 G1 ' X5", "N10G1'X5"},
        {"G1 (X'Y) X5", "G1(X'Y)X5"},
        {"", ""},
        {"G17G90", "G17 G90"},
        {"TOOL1", "TOOL1"},
        {"\xc5X1Y2", "\xc5 X1 Y2"},
    };
    for (const auto &c : cases) {
        QByteArray line = c.in;
        EXPECT_EQ(UnpackBlock(line), QByteArray(c.out)) << c.in;
        EXPECT_EQ(line, PackBlock(c.in)) << c.in;
    }
}

TEST(UnpackBlock, PackingTheUnpackedLineGivesThePackedLineBack)
{
    for (const char *in : {"N10 G1 X10.5 Y-3 (A B) Z1", "G1X5(CUT HERE)Y5", "N5G0G90X0Y0Z100",
                           "G1 X5 (open", "T1M6", "' T1 M6", "  "}) {
        QByteArray line = in;
        const QByteArray unpacked = UnpackBlock(line);
        EXPECT_EQ(PackBlock(unpacked), line) << in;
        QByteArray again = unpacked;
        EXPECT_EQ(UnpackBlock(again), unpacked) << in;
    }
}

TEST(ClearControlChars, DropsCodesBelow32Only)
{
    EXPECT_EQ(clearControlChars(QByteArray("G1\tX5\r\x1f\x7f\xe5", 9)), "G1X5\x7f\xe5");
}

TEST(DecimalPoints, AddsPointsAfterNumbersWithout)
{
    struct Case { const char *in, *out; int n; } cases[] = {
        {"G1 X10 Y-5 Z2.5", "G1 X10. Y-5. Z2.5", 2},
        {"X1,5", "X1,5", 0},   // "," is the decimal separator
        {"X10, Y5", "X10, Y5.", 1},
        {"(X AXIS) X10", "(X AXIS) X10", 0},
        {"G1 X10 X20", "G1 X10. X20", 1},
        {"G1 Y Z", "G1 Y Z", 0},
        // A sign without digits stands before a parameter: a point would
        // change what the word means.
        {"X-", "X-", 0},
        {"G01 X-#<x_max>", "G01 X-#<x_max>", 0},
        {"L X+Q41 Y-5", "L X+Q41 Y-5.", 1},
        {"X+", "X+", 0},
        {"X-0", "X-0.", 1},
        {"X99999999999", "X99999999999", 0}, // beyond 32 bits: no number
    };
    for (const auto &c : cases) {
        QByteArray line = c.in;
        EXPECT_EQ(addDecimalPoints(line, "XYZ"), c.n) << c.in;
        EXPECT_EQ(line, QByteArray(c.out)) << c.in;
    }
    QByteArray line = "G1 X10";
    EXPECT_EQ(addDecimalPoints(line, ""), 0);
    EXPECT_EQ(line, "G1 X10");
}

TEST(XyzRange, CollectsMinAndMaxPerLetter)
{
    XyzRange r;
    for (const char *l : {"G0 X10 Y-5", "G1 X-2.5 F200", "S1200 M3", "G1 X5 X70", "x500",
                          "G1 (X99) X1", "G1 (A) X1 (R5)", "' T1 R0,4", "X1,5", "Y1.2.3"})
        r.addLine(l);
    EXPECT_FLOAT_EQ(r.min[0], -2.5f);
    EXPECT_FLOAT_EQ(r.max[0], 10.0f);
    EXPECT_FLOAT_EQ(r.min[1], -5.0f);
    EXPECT_FLOAT_EQ(r.max[1], -5.0f);
    EXPECT_FALSE(r.seen[2]);
    EXPECT_FLOAT_EQ(r.min[3], 0.4f);
    EXPECT_FLOAT_EQ(r.max[3], 5.0f);
    EXPECT_FLOAT_EQ(r.max[4], 200.0f);
    EXPECT_FLOAT_EQ(r.min[5], 1200.0f);

    XyzRange big; // values beyond the classic sentinel still count on both sides
    big.addLine("S2000000");
    EXPECT_TRUE(big.seen[5]);
    EXPECT_FLOAT_EQ(big.min[5], 2000000.0f);
}

TEST(ToolList, CollectsToolCallsOutsideComments)
{
    const auto tokens = toolListTokens("T");
    const L block = RkToolListBlock({"T1 M6", "G0 X0 (T2)", "TOOL T1", "' T3 M6", "  'T4"}, tokens);
    ASSERT_EQ(block.size(), 3u);
    EXPECT_EQ(block[0], "'" + QByteArray(70, '-'));
    EXPECT_EQ(block[1], "' T1 M6");
    EXPECT_EQ(block[2], block[0]);
    EXPECT_TRUE(RkToolListBlock({"G0 X0", "M30"}, tokens).empty());
}

TEST(ToolList, TestsTheCharacterAfterTheWholeToken)
{
    // Every token is looked at, so a line can give two entries.
    EXPECT_EQ(RkToolListBlock({"T1 M06", "M06", "M6"}, toolListTokens("T,M0")).size(), 2u + 3u);
    // A token that ends in a digit is a whole word: «T1 M6» gives two entries.
    const L both = RkToolListBlock({"T1 M6", "G0 X5 M6"}, toolListTokens("T,M6"));
    ASSERT_EQ(both.size(), 2u + 3u);
    EXPECT_EQ(both[1], "' T1 M6");
    EXPECT_EQ(both[2], "' T1 M6");
    EXPECT_EQ(both[3], "' G0 X5 M6");
    EXPECT_EQ(RkToolListBlock({"T1 M6 X1"}, toolListTokens("M6")).size(), 3u);
    EXPECT_EQ(RkToolListBlock({"T1 M61"}, toolListTokens("M6")).size(), 3u);
    EXPECT_EQ(RkToolListBlock({"T1 M5 (M6)"}, toolListTokens("M6")).size(), 0u);
    // «T, M6»: "M6" with a blank before it.
    EXPECT_EQ(RkToolListBlock({"T1 M6", "M6"}, toolListTokens("T, M6")).size(), 2u + 2u);
    EXPECT_EQ(RkToolListBlock({"G0 TT5"}, toolListTokens("TT")).size(), 3u);
    // A blank inside a token is part of it.
    EXPECT_EQ(RkToolListBlock({"M 6", "X M6"}, toolListTokens(" M")).size(), 3u);
    // The empty token matches lines that begin with a digit.
    const L b = RkToolListBlock({"1 TOOL CALL 5", "L X1", ""}, toolListTokens("Q,"));
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[1], "' 1 TOOL CALL 5");
}

TEST(ToolList, EntryKeepsTheWholeLine)
{
    const L b = RkToolListBlock({"  T12 M6 (DRILL 8)  "}, toolListTokens("T"));
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[1], "'   T12 M6 (DRILL 8)  ");
}

TEST(Colouring, CodeWordsAndComments)
{
    const std::array<QByteArray, 4> words{"T", "", "M6", ""};
    LineColouring c = colourLine("T1 M6 (X)", words);
    EXPECT_EQ(c.codeWord, 2); // the later word wins
    EXPECT_EQ(c.codeEnd, 7);
    EXPECT_TRUE(c.comment);
    EXPECT_EQ(c.commentStart, 7);
    EXPECT_EQ(c.commentEnd, 10);

    c = colourLine("G0 X0 (M6)", {"M6", "", "", ""});
    EXPECT_EQ(c.codeWord, -1);
    EXPECT_EQ(c.commentStart, 7);

    c = colourLine("G1 X5 (A", {});
    EXPECT_EQ(c.commentEnd, 9); // to the end of the line
    c = colourLine("X1) (A) Y2", {});
    EXPECT_EQ(c.commentStart, 5);
    EXPECT_EQ(c.commentEnd, 11);
    c = colourLine("G1 X5 (A) Y1 (B)", {});
    EXPECT_EQ(c.commentEnd, 10);

    c = colourLine("T1 M6", {"M6", "", "", ""}); // no comment: the whole line
    EXPECT_EQ(c.codeWord, 0);
    EXPECT_EQ(c.codeEnd, 6);
    EXPECT_FALSE(c.comment);
}
