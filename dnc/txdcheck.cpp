#include "dnc/txdcheck.h"

#include <algorithm>

namespace lumrik {

namespace {

// A program character that EIA sends as blank tape (NUL is blank tape by
// intent: the padding and leaders are made of it).
bool blankInEia(unsigned char c)
{
    return c > 0 && c <= 90 && isoToEiaTable()[c] == 0;
}

// The first byte of `bytes` the line cannot carry, or -1.
qsizetype firstBad(QByteArrayView bytes, bool eia, int limit)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (eia ? blankInEia(p[i]) : p[i] >= limit)
            return i;
    }
    return -1;
}

// The character that begins at `at` of `bytes`.
QByteArray characterAt(QByteArrayView bytes, qsizetype at, TextEncoding e)
{
    qsizetype n = 1;
    if (e == TextEncoding::Utf8)
        n = std::min<qsizetype>(utf8SequenceLength(static_cast<unsigned char>(bytes[at])), bytes.size() - at);
    return bytes.sliced(at, n).toByteArray();
}

QString shownLine(QByteArrayView line, TextEncoding e)
{
    constexpr qsizetype kMost = 72;
    QString text = decodeText(line.first(std::min(line.size(), kMost * 4)), e);
    if (text.size() > kMost)
        text = text.left(kMost) + QStringLiteral("...");
    return text;
}

}

std::optional<TxdUncarried> txdFirstUncarried(QByteArrayView program, const TxdSettings &s, const TxdOptions &options,
                                              TextEncoding encoding)
{
    // EIA carries codes up to 80 (hex) whatever the bits; its own table
    // decides there. Otherwise only a line of fewer than 8 data bits drops bits.
    const bool eia = s.eia && !options.binary;
    const int limit = s.dataBits >= 8 ? 256 : 1 << std::clamp(s.dataBits, 5, 8);
    if (!eia && limit >= 256)
        return std::nullopt;
    // Most programs hold none at all: one quick look decides.
    if (firstBad(program, eia, limit) < 0)
        return std::nullopt;

    TxdUncarried u;
    u.why = eia ? TxdUncarried::Why::BlankTape : TxdUncarried::Why::HighBits;
    TxdLineReader reader(program);
    int lineNo = 0;
    if (options.binary) {
        // The whole file goes out: the line is only where to look.
        const qsizetype at = firstBad(program, false, limit);
        while (!reader.atEnd()) {
            const QByteArrayView line = reader.next();
            ++lineNo;
            if (at < reader.position() || reader.atEnd()) {
                u.line = lineNo;
                u.lineText = shownLine(line, encoding);
                u.bytes = characterAt(program, at, encoding);
                u.character = decodeText(u.bytes, encoding);
                return u;
            }
        }
        return std::nullopt;
    }
    QByteArray out;
    while (!reader.atEnd()) {
        const QByteArrayView line = reader.next();
        ++lineNo;
        const TxdLineAction action = txdTransformLine(line, options, out);
        if (action == TxdLineAction::Skip)
            continue;
        if (action == TxdLineAction::Send)
            out.chop(options.eob.size());
        const qsizetype at = firstBad(out, eia, limit);
        if (at >= 0) {
            u.line = lineNo;
            u.lineText = shownLine(line, encoding);
            u.bytes = characterAt(out, at, encoding);
            u.character = decodeText(u.bytes, encoding);
            return u;
        }
        if (action == TxdLineAction::SendAndStop)
            break;
    }
    return std::nullopt;
}

QString txdUncarriedTitle() { return QStringLiteral("Tecken som inte kan sändas"); }

QString txdUncarriedQuestion(const TxdUncarried &u, int dataBits)
{
    QString text;
    if (u.why == TxdUncarried::Why::BlankTape)
        text = QStringLiteral("Programmet innehåller tecken som inte finns i EIA-koden. De sänds som tom remsa, "
                              "och CNC:n får programmet utan dem.");
    else
        text = QStringLiteral("Programmet innehåller tecken som inte går att föra över med %1 databitar. "
                              "CNC:n får andra tecken än de som står i programmet.")
                   .arg(dataBits);
    QString shown = u.character;
    if (shown.isEmpty() || !shown.at(0).isPrint())
        shown.clear();
    const QString code = QString::fromLatin1(u.bytes.toHex(' ').toUpper());
    text += QStringLiteral("\r\n\r\nFörsta stället är rad %1, tecknet %2(%3 hex):\r\n%4")
                .arg(u.line)
                .arg(shown.isEmpty() ? QString() : '"' + shown + QStringLiteral("\" "), code, u.lineText);
    text += QStringLiteral("\r\n\r\nVill du sända programmet ändå?");
    return text;
}

}
