#include "core/codepage.h"

#include <QUtf8StringView>

#include <array>
#include <cstdint>
#include <cstring>

namespace lumrik {

namespace {
// Unicode of 0x80..0x9F in Windows-1252; 0 where the code page leaves a hole.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

inline QChar byteToChar(unsigned char b)
{
    if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0)
        return QChar(kHigh[b - 0x80]);
    return QChar(b);
}

inline int charToByte(QChar c)
{
    char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    if (u >= 0x80 && u <= 0x9F) // a hole of the code page, kept as its own byte
        return (kHigh[u - 0x80] == 0) ? int(u) : -1;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == u)
            return 0x80 + i;
    return -1;
}
}

QString fromCp1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        d[i] = byteToChar(static_cast<unsigned char>(bytes[i]));
    return out;
}

QByteArray toCp1252(const QString &text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        int b = charToByte(text[i]);
        out[i] = static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

bool isValidUtf8(QByteArrayView bytes)
{
    return QUtf8StringView(bytes.data(), bytes.size()).isValidUtf8();
}

int utf8SequenceLength(unsigned char lead)
{
    return (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 1;
}

int utf8Length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

qsizetype withoutCutSequence(QByteArrayView bytes)
{
    // Back over at most three continuation bytes to the lead byte before them.
    const qsizetype n = bytes.size();
    qsizetype lead = n - 1;
    while (lead >= 0 && n - lead <= 3 && (static_cast<unsigned char>(bytes[lead]) & 0xC0) == 0x80)
        --lead;
    if (lead < 0)
        return n;
    return n - lead < utf8SequenceLength(static_cast<unsigned char>(bytes[lead])) ? lead : n;
}

QString decodeSettingsText(QByteArrayView bytes)
{
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    return fromCp1252(bytes);
}

bool hasHighBytes(QByteArrayView bytes)
{
    // Eight words at a time, so that a big program is crossed at the speed
    // of the memory rather than a byte a step.
    const char *p = bytes.data();
    qsizetype n = bytes.size();
    constexpr std::uint64_t kHigh = 0x8080808080808080u;
    for (; n >= 64; p += 64, n -= 64) {
        std::uint64_t any = 0;
        for (int i = 0; i < 8; ++i) {
            std::uint64_t word;
            std::memcpy(&word, p + 8 * i, sizeof word);
            any |= word;
        }
        if (any & kHigh)
            return true;
    }
    for (; n > 0; ++p, --n)
        if (static_cast<unsigned char>(*p) > 127)
            return true;
    return false;
}

TextEncoding textEncodingOf(QByteArrayView bytes)
{
    return hasHighBytes(bytes) && isValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

TextEncoding textEncodingOfHead(QByteArrayView head, bool wholeFile)
{
    return textEncodingOf(wholeFile ? head : head.first(withoutCutSequence(head)));
}

QString encodingName(TextEncoding e)
{
    return e == TextEncoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1252");
}

QChar firstUnencodable(const QString &text, TextEncoding e)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (e == TextEncoding::Utf8) {
            // Only a surrogate without its partner has no UTF-8 form.
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
            else if (c.isSurrogate())
                return c;
        } else if (charToByte(c) < 0) {
            return c;
        }
    }
    return QChar();
}

QByteArray encodeText(const QString &text, TextEncoding e)
{
    return e == TextEncoding::Utf8 ? text.toUtf8() : toCp1252(text);
}

QString decodeText(QByteArrayView bytes, TextEncoding e)
{
    return e == TextEncoding::Utf8 ? QString::fromUtf8(bytes) : fromCp1252(bytes);
}

char32_t upperCharacter(char32_t c)
{
    return c == 0xB5 ? c : QChar::toUpper(c);
}

QString upperText(const QString &text)
{
    // Character by character (QString::fromUcs4 would drop a leading
    // byte-order mark).
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(text[i], text[i + 1]), ++i;
        out += QChar::fromUcs4(upperCharacter(c));
    }
    return out;
}

QString bytesToDisplay(QByteArrayView bytes) { return fromCp1252(bytes); }

QByteArray displayToBytes(const QString &text) { return toCp1252(text); }

}
