#include "dnc/cncsetup_fields.h"

#include "core/codepage.h"
#include "core/inifile.h"
#include "core/services.h"
#include "dnc/hexlists.h"
#include "dnc/qtserialport.h"
#include "dnc/receivesettings.h"

#include <QColor>
#include <QColorDialog>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSet>

namespace lumrik {

QString AddBackslash(const QString &path)
{
    if (path.endsWith('\\') || path.endsWith('/'))
        return path;
    // The separator the path already uses: a folder of this system keeps its "/".
    const qsizetype slash = path.lastIndexOf('/'), backslash = path.lastIndexOf('\\');
    return path + (slash > backslash ? '/' : '\\');
}

// ---------------------------------------------------------------------------
// Port list

QString GetPortPart(const QString &sPort)
{
    bool numeric = false;
    sPort.trimmed().toDouble(&numeric);
    if (numeric)
        return sPort;
    const qsizetype dash = sPort.indexOf(QLatin1String(" - "));
    return (dash < 0 ? sPort : sPort.left(dash)).trimmed();
}

QString portItemText(int number, const QString &name)
{
    return QString::number(number) + QStringLiteral(" - ") + name;
}

QList<CncPort> presentComPorts()
{
    QList<QPair<int, QString>> numbered = serialPortList(false);

    // Ports of this computer that have no number yet get the next free ones.
    QSet<QString> known;
    int highest = 0;
    for (const auto &[n, device] : numbered) {
        known.insert(device);
        highest = std::max(highest, n);
    }
    const QStringList system = cncSystemPorts();
    for (const QString &device : system) {
        if (known.contains(device) || highest >= 255)
            continue;
        ++highest;
        known.insert(device);
        numbered.append({highest, device});
    }

    QHash<QString, QString> descriptions;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        if (!info.description().isEmpty())
            descriptions.insert(info.systemLocation(), info.description());

    QList<CncPort> out;
    for (const auto &[n, device] : numbered) {
        if (n < 1 || n > 255 || device.isEmpty() || !QFileInfo::exists(device))
            continue;
        CncPort p;
        p.number = n;
        p.name = device;
        p.device = device;
        const QString d = descriptions.value(device);
        if (!d.isEmpty())
            p.name += QStringLiteral(" (") + d + ')';
        out.append(p);
    }
    std::sort(out.begin(), out.end(), [](const CncPort &a, const CncPort &b) { return a.number < b.number; });
    return out;
}

// ---------------------------------------------------------------------------
// Key filters

bool keyAccepted(KeyFilter filter, QChar c)
{
    if (c == QChar(8))
        return true;
    switch (filter) {
    case KeyFilter::None:
        return true;
    case KeyFilter::Digits:
        return c >= '0' && c <= '9';
    case KeyFilter::SignedDigits:
        return (c >= '0' && c <= '9') || c == '-';
    case KeyFilter::HexList:
        return QStringLiteral("0123456789, ABCDEF").contains(c.toUpper());
    case KeyFilter::HexRepeat:
        return QStringLiteral("0123456789, ABCDEF()*").contains(c.toUpper());
    }
    return false;
}

// ---------------------------------------------------------------------------
// Checking

QString closeDelayRule()
{
    return QStringLiteral("Ange ett helt antal sekunder, -1 till 32767. 0 väntar 2 sekunder; "
                          "-1 stänger porten utan att vänta.");
}

namespace {

bool allDigits(const QString &t)
{
    if (t.isEmpty())
        return false;
    for (QChar c : t)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// "Fältet "<label>": <why>"
FieldProblem problem(const char *field, const QString &label, const QString &why)
{
    return {QString::fromLatin1(field), QStringLiteral("Fältet \"%1\" kan inte sparas.\r\n\r\n%2").arg(label, why)};
}

}

std::optional<FieldProblem> checkMachineSettings(const MachineSettings &s, const QString &portText)
{
    // Lists: a value that is not one of the entries would not load again.
    struct ListValue {
        const char *field;
        const char *label;
        QString value;
        QStringList items;
    };
    const ListValue lists[] = {
        {"cmbBaud", "BaudRate", s.BaudRate, cfg::baudRates()},
        {"cmbProtokoll", "Protokoll", s.Protokoll, cfg::protocols()},
        {"cmbCodeSyst", "Kodsystem", s.Code, cfg::codes()},
        {"cmbDataBits", "DataBits", s.DataBits, cfg::dataBits()},
        {"cmbParity", "Paritet", s.Parity, cfg::parities()},
        {"cmbStopBits", "StopBits", s.StopBits, cfg::stopBits()},
    };

    // Communication tab, top to bottom.
    {
        bool ok = false;
        const int port = portText.trimmed().toInt(&ok);
        if (!ok || port < 1 || port > 255)
            return problem("cmbComPort", QStringLiteral("Com Port"),
                           QStringLiteral("Välj en Com port i listan (portnummer 1-255)."));
    }
    for (const ListValue &l : lists)
        if (!l.items.contains(l.value))
            return problem(l.field, QString::fromUtf8(l.label), QStringLiteral("Välj ett av listans värden."));

    QString why;
    if (!expandHexCodes(s.LeaderChr, &why))
        return problem("txtLeader", QStringLiteral("Leader ( hex )"), why);
    if (!expandHexCodes(s.TrailerChr, &why))
        return problem("txtTrailer", QStringLiteral("Trailer ( hex )"), why);
    if (!cfg::eobCodes().contains(s.EobCode))
        return problem("cmbEOB", QStringLiteral("EOB tecken"), QStringLiteral("Välj ett av listans värden."));
    if (!parseHexCode(s.TxdFilter, &why))
        return problem("txtTxdFilter", QStringLiteral("Sänd ej tecknet ( hex )"), why);
    if (!expandHexList(s.FilterChr, &why))
        return problem("txtFilter", QStringLiteral("Filter hex"), why);
    if (!parseHexCode(s.RxdFromChr, &why))
        return problem("txtStartRxdFrom", QStringLiteral("Påbörja lagring fr.o.m tecken ( hex )"), why);

    // Folders tab.
    if (s.DefaultPath.trimmed().isEmpty())
        return problem("txtDefaultPath", QStringLiteral("Sökväg (grundnivå) till Nc-program"),
                       QStringLiteral("Ange den mapp där maskinens Nc-program ligger."));
    if (s.FileExtension.trimmed().isEmpty() || s.FileExtension.contains('/') || s.FileExtension.contains('\\'))
        return problem("txtFileExtension", QStringLiteral("Extension för Nc-program"),
                       QStringLiteral("Ange ett filmönster utan mappnamn, till exempel *.NC eller *.*."));

    // Advanced tab.
    {
        // The send waits that many seconds, 2 for 0, and not at all below 0.
        const QString d = s.DelayBeforeClose;
        if (d != QLatin1String("-1") && (!allDigits(d) || d.size() > 5 || d.toInt() > 32767))
            return problem("txtCloseDelay", QStringLiteral("sekunder innan porten stängs"), closeDelayRule());
    }
    if (!allDigits(s.ChrDelayInMs) || s.ChrDelayInMs.size() > 5 || s.ChrDelayInMs.toInt() > 60000)
        return problem("txtChrDelay", QStringLiteral("ms fördröjning mellan varje tecken"),
                       QStringLiteral("Ange ett helt antal millisekunder, 0 till 60000 (0: ingen fördröjning)."));
    if (recDelayMs(s.RecDelay) < 0)
        return problem("txtRecDelay", QStringLiteral("s innan mottaget program anses vara klart"),
                       QStringLiteral("Ange ett antal sekunder, till exempel 5 eller 2,5 (0: ingen tidsgräns)."));
    if (!cfg::bufSizes().contains(s.BufSize))
        return problem("cmbBufSize", QStringLiteral("Blockstorlek"), QStringLiteral("Välj ett av listans värden."));

    // Every stored text must come back as it was written.
    struct TextValue {
        const char *field;
        QString label;
        QString value;
    };
    QList<TextValue> texts = {
        {"txtLeader", QStringLiteral("Leader ( hex )"), s.LeaderChr},
        {"txtTrailer", QStringLiteral("Trailer ( hex )"), s.TrailerChr},
        {"txtDoNotSend", QStringLiteral("Sänd ej block som inleds med"), s.DoNotSend},
        {"txtSendTo", QStringLiteral("Sänd t.o.m"), s.SendTo},
        {"txtFilter", QStringLiteral("Filter hex"), s.FilterChr},
        {"txtDefaultPath", QStringLiteral("Sökväg (grundnivå) till Nc-program"),
         MachineConfig::storedDefaultPath(s.DefaultPath)},
        {"txtDefaultTxdCNCpath", QStringLiteral("Förvalt bibliotek för SÄNDNING"), s.DefaultCncPath},
        {"txtDefaultRxdCNCpath", QStringLiteral("Förvalt bibliotek för MOTTAGNING"), s.DefaultRxdCncPath},
        {"txtFileExtension", QStringLiteral("Extension för Nc-program"), s.FileExtension},
    };
    static const char *const codeNames[8] = {"txtCodeText1", "txtCodeText2", "txtCodeText3", "txtCodeText4",
                                             "txtCodeText5", "txtCodeText6", "txtCodeText7", "txtCodeText8"};
    for (int i = 0; i < 8; ++i)
        texts.append({codeNames[i], QStringLiteral("Visa block som innehåller, rad %1").arg(i + 1),
                      s.CodeText[i].trimmed()});
    for (const TextValue &t : texts) {
        if (t.value.size() > 99)
            return problem(t.field, t.label,
                           QStringLiteral("Texten är %1 tecken lång; en CNC-inställning rymmer högst 99 tecken.")
                               .arg(t.value.size()));
        if (fromCp1252(toCp1252(t.value)) != t.value)
            return problem(t.field, t.label, QStringLiteral("Texten innehåller tecken som inte kan sparas i filen."));
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// New machine

QString newMachineName(const QString &typed) { return typed.trimmed().toUpper(); }

QString newMachineNameProblem(const QString &name)
{
    if (name.size() < 2)
        return QStringLiteral("Namnet måste ha minst två tecken.");
    if (name.size() > 30)
        return QStringLiteral("Namnet får ha högst 30 tecken.");
    // A leading "." (say "..") makes a hidden file here ("...CFG") and no
    // valid file name on other systems.
    if (name.startsWith('.'))
        return QStringLiteral("Namnet får inte börja med en punkt.");
    static const QString bad = QStringLiteral(":\\/*?\"<>|");
    for (QChar c : name)
        if (bad.contains(c) || c.unicode() < 32)
            return QStringLiteral("Namnet får inte innehålla tecknen  : \\ / * ? \" < > |");
    // The name must come back from its file name unchanged.
    if (machineNameOf(name + QStringLiteral(".CFG")) != name)
        return QStringLiteral("Namnet får inte innehålla \".CFG\".");
    if (fromCp1252(toCp1252(name)) != name)
        return QStringLiteral("Namnet innehåller tecken som inte kan användas.");
    return {};
}

// ---------------------------------------------------------------------------
// Outside services

CncSetupHooks &cncSetupHooks()
{
    static CncSetupHooks hooks;
    return hooks;
}

QString cncBrowseFolder(const QString &prompt, QWidget *owner, const QString &initialFolder)
{
    if (cncSetupHooks().browseFolder)
        return cncSetupHooks().browseFolder(prompt, owner, initialFolder);
    return BrowseForFolder(prompt, owner, initialFolder);
}

std::optional<int> cncChooseColor(QWidget *owner, int colour, const QString &title)
{
    if (cncSetupHooks().chooseColor)
        return cncSetupHooks().chooseColor(owner, colour, title);
    const QColor c = QColorDialog::getColor(rkColor(colour), owner, title);
    if (!c.isValid())
        return std::nullopt;
    return rkColorValue(c);
}

QStringList cncSystemPorts()
{
    if (cncSetupHooks().systemPorts)
        return cncSetupHooks().systemPorts();
    QStringList out;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        out << info.systemLocation();
    return out;
}

}
