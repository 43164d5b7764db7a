#include "ncops/omnum.h"

#include <gtest/gtest.h>

using namespace lumrik;

namespace {
std::vector<QByteArray> renumber(std::vector<QByteArray> lines, const OmnumOptions &o = {})
{
    RkOmnumLines(lines, o);
    return lines;
}
using L = std::vector<QByteArray>;
}

TEST(OmnumRules, DefaultsRenumberNWords)
{
    EXPECT_EQ(renumber({"N5 G1", "N7 X1", "N9 M30"}), (L{"N10 G1", "N20 X1", "N30 M30"}));
    // Words inside the line, halves and a too-large number (left alone, no count).
    EXPECT_EQ(renumber({"G1 N5 X1", "N2147483648 G0", "N7.5"}), (L{"G1 N10 X1", "N2147483648 G0", "N20"}));
}

TEST(OmnumRules, LeadingZerosKeepFourDigits)
{
    OmnumOptions o;
    o.leadingZeros = true;
    EXPECT_EQ(renumber({"N5 G1"}, o), (L{"N0010 G1"}));
    o.firstBlockNr = 10000;
    EXPECT_EQ(renumber({"N5 G1", "N6"}, o), (L{"N0000 G1", "N0010"}));
}

TEST(OmnumRules, RemoveBlanksWordAndTrimsOnlyLeadingBlanks)
{
    OmnumOptions o;
    o.removeBlockNr = true;
    EXPECT_EQ(renumber({"N10 G1 X5", "G1 N10 X5", "N20"}, o), (L{"G1 X5", "G1     X5", ""}));
}

TEST(OmnumRules, AddPutsNumbersOnBlocksWithout)
{
    OmnumOptions o;
    o.addBlockNr = true;
    o.fromBlockNr = 100; // the range does not apply to adding
    o.tomBlockNr = 200;
    EXPECT_EQ(renumber({"G1 X5", "O1000", "%", "N5 G1", "  G1", "(COMMENT) X5", "", "X1"}, o),
              (L{"N10 G1 X5", "O1000", "%", "N5 G1", "N10 G1", "N20 (COMMENT) X5", "", "N30 X1"})); // "%" restarts
}

TEST(OmnumRules, CommentPartRunsFromTheFirstParenthesisToTheEnd)
{
    EXPECT_EQ(renumber({"G1 (A) N5", "N5 (N7) X1"}), (L{"G1 (A) N5", "N10 (N7) X1"}));
}

TEST(OmnumRules, RangeLimitsWhichNumbersAreRenumbered)
{
    OmnumOptions o;
    o.fromBlockNr = 100;
    o.tomBlockNr = 200;
    EXPECT_EQ(renumber({"N50", "N250", "N150", "N200"}, o), (L{"N50", "N250", "N10", "N20"}));
}

TEST(OmnumRules, RestartCharacterResetsTheCounterAlsoOnSkippedLines)
{
    EXPECT_EQ(renumber({"%", "N1", "N2", "  % (X)", "N3"}), (L{"%", "N10", "N20", "% (X)", "N10"}));
    OmnumOptions o;
    o.restartFrom = "%1"; // two characters never match
    EXPECT_EQ(renumber({"N1", "%1", "N2"}, o), (L{"N10", "%1", "N20"}));
    o.restartFrom = "";
    EXPECT_EQ(renumber({"N1", "%", "N2"}, o), (L{"N10", "%", "N20"}));
}

TEST(OmnumRules, SkippedLinesLoseOnlyTheirLeadingBlanks)
{
    OmnumOptions o;
    o.skipBlock = " m6 "; // trimmed and in capitals
    EXPECT_EQ(renumber({"  'N5 X", "N5 'X", "N6 T1 M6", "N7 t1 m6", "   ", "G1 N8"}, o),
              (L{"'N5 X", "N5 'X", "N6 T1 M6", "N10 t1 m6", "", "G1 N20"}));
    // "'" beyond the first four characters does not skip.
    EXPECT_EQ(renumber({"N5 G1 'X"}), (L{"N10 G1 'X"}));
}

TEST(OmnumRules, SelectionLimitsTheLines)
{
    OmnumRun run({});
    run.setSelection(3, 2);
    L out;
    for (const char *l : {" N1", "N2", "N3", "N4"})
        out.push_back(run.line(l, int(out.size() + 1)));
    EXPECT_EQ(out, (L{"N1", "N10", "N20", "N4"}));
}

TEST(OmnumRules, TncNumbersTheLeadingNumber)
{
    OmnumOptions o;
    o.tnc = true;
    o.firstBlockNr = 0;
    o.incr = 1;
    o.fromBlockNr = 0;
    o.leadingZeros = true;  // no effect in TNC mode
    o.removeBlockNr = true; // no effect either
    EXPECT_EQ(renumber({"5 L X+10 R0 FMAX", "3 TOOL CALL 1 Z S2000", "L X+5", "9 END PGM"}, o),
              (L{"0 L X+10 R0 FMAX", "1 TOOL CALL 1 Z S2000", "L X+5", "2 END PGM"}));
}

TEST(OmnumRules, LongLinesAndZeroIncrement)
{
    OmnumOptions o;
    o.incr = 0;
    QByteArray big = "N5 " + QByteArray(50000, 'X');
    const L out = renumber({big, "N6"}, o);
    EXPECT_EQ(out[0], "N10 " + QByteArray(50000, 'X'));
    EXPECT_EQ(out[1], "N10");
}

// The counter runs on past the 32-bit range in every mode and in both
// directions: the numbers keep rising (or falling) by the step.
TEST(OmnumRules, CounterGoesOnPast32Bits)
{
    OmnumOptions o;
    o.firstBlockNr = 2147483647;
    o.incr = 2147483647;
    o.tomBlockNr = 2147483647;
    EXPECT_EQ(renumber({"N1 G1", "N2 X1", "N3 M30"}, o), (L{"N2147483647 G1", "N4294967294 X1", "N6442450941 M30"}));
    o.addBlockNr = true;
    EXPECT_EQ(renumber({"G1", "X1"}, o), (L{"N2147483647 G1", "N4294967294 X1"}));
    o.addBlockNr = false;
    o.tnc = true;
    o.fromBlockNr = 0;
    EXPECT_EQ(renumber({"1 L X+5", "2 L Y+5"}, o), (L{"2147483647 L X+5", "4294967294 L Y+5"}));
    o.tnc = false;
    o.fromBlockNr = 1;
    o.firstBlockNr = -2147483647 - 1;
    o.incr = -1;
    EXPECT_EQ(renumber({"N1", "N2"}, o), (L{"N-2147483648", "N-2147483649"}));
    o.leadingZeros = true;
    o.firstBlockNr = 2147483647;
    o.incr = 2147483647;
    EXPECT_EQ(renumber({"N1", "N2"}, o), (L{"N3647", "N7294"}));
}
