#pragma once
// The plug-in host of the main window: loads the plug-ins of the plug-ins
// folder at start, gives each one its host (the methods of RkPluginHost),
// puts the commands they register into the menus and onto the plug-in
// toolbar, runs them when they are picked, and lets a plug-in take over a
// built-in command. The host is a child object of the main window and lives
// as long as it does.
//
// A plug-in that cannot be loaded, is not a plug-in of this program, or
// throws while it starts is named in one message after loading and left out;
// the others load all the same. A plug-in command that throws shows the
// error's text.
#include "documents/pluginlist.h"
#include "mainwindow/plugininterface.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QPluginLoader;

namespace lumrik {

class frmMain;
class frmDocument;
class Editor;

class PluginHost : public QObject, public PluginCatalog {
    Q_OBJECT
public:
    explicit PluginHost(frmMain *w);
    ~PluginHost() override;

    // The host of a main window (nullptr before installPluginHost).
    static PluginHost *of(frmMain *w);

    struct Plugin;
    // The loaded plug-ins; the position is the plug-in index of the command tags.
    std::vector<std::unique_ptr<Plugin>> gPlugins;
    // Controls whose built-in command a plug-in has taken over, from slot 1.
    QList<QPointer<QObject>> gDisabledEvents;

    // Loads the registered plug-ins of the plug-ins folder (once, at start);
    // names any other library of the folder in one message.
    void LookForPlugins();
    // Starts one plug-in object (a loaded library's, or one of the program's
    // own): sethost is called with its host. When sethost throws, what it had
    // registered is taken back, the plug-in is left out, `error` tells why and
    // the result is false.
    bool addPlugin(RkPlugin *plugin, QObject *root, const QString &file, QString *error = nullptr);
    // Loads one library and starts its plug-in; false with the reason when
    // not. `refused` tells a library left out before its check (one others
    // can change, or not the one registered) from one that failed it.
    bool loadPluginLibrary(const QString &path, QString *error = nullptr, bool *refused = nullptr);

    // RkPluginHost's members for the plug-in of `index`.
    void RegisterPlugin(int index, qint16 intMenu, const QString &strMenuName, qint16 intStartupArgument,
                        bool bToolbar, const QString &sToolbarToolTip, qint16 iIconIndex);
    void DisableEvents(QObject *e);
    bool IsDisabledEvents(QObject *o);

    // A plug-in menu item or toolbar button was picked: its tag is the plug-in
    // index, ".", the command number.
    void runPluginCommand(const QString &tag);

    // The document and settings methods.
    QByteArray plugin_GetEditText();
    void plugin_SetEditText(const QByteArray &text);
    void plugin_AddEditText(const QByteArray &text);
    void plugin_InsertEditText(const QByteArray &text);
    qint32 plugin_GetTextRowCount();
    QByteArray plugin_GetTextRow(qint32 lRow);
    void plugin_SetTextRow(qint32 lRow, const QByteArray &text);
    static bool NumKbdDec();
    static bool UpperCase();
    static QString GetConfigFolder(const QString &sFolder);
    static QVariant pReadGlobal(const QString &g);
    QWidget *mainWidget();
    QObject *control(const QString &name);

    // The host object a plug-in receives (for the plug-in of `index`).
    RkPluginHost *hostFor(int index) const;
    RkPlugin *plugin(int index) const;
    QObject *pluginObject(int index) const;   // the library's root object, or nullptr

    // PluginCatalog
    int pluginCount() const override { return int(gPlugins.size()); }
    QString pluginFile(int index) const override;
    QString pluginName(int index) override;
    QString pluginVersion(int index) override;
    QString pluginDesc(int index) override;
    bool pluginCan(int index, int code) override;
    void pluginSetup(int index) override;

    // The plug-in menu items of a target menu (e.g. "mnuFilePlugins"),
    // elements 1, 2, ... in order.
    QList<QAction *> menuItems(const QString &arrayName) const;
    // The failures of the last LookForPlugins ("<file>: <reason>").
    QStringList startFailures() const { return startFailures_; }
    // The libraries the last LookForPlugins left out unregistered or unsafe
    // ("<file>: <reason>").
    QStringList notLoaded() const { return notLoaded_; }

private:
    class Access;
    struct Snapshot;
    frmDocument *activeDoc();
    frmDocument *readableDoc(); // the active document once no long work is under way
    // Runs a change of the active document's text by a plug-in.
    void changeText(const std::function<void(Editor *)> &change);
    static void changeTextOf(Editor *e, const std::function<void(Editor *)> &change);
    Snapshot takeSnapshot() const;
    void rollBack(const Snapshot &s);
    void takeOver(QObject *e);
    void syncToolbar();

    frmMain *w_;
    QHash<QString, QList<QPointer<QAction>>> menuItems_;
    std::vector<std::unique_ptr<Plugin>> leftOut_;   // started but failed: kept alive, never called
    QList<QPointer<QAction>> takenOver_;
    QList<QPointer<QObject>> pendingTakeOvers_;
    int starting_ = -1;                               // index whose sethost runs
    QStringList startFailures_;
    QStringList notLoaded_;
};

// The 31 pictures a plug-in can choose for its toolbar buttons (1..31); a
// null icon for another number.
QIcon pluginPicture(int number);

// The texts of the start-up failure message.
inline const QString kPluginStartFailure = QStringLiteral(
    "Ett fel uppstod vid initiering av plugin:er.\r\n"
    "En möjlig orsak till detta kan vara att plugin:erna inte är registrerade.\r\n"
    "Gå till \"Inställningar Editor - Plugins\" och tryck på Registrera Plugins.");
inline const QString kPluginStartFailureTitle = QStringLiteral("Fel vid start av plugin");

}
