#pragma once
// The matching rules of find and replace, on NC text as bytes, Windows-1252 or
// UTF-8 (the program's encoding, core/codepage.h). Plain functions without an
// editor or a window: the editor component runs its find, find-next and
// replace actions with them.
//
// - Case: without regard to case, letters match their other case, the
//   Windows-1252 letters included (ö finds Ö, š finds Š). In UTF-8 text every
//   letter matches the letters of the same case folding whose UTF-8 form has
//   as many bytes (ö finds Ö, σ finds Σ and ς); so a match is always as long
//   as the target, and i never matches the dotless ı nor s the long ſ.
// - Whole words ("Avgränsade värden"): a match must begin and end at a
//   boundary between NC words. Letters, digits, "_" and "." make up words;
//   anything else (blank, sign, parenthesis, line end, start and end of the
//   text) separates them, and so does the step from a number to the next
//   address letter, as in a packed block: T1 is found in "T1M6" and in "T1 M6",
//   but not in "T10" nor in "AT1", and X10 is not found in "X10.5".
// - Range: a search runs forward from an offset; with wrap it goes on from
//   the start of the text up to where it began.
#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <vector>

namespace lumrik {

// Upper-case form of one Windows-1252 byte (bytes without one come back as they are).
unsigned char upperCp1252(unsigned char b);
// Every byte in upper case (same length).
QByteArray upperCp1252(QByteArrayView bytes);

// True when the byte belongs to an NC word (letter, digit, "_" or ".").
bool isNcWordByte(unsigned char b);
// True when a whole-word match may begin or end at `pos` (0..size) of `text`;
// in UTF-8 text the characters on either side are judged whole.
bool isWordBoundary(QByteArrayView text, qsizetype pos, bool utf8 = false);

struct SearchOptions {
    bool caseSensitive = false;
    bool wholeWords = false;
    bool utf8 = false; // the text and the target are UTF-8
};

// A prepared search for one target: reusable for any number of look-ups.
// Linear in the text for the short targets of NC work (Horspool's skips).
class ByteSearch {
public:
    ByteSearch(QByteArrayView target, SearchOptions options);

    // Offset of the first match that starts at or after `from` and ends at or
    // before `to` (offsets in `text`, clamped to it), or -1. Boundaries of
    // whole words are judged on the whole `text`, also outside the range.
    qsizetype find(QByteArrayView text, qsizetype from, qsizetype to) const;
    // From `from` to the end; with wrap, then from the start: matches that
    // begin before `from` and end at or before it.
    qsizetype findWrapped(QByteArrayView text, qsizetype from, bool wrap) const;
    // Every match in the range, without overlaps, in order.
    std::vector<qsizetype> findAll(QByteArrayView text, qsizetype from, qsizetype to) const;

    qsizetype length() const { return target_.size(); }
    bool isEmpty() const { return target_.isEmpty(); }

private:
    bool matchesAt(const unsigned char *p) const;
    qsizetype findByCharacters(QByteArrayView text, qsizetype from, qsizetype to) const;
    bool boundaryAt(QByteArrayView text, qsizetype pos) const;

    // A character of a UTF-8 target outside ASCII, matched without regard to
    // case: the UTF-8 forms it matches, each as long as it.
    struct Unit {
        qsizetype offset;
        std::vector<QByteArray> forms;
    };
    std::vector<Unit> units_;
    // With units: the bytes a match may end in.
    std::array<bool, 256> endsIn_{};

    QByteArray target_;                    // folded when without regard to case
    SearchOptions options_;
    std::array<unsigned char, 256> fold_{};
    std::array<qsizetype, 256> skip_{};
    int lastByte_ = -1;                    // the one byte a match can end in, or -1
};

// The bytes of text[start, end) with every match (offsets into `text`, each
// `targetLength` long, in order, inside the range) replaced by `replacement`.
QByteArray spliceReplacements(QByteArrayView text, qsizetype start, qsizetype end,
                              const std::vector<qsizetype> &matches, qsizetype targetLength,
                              QByteArrayView replacement);
// The same text in consecutive parts of at most `partBytes` each.
std::vector<QByteArray> spliceReplacementsInParts(QByteArrayView text, qsizetype start, qsizetype end,
                                                  const std::vector<qsizetype> &matches, qsizetype targetLength,
                                                  QByteArrayView replacement, qsizetype partBytes);

}
