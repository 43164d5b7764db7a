// UTF-8 programs in the editor component and in the search rules: the
// encoding decided with the text, typing, the clipboard, overtyping and
// searching as UTF-8; Windows-1252 programs byte for byte as ever.
#include "core/codepage.h"
#include "documents/editor.h"
#include "documents/findreplace.h"
#include "documents/findreplace_rules.h"
#include "documents/frmdocument.h"
#include "testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {

QByteArray u8(const char *s) { return QByteArray(s); } // the source is UTF-8

// Characters typed one key at a time, as a keyboard types them.
void typeText(Editor &ed, const QString &text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(ed.focusProxy(), &press);
    }
}

qsizetype findUtf8(const QByteArray &text, const QByteArray &target, bool wholeWords = false)
{
    return ByteSearch(target, {false, wholeWords, true}).find(text, 0, text.size());
}

}

TEST(Utf8Search, LettersMatchTheirOtherCaseWhenTheirFormsAreAsLong)
{
    const QByteArray text = u8("(FRÅN) (från) Σσς ı I i ſ s");
    EXPECT_EQ(findUtf8(text, u8("å")), text.indexOf(u8("Å")));
    EXPECT_EQ(findUtf8(text, u8("ÅN) (F")), text.indexOf(u8("ÅN) (f")));
    const qsizetype second = text.indexOf(u8("från"));
    EXPECT_EQ(ByteSearch(u8("FRÅN"), {false, false, true}).find(text, second - 1, text.size()), second);
    const std::vector<qsizetype> sigmas = ByteSearch(u8("σ"), {false, false, true}).findAll(text, 0, text.size());
    EXPECT_EQ(sigmas.size(), 3u);
    // The dotless ı and the long ſ have a capital of another length: a target
    // finds them only as themselves, so that a match is as long as its target.
    const auto all = [&](const char *t) { return ByteSearch(u8(t), {false, false, true}).findAll(text, 0, text.size()); };
    EXPECT_EQ(all("ı"), std::vector<qsizetype>{text.indexOf(u8("ı"))});
    EXPECT_EQ(all("I").size(), 2u); // I and i
    EXPECT_EQ(all("S").size(), 1u); // s, not ſ
    // No match begins inside a character: the lead byte of Å is not Å's partner.
    EXPECT_EQ(findUtf8(u8("\xE3\x85 X"), u8("Å")), -1);
}

TEST(Utf8Search, WholeWordsJudgeTheCharactersOnEitherSide)
{
    EXPECT_EQ(findUtf8(u8("ÖX1 X1"), "X1", true), 5);
    EXPECT_EQ(findUtf8(u8("ÅT1 T1Ö"), "T1", true), 5); // a number ends where a letter begins
    EXPECT_EQ(findUtf8(u8("T1ÖT1"), u8("öt1"), true), 2);
    EXPECT_EQ(findUtf8(u8("(Ö) X1"), u8("ö"), true), 1);
    EXPECT_EQ(findUtf8(u8("1Ö"), u8("Ö"), true), 1);  // a number ends where a letter begins
    EXPECT_EQ(findUtf8(u8("«X1»"), "X1", true), 2);    // quotation marks separate words
}

// Random texts of a few letters in both cases against a search by decoded
// characters: the same matches, every one beginning on a character.
TEST(Utf8Search, AgreesWithASearchByCharacters)
{
    const QList<uint> alphabet = QStringLiteral("aAåÅσΣςıIiſsSşŞ X1").toUcs4();
    const auto utf8 = [](const QList<uint> &l) {
        return QString::fromUcs4(reinterpret_cast<const char32_t *>(l.constData()), l.size()).toUtf8();
    };
    // Characters match when their case foldings do, as long as folding keeps
    // a character's UTF-8 length.
    const auto fold = [&](uint c) {
        const uint f = QChar::toCaseFolded(c);
        return utf8({f}).size() == utf8({c}).size() ? f : c;
    };
    QRandomGenerator rng(28);
    for (int round = 0; round < 500; ++round) {
        QList<uint> text, target;
        for (int i = 0; i < 40; ++i)
            text << alphabet[qsizetype(rng.bounded(int(alphabet.size())))];
        for (int i = 0, n = 1 + int(rng.bounded(3)); i < n; ++i)
            target << alphabet[qsizetype(rng.bounded(int(alphabet.size())))];
        const QByteArray bytes = utf8(text), t = utf8(target);
        std::vector<qsizetype> expected;
        qsizetype at = 0;
        for (qsizetype i = 0; i < text.size(); at += utf8({text[i]}).size(), ++i) {
            bool same = i + target.size() <= text.size();
            for (qsizetype k = 0; same && k < target.size(); ++k)
                same = fold(text[i + k]) == fold(target[k]);
            if (same && (expected.empty() || at >= expected.back() + t.size()))
                expected.push_back(at);
        }
        EXPECT_EQ(ByteSearch(t, {false, false, true}).findAll(bytes, 0, bytes.size()), expected)
            << bytes.toStdString() << " / " << t.toStdString();
    }
}

