// The encoding rule of the shop's text files and NC programs.
#include "core/codepage.h"

#include <gtest/gtest.h>

using namespace lumrik;

TEST(TextEncodingRule, ValidUtf8WithAHighByteIsUtf8AndEverythingElseWindows1252)
{
    const auto utf8 = TextEncoding::Utf8, cp = TextEncoding::Windows1252;
    EXPECT_EQ(textEncodingOf("(FR\xC3\x85N)\r\n"), utf8);             // «(FRÅN)»
    EXPECT_EQ(textEncodingOf("\xEF\xBB\xBF" "G1 X5\r\n"), utf8);      // a byte-order mark alone
    EXPECT_EQ(textEncodingOf("(\xF0\x9F\x94\xA7)"), utf8);            // beyond 16 bits
    EXPECT_EQ(textEncodingOf(""), cp);
    EXPECT_EQ(textEncodingOf("N10 G1 X5\r\n"), cp);                  // plain ASCII, as ever
    EXPECT_EQ(textEncodingOf("(FR\xC5N)"), cp);                      // Windows-1252 Å
    EXPECT_EQ(textEncodingOf("(\xC1\x89)"), cp);                     // overlong
    EXPECT_EQ(textEncodingOf("(\xED\xA0\x80)"), cp);                 // a surrogate
    EXPECT_EQ(textEncodingOf("(\xF4\x90\x80\x80)"), cp);             // beyond U+10FFFF
    EXPECT_EQ(textEncodingOf("(\xC3\x85) \x80"), cp);                // a stray continuation byte
    // A file cut in the middle of a sequence.
    EXPECT_EQ(textEncodingOf("(FR\xC3"), cp);
    EXPECT_EQ(textEncodingOf("(\xE2\x80"), cp);
}

TEST(TextEncodingRule, AHighByteIsSeenAtEveryPlace)
{
    // Long texts are looked at many bytes at a time: a high byte must count
    // wherever it stands in such a block and in the bytes after the last one.
    for (qsizetype size : {1, 63, 64, 65, 200}) {
        const QByteArray plain(size, 'G');
        EXPECT_FALSE(hasHighBytes(plain));
        for (qsizetype at = 0; at < size; ++at) {
            QByteArray text = plain;
            text[at] = char(0x80);
            EXPECT_TRUE(hasHighBytes(text)) << size << " at " << at;
            EXPECT_EQ(textEncodingOf(text), TextEncoding::Windows1252);
            EXPECT_TRUE(hasHighBytes(QByteArrayView(text).sliced(at))) << size << " from " << at;
        }
    }
}

TEST(TextEncodingRule, TheHeadOfALongerFileIsNotHeldToItsCutEnd)
{
    const QByteArray head = QByteArray("(FR\xC3\x85N) ") + "\xE2\x80";
    EXPECT_EQ(withoutCutSequence(head), head.size() - 2);
    EXPECT_EQ(withoutCutSequence("A\xF0\x9F\x94"), 1);
    EXPECT_EQ(withoutCutSequence("A\xF0\x9F\x94\xA7"), 5);
    EXPECT_EQ(withoutCutSequence("A\xC3\x85"), 3);
    EXPECT_EQ(withoutCutSequence("AB"), 2);
    EXPECT_EQ(withoutCutSequence(""), 0);
    EXPECT_EQ(textEncodingOfHead(head, false), TextEncoding::Utf8);
    EXPECT_EQ(textEncodingOfHead(head, true), TextEncoding::Windows1252);
    // Only a cut sequence is forgiven, not a bad one.
    EXPECT_EQ(textEncodingOfHead("(\xC1\x89) \xC3", false), TextEncoding::Windows1252);
}

TEST(TextEncodingRule, UpperCharacterFollowsQtWithTheMicroSignKept)
{
    EXPECT_EQ(upperCharacter(U'ı'), U'I');
    EXPECT_EQ(upperCharacter(U'ſ'), U'S');
    EXPECT_EQ(upperCharacter(U'ß'), U'ß');
    EXPECT_EQ(upperCharacter(U'µ'), U'µ');
    EXPECT_EQ(upperCharacter(U'ş'), U'Ş');
    EXPECT_EQ(upperText(QStringLiteral("(dış çap ölçü \U0001F527)")), QStringLiteral("(DIŞ ÇAP ÖLÇÜ \U0001F527)"));
}
