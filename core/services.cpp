#include "core/services.h"

#include "core/errors.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/msgbox.h"
#include "core/paths.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QProcess>
#include <QSerialPortInfo>
#include <QUrl>

#include <cerrno>
#include <unistd.h>

namespace lumrik {

namespace {
QString &programFileRef()
{
    static QString path;
    return path;
}
}

QString RkProgramFile()
{
    return programFileRef().isEmpty() ? QCoreApplication::applicationFilePath() : programFileRef();
}

void setRkProgramFile(const QString &path) { programFileRef() = path; }

int ExecCmd(const QString &commandLine, const QString &folder)
{
    return RkGuard("ExecCmd()", [&]() -> int {
        QStringList args = QProcess::splitCommand(commandLine);
        if (args.isEmpty())
            return 1;
        QProcess p;
        p.setProgram(args.takeFirst());
        p.setArguments(args);
        if (!folder.isEmpty())
            p.setWorkingDirectory(RkNativePath(folder));
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start();
        if (!p.waitForStarted(-1))
            return 1;
        p.waitForFinished(-1);
        return 0;
    });
}

bool RkStartProgram(const QString &commandLine, const QString &folder)
{
    QStringList args = QProcess::splitCommand(commandLine);
    if (args.isEmpty())
        return false;
    const QString program = args.takeFirst();
    return QProcess::startDetached(program, args, folder.isEmpty() ? QString() : RkNativePath(folder));
}

bool RkShellOpen(const QString &pathOrUrl)
{
    if (pathOrUrl.contains("://"))
        return QDesktopServices::openUrl(QUrl(pathOrUrl));
    return QDesktopServices::openUrl(QUrl::fromLocalFile(RkNativePath(pathOrUrl)));
}

QString RegGetValue(long, const QString &, const QString &) { return {}; }

QString EnumSerialPorts()
{
    QString out;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        out += info.systemLocation() + QStringLiteral("\r\n");
    return out;
}

QString BrowseForFolder(const QString &prompt, QWidget *owner, const QString &initialFolder)
{
    return QFileDialog::getExistingDirectory(owner, prompt, RkNativePath(RkAddBackslash(initialFolder)));
}

QString ShowSaveFileDialog(QWidget *owner, const QString &title, QString &initialFile,
                           const QString &initialFolder, const QString &defaultExtension,
                           const QString &filter, int filterIndex)
{
    initialFile = RkNativePath(initialFile);
    if (!IsDirectory(GetPathPart(initialFile)))
        initialFile = GetFileNamePart(initialFile);
    QStringList pairs = filter.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < pairs.size(); i += 2) {
        QString pattern = pairs[i + 1];
        pattern.replace(';', ' ');
        filters << (pairs[i].contains('(') ? pairs[i].left(pairs[i].indexOf('(')).trimmed() : pairs[i])
                       + " (" + pattern + ")";
    }
    QFileDialog dlg(owner, title);
    dlg.setObjectName("dlgSaveFile");
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::DontUseNativeDialog, qEnvironmentVariableIsSet("LUMRIK_TEST"));
    if (!filters.isEmpty()) {
        dlg.setNameFilters(filters);
        dlg.selectNameFilter(filters.value(std::max(filterIndex, 1) - 1));
    }
    if (!defaultExtension.isEmpty())
        dlg.setDefaultSuffix(defaultExtension.startsWith('.') ? defaultExtension.mid(1) : defaultExtension);
    if (!initialFolder.isEmpty())
        dlg.setDirectory(RkNativePath(initialFolder));
    if (!initialFile.isEmpty())
        dlg.selectFile(initialFile);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

// The desktop trash of this user ($XDG_DATA_HOME/Trash).
static QString trashFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + "/.local/share";
    return base + "/Trash";
}

// The desktop trash of this user can be used.
static bool trashUsable()
{
    const QString trash = trashFolder();
    const QFileInfo fi(QFileInfo(trash).path());
    if (fi.exists() && !fi.isDir())
        return false;
    return QDir().mkpath(trash + "/files") && QDir().mkpath(trash + "/info");
}

