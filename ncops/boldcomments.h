#pragma once
// Colouring of comments and code words (display only: the text, caret line,
// first visible line and modified state stay as they were).
#include <QByteArray>
#include <QByteArrayView>
#include <array>

namespace lumrik {

class frmDocument;

// What one line gets coloured (columns from 1, end columns exclusive).
struct LineColouring {
    int codeWord = -1;                 // 0..3: the code word whose colour the code part takes
    int codeStart = 1, codeEnd = 1;    // the code range: column 1 up to the first "("
    bool comment = false;
    int commentStart = 0, commentEnd = 0; // the first comment, "(" to ")" both included
};

// The rules: the code part (the line without its first comment, trailing blanks
// removed) holding code word k (the last one of the four that matches wins)
// colours the line up to its first "(" (the whole line without one); the first
// comment takes the comment colour.
LineColouring colourLine(QByteArrayView line, const std::array<QByteArray, 4> &codeWords);

// The command on a document window, with the current machine's code words
// 1..4, their colours and the comment colour.
void RkBoldComments(frmDocument *doc);

}
