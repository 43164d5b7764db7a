#include "core/paths.h"

#include "core/currentmachine.h"
#include "core/errors.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/msgbox.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <sys/stat.h>
#include <cerrno>
#include <cstdio>

namespace lumrik {

QString RkNativePath(const QString &path)
{
    QString p = path;
    p.replace('\\', '/');
    // Doubled separators from joining "x\" and "\y" (but keep a leading "//").
    const bool lead = p.startsWith("//");
    while (p.contains("//"))
        p.replace("//", "/");
    if (lead)
        p.prepend('/');
    return p;
}

QString findFileNoCase(const QString &path)
{
    if (path.isEmpty() || QFileInfo::exists(path))
        return path;
    QFileInfo fi(path);
    QDir dir = fi.dir();
    if (!dir.exists())
        return path;
    const QString name = fi.fileName();
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    return path;
}

QString findFileNoCase(const QString &folder, const QString &name)
{
    return findFileNoCase(RkNativePath(folder) + '/' + name);
}

static bool matchOne(const QChar *n, qsizetype nn, const QChar *p, qsizetype pn)
{
    // Iterative "*"/"?" matcher with one backtrack point.
    qsizetype i = 0, j = 0, star = -1, mark = 0;
    while (i < nn) {
        if (j < pn && (p[j] == '?' || (p[j] != '*' && p[j].toCaseFolded() == n[i].toCaseFolded()))) {
            ++i;
            ++j;
        } else if (j < pn && p[j] == '*') {
            star = j++;
            mark = i;
        } else if (star >= 0) {
            j = star + 1;
            i = ++mark;
        } else {
            return false;
        }
    }
    while (j < pn && p[j] == '*')
        ++j;
    return j == pn;
}

bool RkMatchPattern(const QString &name, const QString &pattern)
{
    if (pattern == QLatin1String("*") || pattern == QLatin1String("*.*"))
        return true;
    if (matchOne(name.constData(), name.size(), pattern.constData(), pattern.size()))
        return true;
    // "x.*" also matches "x" without an extension.
    return pattern.endsWith(QLatin1String(".*")) && !name.contains('.')
           && matchOne(name.constData(), name.size(), pattern.constData(), pattern.size() - 2);
}

bool RkMatchWildcard(const QString &name, const QString &pattern)
{
    const QStringList parts = pattern.split(';', Qt::SkipEmptyParts);
    for (const QString &p : parts)
        if (RkMatchPattern(name, p.trimmed()))
            return true;
    return false;
}

void RkFormFix(QWidget *window)
{
    QScreen *s = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    window->showNormal();
    window->setGeometry(RkFormFixRect(s->availableGeometry()));
}

QRect RkFormFixRect(const QRect &r)
{
    // Rounded to the nearest pixel, not cut to whole hundredths of the screen.
    const auto part = [](int whole, int percent) { return (whole * percent + 50) / 100; };
    const int w = r.width(), h = r.height();
    return QRect(r.x() + part(w, 10), r.y() + part(h, 10), part(w, 80), part(h, 80));
}

bool RkFileExists(const QString &path)
{
    if (RkHasKeptBytes(path)) {
        struct stat st;
        return ::stat(RkPathBytes(path).constData(), &st) == 0;
    }
    return !path.isEmpty() && QFileInfo::exists(RkNativePath(path));
}

int RkParseString(QStringList &out, const QString &text, const QString &separator)
{
    return RkGuard("RkParseString()", [&]() -> int {
        out = QStringList{QString()};
        if (separator.isEmpty()) {
            out << text;
            return 1;
        }
        const QStringList pieces = text.split(separator, Qt::KeepEmptyParts);
        out << pieces;
        return int(pieces.size());
    });
}

namespace {
bool copyThenReplace(QFile &in, const QString &target, QString &why)
{
    const QString part = target + QStringLiteral(".lumrik-kopia");
    QFile::remove(part); // a piece left by an earlier copy that failed
    if (!in.copy(part)) {
        why = QStringLiteral("%1: %2").arg(RkShownName(in.fileName()), RkFileErrorText(in));
        QFile::remove(part);
        return false;
    }
    errno = 0;
    if (::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) != 0) {
        why = QStringLiteral("%1: %2").arg(RkShownName(target), RkSystemErrorText(errno));
        QFile::remove(part);
        return false;
    }
    return true;
}
}

