#pragma once
// The plug-in interface of Lumrik32.
//
// A plug-in is a Qt plug-in library ("<name>.so") in the folder "plugins" of
// the program folder. Its root object implements RkPlugin and declares it:
//
//     class Omvandla : public QObject, public lumrik::RkPlugin {
//         Q_OBJECT
//         Q_PLUGIN_METADATA(IID LUMRIK_PLUGIN_IID)
//         Q_INTERFACES(lumrik::RkPlugin)
//         ...
//     };
//
// At start the editor loads every such library, hands each plug-in its host
// (sethost) and calls startup(command) when the user picks one of the commands
// the plug-in registered. The plug-in is known by its file's base name
// followed by ".plugin" (Omvandla.so is "Omvandla.plugin").
//
// Everything runs on the user-interface thread. Errors go both ways as C++
// exceptions: a plug-in may throw anything derived from std::exception (its
// what() is shown to the user); the host throws lumrik::RkError (derived from
// std::runtime_error) for a call it cannot serve, for example a document
// method while no document is open. Only this header is needed to build a
// plug-in; it links against Qt alone.
#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QtPlugin>

class QObject;
class QWidget;

namespace lumrik {

// The main window as a plug-in sees it. The object stays valid while the main
// window lives; each plug-in gets its own, so that its commands are its own.
class RkPluginHost {
public:
    // Adds one command of this plug-in.
    //   intMenu: 0 File, 1 Edit, 2 View, 3 Macro, 5 Kommunikation, 8 Verktyg,
    //            any other value NcOption.
    //   strMenuName: the menu caption (shown with "*" appended); empty for no
    //            menu item.
    //   intStartupArgument: the command number startup() receives.
    //   bToolbar: also a button on the plug-in toolbar, with the tooltip
    //            sToolbarToolTip and picture iIconIndex (1..31).
    virtual void RegisterPlugin(qint16 intMenu, const QString &strMenuName, qint16 intStartupArgument,
                                bool bToolbar, const QString &sToolbarToolTip, qint16 iIconIndex) = 0;
    // Takes over the built-in command of a main-window control (see control()),
    // for example "mnuFileOpen": from then on the main window does nothing of
    // its own for it; the plug-in connects to the control's triggered() signal
    // and serves it (the command's toolbar buttons trigger the control too).
    virtual void DisableEvents(QObject *e) = 0;
    // True when a control of the same objectName has been taken over.
    virtual bool IsDisabledEvents(QObject *o) = 0;

    // The active document. Each of these throws when no document is open; the
    // text is the document's 8-bit text, byte for byte.
    virtual QByteArray plugin_GetEditText() = 0;
    virtual void plugin_SetEditText(const QByteArray &text) = 0;
    // The whole text becomes the old text followed by `text`.
    virtual void plugin_AddEditText(const QByteArray &text) = 0;
    // The whole text becomes `text` followed by the old text.
    virtual void plugin_InsertEditText(const QByteArray &text) = 0;
    virtual qint32 plugin_GetTextRowCount() = 0;
    // Line lRow (from 1) without its leading blanks; it becomes the current line.
    virtual QByteArray plugin_GetTextRow(qint32 lRow) = 0;
    // Replaces the text of line lRow.
    virtual void plugin_SetTextRow(qint32 lRow, const QByteArray &text) = 0;

    // Settings.
    virtual bool NumKbdDec() = 0;
    virtual bool UpperCase() = 0;
    // The current machine's folder: "root", "send" or "rec".
    virtual QString GetConfigFolder(const QString &sFolder) = 0;
    // A program-wide setting by its exact name ("gsTmpPath", "gTextColor", ...):
    // bool, qint16, qint32 or QString; an empty QString for an unknown name.
    virtual QVariant pReadGlobal(const QString &g) = 0;

    // The main window itself (owner for the plug-in's dialogs) and any of its
    // controls by objectName ("mnuFileOpen", "comboMaskiner", ...).
    virtual QWidget *mainWidget() = 0;
    virtual QObject *control(const QString &name) = 0;

protected:
    ~RkPluginHost() = default;
};

// What the editor calls on a plug-in.
class RkPlugin {
public:
    virtual ~RkPlugin() = default;
    // Once, right after loading. The plug-in keeps `host` and may register its
    // commands and take over built-in ones before it returns.
    virtual void sethost(RkPluginHost *host) = 0;
    // The user picked one of the plug-in's commands.
    virtual void startup(qint16 command) = 0;
    // The columns of the plug-in list of the editor settings.
    virtual QString PluginName() = 0;
    virtual QString PluginVersion() = 0;
    virtual QString PluginDesc() = 0;
    // Abilities: 1 asks whether the plug-in has a settings dialog.
    virtual bool can(qint16 code) = 0;
    // Shows the plug-in's settings dialog (modal over host->mainWidget()).
    virtual void setup() = 0;
};

}

#define LUMRIK_PLUGIN_IID "se.lumrik.Lumrik32.Plugin/1.0"
Q_DECLARE_INTERFACE(lumrik::RkPlugin, LUMRIK_PLUGIN_IID)
