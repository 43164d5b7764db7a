#pragma once
// The tool list: copies of the tool-call blocks of a program, framed as comment
// lines, put at the top of the program.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <vector>

namespace lumrik {

class frmDocument;

// "'" followed by 70 "-".
QByteArray toolListFrameLine();

// The tokens of the setting: the text split at every "," (not trimmed; empty
// pieces are empty tokens).
QList<QByteArray> toolListTokens(const QString &setting);

// Collects the entries of one line: one "' " & line for every token whose first
// occurrence in the line (without its first comment) is followed by a digit.
// Lines beginning with "'" are never collected. Returns the number added.
int collectToolEntries(QByteArrayView line, const QList<QByteArray> &tokens,
                       std::vector<QByteArray> &entries);

// The block to insert at the top: frame, entries in program order, frame; empty
// when no line matches.
std::vector<QByteArray> RkToolListBlock(const std::vector<QByteArray> &lines,
                                        const QList<QByteArray> &tokens);

// The command on a document window (uses the setting toolListChrs). Refuses
// read-only and hex views; the insertion is one undo step.
void RkGetToolList(frmDocument *doc);

}
