// The program model: the byte-order mark kept apart from the text and written
// back, characters counted as characters, the encoding of a file judged on its
// first bytes as on the whole.
#include "core/ncdocument.h"

#include <QList>
#include <gtest/gtest.h>

#include <cstring>

using namespace lumrik;

namespace {

const QByteArray kMark("\xEF\xBB\xBF");
const QByteArray kRing("\xC3\x85");        // «Å»
const QByteArray kDash("\xE2\x80\x93");    // «–»

}

TEST(NcDocument, TheMarkIsThePrograms)
{
    NcDocument d;
    const QByteArray program = kMark + "%\r\n(FR" + kRing + "N)\r\n";
    EXPECT_EQ(d.load(program), program.mid(3));
    EXPECT_TRUE(d.hasByteOrderMark());
    EXPECT_EQ(d.encoding(), TextEncoding::Utf8);
    EXPECT_EQ(d.fileBytes("G1\r\n"), kMark + "G1\r\n");

    // A new text without a mark keeps the program's while it is UTF-8 (plain
    // ASCII is), and loses it when it is not.
    EXPECT_EQ(d.replaceWhole("N10 G1\r\n"), QByteArrayView("N10 G1\r\n"));
    EXPECT_TRUE(d.hasByteOrderMark());
    EXPECT_EQ(d.encoding(), TextEncoding::Utf8);
    EXPECT_EQ(d.replaceWhole("(FR\xC5N)"), QByteArrayView("(FR\xC5N)"));
    EXPECT_FALSE(d.hasByteOrderMark());
    EXPECT_EQ(d.encoding(), TextEncoding::Windows1252);
    EXPECT_EQ(d.fileBytes("(FR\xC5N)"), QByteArray("(FR\xC5N)"));

    // Before bytes that are not UTF-8 the mark's bytes are characters.
    const QByteArray broken = kMark + "(FR\xC5N)";
    EXPECT_EQ(d.load(broken), QByteArrayView(broken));
    EXPECT_FALSE(d.hasByteOrderMark());
    EXPECT_EQ(d.encoding(), TextEncoding::Windows1252);

    // A mark alone makes a UTF-8 program of no characters.
    EXPECT_TRUE(d.load(kMark).isEmpty());
    EXPECT_TRUE(d.hasByteOrderMark());
    EXPECT_EQ(d.characterCount(d.load(kMark)), 0);
}

TEST(NcDocument, CharactersAreCountedAsCharacters)
{
    NcDocument utf8;
    utf8.load(kMark + kRing);
    NcDocument cp;
    cp.load("\xC5");
    // Long enough for the word-wise count, with sequences across its words.
    QByteArray line;
    for (int i = 0; i < 37; ++i)
        line += "G" + kRing + kDash + "\xF0\x9F\x94\xA7"; // a four-byte character too
    EXPECT_EQ(utf8.characterCount(line), 37 * 4);
    EXPECT_EQ(cp.characterCount(line), line.size());
    EXPECT_EQ(utf8.characterColumn(line, 1), 1);
    EXPECT_EQ(utf8.characterColumn(line, 1 + 1 + 2 + 3), 4); // after G, Å and –
    EXPECT_EQ(utf8.characterColumn(line, int(line.size()) + 1), 37 * 4 + 1);
    EXPECT_EQ(cp.characterColumn(line, 8), 8);
}

// The selector reads only the first bytes: it must give the answer the
// whole file gives.
TEST(NcDocument, TheFirstBytesGiveTheWholeFilesEncoding)
{
    auto byPieces = [](const QByteArray &file, qsizetype head, qint64 piece) {
        qsizetype at = head;
        return NcDocument::encodingOfFile(QByteArrayView(file).first(head), head >= file.size(),
                                          [&](char *buffer, qint64 size) -> qint64 {
                                              const qint64 n = std::min<qint64>({size, piece, file.size() - at});
                                              memcpy(buffer, file.constData() + at, size_t(n));
                                              at += n;
                                              return n;
                                          });
    };
    const QByteArray utf8Head = "%\r\n(FR" + kRing + "N " + kDash + ")\r\n" + QByteArray(1200, 'G');
    const QList<QByteArray> files = {
        utf8Head,                                  // UTF-8 throughout
        utf8Head + "(\xC5)",                       // one Windows-1252 byte later
        utf8Head + kRing.left(1),                  // cut short at the end
        QByteArray(1023, 'G') + kRing + "G",       // a character across the first kilobyte's end
        QByteArray(1023, 'G') + kRing.left(1) + "G",
        QByteArray(2000, 'G') + kRing,             // plain at first: reads the same in both
        kMark + QByteArray(1500, 'G') + "\xC5",
        kMark + QByteArray(1500, 'G'),
    };
    for (const QByteArray &file : files) {
        const TextEncoding whole = textEncodingOf(file);
        for (qint64 piece : {1, 3, 700, 65536}) {
            const TextEncoding got = byPieces(file, qMin<qsizetype>(1024, file.size()), piece);
            if (!hasHighBytes(file.first(qMin<qsizetype>(1024, file.size()))))
                EXPECT_EQ(got, TextEncoding::Windows1252); // nothing in the head differs
            else
                EXPECT_EQ(got, whole) << file.right(8).toHex().toStdString() << " piece " << piece;
        }
    }
    // A file that cannot be read on is not taken for UTF-8.
    EXPECT_EQ(NcDocument::encodingOfFile(utf8Head.first(1024), false, [](char *, qint64) { return qint64(-1); }),
              TextEncoding::Windows1252);
}
