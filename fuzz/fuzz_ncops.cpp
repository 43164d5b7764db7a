// The operations on NC lines: any line packs to a packed line (packing twice
// is packing once), unpacking adds only blanks, control characters go, decimal
// points are added once, renumbering and tool lists and colouring keep within
// the line, line ends come out in the form asked for.
#include "core/lineends.h"
#include "fuzzsupport.h"
#include "ncops/boldcomments.h"
#include "ncops/mdlmnfix.h"
#include "ncops/mdlrkfix.h"
#include "ncops/omnum.h"
#include "ncops/toollist.h"

#include <vector>

using namespace lumrik;
using fuzz::check;

LUMRIK_FUZZ_SETUP

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const uint8_t opts = in.byte();
    const QByteArray word = in.bytes(in.byte() % 3);
    const QByteArray text = in.rest();

    // The whole text with its line ends in either form. (A lone CR stays, so
    // CR CR LF made LF reads as CR LF again: that text is left out of the rule.)
    for (int type : {int(kLineEndCrLf), int(kLineEndLf)}) {
        const QByteArray converted = convertLineEnds(text, type);
        if (type == kLineEndCrLf || !text.contains("\r\r\n")) {
            check(hasLineEndsOf(converted, type), "converted line ends are in the form asked for");
            check(convertLineEnds(converted, type) == converted, "converting twice is converting once");
            check(withLineEnds(converted, type) == converted, "a text in the form stays as it is");
        }
        check(converted.count('\n') == text.count('\n'), "no line is added or lost");
    }
    lineEndTypeOf(text);

    std::vector<QByteArray> lines;
    for (const QByteArray &l : text.split('\n'))
        lines.push_back(l.endsWith('\r') ? l.chopped(1) : l);

    XyzRange range;
    const std::array<QByteArray, 4> codeWords = {word, QByteArray("G0"), QByteArray("M"), QByteArray()};
    std::vector<QByteArray> entries;
    const QList<QByteArray> tokens = toolListTokens(QString::fromLatin1(word + ",T,D"));
    for (const QByteArray &line : lines) {
        const QByteArray packed = PackBlock(line);
        check(PackBlock(packed) == packed, "packing twice is packing once");
        QByteArray unpackSource = line;
        const QByteArray unpacked = UnpackBlock(unpackSource);
        check(unpackSource == packed, "unpacking leaves the caller's line packed");
        check(UnpackPackedBlock(packed) == unpacked, "unpacking a packed line is unpacking the line");
        check(PackBlock(unpacked) == packed, "unpacking adds only blanks");

        const QByteArray clear = clearControlChars(line);
        for (char c : clear)
            check(uint8_t(c) >= 32, "no control character is left");

        QByteArray pointed = line;
        const int added = addDecimalPoints(pointed, "XYZ");
        check(pointed.size() == line.size() + added, "each added point is one byte");
        QByteArray twice = pointed;
        check(addDecimalPoints(twice, "XYZ") == 0 && twice == pointed, "points are added once");

        range.addLine(line);
        const LineColouring lc = colourLine(line, codeWords);
        check(lc.codeWord >= -1 && lc.codeWord <= 3, "the code word is one of four");
        check(lc.codeStart >= 1 && lc.codeStart <= lc.codeEnd && lc.codeEnd <= line.size() + 1,
              "the code range lies within the line");
        if (lc.comment)
            check(lc.commentStart >= 1 && lc.commentStart < lc.commentEnd && lc.commentEnd <= line.size() + 1,
                  "the comment lies within the line");
        collectToolEntries(line, tokens, entries);

        WordRun run;
        if (findWordRun(line, word, run))
            check(run.start >= 0 && run.start + run.length <= line.size(), "a number run lies within the line");
        for (int mode = 1; mode <= 3; ++mode) {
            QByteArray result;
            qint32 value = 1234;
            RkBlockFix(line, result, word, value, mode, opts & 1);
            qint64 wide = qint64(1) << 40;
            RkBlockFix(line, result, word, wide, 3, opts & 2);
        }
        QByteArray tnc;
        RkOmNumTnc(line, tnc, 10);
        ExtractValue(word.isEmpty() ? 'X' : word[0], line);
        check(upper1252(line).size() == line.size(), "capitals keep the length");
    }
    RkToolListBlock(lines, tokens);

    OmnumOptions o;
    o.skipBlock = word;
    o.firstBlockNr = opts % 50;
    o.incr = 1 + opts % 7;
    o.tnc = opts & 0x10;
    o.leadingZeros = opts & 0x20;
    o.removeBlockNr = opts & 0x40;
    o.addBlockNr = opts & 0x80;
    std::vector<QByteArray> numbered = lines;
    RkOmnumLines(numbered, o);
    check(numbered.size() == lines.size(), "renumbering keeps the number of lines");
    return 0;
}
