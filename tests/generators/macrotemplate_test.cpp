// Macro templates: the header, the files, the number forms and the expansion
// of the body (directives, conditions, formulas, placeholders, errors).
#include "generators/macrotemplate.h"
#include "generators/macrotemplate_expand.h"
#include "testsupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

// Expands `body` after a one-line header and "//"; fields from `values`.
struct Expansion {
    clsExpressionParser parser;
    test::MsgBoxRecorder boxes;
    MacroFieldValues fields;
    QDateTime now{QDate(2024, 3, 5), QTime(7, 8, 9)};

    explicit Expansion(std::initializer_list<QString> values = {})
    {
        int n = 1;
        for (const QString &v : values)
            fields[size_t(n++)] = v;
    }
    MacroExpansion run(const QStringList &body, const QString &separator = "//")
    {
        QStringList lines{"D >= Diameter [20]", separator};
        lines += body;
        return RkExpandMacro(lines, fields, parser, now);
    }
    QString out(const QStringList &body, const QString &separator = "//")
    {
        const MacroExpansion r = run(body, separator);
        EXPECT_TRUE(r.ok) << r.message.toStdString();
        return r.output;
    }
    QString error(const QStringList &body)
    {
        const MacroExpansion r = run(body);
        EXPECT_FALSE(r.ok) << r.output.toStdString();
        EXPECT_TRUE(r.output.isEmpty());
        return r.message;
    }
};

}

TEST(MacroHeader, PromptsDefaultsAndComments)
{
    const MacroHeader h = parseMacroHeader({
        "' A >= Hidden [1]",
        "X >= Depth [5]",
        "Y >= Width",
        "Z >= [5]",
        "W >= Angle [5",
        "no prompt here",
        "//",
        "Q >= After [1]",
    });
    ASSERT_EQ(h.fields.size(), 3);
    EXPECT_EQ(h.fields[0].label, "Depth");
    EXPECT_EQ(h.fields[0].value, "5");
    EXPECT_EQ(h.fields[1].label, "Width");
    EXPECT_EQ(h.fields[1].value, "");
    EXPECT_EQ(h.fields[2].label, "Angle");
    EXPECT_EQ(h.fields[2].value, "[5");
    EXPECT_TRUE(h.separator);

    QString text = " Depth [ 5 ] mm";
    EXPECT_EQ(ExtractBracketValue(text), " 5 ");
    EXPECT_EQ(text, " Depth  mm");
}

TEST(MacroHeader, PicturesAndLimits)
{
    QStringList lines{"' BILDFIL=a.bmp", "P >= Bild bildfil= b.png ", "  //  text"};
    const MacroHeader h = parseMacroHeader(lines);
    EXPECT_EQ(h.pictures, QStringList({"a.bmp", "b.png"})); // the last one wins
    ASSERT_EQ(h.fields.size(), 1);
    EXPECT_TRUE(h.separator); // leading blanks end the header too

    QStringList many;
    for (int i = 1; i <= 18; ++i)
        many << QStringLiteral("F >= Field %1").arg(i);
    const MacroHeader m = parseMacroHeader(many);
    EXPECT_EQ(m.fields.size(), 16);
    EXPECT_EQ(m.fields.back().label, "Field 16");
    EXPECT_EQ(m.ignoredPrompts, 2);
    EXPECT_FALSE(m.separator);
    // Lines after the separator do not count.
    EXPECT_TRUE(parseMacroHeader({"//", "BILDFIL=x.bmp", "A >= B"}).pictures.isEmpty());
}