int ShellDeleteFile(QWidget *, const QString &path, const QString &, int flags)
{
    const QString p = RkNativePath(path);
    if (!RkFileExists(p))
        return 2;
    if (RkHasKeptBytes(p)) {
        // Qt's trash cannot reach the name: the desktop's trash by hand.
        if (!(flags & 0x40))
            return ::unlink(RkPathBytes(p).constData()) == 0 ? 0 : 1;
        return trashUsable() && RkTrashKeptName(p, trashFolder()) == 0 ? 0 : 1;
    }
    if (flags & 0x40) {
        if (!trashUsable())
            return 1;
        QString inTrash;
        if (!QFile::moveToTrash(p, &inTrash))
            return 1;
        // Only a real trash folder counts; anything else goes back where it was.
        if (!QFileInfo(inTrash).isAbsolute() || !inTrash.contains("Trash")) {
            QFile::rename(inTrash, p);
            return 1;
        }
        return 0;
    }
    return QFile::remove(p) ? 0 : 1;
}

int ShellRenameFile(QWidget *, const QString &oldPath, const QString &newPath, const QString &, int)
{
    const QString from = RkNativePath(oldPath), to = RkNativePath(newPath);
    if (!RkFileExists(from))
        return 2;
    if (RkHasKeptBytes(from) || RkHasKeptBytes(to)) {
        const int e = RkRenamePath(from, to);
        return e == 0 ? 0 : e == EEXIST ? 0xB7 : 1;
    }
    if (QFileInfo::exists(to) && from.compare(to, Qt::CaseSensitive) != 0)
        return 0xB7; // already exists
    return QFile::rename(from, to) ? 0 : 1;
}

QColor rkColor(int colour)
{
    const int c = TranslateOleColor(colour);
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

int rkColorValue(const QColor &c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

int TranslateOleColor(int colour)
{
    const unsigned u = unsigned(colour);
    if ((u & 0x80000000u) == 0)
        return int(u & 0xFFFFFF);
    const QPalette pal = QGuiApplication::palette();
    QColor c;
    switch (u & 0xFF) {
    case 4: c = pal.color(QPalette::Window); break;        // menu
    case 5: c = pal.color(QPalette::Base); break;          // window
    case 8: c = pal.color(QPalette::Text); break;          // window text
    case 12: c = pal.color(QPalette::Dark); break;         // MDI background
    case 13: c = pal.color(QPalette::Highlight); break;
    case 15: c = pal.color(QPalette::Button); break;
    case 18: c = pal.color(QPalette::ButtonText); break;
    default: return 0;
    }
    return rkColorValue(c);
}

int SetMenuBarColor(QMainWindow *window, int colour, bool includeSubmenus)
{
    if (!window || !window->menuBar())
        return 0;
    // Through the palette and not a style sheet: a sheet's background would
    // also replace the style's highlight of the chosen item, which then shows
    // its text unreadable on the new colour.
    const QColor c = rkColor(colour);
    auto paint = [&c](QWidget *w) {
        QPalette pal = w->palette();
        for (QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::Base})
            pal.setColor(role, c);
        w->setPalette(pal);
    };
    QMenuBar *bar = window->menuBar();
    paint(bar);
    bar->setAutoFillBackground(true);
    if (includeSubmenus)
        for (QMenu *m : bar->findChildren<QMenu *>())
            paint(m);
    bar->update();
    return 0;
}

namespace {
QWidget *gHelpOwner = nullptr;
}

void HelpInit(QWidget *owner) { gHelpOwner = owner; }

void ShowHelpTopic(long contextId)
{
    const QString page = findFileNoCase(gsDataPath + "/help", QString::number(contextId) + ".html");
    if (QFileInfo::exists(page)) {
        RkShellOpen(page);
        return;
    }
    const QString manual = findFileNoCase(gsDataPath, "Lumrik32.pdf");
    if (QFileInfo::exists(manual)) {
        RkShellOpen(manual);
        return;
    }
    RkMsgBox(QStringLiteral("Hjälpavsnittet %1 finns inte installerat.").arg(contextId), MbButtons::Ok,
             MbIcon::Information, {}, 0, gHelpOwner);
}

void HelpQuit() { gHelpOwner = nullptr; }
void RkEmptyProc() {}

void GetWheelScrollLines(bool &present, int &lines)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        present = false;
        lines = 0;
        return;
    }
    present = true;
    lines = QApplication::wheelScrollLines();
    if (lines <= 0)
        lines = 3;
}

}
