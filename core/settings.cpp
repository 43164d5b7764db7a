#include "core/settings.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/paths.h"
#include "core/sessionstate.h"

#include <QFileInfo>
#include <cmath>
#include <functional>
#include <limits>

namespace lumrik {

static std::optional<long long> toWhole(const QString &text, long long lo, long long hi)
{
    const QString t = text.trimmed();
    bool ok = false;
    long long v = t.toLongLong(&ok);
    if (!ok) {
        double d = t.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            return std::nullopt;
        v = std::llround(std::nearbyint(d)); // round half to even, as the classic conversion
    }
    if (v < lo || v > hi)
        return std::nullopt;
    return v;
}

std::optional<int> toInt16(const QString &text)
{
    auto v = toWhole(text, -32768, 32767);
    return v ? std::optional<int>(int(*v)) : std::nullopt;
}

std::optional<int> toInt32(const QString &text)
{
    auto v = toWhole(text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    return v ? std::optional<int>(int(*v)) : std::nullopt;
}

std::optional<bool> toTruth(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare("True", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare("False", Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (ok)
        return d != 0;
    return std::nullopt;
}

int placementPixels(double twips, double twipsPerPixel) { return int(std::lround(twips / twipsPerPixel)); }

qint64 placementTwips(int pixels, double storedTwips, double twipsPerPixel)
{
    if (placementPixels(storedTwips, twipsPerPixel) == pixels)
        return std::llround(storedTwips);
    return std::llround(pixels * twipsPerPixel);
}

namespace {
// Reads the main settings file once; every key of the table comes from that copy.
struct Loader {
    QString section = QStringLiteral("Settings");
    IniFile ini;

    Loader() { ini.load(mainSettingsFile()); }
    QString raw(const QString &key, const QString &def) const { return ini.value(section, key, def); }
    void text(const QString &key, const QString &def, QString &target) { target = raw(key, def); }
    void expand(const QString &key, const QString &def, QString &target)
    {
        QString v = raw(key, def);
        target = ExpandExePath(v);
    }
    void int16(const QString &key, const QString &def, int &target)
    {
        target = toInt16(raw(key, def)).value_or(toInt16(def).value_or(0));
    }
    void int32(const QString &key, const QString &def, int &target)
    {
        target = toInt32(raw(key, def)).value_or(toInt32(def).value_or(0));
    }
    void truth(const QString &key, const QString &def, bool &target)
    {
        target = toTruth(raw(key, def)).value_or(toTruth(def).value_or(false));
    }
};
}

void RkLoadIniSettings()
{
    RkGuard("RkLoadIniSettings()", [] {
        ActiveProgram &active = programSession().active();
        active.setInsertMode(true);
        active.setTextType(1);
        Settings &settings = programSession().settings();
        SettingValues v = settings.values();
        // What was read before a failure stays in use, as each key is read.
        struct Publish {
            Settings &settings;
            SettingValues &v;
            bool done = false;
            ~Publish()
            {
                if (!done)
                    settings.set(v);
            }
        } publish{settings, v};
        Loader l;
        l.text("EditFont", "Courier New", v.textFont);
        l.int16("EditFontSize", "12", v.textFontSize);
        l.int32("EditFontColor", "0", v.textColor);
        l.int32("EditBackColor", QString::number(0xFFFFFF), v.textBackColor);
        l.int32("MainLeft", "1000", v.mainLeft);
        l.int32("MainTop", "1000", v.mainTop);
        l.int32("MainWidth", "3500", v.mainWidth);
        l.int32("MainHeight", "3500", v.mainHeight);
        l.int32("MainWindowState", "0", v.mainWindowState);
        l.int32("FileLeft", "1000", v.fileLeft);
        l.int32("FileTop", "1000", v.fileTop);
        l.int32("FileWidth", "8500", v.fileWidth);
        l.int32("FileHeight", "6500", v.fileHeight);
        const QString textColor = QString::number(v.textColor);
        // The keys a machine may override, as without a machine.
        MachineKeys keys = programSession().machine().keys();
        l.int32("CommentColor", textColor, keys.commentColor);
        for (int i = 0; i < 8; ++i) {
            l.text(QStringLiteral("CodeText%1").arg(i + 1), QString(), keys.codeText[i]);
            l.int32(QStringLiteral("CodeColor%1").arg(i + 1), textColor, keys.codeColor[i]);
        }
        l.expand("DefaultPath", gsDataPath, keys.rootFolder);
        QString currentPath = active.path();
        l.expand("CurrentPath", keys.rootFolder, currentPath);
        active.setPath(currentPath);
        l.text("FileExtension", "*.*", keys.fileExtension);
        programSession().machine().setKeys(keys);
        l.text("ShowFileExt", "*.*", v.showFileExt);
        l.text("ShowFileExtText", "Alla filer (*.*)", v.showFileExtText);
        l.expand("KalmeroPath", "[exedrive]\\LMK", v.kalmeroPath);
        l.expand("ProgramInfoPath", "", v.programInfoPath);
        v.useKalmero = RkFileExists(findFileNoCase(gsDataPath, "Pendrof.exe"))
                       || RkFileExists(findFileNoCase(settingFolder(v.kalmeroPath), "Pendrof.exe"));
        l.truth("ShowAllFiles", "True", v.showAllFiles);
        l.truth("NumKbdDec", "False", v.numKbdDec);
        l.truth("UpperCase", "False", v.upperCase);
        l.truth("NoBackground", "False", v.noBack);
        l.text("DefaultTile", "0", v.defaultTile);
        l.truth("ScanComment", "False", v.scanComment);
        l.truth("NumberSort", "False", v.numberSort);
        l.truth("KollegieBlock", "False", v.kollegieBlock);
        l.truth("FirstStart", "True", gFirstStart);
        {
            // The machine last chosen; its configuration file stays as it is
            // until the selector picks the machine.
            CurrentMachine &machine = programSession().machine();
            QString last = machine.name();
            l.text("LastCnc", "", last);
            machine.use(last, machine.file());
        }
        bool b = false;
        l.truth("RullningsList", "False", b);
        v.scrollbarShow = b ? 2 : 4;
        l.truth("SaveAsUnix", "False", b);
        v.saveAsUnixType = b ? 2 : 1;
        l.text("ToolListChrs", "T", v.toolListChrs);
        l.text("DecCheckChrs", "", v.decCheckBlockChars);
        l.section = "Printing";
        PrintValues p = programSession().print().values();
        l.text("PrinterFont", "Courier New", p.font);
        l.int16("PrinterFontSize", "10", p.fontSize);
        l.truth("BoldComment", "False", p.boldComments);
        l.truth("ItalicComment", "False", p.italicComments);
        l.truth("PrintTime", "False", p.time);
        l.int32("TopMargin", "20", p.topMargin);
        l.int32("BottomMargin", "20", p.bottomMargin);
        l.int32("LeftMargin", "40", p.leftMargin);
        l.int32("RightMargin", "20", p.rightMargin);
        l.int16("Columns", "1", p.columns);
        programSession().print().set(p);
        l.section = "Options";
        l.truth("Setup", "True", v.setupAllowed);
        l.text("Title", "", v.title);
        l.int16("ComPorts", "4", v.maxComPorts);
        publish.done = true;
        settings.set(v);
    });
}

}
