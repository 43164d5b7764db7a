#pragma once
// The rows a text is shown in when it holds a line too long for the editor
// component: the component lays out and measures a line whole, several bytes
// of layout for every byte of it, so a line of many megabytes (what a control
// sends without end-of-block characters) would freeze the window and fill the
// memory. Such a text is shown with a row break (an LF byte of the shown text
// only) after every kRowBytes bytes of a line; the text itself never holds
// them. Plain code: positions of the text and of the shown text, and how a
// change of the text changes the shown text.
#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <vector>

namespace lumrik {

class TextRows {
public:
    // A line longer than this makes a text be shown in rows.
    static constexpr qsizetype kLongLine = 16 * 1024;
    // Bytes of a line in one row.
    static constexpr qsizetype kRowBytes = 256;

    // True when a line of the text (ended by CR LF, LF or a lone CR) is longer
    // than kLongLine.
    static bool needed(QByteArrayView text);

    // A UTF-8 text is broken only between characters: a row then ends up to
    // three bytes short of kRowBytes rather than inside a character. Set it
    // before the text is laid out.
    void setUtf8(bool on) { utf8_ = on; }
    bool utf8() const { return utf8_; }

    // The shown text of `text`: every line broken into rows of kRowBytes.
    QByteArray layOut(QByteArrayView text);
    // The same, a piece of the shown text at a time and in order, so that the
    // whole shown text is never held beside the text.
    void layOut(QByteArrayView text, const std::function<void(QByteArrayView)> &piece);

    // Offsets of the text where a row break stands (before the byte at the
    // offset), in order.
    const std::vector<qint64> &breaks() const { return breaks_; }
    // Breaks at offsets below `offset`.
    qsizetype breaksBefore(qint64 offset) const;

    // The shown position of a text position; at a row break, after it (the
    // start of the next row) or before it (the end of the row).
    qint64 shownAfter(qint64 offset) const;
    qint64 shownBefore(qint64 offset) const;
    // The text position of a shown position (a break is no byte of the text).
    qint64 textAt(qint64 shown) const;

    // A change of the text: `old` holds the text before it; from..to is
    // replaced by `bytes`. Gives the stretch of the shown text to replace and
    // its new bytes (whole rows, laid out again; a changed row may grow to
    // twice kRowBytes before it is broken) and moves the breaks.
    struct Change {
        qint64 shownFrom = 0, shownTo = 0;
        QByteArray shown;
    };
    Change change(QByteArrayView old, qint64 from, qint64 to, QByteArrayView bytes);
    // The stretch of the text (before the change) whose rows such a change
    // lays out again: from..to and the rest of the rows around it.
    struct Region {
        qint64 from = 0, to = 0;
    };
    Region region(QByteArrayView old, qint64 from, qint64 to) const;

private:
    std::vector<qint64> breaks_;
    bool utf8_ = false;
};

}
