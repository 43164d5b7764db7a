#include "core/nctext.h"

#include <gtest/gtest.h>

using namespace lumrik;

// The byte form (NC operations) and the text form (printing, hex lists) must
// cut the same comment out of the same line.
TEST(NcText, ClipCommentCutsTheFirstCommentAndTrimsTrailingBlanks)
{
    struct Case { const char *in, *comment, *rest; } cases[] = {
        {"G1 X5   ", "", "G1 X5"},
        {"G1 (A", "(A", "G1 "},
        {"N20 (OPEN  ", "(OPEN", "N20 "},
        {"X1)(A", "(A", "X1)"},
        {"G1 (A) X5 (B)", "(A)", "G1  X5 (B)"},
        {"X10 (A) Y5", "(A)", "X10  Y5"},
        {"(A)   ", "(A)", ""},
        {"G1\t(A)\t", "(A)", "G1\t\t"}, // a TAB is no blank
        {"", "", ""},
    };
    for (const auto &c : cases) {
        QByteArray bytes = c.in;
        EXPECT_EQ(RkClipComment(bytes), QByteArray(c.comment)) << c.in;
        EXPECT_EQ(bytes, QByteArray(c.rest)) << c.in;
        QString text = QString::fromLatin1(c.in);
        EXPECT_EQ(RkClipComment(text), QString::fromLatin1(c.comment)) << c.in;
        EXPECT_EQ(text, QString::fromLatin1(c.rest)) << c.in;
    }
}

TEST(NcText, TrimmingTakesBlanksOnly)
{
    EXPECT_EQ(trimBlanks("  'A B  "), "'A B");
    EXPECT_EQ(ltrimBlanks("  A "), "A ");
    EXPECT_EQ(rtrimBlanks("  A "), "  A");
    EXPECT_EQ(trimBlanks("\t'A"), "\t'A");
    EXPECT_EQ(trimBlanks("   "), "");
    EXPECT_EQ(trimSpaces(QStringLiteral(" \tA B\t ")), QStringLiteral("\tA B\t"));
    EXPECT_EQ(trimSpaces(QStringLiteral("  ")), QString());
}

TEST(NcText, LinesEndWithCrLfLfOrCr)
{
    EXPECT_EQ(splitTextLines("A\r\nB\r\n"), (QStringList{"A", "B"}));
    EXPECT_EQ(splitTextLines("A\nB\n\nC"), (QStringList{"A", "B", "", "C"}));
    EXPECT_EQ(splitTextLines("A\rB\n\r\n"), (QStringList{"A", "B", ""}));
    EXPECT_EQ(splitTextLines("A\n\rB"), (QStringList{"A", "", "B"})); // LF CR is two line ends
    EXPECT_TRUE(splitTextLines("").isEmpty());
}
