// The comment header carried over to a received program.
#include "dnc/headerlines.h"
#include "documents/editor.h"

#include "core/codepage.h"
#include "core/globals.h"
#include "testsupport/testsupport.h"
#include "sessionscope.h"

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
    test::useMachineName("MILL1");
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
    test::useMachineName(QString());
}

// A UTF-8 source gives its header in UTF-8, its byte-order mark no part of the
// first comment line; in the received program the header reads as characters.
TEST(HeaderLines, AUtf8SourceGivesAUtf8Header)
{
    const QByteArray rule = "'" + QByteArray(70, '-');
    const QByteArray src = "\xEF\xBB\xBF'DEL \xC3\x85 \xE2\x80\x93 SIDA 2\r\nN10 G0 X0\r\n";
    const QByteArray out = headerBlock(src, "MILL1", "2026-12-07");
    EXPECT_EQ(out, "'DEL \xC3\x85 \xE2\x80\x93 SIDA 2\r\n" + rule + "\r\n' FR\xC3\x85N MILL1 2026-12-07\r\n" + rule + "\r\n");
    EXPECT_TRUE(isValidUtf8(out));

    // Inserted into a received program of plain ASCII, which then is UTF-8.
    test::TempEnv env;
    const QString header = env.write("Header.Tmp", out);
    Editor ed;
    ed.FileLoad(env.write("Rxd.Tmp", "%\r\nN10 G1 X5\r\n%\r\n"));
    ASSERT_EQ(ed.encoding(), TextEncoding::Windows1252);
    ed.setCaret(1, 1);
    ed.FileInsert(header);
    EXPECT_EQ(ed.encoding(), TextEncoding::Utf8);
    EXPECT_EQ(ed.TextAll(), out + "%\r\nN10 G1 X5\r\n%\r\n");
    EXPECT_EQ(ed.document().toText(ed.TextAll()).left(16), QStringLiteral("'DEL Å – SIDA 2\r"));
    // A Windows-1252 header into a UTF-8 program is made UTF-8; a mark in
    // the inserted file goes nowhere.
    ed.setTextAll("(\xC3\x96)\r\n");
    ed.setCaret(1, 1);
    ed.FileInsert(env.write("H2.Tmp", "\xEF\xBB\xBF'\xC3\x85\r\n"));
    ed.FileInsert(env.write("H3.Tmp", "'\xC5\r\n"));
    EXPECT_EQ(ed.TextAll(), "'\xC3\x85\r\n'\xC3\x85\r\n(\xC3\x96)\r\n");
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