TEST(Utf8Search, SearchTextsAreMadeInTheProgramsEncoding)
{
    QByteArray bytes;
    EXPECT_TRUE(searchBytes(QStringLiteral("å"), TextEncoding::Utf8, false, bytes));
    EXPECT_EQ(bytes, u8("Å"));
    EXPECT_TRUE(searchBytes(QStringLiteral("ı"), TextEncoding::Utf8, false, bytes));
    EXPECT_EQ(bytes, u8("ı"));
    EXPECT_TRUE(searchBytes(QStringLiteral("dış ß"), TextEncoding::Utf8, true, bytes));
    EXPECT_EQ(bytes, u8("DIŞ ß"));
    EXPECT_TRUE(searchBytes(QStringLiteral("å"), TextEncoding::Windows1252, false, bytes));
    EXPECT_EQ(bytes, QByteArray("\xC5"));
    EXPECT_FALSE(searchBytes(QStringLiteral("ş"), TextEncoding::Windows1252, true, bytes));
}

TEST(Utf8Editor, TheEncodingComesWithTheTextAndRoundTrips)
{
    TempEnv env;
    Editor ed;
    EXPECT_EQ(ed.encoding(), TextEncoding::Windows1252);
    const QByteArray utf8 = u8("\xEF\xBB\xBF(FRÅN)\r\nN10 G1 Z5\r\n");
    const QString path = env.write("P.NC", utf8);
    ed.FileLoad(path);
    EXPECT_EQ(ed.encoding(), TextEncoding::Utf8);
    ed.FileSave(path);
    EXPECT_EQ(readFile(path), utf8);

    ed.setTextAll("(FR\xC5N)\r\n");
    EXPECT_EQ(ed.encoding(), TextEncoding::Windows1252);
    ed.setTextAll(u8("(Ö)"));
    EXPECT_EQ(ed.encoding(), TextEncoding::Utf8);
    ed.setTextAll("N10\r\n");
    EXPECT_EQ(ed.encoding(), TextEncoding::Windows1252);

    // All 256 bytes of a Windows-1252 program come back as they went in (CR
    // and LF as its line end).
    QByteArray every;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n') every += char(b);
    every += "\r\n";
    const QString all = env.write("ALL.NC", every);
    ed.FileLoad(all);
    EXPECT_EQ(ed.encoding(), TextEncoding::Windows1252);
    ed.FileSave(all);
    EXPECT_EQ(readFile(all), every);
}

TEST(Utf8Editor, TypingPastingAndOvertypingWriteWholeCharacters)
{
    Editor ed;
    ed.resize(400, 200);
    ed.show();
    ed.setTextAll(u8("(Å)"));
    ASSERT_EQ(ed.encoding(), TextEncoding::Utf8);
    ed.setInsertMode(true);
    ed.setCaret(2, 1);
    typeText(ed, QStringLiteral("Ö€"));
    EXPECT_EQ(ed.TextAll(), u8("(Ö€Å)"));
    QTest::keyClick(ed.focusProxy(), Qt::Key_Backspace);
    EXPECT_EQ(ed.TextAll(), u8("(ÖÅ)"));
    // Overtyping replaces the whole character at the caret.
    ed.setInsertMode(false);
    typeText(ed, QStringLiteral("ş"));
    EXPECT_EQ(ed.TextAll(), u8("(Öş)"));
    EXPECT_TRUE(isValidUtf8(ed.TextAll()));

    // The clipboard carries characters, not bytes.
    ed.setSelectionOffsets(1, 3);
    ed.setAction(1);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Ö"));
    QApplication::clipboard()->setText(QStringLiteral("ıÅ"));
    ed.setAction(2);
    EXPECT_EQ(ed.TextAll(), u8("(ıÅş)"));

    // The same keys in a Windows-1252 program write its bytes, as ever.
    ed.setTextAll("(\xC5)");
    ASSERT_EQ(ed.encoding(), TextEncoding::Windows1252);
    ed.setInsertMode(true);
    ed.setCaret(2, 1);
    typeText(ed, QStringLiteral("Ö€"));
    EXPECT_EQ(ed.TextAll(), QByteArray("(\xD6\x80\xC5)"));
    typeText(ed, QStringLiteral("ş")); // no such byte: refused
    EXPECT_EQ(ed.TextAll(), QByteArray("(\xD6\x80\xC5)"));
    ed.setSelectionOffsets(1, 2);
    ed.setAction(1);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Ö"));
}

// A hex dump of a UTF-8 program is a view of bytes: its character column
// shows one character per byte, whatever the dump's own bytes would make.
TEST(Utf8Editor, AHexDumpShowsOneCharacterPerByte)
{
    frmDocument doc;
    doc.show();
    doc.txtText->setTextAll(u8("(Å)"));
    ASSERT_EQ(doc.txtText->encoding(), TextEncoding::Utf8);
    doc.txtText->setIsDirty(false);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_H, Qt::ControlModifier | Qt::AltModifier);
    QApplication::sendEvent(doc.txtText->focusProxy(), &press);
    ASSERT_TRUE(untilLongWorkIsOver());
    ASSERT_TRUE(doc.bHexView);
    EXPECT_TRUE(doc.txtText->TextAll().startsWith("00000 | 28 C3 85 29 "));
    EXPECT_EQ(doc.txtText->encoding(), TextEncoding::Windows1252);
}
