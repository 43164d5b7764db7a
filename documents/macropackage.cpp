#include "documents/macropackage.h"

#include "core/errors.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/progress.h"
#include "core/sessionstate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumrik {

namespace {

QString programFolder()
{
    QString p = RkNativePath(gsDataPath);
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    return p;
}

// "MACROPATH" below the program folder, "/" separated, or "" when it does not
// name a folder inside it. A value with a leading "\" is relative too (the
// program folder and the value are joined by a separator); one with a
// leading "/" is an absolute path of this system and refused.
QString relativeMacroPath(const QString &raw, QString *problem)
{
    QString rel;
    if (raw.contains(QLatin1String("[exedir]"), Qt::CaseInsensitive)
        || raw.contains(QLatin1String("[exedrive]"), Qt::CaseInsensitive)) {
        const QString expanded = QDir::cleanPath(ExpandExePath(raw));
        const QString base = programFolder() + '/';
        if (!expanded.startsWith(base)) {
            *problem = QStringLiteral("Mappen i MACROPATH (%1) ligger inte i programmappen.").arg(expanded);
            return {};
        }
        rel = expanded.mid(base.size());
    } else {
        if (raw.size() > 1 && raw[1] == ':') {
            *problem = QStringLiteral("MACROPATH (%1) måste vara en mapp i programmappen, utan enhetsbokstav.").arg(raw);
            return {};
        }
        // "\Macron\X" is the stored form of a folder below the program
        // folder; "/usr/lib" is a path of this system, outside it.
        if (raw.startsWith(u'/')) {
            *problem = QStringLiteral("MACROPATH (%1) måste vara en mapp i programmappen, ingen absolut sökväg.").arg(raw);
            return {};
        }
        rel = RkNativePath(raw);
    }
    QStringList parts;
    for (const QString &part : rel.split('/', Qt::SkipEmptyParts)) {
        const QString p = part.trimmed();
        if (p.isEmpty() || p == QLatin1String("."))
            continue;
        if (p == QLatin1String("..")) {
            *problem = QStringLiteral("MACROPATH (%1) får inte peka ut ur programmappen.").arg(raw);
            return {};
        }
        parts << part;
    }
    if (parts.isEmpty()) {
        *problem = QStringLiteral("MACROPATH saknas i MACRO.INI (mappen som macrona skall sparas i).");
        return {};
    }
    return parts.join('/');
}

QString entryKey(int entry, const char *suffix) { return QString::number(entry) + QLatin1String(suffix); }

bool sameOrInside(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder + u'/');
}

// Why the templates must not go to the folder `relative` below the program
// folder: it is, holds or lies in a folder the program itself uses (its
// plug-ins, its help pages, the folders of the programs it starts), or the
// way there passes a link, which could lead anywhere.
QString reservedFolderReason(const QString &relative)
{
    const QString first = relative.section(u'/', 0, 0).trimmed();
    for (const char *own : {"plugins", "help"})
        if (first.compare(QLatin1String(own), Qt::CaseInsensitive) == 0)
            return QStringLiteral("MACROPATH (%1) pekar på programmets egen mapp %2.").arg(relative, first);
    const QString target = QDir::cleanPath(programFolder() + u'/' + relative);
    for (const QString &setting : {programSession().settings().values().kalmeroPath, programSession().settings().values().programInfoPath}) {
        const QString folder = setting.trimmed().isEmpty() ? QString() : QDir::cleanPath(settingFolder(setting));
        if (!folder.isEmpty() && (sameOrInside(target, folder) || sameOrInside(folder, target)))
            return QStringLiteral("MACROPATH (%1) pekar på mappen %2, där Lumrik32 startar program.").arg(relative, folder);
    }
    QString probe = programFolder();
    for (const QString &part : relative.split(u'/')) {
        probe += u'/' + part;
        struct stat st;
        if (::lstat(RkPathBytes(probe).constData(), &st) != 0)
            break;
        if (S_ISLNK(st.st_mode))
            return QStringLiteral("MACROPATH (%1) går genom länken %2.").arg(relative, RkShownName(probe));
    }
    return {};
}

// Copies the bytes of a plain file into a new file: a link is not followed
// at either end, and the copy gets no executable mode, whatever the
// package's file had.
bool copyPlainFile(const QString &from, const QString &to)
{
    const int in = ::open(RkPathBytes(from).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return false;
    struct stat st;
    const QByteArray target = RkPathBytes(to);
    const int out = ::fstat(in, &st) == 0 && S_ISREG(st.st_mode)
                        ? ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666)
                        : -1;
    bool ok = out >= 0;
    char buffer[1 << 16];
    while (ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            done += ok ? w : 0;
        }
    }
    ::close(in);
    if (out >= 0 && ::close(out) != 0)
        ok = false;
    if (!ok && out >= 0)
        ::unlink(target.constData());
    return ok;
}

}

