#pragma once
// Saving a document window's text to its file, and the question asked when a
// changed document closes.
#include <QByteArray>
#include <QString>
#include <functional>

class QWidget;

namespace lumrik {

class ProgramDocument;
class frmDocument;

// The file dialog's filter for the machine's pattern list (patterns separated
// by ";"): each pattern as its own description, then "Alla filer (*.*)|*.*".
QString saveDialogFilter(const QString &fileExtensions);

// The program as it is written to disk: its byte-order mark, when it has one,
// and its bytes with the line ends of `lineEndType` (1 CR LF, anything else
// LF alone); every other byte as it is.
QByteArray textForSave(const ProgramDocument &program, int lineEndType);

// Writes the document to its file. Save As (or an untitled or never named
// document) asks for the name first, titled "Ange filnamn". The text is
// written in the line ends of the setting saveAsUnixType through a temporary
// file that replaces the old one only when complete. Sets `result` to 2 when nothing
// was written because the dialog was cancelled, the name was not valid or the
// write failed; a failed Save As leaves the caption and bNamed as they were.
// A hex view or a read-only document is refused with a message (result
// untouched). Returns true when the file was written.
//
// A save writes the program where it was loaded from: when the document's
// own path now names another file, or its file was changed since it was
// loaded or last saved (another device, inode, size or time), the user is
// asked first ("Nej", the default, saves nothing). A symbolic link of another
// user in a folder others may write in is never written through; the message
// says why and offers Save As.
bool RkSaveDocument(frmDocument *doc, bool &saveAs, int &result);

// Asks whether to save a changed document that is closing. Yes saves (Save As
// for an untitled document); Cancel, or a save that did not happen, sets
// `cancel` to 2 to keep the window open; No lets it close unsaved.
void SaveOrNot(frmDocument *doc, int &cancel);

// Before the program is ended from the error report: a changed document is
// offered for saving (Yes / No), again after a save that did not happen,
// until it is saved or the user says No.
void OfferSaveBeforeForcedExit(frmDocument *doc);

// The file dialog of Save As; tests and the main window may replace it. It
// returns the chosen path, or an empty text when cancelled.
using SaveDialogFn = std::function<QString(QWidget *owner, const QString &title, const QString &initialFile,
                                           const QString &initialFolder, const QString &filter)>;
void setSaveDialogHook(SaveDialogFn dialog);

// Called with the path after every successful save; the main window puts it
// at the top of its recent-files list (AddToMruList).
void setSavedFileHook(std::function<void(const QString &path)> hook);

}
