#pragma once
// The main window's receive command (NC > "&Hämta från CNC", F8, toolbar key
// "RxdFromCnc"): shows the receive window for the selected machine and opens
// what arrived as a new document, with the comment header of the file it
// replaces on top, saved at once when a name was given.
#include <QString>
#include <functional>

class QComboBox;
class QWidget;

namespace lumrik {

class frmDocument;
class frmRxdFromCnc;
class Session;

// What a receive leaves for the main window.
struct RxdCommandResult {
    bool received = false;   // rxdFile holds a received program of more than 4 bytes
    QString rxdFile;         // the work file "Rxd.Tmp" of the temporary folder
    QString targetPath;      // the active program's folder & file: where it belongs
    bool named = false;      // a name was given (the file is not the untitled name)
    QString headerSource;    // the existing file named in the window, also when what arrived opens untitled
    bool binary = false;     // "BINÄR": the bytes as they came, saved so, without a header
};

// The receive window of this program run (created on first use for `session`,
// owned by `owner`); it keeps its line-error counts between openings.
frmRxdFromCnc *rxdFromCncWindow(Session &session, QWidget *owner);

// Deletes a stale "Rxd.Tmp", shows the receive window modally with `owner` as
// owner (it selects the machine of `comboMaskiner` and keeps that selector in
// step) and returns what it left. An aborted or failed receive leaves no work
// file and received = false.
RxdCommandResult RunRxdFromCnc(Session &session, QWidget *owner, QComboBox *comboMaskiner);

// Opens a received program: with more than 4 bytes, a new document from
// `loadNewDoc` loads the work file (CR LF lines), gets the machine `machine`,
// the header block of the target file when it has one (RkSaveHeaderLines,
// before anything overwrites the target), the caption targetPath and the
// changed mark, and the focus; when named it is marked named and `saveActive`
// (the File > Save command) writes it at once. The work file is deleted
// afterwards. Returns the new document, or nullptr when nothing was opened.
// The text is in one encoding: the header goes in the received program's
// when that holds letters beyond ASCII, else the program takes the header's.
// A binary reception gets no header and is written as the bytes that came,
// whatever line ends the settings ask for; `saveActive` is not called then.
frmDocument *OpenReceivedProgram(const RxdCommandResult &result, const QString &machine,
                                 const std::function<frmDocument *()> &loadNewDoc,
                                 const std::function<void()> &saveActive);

// A work file left by a reception that never ended (the program stopped in the
// middle of it) and holds more than 4 bytes: the user is asked whether to open
// it as an untitled document, else it is deleted. Returns the document opened.
frmDocument *RecoverInterruptedReception(QWidget *owner, const std::function<frmDocument *()> &loadNewDoc);

// The whole command: RecoverInterruptedReception, then RunRxdFromCnc, then OpenReceivedProgram with the machine
// chosen in the receive window, `session`'s current machine (as
// `comboMaskiner` spells it when it shows that machine). Failures go to the
// common error report.
frmDocument *RxdFromCncCommand(Session &session, QWidget *owner, QComboBox *comboMaskiner,
                               const std::function<frmDocument *()> &loadNewDoc,
                               const std::function<void()> &saveActive);

}
