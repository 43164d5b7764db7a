#pragma once
// The current machine: the machine whose configuration file the program
// reads, the keys of that file in use, and the machine the main window's
// selector shows. Windows tell it when they pick a machine; nothing reads a
// machine back from a widget. The plug-ins read it by the old names
// ("gActiveCfg", "gsRootFolder", ...) through the plug-in host.
#include <QObject>
#include <QString>
#include <array>
#include <functional>

namespace lumrik {

// The keys of a machine configuration file that choosing the machine puts in
// use (section "Settings"). Without a machine they are the main settings
// file's keys of the same names.
struct MachineKeys {
    QString fileExtension;           // "FileExtension", default "*.*"
    int commentColor = 0;            // "CommentColor", default the editor text colour
    std::array<QString, 8> codeText; // "CodeText1".."CodeText8", default empty
    std::array<int, 8> codeColor{};  // "CodeColor1".."CodeColor8", default the editor text colour
    QString rootFolder;              // "DefaultPath", default the current root folder; expanded
    bool operator==(const MachineKeys &) const = default;
};

class CurrentMachine : public QObject {
    Q_OBJECT
public:
    QString name() const { return name_; }
    QString file() const { return file_; }

    // The machine's keys in use.
    const MachineKeys &keys() const { return keys_; }
    // Takes the keys; `keysChanged` when any differs.
    void setKeys(const MachineKeys &keys);
    // Changes some keys in place, as `edit` does to a copy of them.
    void changeKeys(const std::function<void(MachineKeys &)> &edit);

    // From now on the machine's configuration is used; the main window's
    // selector stays as it is (the selector itself, the file selector's own
    // machine list, the set-up and receive windows, which keep the selector
    // they were given in step themselves).
    void use(const QString &name, const QString &file);
    // Used, and the main window's selector is to show it (the send window).
    void choose(const QString &name, const QString &file);

    // The main window whose selector follows (nullptr without one), and the
    // machine that selector shows ("" when it shows none).
    QObject *selectorOwner() const { return owner_; }
    void setSelectorOwner(QObject *owner);
    void releaseSelector(QObject *owner);
    QString shown() const { return shown_; }
    void setShown(const QString &name) { shown_ = name; }
    // The machine the user works with: the one the main window's selector
    // shows, or without a main window the current one.
    QString selected() const { return owner_ ? shown_ : name_; }

Q_SIGNALS:
    void changed(const QString &name);
    void keysChanged();
    void chosen(const QString &name);

private:
    QString name_;
    QString file_;
    MachineKeys keys_;
    QObject *owner_ = nullptr;
    QString shown_;
};

// The program's one: the session's (core/sessionstate.h).
CurrentMachine &currentMachine();

}
