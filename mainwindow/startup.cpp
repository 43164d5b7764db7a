#include "mainwindow/startup.h"

#include "core/memory.h"

#include "core/errors.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/sessionstate.h"
#include "core/settings.h"
#include "documents/pluginlist.h"
#include "documents/unfinishedsave.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/frmsplash.h"
#include "mainwindow/handover.h"
#include "mainwindow/integration.h"
#include "mainwindow/recentfiles.h"
#include "mainwindow/translations.h"
#include "resources/resources.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QUrl>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <cerrno>

namespace lumrik {

StartupHooks &startupHooks()
{
    // The splash of every start (its wait is left out in test runs).
    static StartupHooks h = [] {
        StartupHooks d;
        d.showSplash = &showStartupSplash;
        return d;
    }();
    return h;
}

QString resolveDataPath(const QString &exeDir)
{
    const QString env = qEnvironmentVariable("LUMRIK_DATA");
    if (!env.isEmpty()) {
        QDir().mkpath(env);
        return QDir(env).absolutePath();
    }
    const QString settings = findFileNoCase(exeDir, gsExeName + ".INI");
    if (QFileInfo(settings).isFile())
        return exeDir;
    QString app = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (app.isEmpty())
        app = QDir::homePath() + "/.lumrik";
    QDir().mkpath(app);
    return app;
}

void installSampleData(const QString &dataPath)
{
    const bool fresh = GetFolderFiles(dataPath, "cfg", false).isEmpty()
                       && !QFileInfo::exists(findFileNoCase(dataPath, gsExeName + ".INI"));
    for (const QString &name : resources::shippedFiles()) {
        if (name.startsWith("sample/")) {
            // The shipped settings file takes the executable's name, as the
            // program looks for it under that name.
            QString target = name.mid(7);
            if (target.compare(QLatin1String("lumrik32.INI"), Qt::CaseInsensitive) == 0)
                target = gsExeName + QStringLiteral(".INI");
            if (fresh)
                resources::installShippedFile(name, dataPath + '/' + target);
        } else if (name.startsWith("install/")) {
            // Program files (syntax files): put in place whenever missing.
            const QString target = findFileNoCase(dataPath, name.mid(8));
            resources::installShippedFile(name, target);
        }
    }
}

// The folder this process was started in, as the bytes it has on disk.
static QString workingFolderOfStart()
{
    QByteArray buf(4096, '\0');
    while (!::getcwd(buf.data(), size_t(buf.size()))) {
        if (errno != ERANGE || buf.size() > (1 << 20))
            return QDir::currentPath();
        buf.resize(buf.size() * 2);
    }
    return RkDecodeName(QByteArrayView(buf.constData()));
}

// A "file://" address: its path with every percent escape taken as one byte,
// so that a name that is not UTF-8 ("X%D6.NC") still names its file.
static QString pathOfFileAddress(const QString &address)
{
    QString rest = address.mid(7);
    if (rest.startsWith(QLatin1String("localhost/"), Qt::CaseInsensitive))
        rest = rest.mid(9);
    const QByteArray raw = RkPathBytes(rest);
    QByteArray bytes;
    bytes.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == '%' && i + 2 < raw.size() && std::isxdigit(uchar(raw[i + 1])) && std::isxdigit(uchar(raw[i + 2]))) {
            bytes += QByteArray::fromHex(raw.mid(i + 1, 2));
            i += 2;
        } else {
            bytes += raw[i];
        }
    }
    return RkDecodeName(bytes);
}

QString commandLinePath(const QStringList &arguments, const QString &workingFolder)
{
    // The name exactly as given: blanks at either end belong to it.
    QString s = arguments.mid(1).join(' ');
    s.remove('"');
    if (s.trimmed().isEmpty())
        return {};
    // A file manager may name the file as an address.
    if (s.startsWith(QLatin1String("file://")))
        s = pathOfFileAddress(s);
    // A running instance has a folder of its own: the path must not depend on it.
    const QDir base(workingFolder.isEmpty() ? workingFolderOfStart() : workingFolder);
    return QDir::cleanPath(base.absoluteFilePath(s));
}