TEST(MacroFiles, ReadListAndResolve)
{
    test::TempEnv env;
    const QString f = env.write("Macron/Demo/bore.ncm", QByteArray("A\xC5\r\nB\nC\rD\r\n"));
    env.write("Macron/Demo/A.NCM", "");
    env.write("Macron/Demo/z.Ncm", "");
    env.write("Macron/Demo/notes.txt", "");
    QStringList lines;
    ASSERT_TRUE(readMacroLines(f, lines));
    EXPECT_EQ(lines, QStringList({QStringLiteral("AÅ"), "B", "C", "D"}));
    EXPECT_FALSE(readMacroLines(env.path("Macron/none.ncm"), lines));
    EXPECT_FALSE(readMacroLines(env.path("Macron"), lines));

    const QString folder = macroFolder("\\MACRON\\demo\\");
    EXPECT_EQ(folder, env.path("Macron/Demo"));
    const QList<MacroTemplateFile> files = listMacroTemplates(folder);
    ASSERT_EQ(files.size(), 3);
    EXPECT_EQ(files[0].name, "A");
    EXPECT_EQ(files[1].name, "BORE");
    EXPECT_EQ(files[1].path, f);
    EXPECT_EQ(files[2].name, "Z");
}

TEST(MacroNumbers, UserNumbersAndGeneralForm)
{
    EXPECT_EQ(readUserNumber("2.5"), 2.5);
    EXPECT_EQ(readUserNumber(" 2,5 "), 2.5);
    EXPECT_EQ(readUserNumber("-3"), -3);
    EXPECT_EQ(readUserNumber("1e3"), 1000);
    EXPECT_EQ(readUserNumber("0.00001e-400"), 0);
    EXPECT_EQ(readUserNumber("0.0001e309"), 1e305);
    for (const char *bad : {"", " ", "abc", "1.2.3", "1,2,3", "1e", "5x", "1e999", "0.1e310"})
        EXPECT_FALSE(readUserNumber(bad).has_value()) << bad;

    EXPECT_EQ(formatGeneralNumber(2.5, 0), "2");
    EXPECT_EQ(formatGeneralNumber(3.5, 0), "4");
    EXPECT_EQ(formatGeneralNumber(-2.5, 0), "-2");
    EXPECT_EQ(formatGeneralNumber(0.5, 0), "0");
    EXPECT_EQ(formatGeneralNumber(0.5, 1), "0.5");
    EXPECT_EQ(formatGeneralNumber(-0.4, 0), "0");
    EXPECT_EQ(formatGeneralNumber(20.0 / 3, 3), "6.667");
    EXPECT_EQ(formatGeneralNumber(0.125, 2), "0.12");
    EXPECT_EQ(formatGeneralNumber(2.675, 2), "2.68");
    EXPECT_EQ(formatGeneralNumber(0.1 + 0.2, 10), "0.3");
    EXPECT_EQ(formatGeneralNumber(9.9996, 3), "10");
    EXPECT_EQ(formatGeneralNumber(100, 0), "100");
    EXPECT_EQ(formatGeneralNumber(0.000123, 10), "0.000123");
    EXPECT_EQ(formatGeneralNumber(-1234567.891, 3), "-1234567.891");
    EXPECT_EQ(formatGeneralNumber(1e20, 0), "1E+20");
}

TEST(MacroReplaceText, RestartsAndEnds)
{
    EXPECT_EQ(ReplaceText("<<1>1>", "<1>", "<"), "<<"); // occurrences a replacement forms count too
    EXPECT_EQ(ReplaceText("a a a", "a", "b", 1, 1), "b a a");
    EXPECT_EQ(ReplaceText("aaa", "a", "b", 2), "abb");
    EXPECT_EQ(ReplaceText("xAx", "a", "b", 1, -1, 1), "xbx");
    EXPECT_EQ(ReplaceText("xAx", "a", "b"), "xAx");
    EXPECT_EQ(ReplaceText("<2> <2>", "<2>", "x<2>y"), "x<2>y x<2>y"); // would never end otherwise
}

