#include "core/ncdocument.h"

#include <QFile>

#include <bit>
#include <cstdint>
#include <cstring>

namespace lumrik {

QByteArrayView NcDocument::load(QByteArrayView fileBytes)
{
    encoding_ = textEncodingOf(fileBytes);
    // The mark belongs to a UTF-8 program: before bytes that are not UTF-8
    // its three bytes are Windows-1252 characters like any others.
    bom_ = encoding_ == TextEncoding::Utf8 && fileBytes.startsWith(kByteOrderMark);
    return bom_ ? fileBytes.sliced(kByteOrderMark.size()) : fileBytes;
}

QByteArrayView NcDocument::replaceWhole(QByteArrayView bytes)
{
    if (bom_ && !bytes.startsWith(kByteOrderMark) && isValidUtf8(bytes)) {
        encoding_ = TextEncoding::Utf8; // the mark alone makes the program UTF-8
        return bytes;
    }
    return load(bytes);
}

bool NcDocument::takesIn(QByteArrayView text, TextEncoding incoming)
{
    if (encoding_ == TextEncoding::Utf8 || incoming != TextEncoding::Utf8 || hasHighBytes(text))
        return false;
    encoding_ = TextEncoding::Utf8;
    return true;
}

void NcDocument::showAs(TextEncoding e)
{
    encoding_ = e;
    bom_ = false;
}

QByteArray NcDocument::fileBytes(QByteArrayView text) const
{
    if (!bom_)
        return text.toByteArray();
    QByteArray out;
    out.reserve(kByteOrderMark.size() + text.size());
    out.append(kByteOrderMark);
    out.append(text);
    return out;
}

qint64 NcDocument::characterCount(QByteArrayView bytes) const
{
    if (encoding_ != TextEncoding::Utf8)
        return bytes.size();
    // Every byte but the continuation bytes (10xxxxxx) begins a character;
    // eight bytes a step, so that a large program is counted at the speed of
    // the memory.
    const char *p = bytes.data();
    qsizetype n = bytes.size();
    qint64 continuation = 0;
    constexpr std::uint64_t kTop = 0x8080808080808080u;
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, sizeof w);
        // Bit 7 set and bit 6 clear: shifted left by one, bit 6 of each byte
        // lands on its bit 7.
        continuation += std::popcount(w & ~(w << 1) & kTop);
    }
    for (; n > 0; ++p, --n)
        continuation += (static_cast<unsigned char>(*p) & 0xC0) == 0x80;
    return qint64(bytes.size()) - continuation;
}

int NcDocument::characterColumn(QByteArrayView line, int byteColumn) const
{
    const qsizetype before = qBound<qsizetype>(0, qsizetype(byteColumn) - 1, line.size());
    if (encoding_ != TextEncoding::Utf8)
        return byteColumn;
    // A place past the line's end (there is none) counts its bytes as they are.
    return int(characterCount(line.first(before))) + 1 + (byteColumn - 1 - int(before));
}

TextEncoding NcDocument::encodingOfFile(QByteArrayView head, bool wholeFile, const ReadMore &rest)
{
    if (wholeFile)
        return textEncodingOf(head);
    const qsizetype whole = withoutCutSequence(head);
    if (!isValidUtf8(head.first(whole)))
        return TextEncoding::Windows1252; // not UTF-8 already in its first bytes
    // A plain-ASCII beginning reads the same in either encoding: what the
    // rest of the file holds changes nothing of what is shown of it.
    if (!hasHighBytes(head))
        return TextEncoding::Windows1252;
    // UTF-8 so far: the whole file decides, a piece at a time, a sequence
    // cut by the end of a piece carried over to the next.
    if (!rest)
        return TextEncoding::Windows1252;
    QByteArray carry = head.sliced(whole).toByteArray();
    constexpr qint64 kPiece = 64 * 1024;
    QByteArray buffer(kPiece, Qt::Uninitialized);
    for (;;) {
        const qint64 got = rest(buffer.data(), kPiece);
        if (got < 0)
            return TextEncoding::Windows1252; // as a file the editor cannot read whole
        if (got == 0)
            return isValidUtf8(carry) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
        carry.append(buffer.constData(), got);
        const qsizetype done = withoutCutSequence(carry);
        if (!isValidUtf8(QByteArrayView(carry).first(done)))
            return TextEncoding::Windows1252;
        carry.remove(0, done);
    }
}

TextEncoding NcDocument::encodingOfFile(const QString &path, QByteArrayView head, bool wholeFile)
{
    if (wholeFile)
        return textEncodingOf(head);
    QFile f(path);
    const bool open = f.open(QIODevice::ReadOnly) && f.seek(head.size());
    return encodingOfFile(head, false, [&](char *buffer, qint64 size) -> qint64 {
        return open ? f.read(buffer, size) : -1;
    });
}

}