namespace {
int gExitCode = 0;
}

int startupExitCode() { return gExitCode; }

bool becomeEditorWhenNoneAnswers(const QString &cmd)
{
    // An editor that is ending lets go of its lock as it goes: this start then
    // becomes the editor and opens the file itself.
    if (ActivatePrevInstance(cmd, handOverName(), 10000, true))
        return false;
    if (holdsInstanceLock() || takeInstanceLock()) {
        collectHandOvers();
        return true;
    }
    gExitCode = 1;
    QString text = QStringLiteral("Lumrik-32 är redan igång men svarar inte.");
    if (!cmd.isEmpty())
        text += QStringLiteral("\r\nFilen %1 kunde inte lämnas över till det.").arg(RkShownName(cmd));
    text += QStringLiteral("\r\n\r\nVänta tills Lumrik-32 svarar igen (ett program som det väntar på kan vara "
                           "öppet) och försök sedan på nytt.");
    RkMsgBox(text, MbButtons::Ok, MbIcon::Exclamation);
    return false;
}

frmMain *Main(const QStringList &arguments)
{
    // Whether this start is the editor is settled first of all (main() asks
    // before anything else); the instance listens at once and keeps what
    // later starts hand over until its main window is up.
    const bool first = isFirstInstance();
    if (first)
        collectHandOvers();
    const QString cmd = commandLinePath(arguments);
    return RkGuard("Main()", [&]() -> frmMain * {
        const QString exeDir = QCoreApplication::applicationDirPath();
        gsDataPath = resolveDataPath(exeDir);
        gsLanguageFile = findFileNoCase(gsDataPath, "Lumrik32.LNG");
        gbNotSwedish = QFileInfo(gsLanguageFile).isFile();
        if (!gbNotSwedish)
            installQtTranslations(); // Qt's own dialogs speak Swedish too

        if (startupHooks().showSplash)
            startupHooks().showSplash();
        // One editor per user and session: the running one takes the command line.
        if (!first) {
            if (startupHooks().handOver) {
                startupHooks().handOver(cmd);
                return nullptr;
            }
            if (!becomeEditorWhenNoneAnswers(cmd))
                return nullptr;
        }

        gsTmpPath = startHandOffFolder();
        installSampleData(gsDataPath);
        RkLoadIniSettings();

        installFileSelector(programSession());
        auto *w = new frmMain(programSession(), cmd);
        w->applyTexts();
        w->hideCompareWhenMissing();
        w->applyTitle();
        w->fillRecentFiles();
        w->fillMacroMenu();
        w->showAtStart();
        // Saves that a crash or a killed editor cut short are told now.
        settleUnfinishedSavesAtStart(loadMruList(), w);
        installHandOver(w);
        return w;
    });
}

void ignoreFileSizeSignal()
{
    // A file-size limit (RLIMIT_FSIZE) would end the editor in the middle of
    // a save, with its text; ignored, the write comes back short with EFBIG
    // and is told like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
}

int programMain(int argc, char **argv, void (*prepare)())
{
    ignoreFileSizeSignal();
    // The check of one plug-in library, in a process of its own.
    if (argc == 3 && std::strcmp(argv[1], kPluginCheckOption) == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        const int rc = runPluginCheck(QString::fromLocal8Bit(argv[2]));
        std::fflush(stdout);
        std::_Exit(rc); // nothing of the library runs after the answer
    }
    keepFreedMemory();
    // Before anything else: of two starts close together, only one becomes the editor.
    isFirstInstance();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Lumrik");
    QApplication::setOrganizationName("Lumrik");
    if (prepare)
        prepare();
    // The settings file is named after the executable ("lumrik32.INI").
    if (const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(); !exe.isEmpty())
        gsExeName = exe;
    // The arguments as the bytes they are: a file name that is not UTF-8 must
    // still name its file (Qt's own list would replace such bytes).
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << RkDecodeName(argv[i]);
    // The main window goes before the application object it lives in.
    const std::unique_ptr<frmMain> w(Main(arguments));
    if (!w)
        return startupExitCode();
    return app.exec();
}

}