void rkCopyFiles(const QString &source, const QString &target, int &count)
{
    RkGuard("rkCopyFiles()", [&] {
        count = 0;
        const QString src = RkNativePath(RkAddBackslash(source));
        const QString dst = RkNativePath(RkAddBackslash(target));
        // A folder copied onto itself would only replace each file by itself.
        const QFileInfo from(src), to(dst);
        if (from.exists() && to.exists() && from.canonicalFilePath() == to.canonicalFilePath()) {
            RkBeep();
            RkMsgBox(QStringLiteral("Mappen %1 kan inte kopieras till sig själv.").arg(RkShownName(src)),
                     MbButtons::Ok, MbIcon::Exclamation);
            return;
        }
        const QStringList files = QDir(src).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        for (const QString &name : files) {
            // The copy is made whole under a name of its own, and only then
            // takes the old file's place.
            QFile in(src + name);
            QString why;
            if (copyThenReplace(in, dst + name, why)) {
                ++count;
            } else {
                RkBeep();
                RkMsgBox(why, MbButtons::Ok, MbIcon::Exclamation, "Error copying file " + name);
            }
        }
    });
}

QString RkAddBackslash(const QString &path)
{
    if (path.endsWith('\\') || path.endsWith('/'))
        return path;
    return path + '/';
}

QStringList GetFolderFiles(const QString &folder, const QString &extension, bool fullPaths)
{
    return RkGuard("GetFolderFiles()", [&]() -> QStringList {
        QStringList out;
        if (!RkFolderExists(folder))
            return out;
        const QString dir = RkNativePath(RkAddBackslash(folder));
        QString ext = extension;
        if (ext.startsWith('*'))
            ext.remove(0, 1);
        if (!ext.startsWith('.'))
            ext.prepend('.');
        const QString pattern = '*' + ext;
        QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
        std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        for (const QString &n : names)
            if (RkMatchWildcard(n, pattern))
                out << (fullPaths ? dir + n : n);
        return out;
    });
}

bool RkFolderExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    QString p = RkNativePath(path);
    if (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    return QFileInfo::exists(p);
}

// A path of this computer ("/nc/O1:2.nc") is cut only at "/": "\\" and ":"
// are characters of its names. A stored Windows path ("C:\\nc\\O1.nc")
// keeps its "\\" and drive forms.
static qsizetype lastSep(const QString &path, bool withColon)
{
    const qsizetype b = path.lastIndexOf('/');
    if (path.startsWith('/'))
        return b;
    qsizetype r = std::max(path.lastIndexOf('\\'), b);
    if (withColon)
        r = std::max(r, path.lastIndexOf(':'));
    return r;
}

QString RkFileBaseName(const QString &path)
{
    QString name = path.mid(lastSep(path, false) + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot >= 0)
        name.truncate(dot);
    return name;
}

bool IsValidFileName(const QString &name)
{
    static const QString bad = QStringLiteral(":\\/*?<>|");
    for (QChar c : name)
        if (bad.contains(c))
            return false;
    return true;
}

QString GetFileNamePart(const QString &path)
{
    const qsizetype i = lastSep(path, true);
    if (i < 0 || i == path.size() - 1)
        return path;
    return path.mid(i + 1);
}

QString GetPathPart(const QString &path)
{
    return path.left(path.size() - GetFileNamePart(path).size());
}

