#include "documents/pluginlist.h"

#include "core/errors.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/services.h"
#include "core/settings.h"
#include "core/trustedcode.h"
#include "documents/pluginfile.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QMenu>
#include <QPluginLoader>
#include <QProcess>
#include <QPushButton>
#include <QTextStream>
#include <QTreeWidget>

#include <exception>
#include <optional>

namespace lumrik {

namespace {

PluginCatalog *gCatalog = nullptr;

const QString kSection = QStringLiteral("Plugins");

int rowPlugin(QTreeWidgetItem *item)
{
    return item ? item->data(0, Qt::UserRole).toInt() : -1;
}

}

QString pluginExceptionText()
{
    try {
        throw;
    } catch (const RkError &e) {
        return e.description();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Okänt fel i plugin:en.");
    }
}

void setPluginCatalog(PluginCatalog *catalog) { gCatalog = catalog; }
PluginCatalog *pluginCatalog() { return gCatalog; }

QString pluginsFolder()
{
    return findFileNoCase(gsDataPath, QStringLiteral("plugins"));
}

QStringList pluginLibraries(const QString &folder)
{
    if (!RkFolderExists(folder))
        return {};
    return GetFolderFiles(folder, QStringLiteral("so"), true);
}

QString pluginProgId(const QString &libraryPath)
{
    return RkFileBaseName(RkNativePath(libraryPath)) + QStringLiteral(".plugin");
}

namespace {
std::optional<bool> recordedState(const QString &progId)
{
    const QString v = GetIniSetting(kSection, progId, QString());
    return v.isEmpty() ? std::nullopt : toTruth(v);
}
}

bool isPluginRegistered(const QString &progId) { return recordedState(progId).value_or(false); }

bool isPluginSwitchedOff(const QString &progId) { return recordedState(progId) == false; }

bool setPluginRegistered(const QString &progId, bool on)
{
    return SaveIniSetting(kSection, progId, boolText(on));
}

QString pluginUnsafeReason(const QString &path, bool isFolder)
{
    return isFolder ? untrustedFolderReason(path) : untrustedCodeReason(path);
}

namespace {
QString fingerprintKey(const QString &progId) { return progId + QStringLiteral(".sha256"); }
}

bool recordPluginRegistration(const QString &progId, const QString &fingerprint)
{
    return RkWriteIniFile(mainSettingsFile(),
                          {{kSection, progId, boolText(true)}, {kSection, fingerprintKey(progId), fingerprint}},
                          QStringLiteral("Plugin:en har inte registrerats."));
}

QString pluginReplacedReason(const QString &progId, const QString &fingerprint)
{
    const QString recorded = GetIniSetting(kSection, fingerprintKey(progId), QString()).trimmed();
    if (recorded.isEmpty())
        return QStringLiteral("är registrerad utan kontrollsumma och måste registreras igen");
    if (recorded.compare(fingerprint, Qt::CaseInsensitive) != 0)
        return QStringLiteral("har bytts ut sedan den registrerades och måste registreras igen");
    return {};
}

PluginSelection selectPluginLibraries(const QString &folder)
{
    PluginSelection s;
    const QString folderUnsafe = pluginUnsafeReason(folder, true);
    for (const QString &lib : pluginLibraries(folder)) {
        const QString progId = pluginProgId(lib);
        if (isPluginSwitchedOff(progId))
            continue;
        QString why = folderUnsafe;
        if (why.isEmpty() && !isPluginRegistered(progId))
            why = QStringLiteral("är inte registrerad");
        if (why.isEmpty())
            why = pluginUnsafeReason(lib, false);
        if (why.isEmpty())
            s.load << lib;
        else
            s.refused << GetFileNamePart(lib) + QStringLiteral(": ") + why;
    }
    return s;
}

QString pluginsNotLoadedMessage(const QStringList &refused)
{
    if (refused.isEmpty())
        return {};
    return QStringLiteral("Följande plugin:er laddades inte:\r\n") + refused.join(QStringLiteral("\r\n"))
           + QStringLiteral("\r\n\r\nEn plugin laddas bara när den är registrerad (\"Inställningar Editor - "
                            "Plugins\", Registrera plugin:er), inte har bytts ut sedan dess, och bara du själv eller "
                            "root kan ändra den och mapparna den ligger i.");
}

namespace {
int gCheckTimeoutMs = 5000;

// What the checking process found, by its exit code.
enum CheckResult { CheckOk = 0, CheckFailed = 1 };
}

int pluginCheckTimeoutMs() { return gCheckTimeoutMs; }
void setPluginCheckTimeoutMs(int ms) { gCheckTimeoutMs = ms; }

int runPluginCheck(const QString &path)
{
    QTextStream out(stdout);
    const auto fail = [&](const QString &why) {
        out << why << Qt::endl;
        return int(CheckFailed);
    };
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("filen finns inte"));
    QPluginLoader loader(path);
    loader.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    const QJsonObject meta = loader.metaData();
    if (meta.isEmpty())
        return fail(QStringLiteral("är ingen plugin"));
    if (meta.value(QStringLiteral("IID")).toString() != QLatin1String(kPluginIid))
        return fail(QStringLiteral("är en plugin för ett annat program"));
    QObject *root = nullptr;
    try {
        // Loading runs the library's own start code; then its object is made.
        if (!loader.load())
            return fail(QStringLiteral("kan inte laddas (bibliotek eller funktioner som den behöver saknas)"));
        root = loader.instance();
    } catch (...) {
        return fail(QStringLiteral("fel när den laddades (\"%1\")").arg(pluginExceptionText()));
    }
    if (!root)
        return fail(QStringLiteral("plugin-objektet kan inte skapas"));
    if (!root->qt_metacast(kPluginIid))
        return fail(QStringLiteral("saknar gränssnittet för Lumrik32-plugin:er"));
    return CheckOk;
}

