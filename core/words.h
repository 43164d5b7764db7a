#pragma once
// The words of the status bar and of the captions: built-in Swedish, or from
// the language file once the main window takes it. The status bar, the
// document captions and the receive window read them here.
#include "core/sessionvalues.h"

#include <QObject>
#include <QString>
#include <functional>

namespace lumrik {

struct WordValues {
    QString insert;     // the typing mode panel: inserting
    QString overwrite;  // the typing mode panel: overwriting
    QString row, col;   // the caret panel, each with its space
    QString total, rows, chars; // the size panel, each with its spaces
    QString untitled;   // the caption of a program without a file, in capitals
    QString receiving;  // the receive window while data comes in
    bool operator==(const WordValues &) const = default;
};

class Words : public SessionValues<WordValues> {};

}
