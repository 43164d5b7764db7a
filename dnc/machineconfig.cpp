#include "dnc/machineconfig.h"

#include "core/currentmachine.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/paths.h"
#include "core/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace lumrik {

namespace cfg {
QStringList protocols()
{
    return {ProtRtsCts, ProtXonXoff, ProtDcKoder, ProtOsp5000, ProtKearney, ProtIngen};
}
QStringList codes() { return {CodeIso, CodeEia, CodeBinary}; }
QStringList baudRates()
{
    return {"110", "300", "600", "1200", "2400", "4800", "9600", "19200", "38400"};
}
QStringList dataBits() { return {"7", "8"}; }
QStringList parities() { return {ParityEven, ParityOdd, ParityNone}; }
QStringList stopBits() { return {"1", "2"}; }
QStringList eobCodes() { return {"CR LF", "LF CR CR", "LF", "CR"}; }
QStringList bufSizes() { return {"1", "2", "4", "8", "16", "32", "64", "128", "256"}; }
}

namespace {

QString editTextColor()
{
    return GetIniSetting(QStringLiteral("Settings"), QStringLiteral("EditFontColor"), QStringLiteral("0"));
}

// Fixed defaults, by lower-case "section/key".
const QHash<QString, QString> &fixedDefaults()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        auto s = [&t](const char *key, const QString &v) { t.insert(QStringLiteral("settings/") + QString::fromLatin1(key).toLower(), v); };
        auto c = [&t](const char *key, const QString &v) { t.insert(QStringLiteral("communication/") + QString::fromLatin1(key).toLower(), v); };
        s("DefaultPath", QStringLiteral("[exedrive]\\Ncprog\\"));
        s("ColorFile", QString());
        s("FileExtension", QStringLiteral("*.*"));
        for (int i = 1; i <= 8; ++i)
            t.insert(QStringLiteral("settings/codetext%1").arg(i), QString());
        c("ComPort", "1");
        c("BaudRate", "2400");
        c("Protokoll", cfg::ProtRtsCts);
        c("Code", cfg::CodeIso);
        c("DataBits", "7");
        c("Parity", cfg::ParityEven);
        c("StopBits", "1");
        c("FilterChr", QString());
        c("RxdFromChr", QString());
        c("LeaderChr", QString());
        c("TrailerChr", QString());
        c("DoNotSend", QString());
        c("Send30Null", "0");
        c("TxdFilter", QString());
        c("EobCode", "CR LF");
        c("DelayBeforeClose", "0");
        c("ChrDelayInMs", "0");
        c("DisplayTxData", "1");
        c("LoopSend", "0");
        c("RecDelay", "0");
        c("SendTo", QString());
        c("BufSize", "256");
        return t;
    }();
    return table;
}

int colorOf(const QString &text)
{
    const auto v = toInt32(text);
    if (!v)
        throw RkExpected(kErrTypeMismatch, QStringLiteral("Typmatchningsfel (färg \"%1\")").arg(text));
    return *v;
}

bool checkOf(const QString &text)
{
    const auto v = toInt16(text);
    if (!v)
        throw RkExpected(kErrTypeMismatch, QStringLiteral("Typmatchningsfel (\"%1\")").arg(text));
    return *v != 0;
}

}

MachineSettings MachineSettings::defaults()
{
    MachineSettings s;
    const int color = toInt32(editTextColor()).value_or(0);
    s.CodeColor.fill(color);
    s.CommentColor = color;
    s.DefaultCncPath = currentMachine().keys().rootFolder;
    s.DefaultRxdCncPath = currentMachine().keys().rootFolder;
    return s;
}

MachineConfig::MachineConfig(const QString &file) : file_(file) {}

MachineConfig MachineConfig::active() { return MachineConfig(currentMachine().file()); }

MachineConfig MachineConfig::ofMachine(const QString &machine) { return MachineConfig(machineConfigFile(machine)); }

bool MachineConfig::exists() const
{
    return !file_.isEmpty() && QFileInfo::exists(findFileNoCase(RkNativePath(file_)));
}

QString MachineConfig::defaultValue(const QString &section, const QString &key)
{
    const QString sec = section.toLower();
    const QString k = key.toLower();
    if (sec == QLatin1String("settings") && (k.startsWith(QLatin1String("codecolor")) || k == QLatin1String("commentcolor")))
        return editTextColor();
    if (sec == QLatin1String("cncprogpath") && (k == QLatin1String("defaultcncpath") || k == QLatin1String("defaultrxdcncpath")))
        return currentMachine().keys().rootFolder;
    return fixedDefaults().value(sec + '/' + k);
}

QString MachineConfig::value(const QString &section, const QString &key) const
{
    return value(section, key, defaultValue(section, key));
}

QString MachineConfig::value(const QString &section, const QString &key, const QString &def) const
{
    // GetIniSetting takes a name shorter than 2 characters for the main
    // settings file; a machine without a file must read as its defaults.
    if (file_.size() < 2)
        return def;
    return GetIniSetting(section, key, def, file_);
}

