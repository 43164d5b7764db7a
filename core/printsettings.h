#pragma once
// The print settings in use (section "Printing" of the main settings file):
// the font of both print engines, the document print's columns, comment
// styles and margins, and whether the listing shows the time. Loaded at
// start, changed by the print settings dialog, its font button and the editor
// settings dialog; printing reads them here, the plug-ins through the
// plug-in host's table of names.
#include "core/sessionvalues.h"

#include <QObject>
#include <QString>

namespace lumrik {

struct PrintValues {
    QString font;               // "PrinterFont"
    int fontSize = 0;           // "PrinterFontSize", whole points
    bool boldComments = false;  // "BoldComment"
    bool italicComments = false; // "ItalicComment"
    bool time = false;          // "PrintTime"
    int columns = 0;            // "Columns"
    int topMargin = 0, bottomMargin = 0, leftMargin = 0, rightMargin = 0; // millimetres
    bool operator==(const PrintValues &) const = default;
};

class PrintSettings : public SessionValues<PrintValues> {};

}
