// The comment header carried over to a received program.
#include "dnc/headerlines.h"

#include "core/codepage.h"
#include "core/globals.h"
#include "testsupport/testsupport.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace lumrik;

TEST(HeaderLines, CopiesLeadingCommentLinesAndStamps)
{
    const QByteArray rule = "'" + QByteArray(70, '-');
    EXPECT_EQ(rule.size(), 71);
    const QByteArray src = "\r\n   \r\n'PART 12\r\n   ' indented\r\nN10 G0 X0\r\n' not header\r\n";
    const QByteArray out = headerBlock(src, "MILL1", "2026-12-07");
    EXPECT_EQ(out, "'PART 12\r\n   ' indented\r\n" + rule + "\r\n" + toCp1252(QStringLiteral("' FRÅN MILL1 2026-12-07"))
                       + "\r\n" + rule + "\r\n");

    // A TAB-indented line is no comment line and ends the header.
    EXPECT_EQ(headerBlock("'A\r\n\t'B\r\n'C\r\n", "M", "d"), "'A\r\n" + rule + "\r\n' FR\xC5N M d\r\n" + rule + "\r\n");
    EXPECT_TRUE(headerBlock("N1 G0\r\n'A\r\n", "M", "d").isEmpty());
    EXPECT_TRUE(headerBlock("", "M", "d").isEmpty());
    // Lines end at CR alone and at LF alone too: a file saved with LF line ends
    // gives its header lines, not the whole program as one line.
    EXPECT_EQ(headerBlock("'A\r'B\rN1\r", "M", "d").left(6), "'A\r\n'B");
    const QByteArray lf = headerBlock("'A\n'B\nN1 G0\n'C\n", "M", "d");
    EXPECT_TRUE(lf.startsWith("'A\r\n'B\r\n" + rule));
    EXPECT_FALSE(lf.contains("N1"));
}

TEST(HeaderLines, RkSaveHeaderLinesWritesHeaderTmp)
{
    test::TempEnv env;
    gActiveCfg = "MILL1";
    const QString header = tmpFile(kHeaderTmp);

    // Missing source: false, and Header.Tmp is not touched.
    test::writeFile(header, "old");
    EXPECT_FALSE(RkSaveHeaderLines(env.path("missing.nc")));
    EXPECT_EQ(test::readFile(header), "old");

    // No comment lines: false, Header.Tmp emptied.
    env.write("prog.nc", "N1 G0\r\n");
    EXPECT_FALSE(RkSaveHeaderLines(env.path("prog.nc")));
    EXPECT_TRUE(test::readFile(header).isEmpty());

    // Path tokens are expanded.
    env.write("O1.nc", "'HEAD\r\nN1 G0\r\n");
    EXPECT_TRUE(RkSaveHeaderLines("[exedir]\\O1.nc"));
    const QByteArray h = test::readFile(header);
    EXPECT_TRUE(h.startsWith("'HEAD\r\n'---"));
    EXPECT_TRUE(h.contains(toCp1252(QStringLiteral("' FRÅN MILL1 "))));
    EXPECT_TRUE(h.endsWith(QByteArray(70, '-') + "\r\n"));
    gActiveCfg.clear();
}

TEST(HeaderLines, TheBlockIsInOneEncoding)
{
    const QByteArray rule = "'" + QByteArray(70, '-') + "\r\n";
    const QByteArray utf8 = QStringLiteral("' KUND: ÅÄÖ\r\nN1 G0 (ÖVRIGT)\r\n").toUtf8();
    const QByteArray cp = toCp1252(QStringLiteral("' KUND: ÅÄÖ\r\nN1 G0\r\n"));
    const QString stamp = QStringLiteral("' FRÅN MÅLA d\r\n");
    // In the source's own encoding unless told otherwise.
    EXPECT_EQ(headerBlock(utf8, QStringLiteral("MÅLA"), "d"),
              QStringLiteral("' KUND: ÅÄÖ\r\n").toUtf8() + rule + stamp.toUtf8() + rule);
    EXPECT_EQ(headerBlock(cp, QStringLiteral("MÅLA"), "d"), toCp1252(QStringLiteral("' KUND: ÅÄÖ\r\n")) + rule
                                                              + toCp1252(stamp) + rule);
    EXPECT_EQ(headerBlock(utf8, QStringLiteral("MÅLA"), "d", TextEncoding::Windows1252),
              toCp1252(QStringLiteral("' KUND: ÅÄÖ\r\n")) + rule + toCp1252(stamp) + rule);
    EXPECT_EQ(headerBlock(cp, QStringLiteral("MÅLA"), "d", TextEncoding::Utf8),
              QStringLiteral("' KUND: ÅÄÖ\r\n").toUtf8() + rule + stamp.toUtf8() + rule);
    // A byte-order mark is the file's: the header starts after it.
    EXPECT_TRUE(headerBlock("\xEF\xBB\xBF" + utf8, "M", "d").startsWith(QStringLiteral("' KUND: ÅÄÖ\r\n").toUtf8()));
}
