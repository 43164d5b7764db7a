#pragma once
// The comment header of a program that is received under the name of an
// existing file. Comment lines ("'" lines) stay on the computer and never reach
// the machine, so the header of the old file is carried over to the new one.
#include "core/codepage.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace lumrik {

// Copies the leading comment lines of `path` (path tokens expanded) into
// "Header.Tmp" of the temporary folder and adds the stamp block naming the
// current machine and today's date. True when at least one line was copied;
// false when none was or when anything failed. Shows no message.
// The block is in one encoding: the source file's (by the rule of
// core/codepage.h), or `into` when given, so that it can go on top of a
// program in that encoding.
bool RkSaveHeaderLines(const QString &path, std::optional<TextEncoding> into = std::nullopt);

// The same on bytes: the header lines of `source` (each as read, CR LF after
// each) followed by the stamp block, or empty when the source has none. Lines
// end at CR LF, CR or LF. The lines keep the source's bytes and the stamp is
// written in the source's encoding, unless `into` names another encoding:
// then the whole block is in that one (a character it cannot hold becomes "?").
QByteArray headerBlock(const QByteArray &source, const QString &machine, const QString &date,
                       std::optional<TextEncoding> into = std::nullopt);

// The rule line of the stamp block: "'" and 70 "-".
QByteArray headerRule();

}