TEST(MacroExpand, FormulasDecimalsAndWholeNumbers)
{
    Expansion e{"20"};
    EXPECT_EQ(e.out({"G1 X[<1>/2]"}), "G1 X10\r\n");
    EXPECT_TRUE(e.parser.ConstExists("CALCA")); // the field constants stay defined
    EXPECT_EQ(e.out({"<DECIMALER=3>", "G1 X[<1>/3]", "G1 Y[~<1>/3]"}), "G1 X6.667\r\nG1 Y7\r\n");
    EXPECT_EQ(e.out({"A[5/2] B[7/2] C[0.5]"}), "A2 B4 C0\r\n");
    // Decimals stay in force; several tags on one line: the highest wins.
    EXPECT_EQ(e.out({"<DECIMALER=1> <DECIMALER=2>X[1/8]", "Y[1/3]"}), " X0.12\r\nY0.33\r\n");
    // Commas become points in a line that holds a formula.
    EXPECT_EQ(e.out({"X[1,5*2] Y1,5", "Z1,5"}), "X3 Y1.5\r\nZ1,5\r\n");
    // Blank lines and lines emptied by their directives give no output.
    EXPECT_EQ(e.out({"", "   ", "<DECIMALER=0>", "M30"}), "M30\r\n");
    EXPECT_TRUE(e.boxes.calls().empty());
    EXPECT_FALSE(e.parser.ConstExists("CALCA")); // each formula defines only the fields it uses
}

TEST(MacroExpand, BlockNumbersAtTheEnd)
{
    Expansion e;
    EXPECT_EQ(e.out({"N<BNR> G0", "<BNRSTART=100>", "N<BNR> G1", "N<BNR> M30", "<BNRINC=5>"}),
              "N100 G0\r\nN105 G1\r\nN110 M30\r\n");
    EXPECT_EQ(e.out({"N<BNR>", "N<BNR>"}), "N10\r\nN20\r\n");
    EXPECT_EQ(e.out({"<BNRSTART=32760>", "N<BNR>"}), "N32760\r\n");
    EXPECT_EQ(e.error({"<BNRSTART=32760>", "N<BNR>", "N<BNR>"}), "Fel i formel. (Rad: 5)");
    EXPECT_EQ(e.error({"<BNRSTART=40000>"}), "Fel i formel. (Rad: 3)");
    EXPECT_EQ(e.error({"X1", "<BNRINC=abc>"}), "Fel i formel. (Rad: 4)");
    EXPECT_EQ(e.error({"<BNRSTART=12"}), "Fel i formel. (Rad: 3)");
    EXPECT_EQ(e.out({"<BNRSTART=12,5>N<BNR>"}), "N12\r\n"); // a fraction is rounded
}

TEST(MacroExpand, Conditions)
{
    Expansion e{"20"};
    EXPECT_EQ(e.out({"[IF 1=20]G41", "[NF 1=20]G42", "[IF 1!20]G43", "[IF 1>19][IF 1<21]G44"}), "G41\r\nG44\r\n");
    e.fields[1] = "3";
    EXPECT_EQ(e.out({"X5 [IF 1=0]Y5", "[NF 1=20]G42"}), "X5 \r\nG42\r\n");
    EXPECT_EQ(e.out({"[SET A=7]", "[IF A>5]OK [IF A<5]NO"}), "OK \r\n");
    // A cut line evaluates none of its formulas.
    EXPECT_EQ(e.out({"[IF 1=0]X[1+1] Y[1/0]"}), "");
    // The condition must be the line's first bracket.
    EXPECT_EQ(e.error({"X[1] [IF 1=3]Y1"}), "Fel i IF-sats. (Rad: 3)");
    EXPECT_TRUE(e.boxes.calls().empty());
    // Placeholders are not replaced on the left side.
    EXPECT_EQ(e.out({"[IF <1>=0]G41"}), "G41\r\n");
    ASSERT_EQ(e.boxes.calls().size(), 1u);
    EXPECT_EQ(e.boxes.calls()[0].text, "Räknefel: Syntax Error (Rad: )");
}

TEST(MacroExpand, EmptyFieldInAConditionBecomesZero)
{
    Expansion e{"  "};
    EXPECT_EQ(e.out({"[IF 1=0]X<1>"}), "X0\r\n");
    EXPECT_EQ(e.fields[1], "0");
}

