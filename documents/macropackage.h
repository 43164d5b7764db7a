#pragma once
// Macro packages: a folder of macro templates (".NCM") with a description file
// "MACRO.INI" (section "MACRO": "MACROPATH", the folder below the program
// folder that the templates go to, and "MACROCNC", the package's name, shown
// as the Macro menu caption). Importing copies the package's files into the
// program folder and registers the package in section "MACRO" of the main
// settings file ("<d>_NAMN", "<d>_PATH", d = 0..9).
//
// An import changes nothing unless all of it succeeds: the package is checked
// whole before anything is copied, the files are copied under temporary names
// and only then renamed into place, and a failure on the way puts back every
// file and folder as it was.
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class QWidget;

namespace lumrik {

struct MacroPackage {
    enum Status {
        Valid,
        NoIniFile,   // "MACRO.INI" is missing
        Invalid,     // the description or the files are not usable; `problem` says why
    };
    Status status = NoIniFile;
    QString problem;         // one Swedish sentence for the user
    QString folder;          // the package folder, ending in "/"
    QString iniFile;         // full path of its "MACRO.INI"
    QString macroPath;       // "MACROPATH" as read, tokens expanded
    QString macroCnc;        // "MACROCNC" as read, tokens expanded
    QString relativePath;    // "MACROPATH" below the program folder, "/" separated, no leading "/"
    QString targetFolder;    // the program folder followed by relativePath
    QStringList files;       // the names of the files to copy (the package folder's files)
};

// Reads and checks a package. `folderText` is the folder as the user typed it
// (blanks around it ignored, with or without a trailing separator). A package
// is valid when "MACROCNC" has at least two characters, "MACROPATH" names a
// folder inside the program folder (not the program folder itself, no "..",
// no drive or absolute path outside it) that is none of the program's own
// folders (its plug-ins, its help pages, the folders of the programs it
// starts) and is reached through no link, every file of the package folder
// is a plain file (no link) that can be read, and no file name stands for a
// folder in the target. The copies never get an executable mode.
MacroPackage readMacroPackage(const QString &folderText);

// The first free macro entry (0..9): one whose folder is empty (blanks
// ignored) and whose name in the settings file is not a registered name (more
// than one character). -1 when all ten are in use.
int freeMacroEntry(const std::array<QString, 10> &paths, const std::array<QString, 10> &names);
// The registered names of section "MACRO" of the main settings file.
std::array<QString, 10> registeredMacroNames();

// Writes the registration of entry d (both keys in one write). False, with
// nothing changed, when the settings file cannot be written.
bool writeMacroEntry(int entry, const QString &name, const QString &path);

// Copies a set of files from one folder into another as one change.
class MacroFileCopy {
public:
    MacroFileCopy(QString sourceFolder, QString targetFolder, QStringList names);
    ~MacroFileCopy();                    // rolls back what is not finished

    // The names whose file exists in the target already (matched without
    // regard to case).
    QStringList existingInTarget() const;

    // Creates the target folder (with missing parents) and copies every file
    // under a temporary name. False, with nothing left behind, on failure.
    bool stage();
    // Renames the staged files into place; replaced files are kept aside until
    // finish(). False, with everything put back, on failure.
    bool commit();
    // Puts back every file and folder as they were before stage().
    void rollback();
    // Forgets the replaced files: the change stays.
    void finish();

    int count() const { return int(names_.size()); }
    QString error() const { return error_; }

    // File operations, replaceable for tests.
    std::function<bool(const QString &from, const QString &to)> copyFile;
    std::function<bool(const QString &from, const QString &to)> renameFile;

private:
    struct Item {
        QString name;        // the package's file name
        QString staged;      // temporary copy in the target folder
        QString replaced;    // existing file in the target, "" when none
        QString aside;       // where the replaced file is kept until finish()
        bool placed = false;
        bool setAside = false;
    };
    QString src_, dst_;
    QStringList names_;
    QList<Item> items_;
    QStringList createdFolders_;         // deepest first
    QString error_;
    bool staged_ = false, committed_ = false, finished_ = false;
};

// What the import needs of the main window's Macro menu (`mnuSubMacro`).
struct MacroMenuAccess {
    std::function<QString(int)> caption;                 // caption of entry 0..9
    std::function<void(int, const QString &)> showEntry; // set the caption, make it visible
};

struct MacroImportResult {
    enum Outcome { NoIniFile, Invalid, Declined, NoFreeEntry, Failed, Upgraded, Imported };
    Outcome outcome = NoIniFile;
    int entry = -1;          // the entry registered or upgraded
    int count = 0;           // files copied
    QString macroPath, macroCnc;
};

// The whole import as the "Importera" button runs it, with its questions and
// messages. `shown` is called with "MACROPATH" and "MACROCNC" once they are
// read (the dialog shows them).
MacroImportResult RkImportMacroPackage(const QString &folderText, const MacroMenuAccess &menu,
                                       QWidget *owner = nullptr,
                                       const std::function<void(const QString &, const QString &)> &shown = {});

}
