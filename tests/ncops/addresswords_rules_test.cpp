// Address words stand only at a word's start, comments stay as they are, a
// block-delete slash stays first, references to block numbers are found, and
// conversational programs are told from ISO programs.
#include "ncops/blockreferences.h"
#include "ncops/mdlmnfix.h"
#include "ncops/mdlrkfix.h"
#include "ncops/omnum.h"

#include <gtest/gtest.h>

using namespace lumrik;

namespace {

std::vector<QByteArray> renumbered(std::vector<QByteArray> lines, const OmnumOptions &o = {})
{
    RkOmnumLines(lines, o);
    return lines;
}

std::optional<BlockReference> referenceIn(const std::vector<QByteArray> &lines)
{
    BlockReferenceScan scan;
    for (size_t i = 0; i < lines.size(); ++i)
        scan.addLine(lines[i], int(i + 1));
    return scan.first();
}

}

TEST(AddressWords, ALetterBeginsAWordOnlyAfterNoLetterNameOrUnderscore)
{
    struct Case { const char *line; qsizetype pos; bool start; } cases[] = {
        {"G1X5", 2, true},          {"G1 X1.5Y2", 7, true},   {"X+Q11", 2, true},
        {"#1X5", 2, true},          {"LEN10", 2, false},      {"FN18: SYSREAD", 1, false},
        {"ATAN2[Q1]", 3, false},    {"SGN08", 2, false},      {"IDX3", 2, false},
        {"WALLX20X20", 4, false},   {"WALLX20X20", 7, false}, {"MY_X1", 3, false},
        {"L10X5", 3, true},         {"N10", 0, true},         {"\xC5X5", 1, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isWordStart(c.line, c.pos), c.start) << c.line << " at " << c.pos;
    EXPECT_EQ(findAtWordStart("LEN10 N20", 'N'), 6);
    EXPECT_EQ(findAtWordStart("APPR LT X+Q11 Y+Q12 LEN10 RR F300", 'N'), -1);
}

TEST(AddressWords, TheQuickLookBackAgreesWithAWalkFromTheStart)
{
    // Lines of letters, digits, points, "_" and blanks, short and far longer
    // than the few characters the quick look goes back.
    const char alphabet[] = "AX1._ X19";
    quint32 seed = 7;
    for (int round = 0; round < 3000; ++round) {
        QByteArray line;
        seed = seed * 1103515245u + 12345u;
        const int length = int(seed >> 16) % (round < 2000 ? 40 : 400);
        for (int i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            line += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
        }
        qsizetype expected = -1;
        for (qsizetype i = 0; i < line.size() && expected < 0; ++i)
            if (line[i] == 'X' && isWordStart(line, i))
                expected = i;
        ASSERT_EQ(findAtWordStart(line, 'X'), expected) << line.constData();
    }
    for (const char *part : {"X1", "X12", "X123", "X1.5"}) {
        const QByteArray name = "WALL" + QByteArray(part).repeated(5000);
        EXPECT_EQ(findAtWordStart(name + " X5", 'X'), name.size() + 1) << part;
        EXPECT_EQ(findAtWordStart(name, 'X'), -1) << part;
    }
}

TEST(AddressWords, ValueRulesReadOnlyWordsAtTheirStart)
{
    QByteArray r;
    qint32 v = 0;
    for (const char *line : {"APPR LT X+Q11 Y+Q12 LEN10 RR F300", "FN18: SYSREAD Q32 = ID210 NR4 IDX3",
                             "Q1 = ATAN2[Q2, Q3]", "Q5 = SGN08"})
        EXPECT_FALSE(RkBlockFix(line, r, "N", v, 2, false)) << line;
    ASSERT_TRUE(RkBlockFix("G1 LEN5 N20", r, "N", v, 2, false));
    EXPECT_EQ(v, 20);
    EXPECT_FLOAT_EQ(ExtractValue('X', "IDX3 X5"), 5.0f);
    EXPECT_EQ(ExtractValue('X', "BEGIN PGM WALLX20X20 MM"), kNoValue);
    EXPECT_EQ(ExtractValue('X', "FN18: SYSREAD Q32 = ID210 NR4 IDX3"), kNoValue);
}

TEST(AddressWords, CommentsBeginAtParenthesisOrSemicolon)
{
    EXPECT_EQ(codeLength("G1 X1 ;X2 (A)"), 6);
    EXPECT_TRUE(isInComment("G1 (A) X1", 5)); // the ")"
    EXPECT_FALSE(isInComment("G1 (A) X1", 7));
    EXPECT_FALSE(isInComment("(A;B) X1", 6)); // a ";" inside "(...)" starts nothing
}

TEST(AddressWords, RenumberingLeavesNamesAndCommentsAlone)
{
    EXPECT_EQ(renumbered({"N5 G1 LEN5", "APPR LT X+Q11 Y+Q12 LEN10 RR F300", "FN18: SYSREAD Q32 = ID210 NR4 IDX3",
                          "Q1 = ATAN2[Q2, Q3]", "Q5 = SGN08", "N7 X1"}),
              (std::vector<QByteArray>{"N10 G1 LEN5", "APPR LT X+Q11 Y+Q12 LEN10 RR F300",
                                       "FN18: SYSREAD Q32 = ID210 NR4 IDX3", "Q1 = ATAN2[Q2, Q3]", "Q5 = SGN08",
                                       "N20 X1"}));
    // A number in a comment is not a block number.
    EXPECT_EQ(renumbered({"G1 X1 (N5)", "G1 X1 ;N5", "N9 G1 ;N5", "G1 (A) N5"}),
              (std::vector<QByteArray>{"G1 X1 (N5)", "G1 X1 ;N5", "N10 G1 ;N5", "G1 (A) N5"}));
    OmnumOptions remove;
    remove.removeBlockNr = true;
    EXPECT_EQ(renumbered({"FN18: SYSREAD Q32", "N10 G1 LEN5", "/N20 G0"}, remove),
              (std::vector<QByteArray>{"FN18: SYSREAD Q32", "G1 LEN5", "/    G0"}));
}

TEST(AddressWords, AddedNumbersGoAfterTheBlockDeleteSlash)
{
    OmnumOptions add;
    add.addBlockNr = true;
    add.firstBlockNr = 4;
    add.incr = 1;
    EXPECT_EQ(renumbered({"/M00 (START OF PULL)", "/m1", "/2 G0", "/9G1 X1", "G0 X1", "/N20 G0", "/ M01"}, add),
              (std::vector<QByteArray>{"/N4 M00 (START OF PULL)", "/N5 m1", "/2 N6 G0", "/9N7 G1 X1", "N8 G0 X1",
                                       "/N20 G0", "/ N9 M01"}));
    // Renumbering keeps the slash where it is.
    EXPECT_EQ(renumbered({"/N20 G0", "/2 N30 G0", "/2 G0"}),
              (std::vector<QByteArray>{"/N10 G0", "/2 N20 G0", "/2 G0"}));
    EXPECT_EQ(blockDeleteLength("/1 G0"), 3);
    EXPECT_EQ(blockDeleteLength("/10 G0"), 2); // one digit of skip level; the rest is the block
    EXPECT_EQ(blockDeleteLength("G0 /"), 0);
}

TEST(AddressWords, DecimalPointsOnlyInAddressWordsOutsideComments)
{
    struct Case { const char *in, *out; int n; } cases[] = {
        {"BEGIN PGM WALLX20X20 MM", "BEGIN PGM WALLX20X20 MM", 0},
        {"END PGM WALLX20X20 MM", "END PGM WALLX20X20 MM", 0},
        {"FN18: SYSREAD Q32 = ID210 NR4 IDX3", "FN18: SYSREAD Q32 = ID210 NR4 IDX3", 0},
        {"(PRINT,G92: Set current position to X1 Y2)", "(PRINT,G92: Set current position to X1 Y2)", 0},
        {";G38.2 Z-4", ";G38.2 Z-4", 0},
        {"G38.2 Z-4 ;probe to Z-4", "G38.2 Z-4. ;probe to Z-4", 1},
        {"G1 X1 (X2)", "G1 X1. (X2)", 1},
        {"G1 Y5 (A) X2", "G1 Y5. (A) X2.", 2},
        {"IDX3 X5", "IDX3 X5.", 1},
        {"G1X20Y5", "G1X20.Y5.", 2},
        {"N10 G1 LEN5 Z1", "N10 G1 LEN5 Z1.", 1},
    };
    for (const auto &c : cases) {
        QByteArray line = c.in;
        EXPECT_EQ(addDecimalPoints(line, "XYZ"), c.n) << c.in;
        EXPECT_EQ(line, QByteArray(c.out)) << c.in;
    }
}

TEST(BlockReferences, CyclesCallsAndJumpsAreFound)
{
    struct Case { const char *line; bool found; } cases[] = {
        {"G71 P30 Q40 U1 W0.1 D2000", true}, {"N20 G70 P30 Q40", true}, {"G72 Q20 P10", true},
        {"g73 p10 q20", true},               {"M97 P270", true},        {"IF [#1 GT 2] GOTO5", true},
        {"GOTO 12", true},                   {"M98 P1000", true},       {"G71 U1 R0.5", false},
        {"G71.1 P30 Q40", false},            {"G1 X5 P2", false},       {"M97", false},
        {"GOTO #5", false},                  {"(GOTO5)", false},        {"G1 X1 ; GOTO5", false},
        {"' G71 P30 Q40", false},            {"CALL LBL 5", false},     {"N10 G1 LEN5", false},
        {"XGOTO5", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(referenceIn({"%", c.line}).has_value(), c.found) << c.line;
    const auto ref = referenceIn({"N10 G0 X0", "  G71 P30 Q40 U1 W0.1 D2000  ", "N30 G1"});
    ASSERT_TRUE(ref.has_value());
    EXPECT_EQ(ref->line, 2);
    EXPECT_EQ(ref->text, "G71 P30 Q40 U1 W0.1 D2000");
}

TEST(BlockReferences, ACallOfAProgramTheFileHoldsIsNoReference)
{
    EXPECT_FALSE(referenceIn({"M98 P1000", "M30", "O1000", "G0 X1", "M99"}).has_value());
    EXPECT_FALSE(referenceIn({"O01234", "M99", "M98 P0051234"}).has_value()); // 5 times O1234
    EXPECT_TRUE(referenceIn({"O1000", "M98 P2000"}).has_value());
    // The first reference is named, whichever kind it is.
    const auto ref = referenceIn({"M98 P77", "N10 G0", "G71 P10 Q20"});
    ASSERT_TRUE(ref.has_value());
    EXPECT_EQ(ref->line, 1);
    const auto later = referenceIn({"M98 P77", "G71 P10 Q20", "O77"});
    ASSERT_TRUE(later.has_value());
    EXPECT_EQ(later->line, 2);
    EXPECT_EQ(referenceIn({"X1", QByteArray(200, 'G') + " GOTO5"})->text.size(), 83); // shortened
}

TEST(Conversational, ProgramsBeginningWithBeginPgm)
{
    for (const char *line : {"0  BEGIN PGM probe-40 MM", "BEGIN PGM X MM", "\xEF\xBB\xBF" "0 BEGIN PGM 1 MM",
                             "  0 begin pgm x", "12\tBEGIN\tPGM"})
        EXPECT_TRUE(isConversationalStart(line)) << line;
    for (const char *line : {"%BEGIN PGM", "0 BEGINPGM X", "N10 G1", "0 BEGIN PGMX", "", "O1000 (BEGIN PGM)"})
        EXPECT_FALSE(isConversationalStart(line)) << line;
}

TEST(BlockReferences, LinesOfAWholeTextAreCountedAsTheEditorCountsThem)
{
    const auto ref = firstBlockReference("%\r\nN10 G0\nN20 G1\rN30 G1\r\n\r\nN40 M97 P10\r\n");
    ASSERT_TRUE(ref.has_value());
    EXPECT_EQ(ref->line, 6);
    EXPECT_EQ(ref->text, "N40 M97 P10");
    EXPECT_EQ(firstBlockReference("GOTO5")->line, 1);
    EXPECT_EQ(firstBlockReference("X1\r\r\nGOTO5\r")->line, 3);
    EXPECT_FALSE(firstBlockReference("").has_value());
    EXPECT_FALSE(firstBlockReference("N10 G0\r\nN20 M30\r\n").has_value());
}

TEST(AddressWords, TheTestsOfLinesToLeaveAloneStillSeeASemicolonComment)
{
    OmnumOptions o;
    o.skipBlock = "HOLD";
    EXPECT_EQ(renumbered({"N5 G1 ;HOLD", "N6 G1 ;N1"}, o), (std::vector<QByteArray>{"N5 G1 ;HOLD", "N10 G1 ;N1"}));
    OmnumOptions add;
    add.addBlockNr = true;
    EXPECT_EQ(renumbered({"G1 X5 ;Operation 1", "G1 X5;"}, add),
              (std::vector<QByteArray>{"G1 X5 ;Operation 1", "N10 G1 X5;"}));
    OmnumOptions tnc;
    tnc.tnc = true;
    tnc.firstBlockNr = 0;
    tnc.fromBlockNr = 0;
    tnc.incr = 1;
    EXPECT_EQ(renumbered({"5 L X+10 ; 7", "; 9", "9 L Y+1"}, tnc),
              (std::vector<QByteArray>{"0 L X+10 ; 7", "; 9", "1 L Y+1"}));
}
