#pragma once
#include <QString>

class QDate;
class QDateTime;
class QWidget;
class QObject;

namespace lumrik {

// The text of a numeric id from the language file (section "LANGUAGE"), or
// "str" & id when the file or the id is missing. A file argument shorter than 2
// characters means gsLanguageFile, and the caller's variable receives it.
QString RkGetLanguage(const QString &id, QString &file);
QString RkGetLanguage(int id);

// A text built in code: the Swedish text, or the language file's text of the id
// when a language file is in use.
QString RkText(int id, const QString &swedish);

// Translates a window's caption and its labelled controls from their tags.
void SetLanguage(QWidget *window);

// The text id of a window or control (kept as its "tag" property).
void setTag(QObject *object, const QString &tag);
void setTag(QObject *object, int id);
QString tagOf(const QObject *object);

// Dates as a Swedish program writes them, whatever the system's locale: the
// short date "2026-12-09"; with the time of day, "2026-12-09  03:04"; the
// general date and time (short date, a blank, long time) "2026-12-09 03:04:05".
QString RkShortDate(const QDate &date);
QString RkShortDateTime(const QDateTime &time);
QString RkGeneralDate(const QDateTime &time);

}
