#include "core/codepage.h"

#include <array>

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
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    qsizetype n = bytes.size(), i = 0;
    while (i < n) {
        unsigned char c = p[i];
        if (c < 0x80) { ++i; continue; }
        int extra;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
        else return false;
        if (i + extra >= n) return false;
        for (int k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000)
            || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

QString decodeSettingsText(QByteArrayView bytes)
{
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    return fromCp1252(bytes);
}

bool hasHighBytes(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) > 127)
            return true;
    return false;
}

TextEncoding settingsEncodingOf(QByteArrayView bytes)
{
    return hasHighBytes(bytes) && isValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
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

QString bytesToDisplay(QByteArrayView bytes) { return fromCp1252(bytes); }

QByteArray displayToBytes(const QString &text) { return toCp1252(text); }

}