QString GetFileExtension(const QString &path)
{
    const QString name = GetFileNamePart(path);
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString TrimAtNull(const QString &text)
{
    const qsizetype i = text.indexOf(QChar(0));
    return i < 0 ? text : text.left(i);
}

QString GetDrivePart(const QString &path)
{
    if (path.size() > 1 && path[1] == ':')
        return path.left(2);
    if (path.size() > 1 && path.startsWith("\\\\")) {
        qsizetype pos = 2;
        int seen = 0;
        while (pos < path.size() - 1 && seen < 2) {
            if (path[pos] == '\\') {
                ++seen;
                if (seen == 2)
                    break;
            }
            ++pos;
        }
        if (path[pos] == '\\')
            --pos;
        return path.left(pos + 1);
    }
    if (path.startsWith('/'))
        return exeDrive();
    return {};
}

bool IsDirectory(const QString &path)
{
    return !path.isEmpty() && QFileInfo(RkNativePath(path)).isDir();
}

QString exeDrive()
{
    QString home = QDir::homePath();
    if (home.endsWith('/') && home.size() > 1)
        home.chop(1);
    return home;
}

QString ExpandExePath(QString &path)
{
    bool expanded = false;
    if (path.contains("[exedir]")) {
        path.replace("[exedir]", gsDataPath);
        expanded = true;
    }
    if (path.contains("[exedrive]")) {
        path.replace("[exedrive]", exeDrive());
        expanded = true;
    }
    // A path with a token is a folder of this computer: it takes this
    // computer's separators. Any other text stays exactly as stored.
    if (expanded)
        path = RkNativePath(path);
    return path;
}

QString ExpandExePath(const QString &path)
{
    QString p = path;
    return ExpandExePath(p);
}

QString settingFolder(const QString &stored)
{
    QString p = RkNativePath(ExpandExePath(stored.trimmed()));
    if (p.isEmpty() || p.startsWith(u'/'))
        return p;
    QString base = RkNativePath(gsDataPath);
    while (base.size() > 1 && base.endsWith(u'/'))
        base.chop(1);
    return base + u'/' + p;
}

// Replaces `prefix` at the start of `path` by `token` when it ends at a separator.
static bool collapsePrefix(QString &path, const QString &prefix, const QString &token)
{
    // Letter case counts: /OPT/prog is another folder than /opt/Prog.
    if (prefix.isEmpty() || !path.startsWith(prefix))
        return false;
    if (path.size() > prefix.size()) {
        const QChar next = path[prefix.size()];
        if (next != '/' && next != '\\' && !prefix.endsWith('/') && !prefix.endsWith('\\'))
            return false;
    }
    // The stored form: the token, then the rest with "\" between folders.
    path = token + path.mid(prefix.size()).replace('/', '\\');
    return true;
}

QString CollapseExePath(QString &path)
{
    QString dataPath = gsDataPath;
    while (dataPath.size() > 1 && dataPath.endsWith('/'))
        dataPath.chop(1);
    QString native = RkNativePath(path);
    if (collapsePrefix(native, dataPath, "[exedir]") || collapsePrefix(native, exeDrive(), "[exedrive]"))
        path = native;
    return path;
}

QString CollapseExePath(const QString &path)
{
    QString p = path;
    return CollapseExePath(p);
}

QString machineFile(const QString &machine)
{
    return findFileNoCase(gsDataPath, machine + QStringLiteral(".cfg"));
}

QString GetDefaultPath(const QString &kind)
{
    QString section, key;
    if (kind == "root") {
        section = "Settings";
        key = "DefaultPath";
    } else if (kind == "send") {
        section = "CNCProgPath";
        key = "DefaultCncPath";
    } else if (kind == "rec") {
        section = "CNCProgPath";
        key = "DefaultRxdCncPath";
    } else {
        return {};
    }
    QString file = machineFile(currentMachine().name());
    QString v = GetIniSetting(section, key, QStringLiteral("[exedrive]\\ncprog\\"), file);
    return ExpandExePath(v);
}

void FillComboWithFiles(const QString &folder, const QString &extension, QComboBox *combo)
{
    combo->clear();
    const QStringList files = GetFolderFiles(folder, extension, true);
    for (const QString &f : files) {
        QString name = GetFileNamePart(f);
        const qsizetype dot = name.lastIndexOf('.');
        if (dot >= 0)
            name.truncate(dot);
        combo->addItem(name);
    }
}

void SelectComboItem(const QString &text, QComboBox *combo)
{
    for (int i = 0; i < combo->count(); ++i)
        if (combo->itemText(i) == text) {
            combo->setCurrentIndex(i);
            return;
        }
}

QString ZeroPadLeft(const QString &text, int length)
{
    return text.size() >= length ? text : QString(length - text.size(), '0') + text;
}

}