QString checkOpenedPlugin(const PluginFile &library)
{
    if (!library.ok())
        return library.reason();
    if (testHooks().pluginCheckStarts)
        testHooks().pluginCheckStarts(library.path());
    QProcess p;
    p.setProgram(RkProgramFile());
    p.setArguments({QString::fromLatin1(kPluginCheckOption), library.copyPath()});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start();
    if (!p.waitForStarted(gCheckTimeoutMs))
        return QStringLiteral("kan inte kontrolleras (%1 kan inte startas)").arg(RkProgramFile());
    if (!p.waitForFinished(gCheckTimeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        const int seconds = qMax(1, (gCheckTimeoutMs + 500) / 1000);
        return QStringLiteral("svarar inte när den laddas (kontrollen avbröts efter %1 %2)")
            .arg(seconds)
            .arg(seconds == 1 ? QStringLiteral("sekund") : QStringLiteral("sekunder"));
    }
    if (p.exitStatus() == QProcess::CrashExit)
        return QStringLiteral("kraschade när den laddades");
    if (p.exitCode() == CheckOk)
        return {};
    const QString why = QString::fromUtf8(p.readAllStandardOutput()).trimmed().section('\n', 0, 0);
    return why.isEmpty() ? QStringLiteral("kan inte laddas") : why;
}

QString checkPluginLibrary(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return QStringLiteral("filen finns inte");
    const PluginFile library(path);
    return checkOpenedPlugin(library);
}

PluginRegistration registerPluginLibraries()
{
    return RkGuard("registerPluginLibraries()", [&] {
        PluginRegistration r;
        const QString folder = pluginsFolder();
        r.folderFound = RkFolderExists(folder);
        if (!r.folderFound)
            return r;
        r.libraries = pluginLibraries(folder);
        const QString folderUnsafe = pluginUnsafeReason(folder, true);
        for (const QString &lib : std::as_const(r.libraries)) {
            // A library others can change is never run, not even to check it.
            const QString unsafe = folderUnsafe.isEmpty() ? pluginUnsafeReason(lib, false) : folderUnsafe;
            if (!unsafe.isEmpty()) {
                r.failures << GetFileNamePart(lib) + QStringLiteral(": ") + unsafe;
                continue;
            }
            // Only a library whose check passed is recorded, with the
            // fingerprint of the very bytes that were checked.
            const PluginFile library(lib);
            const QString reason = checkOpenedPlugin(library);
            if (!reason.isEmpty())
                r.failures << GetFileNamePart(lib) + QStringLiteral(": ") + reason;
            else if (!recordPluginRegistration(pluginProgId(lib), library.fingerprint()))
                r.failures << GetFileNamePart(lib) + QStringLiteral(": kunde inte registreras");
        }
        return r;
    });
}

QString registrationMessage(const PluginRegistration &r)
{
    if (!r.folderFound)
        return {};
    QString text = kRegistrationDone;
    if (!r.failures.isEmpty())
        text += QStringLiteral("\r\n\r\nFöljande filer kan inte användas som plugin:er:\r\n")
                + r.failures.join(QStringLiteral("\r\n"));
    return text;
}

void fillPluginList(QTreeWidget *lvPluginList)
{
    lvPluginList->clear();
    PluginCatalog *c = pluginCatalog();
    if (!c)
        return;
    for (int i = 0; i < c->pluginCount(); ++i) {
        QString name, version, desc;
        try {
            name = c->pluginName(i);
            version = c->pluginVersion(i);
            desc = c->pluginDesc(i);
        } catch (...) {
            return; // the rows so far stay
        }
        auto *item = new QTreeWidgetItem(lvPluginList, {name, version, desc});
        item->setData(0, Qt::UserRole, i);
    }
}

void lvPluginList_Click(QTreeWidget *lvPluginList, QPushButton *cmdSetupPlugin)
{
    QTreeWidgetItem *item = lvPluginList->currentItem();
    PluginCatalog *c = pluginCatalog();
    if (!item || !c)
        return;
    bool hasSetup = false;
    try {
        hasSetup = c->pluginCan(rowPlugin(item), 1);
    } catch (...) {
        hasSetup = false;
    }
    cmdSetupPlugin->setEnabled(hasSetup);
}

void cmdSetupPlugin_Click(QTreeWidget *lvPluginList)
{
    QTreeWidgetItem *item = lvPluginList->currentItem();
    PluginCatalog *c = pluginCatalog();
    if (!item || !c)
        return;
    try {
        const int i = rowPlugin(item);
        if (c->pluginCan(i, 1))
            c->pluginSetup(i);
    } catch (...) {
        RkMsgBox(pluginExceptionText(), MbButtons::Ok, MbIcon::Exclamation, QString(), 0, lvPluginList->window());
    }
}

void cmdRegPlugins_Click(QWidget *owner)
{
    const PluginRegistration r = registerPluginLibraries();
    if (!r.folderFound)
        return;
    RkMsgBox(registrationMessage(r), MbButtons::Ok, MbIcon::Information, kPluginsTitle, 0, owner);
}

bool unregisterPluginRow(QTreeWidget *lvPluginList, int row, QWidget *owner)
{
    QTreeWidgetItem *item = lvPluginList->topLevelItem(row);
    PluginCatalog *c = pluginCatalog();
    if (!item || !c)
        return false;
    const int i = rowPlugin(item);
    if (i < 0 || i >= c->pluginCount())
        return false;
    const QString progId = pluginProgId(c->pluginFile(i));
    const QString text = QStringLiteral("Avregistrera plugin:en \"%1\" (%2)?\r\n"
                                        "Den startas inte längre från och med nästa start av Lumrik32. "
                                        "Registrera plugin:er tar med den igen.")
                             .arg(item->text(0), progId);
    if (RkMsgBox(text, MbButtons::YesNo, MbIcon::Question, kPluginsTitle, 1, owner) != MbYes)
        return false;
    if (!setPluginRegistered(progId, false))
        return false;
    item->setText(2, QStringLiteral("(avregistrerad) ") + item->text(2));
    return true;
}

void attachPluginList(QTreeWidget *lvPluginList, QPushButton *cmdSetupPlugin, QPushButton *cmdRegPlugins)
{
    fillPluginList(lvPluginList);
    lvPluginList->setEnabled(true);
    cmdRegPlugins->setEnabled(true);
    cmdSetupPlugin->setEnabled(false);
    QObject::connect(lvPluginList, &QTreeWidget::currentItemChanged, cmdSetupPlugin,
                     [lvPluginList, cmdSetupPlugin] { lvPluginList_Click(lvPluginList, cmdSetupPlugin); });
    QObject::connect(lvPluginList, &QTreeWidget::itemClicked, cmdSetupPlugin,
                     [lvPluginList, cmdSetupPlugin] { lvPluginList_Click(lvPluginList, cmdSetupPlugin); });
    QObject::connect(cmdSetupPlugin, &QPushButton::clicked, lvPluginList,
                     [lvPluginList] { cmdSetupPlugin_Click(lvPluginList); });
    QObject::connect(cmdRegPlugins, &QPushButton::clicked, lvPluginList,
                     [lvPluginList] { cmdRegPlugins_Click(lvPluginList->window()); });

    lvPluginList->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(lvPluginList, &QWidget::customContextMenuRequested, lvPluginList,
                     [lvPluginList](const QPoint &pos) {
                         QTreeWidgetItem *item = lvPluginList->itemAt(pos);
                         if (!item)
                             return;
                         const int row = lvPluginList->indexOfTopLevelItem(item);
                         QMenu menu(lvPluginList);
                         QAction *unreg = menu.addAction(QStringLiteral("Avregistrera"));
                         unreg->setObjectName(QStringLiteral("mnuUnregisterPlugin"));
                         if (menu.exec(lvPluginList->viewport()->mapToGlobal(pos)) == unreg)
                             unregisterPluginRow(lvPluginList, row, lvPluginList->window());
                     });
}

}