TEST(MacroExpand, NamedValues)
{
    Expansion e{"20"};
    EXPECT_EQ(e.out({"[SET R=<1>/2]", "X[R]"}), "X10\r\n");
    e.fields[1] = "40";
    EXPECT_EQ(e.out({"[SET R = <1>/2] X[R]"}), " X20\r\n");
    EXPECT_EQ(e.out({"Y[R*2]"}), "Y40\r\n"); // it stays defined for later expansions
    EXPECT_EQ(e.out({"[SET pi=3]X[PI]"}), "X3\r\n");
    // A formula error inside SET is the evaluator's box with the line number.
    EXPECT_EQ(e.out({"[SET B=1/0]X[B]"}), "X0\r\n");
    ASSERT_EQ(e.boxes.calls().size(), 1u);
    EXPECT_EQ(e.boxes.calls()[0].text, "Räknefel: Division by Zero! (Rad: 3)");
}

TEST(MacroExpand, TemplateSyntaxErrorsStop)
{
    Expansion e{"20"};
    for (const char *bad : {"[SET =5]", "[SET SIN=1]", "[SET 1A=1]", "[SET A=<1]", "[SET A 5]", "[SET A=1",
                            "[SET a\u00df=1]"})
        EXPECT_EQ(e.error({"M3", bad}), "Fel i SET-definition. (Rad: 4)") << bad;
    for (const char *bad : {"[IF 1 20]G1", "[IF 17=1]G1", "[IF 1=abc]G1", "[IF 1=2G1", "[IF 1.5=2]G1"})
        EXPECT_EQ(e.error({bad}), "Fel i IF-sats. (Rad: 3)") << bad;
    for (const char *bad : {"X[1+2", "X]1[2]"})
        EXPECT_EQ(e.error({bad}), "Fel i formel. (Rad: 3)") << bad;
}

TEST(MacroExpand, FieldTexts)
{
    Expansion e{"abc", "<2>", "<1>"};
    // Used in a formula a field must be a number.
    EXPECT_EQ(e.error({"X1", "X[<1>*2]"}), "Fel i formel. (Rad: 4)");
    e.fields[4] = "";
    EXPECT_EQ(e.error({"X[<4>]"}), "Fel i formel. (Rad: 3)");
    // As plain text it is pasted as typed; a field holding its own placeholder ends.
    EXPECT_EQ(e.out({"T<1> U<2> V<3>"}), "Tabc U<2> V<1>\r\n");
    e.fields[5] = "2.5";
    e.fields[6] = "2,5";
    EXPECT_EQ(e.out({"<DECIMALER=1>X[<5>+<6>]"}), "X5\r\n");
}

TEST(MacroExpand, CalculationOnAndOff)
{
    Expansion e;
    EXPECT_EQ(e.out({"X[1+1] <1>", "<CALC>", "Y[1+1]", "<NOCALC>", "Z[1+1] N<BNR>"}, "////"),
              "X[1+1] \r\nY2\r\nZ[1+1] N10\r\n");
    // A "//" line in the body is copied and switches for the lines after it.
    EXPECT_EQ(e.out({"////", "A[1]", "//x", "B[2]"}), "////\r\nA[1]\r\n//x\r\nB2\r\n");
}

TEST(MacroExpand, WithoutSeparatorNothingIsExpanded)
{
    Expansion e;
    const MacroExpansion r = RkExpandMacro({"D >= Diameter", "G1 X[1]"}, e.fields, e.parser, e.now);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.output.isEmpty());
}

