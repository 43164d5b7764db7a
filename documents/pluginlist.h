#pragma once
// The plug-in list of the editor settings and the registration of plug-in
// libraries.
//
// A plug-in is a library file "<name>.so" in the folder "plugins" of the
// program folder; it is known as "<name>.plugin". Only a registered library is
// loaded at start: "Registrera plugin:er" checks every library of the folder
// and records each one whose check passed as "<name>.plugin=True" in the
// settings section "Plugins", with the SHA-256 of the checked bytes beside it
// ("<name>.plugin.sha256"); unregistering one writes "False" there, so the
// file stays where it is and can be registered again at any time. Changes
// take effect at the next start. A library that lies in the folder
// unregistered, or that is not the one registered (replaced since), is named
// at start and not loaded.
//
// A library runs its code in every editor that loads it: one that users other
// than this user and root can change (core/trustedcode.h: the library, its
// folder and the folders above them) is neither checked, recorded nor loaded,
// and the message says why. The check and the load both use the library as
// it was opened once (documents/pluginfile.h).
//
// The loaded plug-ins themselves belong to the main window; this library
// reaches them through PluginCatalog.
#include <QString>
#include <QStringList>
#include <vector>

class QPushButton;
class QTreeWidget;
class QWidget;

namespace lumrik {

class PluginFile;

// The interface id a plug-in's metadata must carry.
inline constexpr char kPluginIid[] = "se.lumrik.Lumrik32.Plugin/1.0";

// The plug-ins the main window loaded at start, in load order (index from 0).
// A call into a plug-in may throw.
class PluginCatalog {
public:
    virtual ~PluginCatalog() = default;
    virtual int pluginCount() const = 0;
    virtual QString pluginFile(int index) const = 0; // full path of its library
    virtual QString pluginName(int index) = 0;
    virtual QString pluginVersion(int index) = 0;
    virtual QString pluginDesc(int index) = 0;
    virtual bool pluginCan(int index, int code) = 0;
    virtual void pluginSetup(int index) = 0;
};
void setPluginCatalog(PluginCatalog *catalog);
// The description of whatever a call into a plug-in threw; only inside a
// catch block.
QString pluginExceptionText();
PluginCatalog *pluginCatalog(); // nullptr before the main window has loaded its plug-ins

// The plug-ins folder: "plugins" in the program folder (found without regard
// to case). The folder need not exist.
QString pluginsFolder();
// The plug-in libraries of a folder, full paths, in the order the plug-ins
// are loaded (by name, without regard to case); empty when there is no folder.
QStringList pluginLibraries(const QString &folder);
// "<base name>.plugin" of a library path.
QString pluginProgId(const QString &libraryPath);

// Recorded by a registration and not unregistered since.
bool isPluginRegistered(const QString &progId);
// Unregistered on purpose ("False" recorded): left out without a word.
bool isPluginSwitchedOff(const QString &progId);
// Why a plug-ins folder (`isFolder`) or library must not be used: "" when only
// this user and root can change it and the folders above it; else the
// reason in Swedish.
QString pluginUnsafeReason(const QString &path, bool isFolder);
// Records a library whose check passed, with the fingerprint of what was
// checked; false when the settings file could not be written.
bool recordPluginRegistration(const QString &progId, const QString &fingerprint);
// Why a library with this fingerprint is not the one registered under
// `progId` ("" when it is).
QString pluginReplacedReason(const QString &progId, const QString &fingerprint);
// Switches a plug-in on or off for the next start; false when the settings
// file could not be written.
bool setPluginRegistered(const QString &progId, bool on);

// Checks a library in a process of its own (this program started with
// kPluginCheckOption), so that no library can crash or hang the editor: ""
// when it loads and its plug-in object is one of this program's, else the
// reason in Swedish. A check that does not end within the time limit is
// stopped and reported.
QString checkPluginLibrary(const QString &path);
// The same for a library opened already: its private copy is checked.
QString checkOpenedPlugin(const PluginFile &library);
inline constexpr char kPluginCheckOption[] = "--check-plugin";
// Milliseconds a check may take (a few seconds; tests shorten it).
int pluginCheckTimeoutMs();
void setPluginCheckTimeoutMs(int ms);
// The checking process: the program started as "<program> --check-plugin
// <library>" calls this instead of starting the editor. It loads the library,
// creates its plug-in object, writes the reason of a failure (UTF-8, one
// line) to its standard output and returns the exit code (0: a plug-in of
// this program).
int runPluginCheck(const QString &path);

// The libraries of the plug-ins folder a start loads, in load order, and the
// others ("<file name>: <reason>") that it names instead; libraries switched
// off are in neither.
struct PluginSelection {
    QStringList load;
    QStringList refused;
};
PluginSelection selectPluginLibraries(const QString &folder);
// The message that names the libraries a start did not load ("" when none).
QString pluginsNotLoadedMessage(const QStringList &refused);

// What a registration did.
struct PluginRegistration {
    bool folderFound = false;
    QStringList libraries;   // every library of the folder
    QStringList failures;    // "<file name>: <reason>" of those that cannot be used (none of them is recorded)
};
PluginRegistration registerPluginLibraries();
// The message shown afterwards ("" when there was no folder).
QString registrationMessage(const PluginRegistration &r);

// The texts of the list and its messages.
inline const QString kPluginsTitle = QStringLiteral("Plugin:er");
inline const QString kRegistrationDone =
    QStringLiteral("Registrering av plugin:er klar. Omstartning av Lumrik32 krävs för att plugin:erna skall fungera.");

// The handlers of the plug-in tab of the editor settings. Row k of the list
// (from 0) belongs to plug-in k of the catalog.
void fillPluginList(QTreeWidget *lvPluginList);
// Enables the settings button exactly when the selected row's plug-in has a
// settings dialog.
void lvPluginList_Click(QTreeWidget *lvPluginList, QPushButton *cmdSetupPlugin);
// Opens the selected plug-in's settings dialog; a failure is shown in a message box.
void cmdSetupPlugin_Click(QTreeWidget *lvPluginList);
// Registers the plug-in libraries and says so (no folder: does nothing).
void cmdRegPlugins_Click(QWidget *owner);
// Unregisters the plug-in of a row after asking; true when done.
bool unregisterPluginRow(QTreeWidget *lvPluginList, int row, QWidget *owner);

// Wires the tab's controls to the handlers above and fills the list: the
// buttons and the list are enabled, the settings button follows the selected
// row, and the list's context menu offers "Avregistrera" for the row.
void attachPluginList(QTreeWidget *lvPluginList, QPushButton *cmdSetupPlugin, QPushButton *cmdRegPlugins);

}
