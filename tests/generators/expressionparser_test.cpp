// The expression evaluator of the macro templates: precedence, signs, numbers,
// functions, constants, and every kind of error with its position.
#include "core/errors.h"
#include "generators/expressionparser.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace lumrik;

namespace {

ExprOutcome eval(clsExpressionParser &p, const QString &text)
{
    QString t = text;
    return p.Evaluate(t);
}

double value(const QString &text)
{
    clsExpressionParser p;
    const ExprOutcome r = eval(p, text);
    EXPECT_TRUE(r.ok) << text.toStdString() << ": " << r.description.toStdString();
    return r.value;
}

QString errorOf(const QString &text)
{
    clsExpressionParser p;
    const ExprOutcome r = eval(p, text);
    EXPECT_FALSE(r.ok) << text.toStdString() << " gave " << r.value;
    EXPECT_EQ(r.value, 0);
    return r.description;
}

long addError(clsExpressionParser &p, const QString &name, QString *text = nullptr)
{
    try {
        p.AddConstant(name, 1);
    } catch (const RkError &e) {
        if (text)
            *text = e.description();
        return e.number();
    }
    return 0;
}

}

TEST(ExpressionParser, PrecedenceAndAssociativity)
{
    EXPECT_EQ(value("2+3*4"), 14);
    EXPECT_EQ(value("(2+3)*4"), 20);
    EXPECT_EQ(value("8/2/2"), 2);
    EXPECT_EQ(value("2-3-4"), -5);
    EXPECT_EQ(value("10-2*3+8/4"), 6);
    EXPECT_EQ(value("((1+2)*(3+4))/7"), 3);
    EXPECT_EQ(value(" 1 +\t2 * ( 3 )  "), 7);
}

TEST(ExpressionParser, OneSignBeforeAValue)
{
    EXPECT_EQ(value("-2*3"), -6);
    EXPECT_EQ(value("2*-3"), -6);
    EXPECT_EQ(value("2--3"), 5);
    EXPECT_EQ(value("+3"), 3);
    EXPECT_EQ(value("-(2+3)"), -5);
    EXPECT_EQ(value("- 4"), -4);
    for (const char *bad : {"--3", "+-3", "2^3", "2*", "-"})
        EXPECT_EQ(errorOf(bad), "Syntax Error") << bad;
}

TEST(ExpressionParser, NumbersWithPointOrComma)
{
    EXPECT_EQ(value("1,5*2"), 3);
    EXPECT_EQ(value("12."), 12);
    EXPECT_DOUBLE_EQ(value("0.125"), 0.125);
    EXPECT_DOUBLE_EQ(value("007.5"), 7.5);
    for (const char *bad : {"1,5,2", ".5", "1.2.3", "1E3", "2(3)", ")", "()", "1 2", "(1+2)3", "3 x", "#"})
        EXPECT_EQ(errorOf(bad), "Syntax Error") << bad;
}

TEST(ExpressionParser, EmptyTextIsZeroButTabsAreNot)
{
    clsExpressionParser p;
    for (const char *blank : {"", "    "}) {
        QString t = blank;
        EXPECT_EQ(p.ParseExpression(t, "1"), 0);
        EXPECT_EQ(t, "0");
    }
    EXPECT_EQ(errorOf("\t\t"), "Syntax Error");
}

TEST(ExpressionParser, ParenthesesAndDivisionByZero)
{
    EXPECT_EQ(errorOf("(1+2"), "')' Expected");
    EXPECT_EQ(errorOf("abs(3"), "')' Expected");
    EXPECT_EQ(errorOf("5/0"), "Division by Zero!");
    EXPECT_EQ(errorOf("5/(2-2)"), "Division by Zero!");
    EXPECT_EQ(errorOf("5/-0"), "Division by Zero!");
    EXPECT_EQ(value("0/5"), 0);
}

TEST(ExpressionParser, FunctionsTakeDegreesWithTheClassicFactor)
{
    const double s = value("sin(30)"), c = value("COS(60)");
    EXPECT_NEAR(s, 0.5, 1e-15);
    EXPECT_NEAR(c, 0.5, 1e-15);
    EXPECT_NE(s, 0.5);
    EXPECT_NE(c, 0.5);
    EXPECT_EQ(value("abs(-4)*2"), 8);
    EXPECT_EQ(value("-ABS(3)"), -3);
    EXPECT_EQ(value("Abs (2-5)"), 3);
    EXPECT_EQ(value("abs(abs(-1)-3)"), 2);
    EXPECT_EQ(errorOf("FOO(1)"), "Function FOO Does not exist");
    // A reserved word without "(" is looked up as a constant.
    EXPECT_EQ(errorOf("SIN 30"), "Constant name SIN does not exist");
}

TEST(ExpressionParser, ConstantsIgnoreLetterCase)
{
    for (const char *name : {"pi", "Pi", "PI"})
        EXPECT_EQ(value(name), 3.14159265358979) << name;
    clsExpressionParser p;
    EXPECT_TRUE(p.ConstExists("pi"));
    EXPECT_FALSE(p.ConstExists(" PI")); // no trimming
    EXPECT_EQ(errorOf("x+1"), "Constant name x does not exist");

    p.AddConstant(" a1_b ", 2);
    EXPECT_TRUE(p.ConstExists("A1_B"));
    EXPECT_EQ(eval(p, "a1_b*2").value, 4);

    // Redefining is remove-then-add, PI included.
    p.RemoveConstant(" pi ");
    EXPECT_FALSE(p.ConstExists("PI"));
    p.AddConstant("pi", 3);
    EXPECT_EQ(eval(p, "PI").value, 3);
}

