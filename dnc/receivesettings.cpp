#include "dnc/receivesettings.h"

#include "core/currentmachine.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/paths.h"
#include "dnc/hexlists.h"
#include "dnc/machineconfig.h"

#include <climits>
#include <cmath>

namespace lumrik {

int recDelayMs(const QString &text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    t.replace(',', '.');
    bool ok = false;
    const double s = t.toDouble(&ok);
    if (!ok || !std::isfinite(s) || s < 0 || s * 1000.0 > double(INT_MAX))
        return -1;
    return int(std::lround(s * 1000.0));
}

bool readRxdSettings(const QString &cfgFile, RxdSettings &s, QString *reason)
{
    auto fail = [&](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    // An empty file name would mean the main settings file.
    const QString file0 = cfgFile.size() < 2 ? QString() : findFileNoCase(RkNativePath(cfgFile));
    if (file0.isEmpty() || !RkFileExists(file0))
        return fail(QStringLiteral("Maskinfilen finns inte: ") + cfgFile);
    auto get = [&](const QString &section, const QString &key, const QString &def) {
        QString file = file0;
        return GetIniSetting(section, key, def, file);
    };
    const QString com = kCfgCommunication;

    bool ok = false;
    const QString port = get(com, "ComPort", "1");
    const int portNo = port.trimmed().toInt(&ok);
    if (!ok || portNo < 0)
        return fail(QStringLiteral("\"ComPort\" är inte ett portnummer: ") + port);
    s.lComPort = portNo;
    s.sBaudRate = get(com, "BaudRate", "2400");
    const QString dataBits = get(com, "DataBits", "7");
    const QString parity = parityLetter(get(com, "Parity", cfg::ParityEven));
    const QString stopBits = get(com, "StopBits", "1");
    s.sCommSettings = s.sBaudRate + ',' + parity + ',' + dataBits + ',' + stopBits;

    const QString delay = get(com, "RecDelay", "0");
    const int ms = recDelayMs(delay);
    if (ms < 0)
        return fail(QStringLiteral("\"RecDelay\" är inte ett antal sekunder: ") + delay);
    s.recDelayMs = ms;

    const QString code = get(com, "Code", cfg::CodeIso);
    s.options.binary = code == cfg::CodeBinary;
    s.options.eia = code == cfg::CodeEia;

    QString folder = get(kCfgProgPath, "DefaultRxdCncPath", currentMachine().keys().rootFolder).trimmed();
    if (folder.isEmpty())
        folder = QStringLiteral("[exedrive]\\ncprog\\");
    if (!folder.endsWith('\\') && !folder.endsWith('/'))
        folder += '\\';
    s.receiveFolder = ExpandExePath(folder);

    s.options.waitStartChr = false;
    const QString start = get(com, "RxdFromChr", QString());
    if (!start.trimmed().isEmpty()) {
        QString why;
        const auto c = parseHexCode(start, &why);
        if (!c)
            return fail(QStringLiteral("\"RxdFromChr\": ") + why);
        s.options.startChr = *c;
        s.options.waitStartChr = true;
    }

    const QString filter = get(com, "FilterChr", QString());
    if (filter.trimmed().isEmpty()) {
        s.options.filter = QByteArray(1, '\0');
    } else {
        QString why;
        const auto bytes = expandHexList(filter, &why);
        if (!bytes)
            return fail(QStringLiteral("\"FilterChr\": ") + why);
        s.options.filter = *bytes;
    }

    const QByteArray dcCodes("\x11\x12\x13\x14", 4);
    s.options.kearney = false;
    const QString prot = get(com, "Protokoll", cfg::ProtRtsCts);
    if (prot == cfg::ProtRtsCts || prot == cfg::ProtIngen) {
        s.lHandshake = 2;
    } else if (prot == cfg::ProtXonXoff) {
        s.lHandshake = 3;
    } else if (prot == cfg::ProtDcKoder || prot == cfg::ProtOsp5000) {
        s.lHandshake = 1;
        s.options.filter += dcCodes;
    } else if (prot == cfg::ProtKearney) {
        s.lHandshake = 1;
        s.options.kearney = true;
        s.options.startChr = 0x12;
        s.options.waitStartChr = true;
        s.options.filter += dcCodes;
    }

    s.sFileExtension = get(kCfgSettings, "FileExtension", "*.*");
    return true;
}

}
