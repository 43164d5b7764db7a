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

class frmDocument;

// The rendering for a document window, computed off the window; returns at
// once. The window is busy (frmDocument::setBusy) from the call until `done`
// has run, and its text stays as it was meanwhile. A rendering asked for
// while other long work is under way starts when that is over. It runs on a
// worker thread while the ordinary event loop serves the progress dialog
// (shown when the input is not empty) and its "Avbryt". `done` runs on the
// window's thread, from the event loop, with the window free again: given the
// rendering, or the input unchanged when the user aborted or there was no
// memory for it (that is reported after `done`). It does not run when the
// window is gone by then. The keyboard is where it was at the call.
using HexShown = std::function<void(const QByteArray &shown)>;
void renderHexView(frmDocument *doc, const QByteArray &bytes, int mode, HexShown done);

}