TEST(ExpressionParser, ConstantNameErrors)
{
    clsExpressionParser p;
    QString text;
    EXPECT_EQ(addError(p, "", &text), kExprBadName);
    EXPECT_EQ(text, "Constant name cannot be null");
    EXPECT_EQ(addError(p, "   ", &text), kExprBadName);
    EXPECT_EQ(addError(p, "1A", &text), kExprBadName);
    EXPECT_EQ(text, "Constant name must begin with a letter");
    EXPECT_EQ(addError(p, QStringLiteral("ÅR"), &text), kExprBadName);
    EXPECT_EQ(text, "Constant name must begin with a letter");
    EXPECT_EQ(addError(p, "A-B", &text), kExprBadName);
    EXPECT_EQ(text, "Invalid constant name");
    // A letter is capitalised into one character, never into two: "aß"
    // keeps its ß, which is no letter of a name.
    for (const QString &name : {QStringLiteral("a\u00df"), QStringLiteral("x\ufb00")}) {
        EXPECT_EQ(addError(p, name, &text), kExprBadName);
        EXPECT_EQ(text, "Invalid constant name");
    }
    EXPECT_FALSE(p.ConstExists("ASS"));
    EXPECT_FALSE(p.ConstExists("XFF"));
    EXPECT_EQ(addError(p, "pi", &text), kExprExists);
    EXPECT_EQ(text, "The constant already exists");
    EXPECT_EQ(addError(p, "sin", &text), kExprReserved);
    EXPECT_EQ(text, "The name is a reserved word");
    try {
        p.RemoveConstant("nix");
        ADD_FAILURE();
    } catch (const RkError &e) {
        EXPECT_EQ(e.number(), kExprNoConstant);
        EXPECT_EQ(e.description(), "Constant name NIX does not exist");
    }
}

TEST(ExpressionParser, ErrorPositions)
{
    clsExpressionParser p;
    auto pos = [&](const char *text) {
        eval(p, text);
        return p.LastErrorPosition();
    };
    EXPECT_EQ(pos("1+2"), 4);       // success: length + 1
    EXPECT_EQ(pos("2(3)"), 2);      // the first left-over character
    EXPECT_EQ(pos("3 x"), 3);       // no operator where one must follow
    EXPECT_EQ(pos("7+1.2.3"), 3);   // second ".": the first digit of the number
    EXPECT_EQ(pos("5/0  +1"), 6);   // after the divisor and its blanks
    EXPECT_EQ(pos("(1+2"), 5);      // where ")" was expected
    EXPECT_EQ(pos("x + 1"), 3);     // after the constant name and its blanks
    EXPECT_EQ(pos("FOO(1) +2"), 8); // after the function's ")" and its blanks
    EXPECT_EQ(pos("1,5,2"), 1);
}

TEST(ExpressionParser, ErrorSourceNamesTheLevels)
{
    clsExpressionParser p;
    const ExprOutcome r = eval(p, "(1+2");
    EXPECT_EQ(r.source, "ParseExpression->ParseNumExp->ParseTerm->ParseValue");
}

TEST(ExpressionParser, OverflowAndDeepNestingAreErrorsNotCrashes)
{
    const QString big = QStringLiteral("9").repeated(300);
    EXPECT_EQ(errorOf(big + "*" + big), "Spill");
    EXPECT_EQ(errorOf(QStringLiteral("1") + QString(400, u'0')), "Spill");
    EXPECT_EQ(value(QStringLiteral("0.") + QString(400, u'0') + "1"), 0);
    EXPECT_EQ(value(QStringLiteral("(").repeated(100) + "7" + QStringLiteral(")").repeated(100)), 7);
    EXPECT_EQ(errorOf(QStringLiteral("(").repeated(100000) + "1" + QStringLiteral(")").repeated(100000)),
              "Slut på stackutrymme");
    EXPECT_EQ(errorOf(QStringLiteral("abs(").repeated(5000) + "1"), "Slut på stackutrymme");
    // Long flat expressions need no depth.
    EXPECT_EQ(value(QStringLiteral("1+").repeated(100000) + "1"), 100001);
}

TEST(ExpressionParser, ErrorsShowTheBoxAndGiveZero)
{
    test::MsgBoxRecorder boxes;
    clsExpressionParser p;
    QString t = "5/0";
    EXPECT_EQ(p.ParseExpression(t, "12"), 0);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Räknefel: Division by Zero! (Rad: 12)");
    EXPECT_EQ(boxes.calls()[0].title, "Fel");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Exclamation);
    EXPECT_EQ(boxes.calls()[0].buttons, MbButtons::Ok);
    // A failed evaluation leaves the table as it was; a good one shows nothing.
    p.AddConstant("A", 4);
    t = "A/(A-A)";
    p.ParseExpression(t, "");
    t = "A*2";
    EXPECT_EQ(p.ParseExpression(t, ""), 8);
    EXPECT_EQ(boxes.calls().size(), 2u);
}
