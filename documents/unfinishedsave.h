#pragma once
// A save cut short in the middle of writing a file in place (a killed editor,
// a power loss) leaves the copy of the file's old bytes (core/savecopy.h).
// When the file is opened again, or the editor starts, the copy is found and
// settled here: a file that holds the whole old or the whole new text only
// loses the leftover copy; any other file may hold new text followed by old,
// so the user is told by the program's name and asked whether to put the old
// text back. Nothing is removed before the user has answered.
#include <QString>

class QWidget;

namespace lumrik {

// The copies left for the file at `path`. "Ja" puts the old text back, "Nej"
// keeps the file as it is and removes the copy, "Avbryt" leaves both for the
// next time.
void settleUnfinishedSaves(const QString &path, QWidget *parent = nullptr);

// At start: the copies in the user's private folder, and those beside the
// files named (the recent files).
void settleUnfinishedSavesAtStart(const QStringList &files, QWidget *parent = nullptr);

// The question for one program (its name as shown, and the copy's).
QString unfinishedSaveQuestion(const QString &program, const QString &copy);

}
