#include "core/services.h"

#include "core/errors.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/msgbox.h"
#include "core/openedfolder.h"
#include "core/paths.h"
#include "core/trash.h"

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
#include <QSerialPortInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

TestHooks &testHooks()
{
    static TestHooks hooks;
    return hooks;
}

namespace {

// A child process started from byte strings: Qt's own starter turns every
// argument into the local encoding, which cannot carry a name that is not
// UTF-8.
pid_t spawnChild(const QString &program, const QStringList &arguments, const QString &folder, bool ownSession)
{
    QString path = RkNativePath(program);
    if (!path.contains('/'))
        path = QStandardPaths::findExecutable(path);
    if (path.isEmpty())
        return -1;
    std::vector<QByteArray> bytes;
    bytes.reserve(size_t(arguments.size()) + 1);
    bytes.push_back(RkNameBytes(path));
    for (const QString &a : arguments)
        bytes.push_back(RkNameBytes(a));
    for (const QByteArray &b : bytes)
        if (b.contains('\0'))
            return -1; // it would reach the program cut short
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    const QByteArray dir = folder.isEmpty() ? QByteArray() : RkPathBytes(folder);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    if (!dir.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, dir.constData());
    // The program starts with the signals as a fresh process has them.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (ownSession)
        flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attr, flags);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, bytes.front().constData(), &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Waits for a child's end: its exit code, or -1 when it did not end normally.
int waitChild(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}

bool RkRunAndWait(const QString &program, const QStringList &arguments, const QString &folder, int &exitCode)
{
    exitCode = -1;
    const pid_t pid = spawnChild(program, arguments, folder, false);
    if (pid < 0)
        return false;
    exitCode = waitChild(pid);
    return exitCode >= 0;
}

int ExecCmd(const QString &program, const QStringList &arguments, const QString &folder, int *exitCode)
{
    return RkGuard("ExecCmd()", [&]() -> int {
        const pid_t pid = spawnChild(program, arguments, folder, false);
        if (pid < 0)
            return 1;
        const int code = waitChild(pid);
        if (exitCode)
            *exitCode = code;
        return 0;
    });
}

bool RkStartProgram(const QString &program, const QStringList &arguments, const QString &folder)
{
    const pid_t pid = spawnChild(program, arguments, folder, true);
    if (pid < 0)
        return false;
    // Left running; its end is collected so that it leaves no zombie behind.
    std::thread([pid] { waitChild(pid); }).detach();
    return true;
}

bool RkShellOpen(const QString &pathOrUrl)
{
    if (pathOrUrl.contains("://"))
        return QDesktopServices::openUrl(QUrl(pathOrUrl));
    return QDesktopServices::openUrl(QUrl::fromLocalFile(RkNativePath(pathOrUrl)));
}


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
    dlg.setOption(QFileDialog::DontUseNativeDialog, testHooks().plainFileDialogs);
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

int ShellDeleteFileIn(const OpenedFolder &folder, const QString &name, int flags)
{
    struct stat st;
    if (!folder.isOpen() || ::fstatat(folder.fd(), RkPathBytes(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return 2;
    if (flags & 0x40)
        return RkMoveToTrash(folder, name) == 0 ? 0 : 1;
    return folder.removeFile(name) == 0 ? 0 : 1;
}

int ShellDeleteFile(QWidget *, const QString &path, const QString &, int flags)
{
    const QString p = RkNativePath(path);
    const qsizetype slash = p.lastIndexOf('/');
    const OpenedFolder folder(slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : p.left(slash));
    return ShellDeleteFileIn(folder, p.mid(slash + 1), flags);
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
