// Hex code lists: the normaliser, the two expanders, the checked expanders the
// send uses, and the log box appender.
#include "dnc/hexlists.h"

#include "core/errors.h"

#include <QPlainTextEdit>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {
QString norm(QString s) { return RkParseHexData(s); }

// Failures inside the routines go to the error report: count them here.
struct ErrorCounter {
    int count = 0;
    ErrorCounter()
    {
        setErrorBoxHook([this](const QString &) {
            ++count;
            return true;
        });
    }
    ~ErrorCounter() { setErrorBoxHook({}); }
};
}

TEST(HexLists, Normaliser)
{
    EXPECT_EQ(norm("0d, 0a"), "0D,0A");
    EXPECT_EQ(norm("d"), "0D");
    EXPECT_EQ(norm("ABC"), "AB,C");
    EXPECT_EQ(norm(""), "");
    EXPECT_EQ(norm(" , ,"), "");
    EXPECT_EQ(norm("d,a"), "DA");               // commas do not separate single digits
    EXPECT_EQ(norm("0D,0A(00*10)"), "(00*10)"); // the group wins
    EXPECT_EQ(norm("(1B"), "(1B");              // unclosed group kept as it is
    QString text = "0D(20*3)0A";
    EXPECT_EQ(RkParseHexData(text), "(20*3)");
    EXPECT_EQ(text, "0D0A");                    // the group is cut out of the argument
}

TEST(HexLists, ListExpander)
{
    QByteArray out;
    EXPECT_EQ(RkParseHexString2String(out, "0D,,0A", ","), "3");
    EXPECT_EQ(out, QByteArray("\r\0\n", 3));
    EXPECT_EQ(RkParseHexString2String(out, "ZZ", ","), "1");
    EXPECT_EQ(out, QByteArray(1, '\0'));
    EXPECT_EQ(RkParseHexString2String(out, "", ","), "1");
    EXPECT_EQ(out, QByteArray(1, '\0'));
    EXPECT_EQ(RkParseHexString2String(out, "FF,7f", ","), "2");
    EXPECT_EQ(out, QByteArray("\xFF\x7F"));

    ErrorCounter errors;
    EXPECT_EQ(RkParseHexString2String(out, "0D,100,0A", ","), "");
    EXPECT_EQ(out, QByteArray("\r"));  // what came before the failure stays
    EXPECT_EQ(errors.count, 1);
}

TEST(HexLists, RepeatExpander)
{
    QByteArray out;
    QString t = "(20*3)";
    RkFixMultiChrs(out, t);
    EXPECT_EQ(out, "   ");
    EXPECT_EQ(t, "20*3");
    t = "(1B*0)";
    RkFixMultiChrs(out, t);
    EXPECT_TRUE(out.isEmpty());
    t = "(00*50)";
    RkFixMultiChrs(out, t);
    EXPECT_EQ(out, QByteArray(50, '\0'));

    ErrorCounter errors;
    out = "keep";
    t = "(1B)";
    RkFixMultiChrs(out, t);
    EXPECT_EQ(out, "keep");
    t = "(1B*-2)";
    RkFixMultiChrs(out, t);
    EXPECT_EQ(out, "keep");
    t = "(1B*40000)";
    RkFixMultiChrs(out, t);
    EXPECT_EQ(out, "keep");
    EXPECT_EQ(errors.count, 3);
}

TEST(HexLists, CheckedExpandersRefuseMalformedValues)
{
    EXPECT_EQ(*expandHexCodes(""), QByteArray());
    EXPECT_EQ(*expandHexCodes("0D,0A"), "\r\n");
    EXPECT_EQ(*expandHexCodes("0d, 0a"), "\r\n");
    EXPECT_EQ(*expandHexCodes("(00*5)"), QByteArray(5, '\0'));
    EXPECT_EQ(*expandHexCodes("(25*2"), "%%");      // unclosed group still reads
    EXPECT_EQ(*expandHexList("12,14"), "\x12\x14");

    QString why;
    for (const char *bad : {"0D,,0A", "ZZ", "0D0A", "100", "(1B)", "(1B*)", "(XY*3)", "(20*abc)", "(20*40000)"}) {
        why.clear();
        EXPECT_FALSE(expandHexCodes(QString::fromLatin1(bad), &why)) << bad;
        EXPECT_TRUE(why.contains(QString::fromLatin1(bad))) << bad;
    }
    EXPECT_FALSE(expandHexList("(00*5)"));

    EXPECT_EQ(*parseHexCode(""), 0);
    EXPECT_EQ(*parseHexCode("20"), 0x20);
    EXPECT_EQ(*parseHexCode("0D,0A"), 0x0D);
    EXPECT_FALSE(parseHexCode("G1"));
    EXPECT_FALSE(parseHexCode("123"));
}

TEST(HexLists, LogBoxDropsItsOldestTextBeyond2048)
{
    QPlainTextEdit box;
    box.setPlainText(QString(2048, 'a'));
    RkShowData(&box, "b");
    EXPECT_EQ(box.toPlainText(), QString(2048, 'a') + 'b');

    box.setPlainText(QString(1024, 'x') + QString(1025, 'y'));  // 2049 characters
    RkShowData(&box, "Z");
    EXPECT_EQ(box.toPlainText(), ' ' + QString(1025, 'y') + 'Z');

    box.clear();
    RkShowData(&box, QByteArray());
    EXPECT_TRUE(box.toPlainText().isEmpty());
    RkShowData(&box, "N10 G0\r\nN20\r\n");
    EXPECT_EQ(box.toPlainText(), "N10 G0\nN20\n");
}

TEST(HexLists, CommTimeoutsNeedAnOpenHandle)
{
    EXPECT_FALSE(RkSetCommTimeouts(0, 0x7FFFFFFF));
    EXPECT_FALSE(RkSetCommTimeouts(987654, 0x7FFFFFFF));
    EXPECT_TRUE(RkSetCommTimeouts(1, 0x7FFFFFFF) || RkSetCommTimeouts(2, 0x7FFFFFFF));
}
