#include "ncops/blockreferences.h"

#include "ncops/mdlrkfix.h"

#include <array>

namespace lumrik {

namespace {

// A whole number written with digits only ("71", "0071"); nothing otherwise.
std::optional<qint64> wholeNumber(QByteArrayView run)
{
    if (run.isEmpty() || run.size() > 15)
        return std::nullopt;
    qint64 v = 0;
    for (char c : run) {
        if (!isDigit(c))
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

// "GOTO" at a word's start followed by a number ("GOTO5", "GOTO 5").
bool holdsGotoNumber(QByteArrayView code)
{
    for (qsizetype i = 0; i + 4 <= code.size(); ++i) {
        if (upperAscii(code[i]) != 'G' || upperAscii(code[i + 1]) != 'O' || upperAscii(code[i + 2]) != 'T'
            || upperAscii(code[i + 3]) != 'O' || !isWordStart(code, i))
            continue;
        qsizetype j = i + 4;
        while (j < code.size() && (code[j] == ' ' || code[j] == '\t'))
            ++j;
        if (j < code.size() && isDigit(code[j]))
            return true;
    }
    return false;
}

BlockReference referenceAt(QByteArrayView line, int lineNo)
{
    constexpr qsizetype kShown = 80;
    QByteArrayView t = trimBlanks(line);
    if (t.startsWith("\xEF\xBB\xBF"))
        t = trimBlanks(t.sliced(3));
    QByteArray text = t.first(std::min(kShown, t.size())).toByteArray();
    if (t.size() > kShown)
        text += "...";
    return {lineNo, text};
}

}

void BlockReferenceScan::addLine(QByteArrayView line, int lineNo)
{
    const QByteArrayView trimmed = ltrimBlanks(line);
    if (trimmed.startsWith('\'')) // comment lines (tool lists, headers)
        return;
    const QByteArrayView code = line.first(codeLength(line));
    // Every kind of reference, and an "O" program, needs one of these letters
    // (GOTO has its "O"): most blocks of a program are passed over at once.
    if (!RkInstrList(code, "PpQqOo"))
        return;
    const bool mayCall = !direct_;
    bool cycle = false, localCall = false, call = false, pq = false;
    std::optional<qint64> p;
    for (const AddressWord &w : addressWords(code)) {
        const char letter = upperAscii(w.letter);
        const auto v = wholeNumber(w.run);
        if (letter == 'O' && v) {
            programs_.insert(*v);
        } else if (!mayCall) {
            continue;
        } else if (letter == 'G' && v && *v >= 70 && *v <= 73) {
            cycle = true;
        } else if (letter == 'M' && v && *v == 97) {
            localCall = true;
        } else if (letter == 'M' && v && *v == 98) {
            call = true;
        } else if (letter == 'P' || letter == 'Q') {
            pq = true;
            if (letter == 'P' && !p)
                p = v ? v : std::optional<qint64>(-1);
        }
    }
    if (!mayCall)
        return;
    if ((cycle && pq) || (localCall && p) || holdsGotoNumber(code))
        direct_ = referenceAt(line, lineNo);
    else if (call && p && *p >= 0)
        calls_.push_back({referenceAt(line, lineNo), *p});
}

std::optional<BlockReference> BlockReferenceScan::first() const
{
    // A call names a block unless the program holds the "O" program it calls
    // (Fanuc writes a repeat count before the four digits of the number).
    for (const Call &c : calls_)
        if (!programs_.count(c.program) && !(c.program > 9999 && programs_.count(c.program % 10000)))
            return c.at;
    return direct_;
}

std::optional<BlockReference> firstBlockReference(QByteArrayView text)
{
    // Only lines that hold one of the letters addLine looks for are given to
    // it; the others are counted and passed over in one walk over the bytes.
    static const std::array<unsigned char, 256> kind = [] {
        std::array<unsigned char, 256> k{};
        for (char c : {'P', 'p', 'Q', 'q', 'O', 'o'})
            k[static_cast<unsigned char>(c)] = 1;
        k['\n'] = k['\r'] = 2;
        return k;
    }();
    BlockReferenceScan scan;
    const char *p = text.data();
    const qsizetype n = text.size();
    int lineNo = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < n;) {
        const unsigned char k = kind[static_cast<unsigned char>(p[i])];
        if (k == 0) {
            ++i;
        } else if (k == 2) {
            // CR LF, LF or a lone CR ends the line.
            i += (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n') ? 2 : 1;
            ++lineNo;
            lineStart = i;
        } else {
            qsizetype end = i;
            while (end < n && p[end] != '\n' && p[end] != '\r')
                ++end;
            scan.addLine(text.sliced(lineStart, end - lineStart), lineNo);
            i = end;
        }
    }
    return scan.first();
}

}
