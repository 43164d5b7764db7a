#pragma once
// READY: the machine configuration file. Keys, the value each reads as when it
// is missing, the stored forms, the machine list and the order in which the
// set-up dialog writes the file.
//
// Every machine has one INI text file in the program folder, named after the
// machine with ".cfg" (found without regard to case). Sections "Settings",
// "Communication" and "CNCProgPath" belong to the set-up dialog; "OmNum" to the
// renumbering and is never touched here. Nothing keeps the file in memory:
// every read goes to the file through GetIniSetting.
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace lumrik {

inline const QString kCfgSettings = QStringLiteral("Settings");
inline const QString kCfgCommunication = QStringLiteral("Communication");
inline const QString kCfgProgPath = QStringLiteral("CNCProgPath");
inline const QString kCfgOmNum = QStringLiteral("OmNum");

// The values the protocol, code and parity keys may hold.
namespace cfg {
inline const QString ProtRtsCts = QStringLiteral("RTS/CTS");
inline const QString ProtRtsCts2 = QStringLiteral("RTS/CTS2");  // accepted by the send, not offered by the dialog
inline const QString ProtXonXoff = QStringLiteral("XON/XOFF");
inline const QString ProtDcKoder = QStringLiteral("DC-KODER");
inline const QString ProtOsp5000 = QStringLiteral("OSP5000");
inline const QString ProtKearney = QStringLiteral("KEARNEY");
inline const QString ProtIngen = QStringLiteral("INGEN");
inline const QString CodeIso = QStringLiteral("ISO");
inline const QString CodeEia = QStringLiteral("EIA");
inline const QString CodeBinary = QStringLiteral("BINÄR");
inline const QString ParityEven = QStringLiteral("JÄMN");
inline const QString ParityOdd = QStringLiteral("UDDA");
inline const QString ParityNone = QStringLiteral("INGEN");

// Entries of the set-up dialog's lists, in the order it offers them.
QStringList protocols();      // RTS/CTS, XON/XOFF, DC-KODER, OSP5000, KEARNEY, INGEN
QStringList codes();          // ISO, EIA, BINÄR
QStringList baudRates();      // 110 .. 38400
QStringList dataBits();       // 7, 8
QStringList parities();       // JÄMN, UDDA, INGEN
QStringList stopBits();       // 1, 2
QStringList eobCodes();       // CR LF, LF CR CR, LF, CR
QStringList bufSizes();       // 1, 2, 4 .. 256
}

// Every key the set-up dialog reads and writes, as typed values. A default
// constructed object holds the values of an empty file (except the colours and
// the program folders, which depend on the program's state: see defaults()).
struct MachineSettings {
    // "Settings"
    QString DefaultPath = QStringLiteral("[exedrive]\\Ncprog\\");
    QString ColorFile;
    QString FileExtension = QStringLiteral("*.*");
    std::array<QString, 8> CodeText;   // CodeText1..8
    std::array<int, 8> CodeColor{};    // CodeColor1..8
    int CommentColor = 0;
    // "Communication"
    int ComPort = 1;
    QString BaudRate = QStringLiteral("2400");
    QString Protokoll = cfg::ProtRtsCts;
    QString Code = cfg::CodeIso;
    QString DataBits = QStringLiteral("7");
    QString Parity = cfg::ParityEven;
    QString StopBits = QStringLiteral("1");
    QString FilterChr;
    QString RxdFromChr;
    QString LeaderChr;
    QString TrailerChr;
    QString DoNotSend;
    bool Send30Null = false;
    QString TxdFilter;
    QString EobCode = QStringLiteral("CR LF");
    QString DelayBeforeClose = QStringLiteral("0");
    QString ChrDelayInMs = QStringLiteral("0");
    bool DisplayTxData = true;
    bool LoopSend = false;
    QString RecDelay = QStringLiteral("0");
    QString SendTo;
    QString BufSize = QStringLiteral("256");
    // "CNCProgPath"
    QString DefaultCncPath;
    QString DefaultRxdCncPath;

    // The values of an empty file in the program's present state: colours from
    // the editor text colour ("EditFontColor" of the main settings file), the
    // program folders from the current machine's root folder.
    static MachineSettings defaults();
};

class MachineConfig {
public:
    // A machine file by its path (found without regard to case).
    explicit MachineConfig(const QString &file);
    // The current machine (core/currentmachine.h).
    static MachineConfig active();
    // A machine by name: program folder & "/" & name & ".cfg".
    static MachineConfig ofMachine(const QString &machine);

    const QString &file() const { return file_; }
    bool exists() const;

    // The value a key reads as when it or the file is missing. Section and key
    // names match without regard to case. Unknown keys read as "".
    static QString defaultValue(const QString &section, const QString &key);

    // One key, with the default of the table above, or the given one.
    QString value(const QString &section, const QString &key) const;
    QString value(const QString &section, const QString &key, const QString &def) const;
    // Writes one key; false when the write failed (already reported).
    bool setValue(const QString &section, const QString &key, const QString &value) const;

    // Typed readers. Colours and check-box values that are not numbers throw
    // RkError(13); the rest never fail.
    QString DefaultPath() const;           // as stored, with its tokens
    QString ColorFile() const;
    QString FileExtension() const;
    QString CodeText(int n) const;         // n = 1..8
    int CodeColor(int n) const;            // n = 1..8
    int CommentColor() const;
    int ComPort() const;                   // a value that is not a number reads as 1
    QString BaudRate() const;
    QString Protokoll() const;
    QString Code() const;
    QString DataBits() const;
    QString Parity() const;
    QString StopBits() const;
    QString FilterChr() const;
    QString RxdFromChr() const;
    QString LeaderChr() const;
    QString TrailerChr() const;
    QString DoNotSend() const;
    bool Send30Null() const;
    QString TxdFilter() const;
    QString EobCode() const;
    QString DelayBeforeClose() const;
    QString ChrDelayInMs() const;
    bool DisplayTxData() const;
    bool LoopSend() const;
    QString RecDelay() const;
    QString SendTo() const;
    QString BufSize() const;
    // The block size of the output, kept within 1..256 (a value that is not a
    // number reads as 256).
    int blockSize() const;
    QString DefaultCncPath() const;        // as stored
    QString DefaultRxdCncPath() const;

    // Every key, in one go. Throws RkError(13) on a colour or check-box value
    // that is not a number.
    MachineSettings read() const;
    // Writes every key in the set-up dialog's order ("Settings", "Communication"
    // up to "RecDelay", "CNCProgPath", then "SendTo" and "BufSize"), each in
    // place or added at the end of its section. Other lines (the "OmNum"
    // section among them) stay as they are. False when a write failed.
    bool write(const MachineSettings &s) const;

    // The (section, key) pairs in the order write() stores them.
    static QList<QPair<QString, QString>> writeOrder();

    // Stored forms.
    static QString storedBool(bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); }
    static QString storedColor(int color) { return QString::number(color); }
    // "DefaultPath": trimmed, expanded and collapsed again, so a folder inside
    // the program folder or on its drive is stored with its token.
    static QString storedDefaultPath(const QString &text);

private:
    QString file_;
};

// "LoopSend" as the files hold it: "1" or "True" is on, "0" or "False" off
// (the set-up dialog writes a number, older files a truth text); nothing for
// any other text. Every reader of the key goes through this.
std::optional<bool> loopSendValue(const QString &text);

// The machine name of a configuration file name: upper-cased and cut before its
// first ".CFG" ("mill1.cfg" -> "MILL1").
QString machineNameOf(const QString &fileName);
// The machines of the program folder: every "*.cfg" file (any case), in the
// folder list's alphabetical order, as machine names.
QStringList machineList();
// The full path of a machine's file: the existing file when one matches without
// regard to case, else program folder & "/" & name & ".cfg".
QString machineConfigFile(const QString &machine);

// "JÄMN" -> "E", "UDDA" -> "O", "INGEN" -> "N"; any other text unchanged.
QString parityLetter(const QString &parity);
// baud & "," & parity letter & "," & data bits & "," & stop bits.
QString commSettingsText(const QString &baud, const QString &parity, const QString &dataBits,
                         const QString &stopBits);

}
