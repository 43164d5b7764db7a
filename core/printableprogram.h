#pragma once
// A program shown in a window, as printing reads it: its lines as text, the
// caption printed in the header, and the window the print dialog and its
// messages belong to. The document window implements it, so that printing
// needs no editor.
#include <QString>
#include <QStringList>

class QWidget;

namespace lumrik {

class PrintableProgram {
public:
    virtual ~PrintableProgram() = default;
    virtual QString printCaption() const = 0;
    virtual QWidget *printOwner() = 0;
    // Every line of the program, without its line end, in the program's encoding.
    virtual QStringList printLines() = 0;
};

}
