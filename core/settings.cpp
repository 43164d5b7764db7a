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
        gbInsertMode = true;
        gTextType = 1;
        Loader l;
        l.text("EditFont", "Courier New", gTextFont);
        l.int16("EditFontSize", "12", gTextFontSize);
        l.int32("EditFontColor", "0", gTextColor);
        l.int32("EditBackColor", QString::number(0xFFFFFF), gTextBackColor);
        l.int32("MainLeft", "1000", gOldLeft);
        l.int32("MainTop", "1000", gOldTop);
        l.int32("MainWidth", "3500", gOldWidth);
        l.int32("MainHeight", "3500", gOldHeight);
        l.int32("MainWindowState", "0", gOldWindowState);
        l.int32("FileLeft", "1000", gFileSelectLeft);
        l.int32("FileTop", "1000", gFileSelectTop);
        l.int32("FileWidth", "8500", gFileSelectWidth);
        l.int32("FileHeight", "6500", gFileSelectHeight);
        const QString textColor = QString::number(gTextColor);
        l.int32("CommentColor", textColor, gCommentColor);
        for (int i = 0; i < 8; ++i) {
            l.text(QStringLiteral("CodeText%1").arg(i + 1), QString(), gsCodeText[i]);
            l.int32(QStringLiteral("CodeColor%1").arg(i + 1), textColor, gCodeColor[i]);
        }
        l.expand("DefaultPath", gsDataPath, gsRootFolder);
        l.expand("CurrentPath", gsRootFolder, gsActivePath);
        l.text("FileExtension", "*.*", gsFileExtension);
        l.text("ShowFileExt", "*.*", gsShowFileExt);
        l.text("ShowFileExtText", "Alla filer (*.*)", gsShowFileExtText);
        l.expand("KalmeroPath", "[exedrive]\\LMK", gsKalmeroPath);
        l.expand("ProgramInfoPath", "", gsProgramInfoPath);
        gsUseKalmero = RkFileExists(findFileNoCase(gsDataPath, "Pendrof.exe"))
                       || RkFileExists(findFileNoCase(settingFolder(gsKalmeroPath), "Pendrof.exe"));
        l.truth("ShowAllFiles", "True", gbShowAllFiles);
        l.truth("NumKbdDec", "False", gNumKbdDec);
        l.truth("UpperCase", "False", gUpperCase);
        l.truth("NoBackground", "False", gNoBack);
        l.text("DefaultTile", "0", gDefaultTile);
        l.truth("ScanComment", "False", gScanComment);
        l.truth("NumberSort", "False", gNumberSort);
        l.truth("KollegieBlock", "False", gKollegieBlock);
        l.truth("FirstStart", "True", gFirstStart);
        l.text("LastCnc", "", gActiveCfg);
        bool b = false;
        l.truth("RullningsList", "False", b);
        gScrollbarShow = b ? 2 : 4;
        l.truth("SaveAsUnix", "False", b);
        gSaveAsUnixType = b ? 2 : 1;
        l.text("ToolListChrs", "T", gsToolListChrs);
        l.text("DecCheckChrs", "", gsDecCheckBlockChars);
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
        l.truth("Setup", "True", gSetupAllowed);
        l.text("Title", "", gTitle);
        l.int16("ComPorts", "4", gMaxComPorts);
    });
}

}