MacroPackage readMacroPackage(const QString &folderText)
{
    MacroPackage pkg;
    const QString typed = folderText.trimmed();
    if (typed.isEmpty())
        return pkg;
    pkg.folder = RkNativePath(RkAddBackslash(typed));
    pkg.iniFile = findFileNoCase(pkg.folder, QStringLiteral("MACRO.INI"));
    if (pkg.iniFile.trimmed().size() <= 1 || !QFileInfo(pkg.iniFile).isFile())
        return pkg;

    pkg.status = MacroPackage::Invalid;
    IniFile ini;
    if (!ini.load(pkg.iniFile)) {
        pkg.problem = QStringLiteral("MACRO.INI kan inte läsas.");
        return pkg;
    }
    const QString rawPath = ini.value(QStringLiteral("MACRO"), QStringLiteral("MACROPATH"));
    pkg.macroPath = ExpandExePath(rawPath);
    pkg.macroCnc = ExpandExePath(ini.value(QStringLiteral("MACRO"), QStringLiteral("MACROCNC")));
    if (pkg.macroCnc.trimmed().size() <= 1) {
        pkg.problem = QStringLiteral("MACROCNC saknas i MACRO.INI (namnet på macrot, minst två tecken).");
        return pkg;
    }
    pkg.relativePath = relativeMacroPath(rawPath.trimmed(), &pkg.problem);
    if (pkg.relativePath.isEmpty())
        return pkg;
    pkg.problem = reservedFolderReason(pkg.relativePath);
    if (!pkg.problem.isEmpty()) {
        pkg.relativePath.clear();
        return pkg;
    }
    pkg.targetFolder = programFolder() + '/' + pkg.relativePath;

    const QFileInfo target(pkg.targetFolder);
    if (target.exists() && !target.isDir()) {
        pkg.problem = QStringLiteral("%1 finns redan, men är ingen mapp.").arg(pkg.targetFolder);
        return pkg;
    }
    const QFileInfoList entries =
        QDir(pkg.folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    QSet<QString> seen;
    for (const QFileInfo &fi : entries) {
        const QString name = fi.fileName();
        if (fi.isSymLink()) {
            pkg.problem = QStringLiteral("Filen %1 är en länk, inte en fil i paketet.").arg(name);
            return pkg;
        }
        QFile f(fi.filePath());
        if (!f.open(QIODevice::ReadOnly)) {
            pkg.problem = QStringLiteral("Filen %1 kan inte läsas.").arg(name);
            return pkg;
        }
        const QString folded = name.toCaseFolded();
        if (seen.contains(folded)) {
            pkg.problem = QStringLiteral("Paketet har flera filer som heter %1.").arg(name);
            return pkg;
        }
        seen.insert(folded);
        if (target.isDir()) {
            const QFileInfo there(findFileNoCase(pkg.targetFolder, name));
            if (there.exists() && there.isDir()) {
                pkg.problem = QStringLiteral("I %1 finns en mapp som heter %2.").arg(pkg.targetFolder, there.fileName());
                return pkg;
            }
        }
        pkg.files << name;
    }
    pkg.status = MacroPackage::Valid;
    return pkg;
}

std::array<QString, 10> registeredMacroNames()
{
    std::array<QString, 10> names;
    IniFile ini;
    if (!ini.load(mainSettingsFile()))
        return names;
    for (int d = 0; d < 10; ++d)
        names[size_t(d)] = ini.value(QStringLiteral("MACRO"), entryKey(d, "_NAMN"));
    return names;
}

int freeMacroEntry(const std::array<QString, 10> &paths, const std::array<QString, 10> &names)
{
    for (int d = 0; d < 10; ++d)
        if (paths[size_t(d)].trimmed().isEmpty() && names[size_t(d)].size() <= 1)
            return d;
    return -1;
}

bool writeMacroEntry(int entry, const QString &name, const QString &path)
{
    return RkWriteIniFile(mainSettingsFile(),
                          {{QStringLiteral("MACRO"), entryKey(entry, "_NAMN"), name},
                           {QStringLiteral("MACRO"), entryKey(entry, "_PATH"), path}},
                          QStringLiteral("Macrot har inte importerats."));
}

// ---------------------------------------------------------------------------
// Copying as one change

MacroFileCopy::MacroFileCopy(QString sourceFolder, QString targetFolder, QStringList names)
    : src_(RkNativePath(RkAddBackslash(sourceFolder))), dst_(RkNativePath(RkAddBackslash(targetFolder))),
      names_(std::move(names))
{
    copyFile = copyPlainFile;
    renameFile = [](const QString &from, const QString &to) { return QFile::rename(from, to); };
}

MacroFileCopy::~MacroFileCopy()
{
    if (!finished_)
        rollback();
}

QStringList MacroFileCopy::existingInTarget() const
{
    QStringList out;
    if (!QFileInfo(dst_).isDir())
        return out;
    for (const QString &name : names_)
        if (QFileInfo::exists(findFileNoCase(dst_, name)))
            out << name;
    return out;
}

bool MacroFileCopy::stage()
{
    error_.clear();
    items_.clear();
    createdFolders_.clear();
    // The folders that do not exist yet, deepest first, so that a rollback
    // removes exactly those.
    QString probe = QDir::cleanPath(dst_);
    while (!probe.isEmpty() && !QFileInfo::exists(probe)) {
        createdFolders_ << probe;
        const QString parent = QFileInfo(probe).absolutePath();
        if (parent == probe)
            break;
        probe = parent;
    }
    staged_ = true;
    if (!QDir().mkpath(dst_)) {
        error_ = QStringLiteral("Mappen %1 kunde inte skapas.").arg(QDir::cleanPath(dst_));
        rollback();
        return false;
    }
    for (int i = 0; i < names_.size(); ++i) {
        Item it;
        it.name = names_[i];
        it.staged = dst_ + QStringLiteral(".lumrik-import-%1.tmp").arg(i);
        QFile::remove(it.staged);
        const QString existing = findFileNoCase(dst_, it.name);
        if (QFileInfo::exists(existing))
            it.replaced = existing;
        if (!copyFile(src_ + it.name, it.staged)) {
            QFile::remove(it.staged);
            error_ = QStringLiteral("Filen %1 kunde inte kopieras till %2.").arg(it.name, QDir::cleanPath(dst_));
            rollback();
            return false;
        }
        items_ << it;
    }
    return true;
}

bool MacroFileCopy::commit()
{
    if (!staged_)
        return false;
    for (int i = 0; i < items_.size(); ++i) {
        Item &it = items_[i];
        if (!it.replaced.isEmpty()) {
            it.aside = dst_ + QStringLiteral(".lumrik-import-%1.old").arg(i);
            QFile::remove(it.aside);
            if (!renameFile(it.replaced, it.aside)) {
                error_ = QStringLiteral("Filen %1 kunde inte ersättas.").arg(GetFileNamePart(it.replaced));
                rollback();
                return false;
            }
            it.setAside = true;
        }
        if (!renameFile(it.staged, dst_ + it.name)) {
            error_ = QStringLiteral("Filen %1 kunde inte sparas i %2.").arg(it.name, QDir::cleanPath(dst_));
            rollback();
            return false;
        }
        it.placed = true;
    }
    committed_ = true;
    return true;
}

void MacroFileCopy::rollback()
{
    for (int i = int(items_.size()) - 1; i >= 0; --i) {
        Item &it = items_[i];
        if (it.placed)
            QFile::remove(dst_ + it.name);
        if (it.setAside)
            QFile::rename(it.aside, it.replaced);
        QFile::remove(it.staged);
        it.placed = it.setAside = false;
    }
    items_.clear();
    for (const QString &folder : std::as_const(createdFolders_))
        QDir().rmdir(folder);
    createdFolders_.clear();
    staged_ = committed_ = false;
    finished_ = true;
}

void MacroFileCopy::finish()
{
    for (const Item &it : std::as_const(items_))
        if (it.setAside)
            QFile::remove(it.aside);
    items_.clear();
    createdFolders_.clear();
    finished_ = true;
}

// ---------------------------------------------------------------------------
// The import

namespace {

bool copyPackage(const MacroPackage &pkg, MacroFileCopy &copy, QWidget *owner)
{
    bool ok;
    {
        WaitCursor wait;
        ok = copy.stage() && copy.commit();
    }
    if (!ok)
        RkMsgBox(QStringLiteral("Importen av macro misslyckades. Inget har ändrats.\n\n") + copy.error(),
                 MbButtons::Ok, MbIcon::Critical, QStringLiteral("Fel"), 0, owner);
    return ok;
}

}

MacroImportResult RkImportMacroPackage(const QString &folderText, const MacroMenuAccess &menu, QWidget *owner,
                                       const std::function<void(const QString &, const QString &)> &shown)
{
    return RkGuard("RkImportMacroPackage()", [&]() -> MacroImportResult {
        MacroImportResult res;
        const MacroPackage pkg = readMacroPackage(folderText);
        if (pkg.status == MacroPackage::NoIniFile) {
            RkMsgBox(RkText(390, QStringLiteral("Installations fil saknas! [MACRO.INI]")), MbButtons::Ok,
                     MbIcon::Critical, {}, 0, owner);
            return res;
        }
        res.macroPath = pkg.macroPath;
        res.macroCnc = pkg.macroCnc;
        if (shown)
            shown(pkg.macroPath, pkg.macroCnc);
        if (pkg.status == MacroPackage::Invalid) {
            res.outcome = MacroImportResult::Invalid;
            RkMsgBox(QStringLiteral("Ogiltigt macro\n\n") + pkg.problem, MbButtons::Ok, MbIcon::None, {}, 0, owner);
            return res;
        }

        // A package of the same name is an upgrade of the installed one.
        for (int i = 0; i < 10; ++i) {
            if (!menu.caption || menu.caption(i) != pkg.macroCnc)
                continue;
            res.entry = i;
            const int answer = RkMsgBox(pkg.macroCnc + RkText(391, QStringLiteral(" finns redan, uppgradera??")),
                                        MbButtons::YesNo, MbIcon::Exclamation,
                                        RkText(392, QStringLiteral("Namn upptaget")), 0, owner);
            if (answer != MbYes) {
                res.outcome = MacroImportResult::Declined;
                return res;
            }
            MacroFileCopy copy(pkg.folder, pkg.targetFolder, pkg.files);
            if (!copyPackage(pkg, copy, owner)) {
                res.outcome = MacroImportResult::Failed;
                return res;
            }
            copy.finish();
            res.count = copy.count();
            res.outcome = MacroImportResult::Upgraded;
            RkMsgBox(QStringLiteral("Uppgradering genomförd. ") + QString::number(res.count)
                         + RkText(1007, QStringLiteral(" filer")),
                     MbButtons::Ok, MbIcon::Information, RkText(1008, QStringLiteral("Klar")), 0, owner);
            return res;
        }

        // All ten entries in use: nothing changes, and nothing is said.
        const int d = freeMacroEntry(programSession().macroFolders().values(), registeredMacroNames());
        if (d < 0) {
            res.outcome = MacroImportResult::NoFreeEntry;
            return res;
        }
        res.entry = d;

        MacroFileCopy copy(pkg.folder, pkg.targetFolder, pkg.files);
        const QStringList existing = copy.existingInTarget();
        if (!existing.isEmpty()) {
            const int answer = RkMsgBox(
                QStringLiteral("Mappen %1 finns redan och har filer med samma namn som i paketet:\n%2\n\n"
                               "Vill du skriva över dem?")
                    .arg(pkg.targetFolder, existing.mid(0, 10).join(QStringLiteral(", "))
                                              + (existing.size() > 10 ? QStringLiteral(", ...") : QString())),
                MbButtons::YesNo, MbIcon::Exclamation, QStringLiteral("Mappen finns redan"), 1, owner);
            if (answer != MbYes) {
                res.outcome = MacroImportResult::Declined;
                return res;
            }
        }
        if (!copyPackage(pkg, copy, owner)) {
            res.outcome = MacroImportResult::Failed;
            return res;
        }
        // Stored in the form every installation reads: "\" between folders.
        if (!writeMacroEntry(d, pkg.macroCnc, QString(pkg.relativePath).replace(u'/', u'\\'))) {
            copy.rollback();
            res.outcome = MacroImportResult::Failed; // told by the writer
            return res;
        }
        copy.finish();
        res.count = copy.count();

        // The menu and the folder list take the values as stored.
        const QString caption = GetIniSetting(QStringLiteral("MACRO"), entryKey(d, "_NAMN"), QStringLiteral("FEL"));
        if (menu.showEntry)
            menu.showEntry(d, caption);
        const QString folder = GetIniSetting(QStringLiteral("MACRO"), entryKey(d, "_PATH"));
        programSession().macroFolders().change([&](MacroFolderValues &f) { f[size_t(d)] = folder; });
        res.outcome = MacroImportResult::Imported;
        RkMsgBox(RkText(393, QStringLiteral("Import av macro genomförd. ")) + QString::number(res.count)
                     + RkText(1007, QStringLiteral(" filer.")),
                 MbButtons::Ok, MbIcon::Information, RkText(1008, QStringLiteral("Klar")), 0, owner);
        return res;
    });
}

}
