#pragma once
// INI text files: the main settings file, machine configurations, syntax files,
// macro packages, the language file. Section and key names match without
// regard to case. Lines that are not edited keep their bytes; an edit changes
// only its own line.
//
// Each file keeps one encoding: a file that is valid UTF-8 and holds a byte
// above 127 is read and written as UTF-8, any other file (a new one too) as
// Windows-1252. A file of plain ASCII becomes UTF-8 when a value needs it; in
// a Windows-1252 file with bytes above 127 a value it cannot hold is refused,
// never written as something else.
#include "core/codepage.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace lumrik {

// Settings-like files (settings, machine, syntax, language files, macro
// packages) larger than this are refused whole, with a message naming them.
inline constexpr qint64 kMaxSettingsFileBytes = 16 * 1024 * 1024;

class IniFile {
public:
    // Reads the file; false when it is missing, unreadable or larger than
    // kMaxSettingsFileBytes (the object is then empty; the last is told once
    // a session and tooLarge() says so).
    bool load(const QString &path);
    bool tooLarge() const { return tooLarge_; }
    void loadFromBytes(const QByteArray &bytes);

    bool contains(const QString &section, const QString &key) const;
    // The stored value, or `def` when the section or key is missing.
    QString value(const QString &section, const QString &key, const QString &def = {}) const;
    // Replaces the value in place, or adds the key (and the section) at the end.
    // CR and LF in the value are written as blanks. False, and nothing
    // changes, when the file's encoding cannot hold the section, key or value
    // and the file cannot become UTF-8 (see above).
    bool setValue(const QString &section, const QString &key, const QString &value);
    void removeKey(const QString &section, const QString &key);

    QStringList sections() const;
    QStringList keys(const QString &section) const;

    TextEncoding encoding() const { return encoding_; }
    // Why the file cannot take this entry ("" when it can), in Swedish.
    QString refusal(const QString &section, const QString &key, const QString &value) const;

    QByteArray toBytes() const;
    // Writes through a temporary file renamed over the target; the old file
    // stays whole when anything fails. `why` receives the file and the
    // system's reason in Swedish.
    bool save(const QString &path, QString *why = nullptr) const;

private:
    struct Line {
        QByteArray raw;    // original bytes, without the line end
        QByteArray eol;    // the line end as read ("" for a last line without one, and new lines)
        QString text;      // decoded
        bool edited = false;
    };
    int findSection(const QString &section) const;             // index of the header line, -1
    int findKey(int sectionLine, const QString &key) const;     // index of the entry line, -1
    int sectionEnd(int sectionLine) const;                      // one past the last line
    static QString keyOf(const QString &line, QString *value);
    bool isPlainAscii() const; // Windows-1252 so far, but no byte above 127 read

    std::vector<Line> lines_;
    QByteArray eol_ = "\r\n";
    bool finalEol_ = true;
    TextEncoding encoding_ = TextEncoding::Windows1252;
    bool bom_ = false; // a UTF-8 file that begins with a byte-order mark keeps it
    bool tooLarge_ = false;
};

// One change of a settings-like file: a value to write, or a key to remove.
struct IniEdit {
    QString section, key, value;
    bool remove = false;
};

// Applies the edits to one file and writes it once. Every failure is told
// in a message box ("Fel vid skrivning till INI-fil..." with the file and the
// reason in Swedish, then `note` when given), and the result is false: an
// existing file that cannot be read, a write the system refuses (nothing is
// written then), a value the file's encoding cannot hold (that key is left
// as it was, the others are written; the same value is told once a session).
bool RkWriteIniFile(const QString &path, const QList<IniEdit> &edits, const QString &note = {});

// While one lives, SaveIniSetting collects its writes and each file is written
// once, at commit() or when it goes (one report per file that fails). Used
// where many keys go at once and nothing reads them back in between.
class IniWriteBatch {
public:
    IniWriteBatch();
    ~IniWriteBatch();
    IniWriteBatch(const IniWriteBatch &) = delete;
    IniWriteBatch &operator=(const IniWriteBatch &) = delete;
    // Writes what was collected; false when any file failed.
    bool commit();

private:
    bool outer_ = false;
};

// While one lives, GetIniSetting reads each file once: the keys come from
// that copy for as long as the file is the one read (same file, size and
// times) and this program has written no settings file meanwhile. Used where
// many keys are looked up together.
class IniReadRound {
public:
    IniReadRound();
    ~IniReadRound();
    IniReadRound(const IniReadRound &) = delete;
    IniReadRound &operator=(const IniReadRound &) = delete;

private:
    bool outer_ = false;
};

// How many times a settings-like file has been read from disk in this run.
quint64 RkIniFileReads();

// Reads one key. A file argument shorter than 2 characters means the main
// settings file, and the caller's variable receives its full path.
QString GetIniSetting(const QString &section, const QString &key, const QString &def, QString &file);
QString GetIniSetting(const QString &section, const QString &key, const QString &def = {},
                      const QString &file = {});

// Writes one key (same file rule). Every failed write is told as
// RkWriteIniFile tells it and returns false; the program carries on.
bool SaveIniSetting(const QString &section, const QString &key, const QString &value, QString &file);
bool SaveIniSetting(const QString &section, const QString &key, const QString &value,
                    const QString &file = {});

// Full path of the main settings file (found without regard to case).
QString mainSettingsFile();

// Truth values as the settings files store them.
inline QString boolText(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }

}
