#pragma once
// INI text files: the main settings file, machine configurations, syntax files,
// macro packages. Section and key names match without regard to case. Lines
// that are not edited keep their bytes; an edit changes only its own line.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace lumrik {

class IniFile {
public:
    // Reads the file; false when it is missing or unreadable (the object is then empty).
    bool load(const QString &path);
    void loadFromBytes(const QByteArray &bytes);

    bool contains(const QString &section, const QString &key) const;
    // The stored value, or `def` when the section or key is missing.
    QString value(const QString &section, const QString &key, const QString &def = {}) const;
    // Replaces the value in place, or adds the key (and the section) at the end.
    // CR and LF in the value are written as blanks.
    void setValue(const QString &section, const QString &key, const QString &value);
    void removeKey(const QString &section, const QString &key);

    QStringList sections() const;
    QStringList keys(const QString &section) const;

    QByteArray toBytes() const;
    // Writes through a temporary file renamed over the target; the old file
    // stays whole when anything fails.
    bool save(const QString &path) const;

private:
    struct Line {
        QByteArray raw;    // original bytes, without the line end
        QString text;      // decoded
        bool edited = false;
    };
    int findSection(const QString &section) const;             // index of the header line, -1
    int findKey(int sectionLine, const QString &key) const;     // index of the entry line, -1
    int sectionEnd(int sectionLine) const;                      // one past the last line
    static QString keyOf(const QString &line, QString *value);

    std::vector<Line> lines_;
    QByteArray eol_ = "\r\n";
    bool finalEol_ = true;
};

// Reads one key. A file argument shorter than 2 characters means the main
// settings file, and the caller's variable receives its full path.
QString GetIniSetting(const QString &section, const QString &key, const QString &def, QString &file);
QString GetIniSetting(const QString &section, const QString &key, const QString &def = {},
                      const QString &file = {});

// Writes one key (same file rule). A failed write shows "Fel vid skrivning till
// INI-fil..." once for that file and returns false; the program carries on.
bool SaveIniSetting(const QString &section, const QString &key, const QString &value, QString &file);
bool SaveIniSetting(const QString &section, const QString &key, const QString &value,
                    const QString &file = {});

// Full path of the main settings file (found without regard to case).
QString mainSettingsFile();

// Truth values as the settings files store them.
inline QString boolText(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }

}
