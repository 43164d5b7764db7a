#pragma once
// The comment header of a program that is received under the name of an
// existing file. Comment lines ("'" lines) stay on the computer and never reach
// the machine, so the header of the old file is carried over to the new one.
#include <QByteArray>
#include <QString>

namespace lumrik {

// Copies the leading comment lines of `path` (path tokens expanded) into
// "Header.Tmp" of the temporary folder and adds the stamp block naming the
// machine gActiveCfg and today's date. True when at least one line was copied;
// false when none was or when anything failed. Shows no message.
bool RkSaveHeaderLines(const QString &path);

// The same on bytes: the header lines of `source` (each as read, CR LF after
// each) followed by the stamp block, or empty when the source has none. Lines
// end at CR LF, CR or LF.
QByteArray headerBlock(const QByteArray &source, const QString &machine, const QString &date);

// The rule line of the stamp block: "'" and 70 "-".
QByteArray headerRule();

}
