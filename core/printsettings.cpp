#include "core/printsettings.h"

#include "core/globals.h"

namespace lumrik {

void PrintSettings::set(const PrintValues &v)
{
    gPrinterFont = v.font;
    gPrinterFontSize = v.fontSize;
    gPrintBoldComments = v.boldComments;
    gPrintItalicComments = v.italicComments;
    gPrintTime = v.time;
    gPrintColumns = v.columns;
    gPrintTMargin = v.topMargin;
    gPrintBMargin = v.bottomMargin;
    gPrintLMargin = v.leftMargin;
    gPrintRMargin = v.rightMargin;
    if (v == values_)
        return;
    values_ = v;
    Q_EMIT changed();
}

}
