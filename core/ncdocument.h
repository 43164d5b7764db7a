#pragma once
// The program a document holds, apart from the editor that shows it: how its
// bytes are written (Windows-1252, or UTF-8 with or without a byte-order
// mark), its line ends, and the one place that turns its bytes into text and
// back. The byte-order mark is a property of the program, never a character of
// its text: the editor holds the text without it (so no caret stands before
// it, no command sees it, no count counts it and no send sends it), and the
// file gets it back when it is written. Plain code, no widgets.
#include "core/codepage.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

namespace lumrik {

class NcDocument {
public:
    static constexpr QByteArrayView kByteOrderMark{"\xEF\xBB\xBF", 3};

    // A program's bytes as they come from its file: the encoding by the rule
    // of core/codepage.h, judged on the whole file, and the mark set apart
    // when the program is UTF-8. Gives the text the editor holds.
    QByteArrayView load(QByteArrayView fileBytes);
    // A whole text set into the document (a command's result, a new text):
    // one that begins with the mark is taken as a file's bytes; one without
    // keeps the program's mark while it is still UTF-8, and is otherwise
    // judged afresh. Gives the text the editor holds.
    QByteArrayView replaceWhole(QByteArrayView bytes);
    // Text of the encoding `incoming` is about to come into the program whose
    // text is `text`: a Windows-1252 program of plain ASCII, which is UTF-8
    // as well, becomes UTF-8 when UTF-8 text comes in (true then).
    bool takesIn(QByteArrayView text, TextEncoding incoming);
    // The text shows the bytes of something else (a hex dump): one character
    // a byte in `e`, no mark.
    void showAs(TextEncoding e);

    TextEncoding encoding() const { return encoding_; }
    bool hasByteOrderMark() const { return bom_; }
    // 1 CR LF, 2 LF alone: the line end of lines that come in.
    int lineEnds() const { return lineEnds_; }
    void setLineEnds(int type) { lineEnds_ = type == 2 ? 2 : 1; }

    // The file's bytes of the text: the mark, when the program has one, and
    // the text's own bytes.
    QByteArray fileBytes(QByteArrayView text) const;

    // Bytes of the text as characters, and characters as bytes of the text.
    QString toText(QByteArrayView bytes) const { return decodeText(bytes, encoding_); }
    // The first character the encoding cannot hold (a null QChar when it
    // holds them all): such text is refused, never written as '?'.
    QChar firstUnencodable(const QString &text) const { return lumrik::firstUnencodable(text, encoding_); }
    // Only for text the encoding holds (see above).
    QByteArray toBytes(const QString &text) const { return encodeText(text, encoding_); }

    // Characters in bytes of the text: in UTF-8 a character of several bytes
    // counts once; in Windows-1252 every byte is one.
    qint64 characterCount(QByteArrayView bytes) const;
    // The column (from 1) of the place `byteColumn` (from 1) of a line whose
    // bytes are `line`, counted in characters.
    int characterColumn(QByteArrayView line, int byteColumn) const;

    // The encoding a program file is read in, from its first bytes `head`:
    // when the file goes on after them (`wholeFile` false) and the head
    // alone would make it UTF-8, `rest` is asked for the following bytes (a
    // piece at a time into the buffer it is given, 0 at the end, -1 when the
    // file cannot be read on) until the answer is the one the whole file
    // gives, as the editor judges it.
    using ReadMore = std::function<qint64(char *buffer, qint64 size)>;
    static TextEncoding encodingOfFile(QByteArrayView head, bool wholeFile, const ReadMore &rest);
    static TextEncoding encodingOfFile(const QString &path, QByteArrayView head, bool wholeFile);

private:
    TextEncoding encoding_ = TextEncoding::Windows1252;
    bool bom_ = false;
    int lineEnds_ = 1;
};

}
