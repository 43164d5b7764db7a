#pragma once
// Hexadecimal renderings of a file's bytes for the read-only hex views.
#include <QByteArray>
#include <QByteArrayView>
#include <functional>

class QWidget;

namespace lumrik {

// The character shown for a byte in the character column of a dump: "." for
// codes below 33 (control characters and the blank), else the byte itself.
char hexDumpChar(unsigned char b);

// Called with the number of bytes done every 1001 bytes; returns false to stop.
using HexProgress = std::function<bool(qint64 done)>;

// Mode 3: lines of 16 bytes, "OOOOO | hh hh hh hh hh hh hh hh - hh ... | chars"
// ended by CR LF; a last short line is padded and has no line end. Any other
// mode: each byte as two hexadecimal digits and a blank, 31 bytes to a line.
// Linear in the size of the input. Returns a null array when stopped.
QByteArray hexRender(QByteArrayView bytes, int mode, const HexProgress &progress = {});

// The rendering with the shared progress dialog (shown when the input is not
// empty); when the user aborts, the input is given back unchanged.
QByteArray hexRenderWithProgress(const QByteArray &bytes, int mode, QWidget *owner);

}