bool MachineConfig::setValue(const QString &section, const QString &key, const QString &value) const
{
    if (file_.size() < 2)
        return false;
    return SaveIniSetting(section, key, value, file_);
}

#define RK_CFG_TEXT(name, section) \
    QString MachineConfig::name() const { return value(section, QStringLiteral(#name)); }
RK_CFG_TEXT(DefaultPath, kCfgSettings)
RK_CFG_TEXT(ColorFile, kCfgSettings)
RK_CFG_TEXT(FileExtension, kCfgSettings)
RK_CFG_TEXT(BaudRate, kCfgCommunication)
RK_CFG_TEXT(Protokoll, kCfgCommunication)
RK_CFG_TEXT(Code, kCfgCommunication)
RK_CFG_TEXT(DataBits, kCfgCommunication)
RK_CFG_TEXT(Parity, kCfgCommunication)
RK_CFG_TEXT(StopBits, kCfgCommunication)
RK_CFG_TEXT(FilterChr, kCfgCommunication)
RK_CFG_TEXT(RxdFromChr, kCfgCommunication)
RK_CFG_TEXT(LeaderChr, kCfgCommunication)
RK_CFG_TEXT(TrailerChr, kCfgCommunication)
RK_CFG_TEXT(DoNotSend, kCfgCommunication)
RK_CFG_TEXT(TxdFilter, kCfgCommunication)
RK_CFG_TEXT(EobCode, kCfgCommunication)
RK_CFG_TEXT(DelayBeforeClose, kCfgCommunication)
RK_CFG_TEXT(ChrDelayInMs, kCfgCommunication)
RK_CFG_TEXT(RecDelay, kCfgCommunication)
RK_CFG_TEXT(SendTo, kCfgCommunication)
RK_CFG_TEXT(BufSize, kCfgCommunication)
RK_CFG_TEXT(DefaultCncPath, kCfgProgPath)
RK_CFG_TEXT(DefaultRxdCncPath, kCfgProgPath)
#undef RK_CFG_TEXT

QString MachineConfig::CodeText(int n) const { return value(kCfgSettings, QStringLiteral("CodeText%1").arg(n)); }
int MachineConfig::CodeColor(int n) const { return colorOf(value(kCfgSettings, QStringLiteral("CodeColor%1").arg(n))); }
int MachineConfig::CommentColor() const { return colorOf(value(kCfgSettings, QStringLiteral("CommentColor"))); }
int MachineConfig::ComPort() const
{
    return toInt32(value(kCfgCommunication, QStringLiteral("ComPort"))).value_or(1);
}
bool MachineConfig::Send30Null() const { return checkOf(value(kCfgCommunication, QStringLiteral("Send30Null"))); }
bool MachineConfig::DisplayTxData() const { return checkOf(value(kCfgCommunication, QStringLiteral("DisplayTxData"))); }
std::optional<bool> loopSendValue(const QString &text) { return toTruth(text); }

bool MachineConfig::LoopSend() const
{
    const QString text = value(kCfgCommunication, QStringLiteral("LoopSend"));
    const auto v = loopSendValue(text);
    if (!v)
        throw RkError(kErrTypeMismatch, QStringLiteral("Typmatchningsfel (\"%1\")").arg(text));
    return *v;
}

int MachineConfig::blockSize() const
{
    const int n = toInt16(BufSize()).value_or(256);
    return std::clamp(n, 1, 256);
}

MachineSettings MachineConfig::read() const
{
    MachineSettings s;
    s.DefaultPath = DefaultPath();
    s.ColorFile = ColorFile();
    s.FileExtension = FileExtension();
    for (int i = 0; i < 8; ++i) {
        s.CodeText[i] = CodeText(i + 1);
        s.CodeColor[i] = CodeColor(i + 1);
    }
    s.CommentColor = CommentColor();
    s.ComPort = ComPort();
    s.BaudRate = BaudRate();
    s.Protokoll = Protokoll();
    s.Code = Code();
    s.DataBits = DataBits();
    s.Parity = Parity();
    s.StopBits = StopBits();
    s.FilterChr = FilterChr();
    s.RxdFromChr = RxdFromChr();
    s.LeaderChr = LeaderChr();
    s.TrailerChr = TrailerChr();
    s.DoNotSend = DoNotSend();
    s.Send30Null = Send30Null();
    s.TxdFilter = TxdFilter();
    s.EobCode = EobCode();
    s.DelayBeforeClose = DelayBeforeClose();
    s.ChrDelayInMs = ChrDelayInMs();
    s.DisplayTxData = DisplayTxData();
    s.LoopSend = LoopSend();
    s.RecDelay = RecDelay();
    s.SendTo = SendTo();
    s.BufSize = BufSize();
    s.DefaultCncPath = DefaultCncPath();
    s.DefaultRxdCncPath = DefaultRxdCncPath();
    return s;
}

QList<QPair<QString, QString>> MachineConfig::writeOrder()
{
    QList<QPair<QString, QString>> o;
    for (const char *k : {"DefaultPath", "ColorFile", "FileExtension"})
        o.append({kCfgSettings, QString::fromLatin1(k)});
    for (int i = 1; i <= 8; ++i) {
        o.append({kCfgSettings, QStringLiteral("CodeText%1").arg(i)});
        o.append({kCfgSettings, QStringLiteral("CodeColor%1").arg(i)});
    }
    o.append({kCfgSettings, QStringLiteral("CommentColor")});
    for (const char *k : {"ComPort", "BaudRate", "Protokoll", "Code", "DataBits", "Parity", "StopBits",
                          "FilterChr", "RxdFromChr", "LeaderChr", "TrailerChr", "DoNotSend", "Send30Null",
                          "TxdFilter", "EobCode", "DelayBeforeClose", "ChrDelayInMs", "DisplayTxData",
                          "LoopSend", "RecDelay"})
        o.append({kCfgCommunication, QString::fromLatin1(k)});
    o.append({kCfgProgPath, QStringLiteral("DefaultCncPath")});
    o.append({kCfgProgPath, QStringLiteral("DefaultRxdCncPath")});
    o.append({kCfgCommunication, QStringLiteral("SendTo")});
    o.append({kCfgCommunication, QStringLiteral("BufSize")});
    return o;
}

QString MachineConfig::storedDefaultPath(const QString &text)
{
    QString p = text.trimmed();
    ExpandExePath(p);
    CollapseExePath(p);
    return p;
}

bool MachineConfig::write(const MachineSettings &s) const
{
    return RkGuard("MachineConfig::write()", [&]() -> bool {
        QHash<QString, QString> v;
        v.insert("DefaultPath", storedDefaultPath(s.DefaultPath));
        v.insert("ColorFile", s.ColorFile);
        v.insert("FileExtension", s.FileExtension);
        for (int i = 0; i < 8; ++i) {
            v.insert(QStringLiteral("CodeText%1").arg(i + 1), s.CodeText[i].trimmed());
            v.insert(QStringLiteral("CodeColor%1").arg(i + 1), storedColor(s.CodeColor[i]));
        }
        v.insert("CommentColor", storedColor(s.CommentColor));
        v.insert("ComPort", QString::number(s.ComPort));
        v.insert("BaudRate", s.BaudRate);
        v.insert("Protokoll", s.Protokoll);
        v.insert("Code", s.Code);
        v.insert("DataBits", s.DataBits);
        v.insert("Parity", s.Parity);
        v.insert("StopBits", s.StopBits);
        v.insert("FilterChr", s.FilterChr);
        v.insert("RxdFromChr", s.RxdFromChr);
        v.insert("LeaderChr", s.LeaderChr);
        v.insert("TrailerChr", s.TrailerChr);
        v.insert("DoNotSend", s.DoNotSend);
        v.insert("Send30Null", storedBool(s.Send30Null));
        v.insert("TxdFilter", s.TxdFilter);
        v.insert("EobCode", s.EobCode);
        v.insert("DelayBeforeClose", s.DelayBeforeClose);
        v.insert("ChrDelayInMs", s.ChrDelayInMs);
        v.insert("DisplayTxData", storedBool(s.DisplayTxData));
        v.insert("LoopSend", storedBool(s.LoopSend));
        v.insert("RecDelay", s.RecDelay);
        v.insert("DefaultCncPath", s.DefaultCncPath);
        v.insert("DefaultRxdCncPath", s.DefaultRxdCncPath);
        v.insert("SendTo", s.SendTo);
        v.insert("BufSize", s.BufSize);

        // One read and one write of the whole file; the keys go in the same
        // order and to the same places as single-key writes would put them.
        QList<IniEdit> edits;
        for (const auto &[section, key] : writeOrder())
            edits.append({section, key, v.value(key)});
        return RkWriteIniFile(findFileNoCase(RkNativePath(file_)), edits);
    });
}

QString machineNameOf(const QString &fileName)
{
    QString n = GetFileNamePart(RkNativePath(fileName)).toUpper();
    const qsizetype i = n.indexOf(QLatin1String(".CFG"));
    if (i >= 0)
        n.truncate(i);
    return n;
}

QStringList machineList()
{
    QStringList out;
    for (const QString &f : GetFolderFiles(gsDataPath, QStringLiteral("*.cfg"), false))
        out << machineNameOf(f);
    return out;
}

QString machineConfigFile(const QString &machine)
{
    return findFileNoCase(RkNativePath(gsDataPath) + '/' + machine + QStringLiteral(".cfg"));
}

QString parityLetter(const QString &parity)
{
    if (parity == cfg::ParityEven)
        return QStringLiteral("E");
    if (parity == cfg::ParityOdd)
        return QStringLiteral("O");
    if (parity == cfg::ParityNone)
        return QStringLiteral("N");
    return parity;
}

QString commSettingsText(const QString &baud, const QString &parity, const QString &dataBits,
                         const QString &stopBits)
{
    return baud + ',' + parityLetter(parity) + ',' + dataBits + ',' + stopBits;
}

}
