#pragma once
// Find and replace in the active document: the routine both dialogs call
// (FindIt), the history lists of their combo boxes (UpdateComboList) and the
// text the Find dialog proposes. The matching itself is the editor
// component's (its Search members and actions 9, 10 and 11, with the rules of
// documents/findreplace_rules.h).
//
// The session's search state (core/searchstate.h) holds the last search; F3
// and Find Next repeat it.
#include "core/codepage.h"

#include <QByteArray>
#include <QString>

#include <array>

class QCheckBox;
class QComboBox;
class QDialog;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QVBoxLayout;
class QWidget;

namespace lumrik {

class Editor;

// Searches the active document window for `target`, or replaces it there by
// `replacement` asking per match (the document window's replace question).
// Matching is without regard to case; target and replacement go to the text
// in upper case, as Windows-1252 bytes. `wholeWords` not 0: whole words only;
// `searchTo`: search the whole text, going on from the start after the end
// (the dialogs pass false: from the starting point to the end); `fromStart`:
// from the start of the text, else from the caret. Returns true when the
// document had a match; otherwise "Sökning klar" tells that nothing was found.
bool FindIt(const QString &target, int wholeWords, bool searchTo, bool fromStart, const QString &replacement,
            bool replace);

// Puts `text` at the top of the combo box's list, once (an equal entry further
// down is removed). An empty text changes nothing.
void UpdateComboList(QComboBox *combo, const QString &text);

// A text typed in a dialog as the bytes the editor searches for (or, with
// `replacement`, writes): in upper case, in the program's encoding. False when
// it holds a character that the encoding lacks (no such program can hold it);
// `bytes` then has '?' in its place. In UTF-8 a target keeps each character
// whose capital is of another UTF-8 length (ı stays ı, found as ı only); a
// replacement takes every capital (ı -> I).
bool searchBytes(const QString &text, TextEncoding encoding, bool replacement, QByteArray &bytes);

// The word under the caret: the part of `line` from just after the last blank
// at or before column `caretX` (from 1), trimmed and cut at its next blank.
QString wordAtCaret(const QString &line, int caretX);
// What the Find dialog proposes for an editor: its selected text (its first
// line, trailing blanks removed), else the word under the caret.
QString findProposal(Editor *editor);

// Gives an editor the last search (the search variables), so that find next
// (F3) repeats it there too. Nothing happens before the first search.
void primeLastSearch(Editor *editor);

// The controls the Find and the Replace dialog have in common: the options,
// the starting point and the OK and Cancel buttons, laid out with the buttons
// to the right of a column (`left`) that the dialog puts its text boxes at the
// top of.
struct SearchDialogControls {
    QGroupBox *fraOptions = nullptr;
    QCheckBox *chkWholeWords = nullptr;
    QGroupBox *fraOrigin = nullptr;
    std::array<QRadioButton *, 2> optOrigin{}; // 0 "&Början", 1 "&Markör" (checked)
    QPushButton *ok = nullptr;
    QPushButton *cancel = nullptr;
    QVBoxLayout *left = nullptr;
};
// Creates them on `dialog`, the OK button named `okName`. Call it after the
// dialog has made its text boxes, so the tab order runs from them on.
SearchDialogControls buildSearchDialog(QDialog *dialog, const QString &okName);

// An editable combo box holding a search history; the history is kept by OK
// (UpdateComboList), not by Enter.
QComboBox *newHistoryCombo(QWidget *parent, const QString &objectName);

}