TEST(MacroExpand, DateAndTimeAndDivisionByZero)
{
    Expansion e;
    EXPECT_EQ(e.out({"(<ÅR>-<MÅNAD>-<DAG> <TID>)", "(<DATUM>)"}),
              "(2024-3-5 07:08:09)\r\n(" + macroDateText(QDate(2024, 3, 5)) + ")\r\n");
    EXPECT_EQ(e.out({"X[1/0] Y1"}), "X0 Y1\r\n");
    ASSERT_EQ(e.boxes.calls().size(), 1u);
    EXPECT_EQ(e.boxes.calls()[0].text, "Räknefel: Division by Zero! (Rad: )");
    EXPECT_EQ(e.boxes.calls()[0].title, "Fel");
}

TEST(MacroFiles, ReadByTheEncodingRuleOfPrograms)
{
    test::TempEnv env;
    QStringList lines;
    // Valid UTF-8 with a byte above 127: UTF-8, the byte-order mark dropped.
    ASSERT_TRUE(readMacroLines(env.write("a.ncm", "\xEF\xBB\xBF(\xC3\x85R <\xC3\x85R>)\r\n\xC3\x98" "20"), lines));
    EXPECT_EQ(lines, QStringList({QStringLiteral("(ÅR <ÅR>)"), QStringLiteral("Ø20")}));
    // Not UTF-8: Windows-1252, also where a part would pass as UTF-8.
    ASSERT_TRUE(readMacroLines(env.write("b.ncm", "\xC3\x85 \xC5"), lines));
    EXPECT_EQ(lines, QStringList({QStringLiteral("Ã… Å")}));
    ASSERT_TRUE(readMacroLines(env.write("c.ncm", "G1 X1"), lines));
    EXPECT_EQ(lines, QStringList({"G1 X1"}));
}

TEST(MacroExpand, TextAFieldPutsInIsNotExpandedAgain)
{
    Expansion e{"<2>", "B", "<DATUM> <BNR>"};
    const MacroExpansion r = e.run({"A<1> C<2> D<3>"});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.output, "A<2> CB D<DATUM> <BNR>\r\n");
    EXPECT_EQ(r.notice, "Fält 1 innehåller <2>. Text som ett fält fyller i ersätts inte igen.");
    // A SET pastes each field once as well.
    e.fields[4] = "<5>";
    e.fields[5] = "7";
    EXPECT_EQ(e.out({"[SET Q=<5>+1]", "X[Q]"}), "X8\r\n");
    Expansion plain{"10"};
    EXPECT_TRUE(plain.run({"X<1>"}).notice.isEmpty());
}

TEST(MacroExpand, ASelfExpandingTemplateEndsWithAMessage)
{
    // Each default holds four copies of the next field: expanded again and
    // again this would be 4^15 copies.
    Expansion e;
    for (int n = 1; n < kMacroFields; ++n)
        e.fields[size_t(n)] = QStringLiteral("<%1>").arg(n + 1).repeated(4);
    e.fields[kMacroFields] = "1";
    const MacroExpansion r = e.run({"X<1> Y<2>", "[SET A=<15>]"});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.output, "X<2><2><2><2> Y<3><3><3><3>\r\n");
    // The first field text that held a placeholder is named (the SET is
    // worked out before the placeholders of the finished text).
    EXPECT_TRUE(r.notice.startsWith("Fält 15 innehåller <16>.")) << r.notice.toStdString();
}

TEST(MacroExpand, AResultBeyondTheLimitStopsWithAMessage)
{
    Expansion e{QString(1 << 20, u'X')};
    const MacroExpansion r = e.run({"A", QStringLiteral("<1>").repeated(int(kMaxMacroChars >> 20) + 1)});
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.output.isEmpty());
    EXPECT_EQ(r.message, QStringLiteral("Resultatet blir för stort (över %1 tecken). (Rad: 4)").arg(kMaxMacroChars));
    // Just within the limit it is built.
    const int copies = int(kMaxMacroChars >> 20) - 1;
    const MacroExpansion ok = e.run({QStringLiteral("<1>").repeated(copies)});
    EXPECT_TRUE(ok.ok);
    EXPECT_EQ(ok.output.size(), qsizetype(copies) * (1 << 20) + 2); // and CR LF
}
