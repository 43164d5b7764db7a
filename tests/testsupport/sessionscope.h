#pragma once
// Gives the program's session back as a test found it: every value a test
// changes through the session (or the product changes while the test runs)
// is restored when the scope ends.
#include "core/sessionstate.h"

#include <QString>
#include <optional>
#include <utility>

namespace lumrik::test {

// The session the windows under test are given: the program's, the one a
// SessionScope gives back.
inline Session &testSession() { return programSession(); }

// The settings and print settings in use, as the product reads them.
inline const SettingValues &settingsNow() { return programSession().settings().values(); }
inline const PrintValues &printNow() { return programSession().print().values(); }
// The active program, as the product reads and changes it.
inline ActiveProgram &activeNow() { return programSession().active(); }

// Gives the active program back as a test found it: the file, name and folder
// of the commands, the line ends, the insert mode and the editor handle. The
// active document is the documents' own: a window gone releases itself.
class ActiveScope {
public:
    ActiveScope()
        : file_(activeNow().file()), fileName_(activeNow().fileName()), path_(activeNow().path()),
          textType_(activeNow().textType()), insert_(activeNow().insertMode()), editor_(activeNow().editor())
    {
    }
    ~ActiveScope()
    {
        ActiveProgram &a = activeNow();
        a.setFile(file_);
        a.setFileName(fileName_);
        a.setPath(path_);
        a.setTextType(textType_);
        a.setInsertMode(insert_);
        a.setEditor(editor_);
    }
    ActiveScope(const ActiveScope &) = delete;
    ActiveScope &operator=(const ActiveScope &) = delete;

private:
    QString file_;
    QString fileName_;
    QString path_;
    int textType_;
    bool insert_;
    long editor_;
};

// The last search and the feature switches, as the product reads them.
inline const SearchValues &searchNow() { return programSession().search().values(); }
inline const FeatureValues &featuresNow() { return programSession().features().values(); }
// The macro menu's template folders and the status and caption words.
inline const MacroFolderValues &macroFoldersNow() { return programSession().macroFolders().values(); }
inline const WordValues &wordsNow() { return programSession().words().values(); }

// Gives the current machine back as a test found it: its name, its file and
// its keys.
class MachineScope {
public:
    MachineScope()
        : name_(programSession().machine().name()), file_(programSession().machine().file()),
          keys_(programSession().machine().keys())
    {
    }
    ~MachineScope()
    {
        programSession().machine().use(name_, file_);
        programSession().machine().setKeys(keys_);
    }
    MachineScope(const MachineScope &) = delete;
    MachineScope &operator=(const MachineScope &) = delete;

private:
    QString name_;
    QString file_;
    MachineKeys keys_;
};

// The current machine as a test arranges it: its name or its file alone, or
// some of its keys.
inline void useMachineName(const QString &name)
{
    CurrentMachine &m = programSession().machine();
    m.use(name, m.file());
}
inline void useMachineFile(const QString &file)
{
    CurrentMachine &m = programSession().machine();
    m.use(m.name(), file);
}
template <typename F>
void changeMachineKeys(F &&change)
{
    programSession().machine().changeKeys(std::forward<F>(change));
}

class SessionScope {
public:
    SessionScope()
        : machine_(std::in_place), active_(std::in_place), settings_(programSession().settings().values()),
          print_(programSession().print().values()), search_(programSession().search().values()),
          features_(programSession().features().values()),
          macroFolders_(programSession().macroFolders().values()), words_(programSession().words().values())
    {
    }
    ~SessionScope()
    {
        machine_.reset(); // the machine first, then the settings
        active_.reset();
        programSession().settings().set(settings_);
        programSession().print().set(print_);
        programSession().search().set(search_);
        programSession().features().set(features_);
        programSession().macroFolders().set(macroFolders_);
        programSession().words().set(words_);
    }
    SessionScope(const SessionScope &) = delete;
    SessionScope &operator=(const SessionScope &) = delete;

    // Changes the print settings in use.
    template <typename F>
    static void print(F &&change)
    {
        PrintValues v = programSession().print().values();
        change(v);
        programSession().print().set(v);
    }
    // Changes the settings in use, as the product's writers do.
    template <typename F>
    static void settings(F &&change)
    {
        programSession().settings().change(std::forward<F>(change));
    }
    // Changes one setting: SessionScope::set(&SettingValues::upperCase, true).
    template <typename T, typename V>
    static void set(T SettingValues::*member, V &&value)
    {
        programSession().settings().change([&](SettingValues &v) { v.*member = std::forward<V>(value); });
    }

    // Changes the last search, as the find and replace dialogs do.
    template <typename F>
    static void search(F &&change)
    {
        programSession().search().change(std::forward<F>(change));
    }
    // Changes the feature switches.
    template <typename F>
    static void features(F &&change)
    {
        programSession().features().change(std::forward<F>(change));
    }
    // Changes the macro menu's template folders.
    template <typename F>
    static void macroFolders(F &&change)
    {
        programSession().macroFolders().change(std::forward<F>(change));
    }
    // Changes the status and caption words.
    template <typename F>
    static void words(F &&change)
    {
        programSession().words().change(std::forward<F>(change));
    }

private:
    std::optional<MachineScope> machine_;
    std::optional<ActiveScope> active_;
    SettingValues settings_;
    PrintValues print_;
    SearchValues search_;
    FeatureValues features_;
    MacroFolderValues macroFolders_;
    WordValues words_;
};

}
