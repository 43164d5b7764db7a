#include "mainwindow/startup.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/settings.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/frmsplash.h"
#include "mainwindow/handover.h"
#include "mainwindow/integration.h"
#include "mainwindow/translations.h"
#include "resources/resources.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <unistd.h>
#include <sys/stat.h>

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

QString resolveTmpPath()
{
    const QString path = QDir::tempPath() + QStringLiteral("/lumrik-%1").arg(getuid());
    const QByteArray p = QFile::encodeName(path);
    struct stat st;
    if (lstat(p.constData(), &st) != 0)
        mkdir(p.constData(), 0700);
    // Only a real folder of our own, closed to others, is trusted.
    if (lstat(p.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid()) {
        if ((st.st_mode & 0077) != 0)
            chmod(p.constData(), 0700);
        return path;
    }
    static QTemporaryDir fallback(QDir::tempPath() + "/lumrik-XXXXXX");
    return fallback.path();
}

void installSampleData(const QString &dataPath)
{
    const bool fresh = GetFolderFiles(dataPath, "cfg", false).isEmpty()
                       && !QFileInfo::exists(findFileNoCase(dataPath, gsExeName + ".INI"));
    for (const QString &name : resources::shippedFiles()) {
        if (name.startsWith("sample/")) {
            if (fresh)
                resources::installShippedFile(name, dataPath + '/' + name.mid(7));
        } else if (name.startsWith("install/")) {
            // Program files (syntax files): put in place whenever missing.
            const QString target = findFileNoCase(dataPath, name.mid(8));
            resources::installShippedFile(name, target);
        }
    }
}

QString commandLinePath(const QStringList &arguments)
{
    QString s = arguments.mid(1).join(' ');
    s.remove('"');
    return s.trimmed();
}

frmMain *Main(const QStringList &arguments)
{
    return RkGuard("Main()", [&]() -> frmMain * {
        const QString exeDir = QCoreApplication::applicationDirPath();
        gsDataPath = resolveDataPath(exeDir);
        gsLanguageFile = findFileNoCase(gsDataPath, "Lumrik32.LNG");
        gbNotSwedish = QFileInfo(gsLanguageFile).isFile();
        if (!gbNotSwedish)
            installQtTranslations(); // Qt's own dialogs speak Swedish too

        if (startupHooks().showSplash)
            startupHooks().showSplash();
        const QString cmd = commandLinePath(arguments);
        // One editor per user: a running one takes the command line.
        if (startupHooks().handOver ? startupHooks().handOver(cmd) : ActivatePrevInstance(cmd, handOverName(), 1000))
            return nullptr;

        gsTmpPath = resolveTmpPath();
        installSampleData(gsDataPath);
        RkLoadIniSettings();

        installFileSelector();
        auto *w = new frmMain(cmd);
        w->applyTexts();
        w->hideCompareWhenMissing();
        w->applyTitle();
        w->fillRecentFiles();
        w->fillMacroMenu();
        w->showAtStart();
        installHandOver(w);
        return w;
    });
}

}
