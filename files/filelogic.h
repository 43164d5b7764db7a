#pragma once
// The file selector's logic without widgets: the comment and the preview of a
// program's first bytes, name matching, the numeric sort value, the folder
// scan behind the file list, name checks for rename and new folder, and the
// numbered backup copies of a folder.
#include "core/codepage.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <dirent.h>
#include <optional>
#include <vector>

namespace lumrik {

class OpenedFolder;

// How many bytes of a program are read for its comment and its preview.
inline constexpr qint64 kHeadBytes = 1024;

// The comment column's text when a program's beginning cannot be read or its
// first comment is not text.
inline const QString kCommentError = QStringLiteral("Error getting comment");

// Text test on bytes: T counts the bytes 32..127, O every other byte. True when
// O / T < 0.05; empty when T is 0 (the ratio cannot be formed).
std::optional<bool> IsTextData(QByteArrayView text);
// The same on characters: T counts the codes 32..127, O the codes 0..31 and
// 128..255; other characters count in neither.
std::optional<bool> IsTextData(QStringView text);

// The first comment of a program's first bytes: the text between the first "("
// and the first ")" after it, trimmed of blanks, as text in the program's
// encoding (core/codepage.h, judged on `head`; when the file goes on after it,
// `wholeFile` false, a UTF-8 sequence cut by its end is not held against it).
// "" without such a pair or when the text test fails; kCommentError when the
// test cannot be made (no plain character in it).
QString commentFromHead(QByteArrayView head, bool wholeFile = true);
// The same in the encoding the program is read in (NcDocument::encodingOfFile
// gives the one the editor reads the whole file in).
QString commentFromHead(QByteArrayView head, TextEncoding encoding);
// Reads the first kHeadBytes of a file for commentFromHead(); kCommentError
// when the file cannot be read.
QString GetFirstComment(const QString &path);

// The preview of a program: the first block of its first bytes as text in the
// program's encoding (as for the comment), trimmed of blanks, CR LF and CR shown as line breaks. `head` holds up
// to kHeadBytes of the file, `fileLength` is the file's whole length. "" when
// nothing can be shown.
QString previewFromHead(QByteArrayView head, qint64 fileLength);
QString previewFromHead(QByteArrayView head, qint64 fileLength, TextEncoding encoding);
// Reads a file and returns previewFromHead(); "" when it cannot be read.
QString previewOfFile(const QString &path);
// Up to `maxBytes` from the beginning of a file; empty optional when it cannot
// be opened or read. `fileLength` receives the file's length.
std::optional<QByteArray> readHead(const QString &path, qint64 maxBytes, qint64 *fileLength = nullptr);

// The number that the beginning of a text reads as: blanks, tabs and line
// feeds are skipped; an optional sign, digits with at most one decimal point
// and an optional exponent (E or D) are taken. "1234.NC" gives 1234, "1E3.NC"
// 1000, "O1234.NC" 0. Numbers beyond the range of a double give plus or minus
// infinity; never fails.
double RkSortValue(const QString &text);

// One name pattern ("*" and "?"), without regard to case; "*.*" and "*" match
// every name, and "x.*" also matches "x". ";" has no special meaning here.
bool RkMatchName(const QString &name, const QString &pattern);
// Whether a name belongs in the file list: it begins with the search text
// (wildcards in it act as such; no separator can ever match) and it matches
// the filter (one or more patterns separated by ";"; an empty filter lists every name).
bool RkMatchesSelection(const QString &name, const QString &searchText, const QString &filter);

// The entries of a folder as the system lists them, in its order, the names
// as the bytes on disk; names beginning with "." (the folder itself, its
// parent and hidden entries) are left out. The folder is closed on leaving.
class FolderListing {
public:
    explicit FolderListing(const QString &folder);
    ~FolderListing();
    FolderListing(const FolderListing &) = delete;
    FolderListing &operator=(const FolderListing &) = delete;

    // False when the folder does not exist or cannot be read.
    bool isOpen() const { return dir_ != nullptr; }
    // The open folder's descriptor, for the *at calls on its entries.
    int fd() const;
    // The next entry, or nullptr after the last.
    const dirent *next();

private:
    DIR *dir_ = nullptr;
};

// One file of the list.
struct FolderEntry {
    QString name;       // the real name on disk (bytes that are not UTF-8 kept, see RkDecodeName)
    QString comment;    // first comment (only when asked for)
    qint64 size = 0;    // bytes
    qint64 modifiedMs = 0; // last write, milliseconds since the epoch (UTC)
};

// The regular files of a folder whose names (as shown) pass RkMatchesSelection, in the
// order the file system gives them. Names beginning with "." are skipped, and
// so is everything that is not a regular file (folders, pipes, devices). With
// comments, only the first kHeadBytes of each file are read. `readable`
// receives false when the folder cannot be read (the list is then empty).
std::vector<FolderEntry> RkScanFolder(const QString &folder, const QString &searchText,
                                      const QString &filter, bool withComments,
                                      bool *readable = nullptr);

// The folder exists and its entries can be read.
bool RkFolderReadable(const QString &folder);

// "date  time" in the system's short formats, without seconds.
QString FileTimeToText(const QDateTime &time, bool toLocal);
QString FileTimeToText(qint64 modifiedMs);

// "" when `name` may be used as the new name of a file or folder in the shown
// folder; otherwise the message that refuses it. Refused: a name holding "/",
// "\" or a NUL, and a name beginning with "." (hidden, and "." and ".." are
// no names). The empty name is not checked here
// (it means "do nothing" to the callers).
QString RkCheckNewName(const QString &name);

// --- Numbered backup copies ---

// The name before its first "."; `extension` receives the text after it. For a
// name without "." the base is the whole name and `extension` is left as it was.
QString SplitBaseName(const QString &name, QString &extension);
QString SplitBaseName(const QString &name);
// Exactly three characters, each "0".."9".
bool IsBackupExtension(const QString &extension);
// The backup copies among the names of one folder (files only, none beginning
// with "."): a name base.NNN whose base (compared exactly, without regard to
// case) is shared by at least two of the names. In the order of `names`, each
// name once.
QStringList FindBackupNames(const QStringList &names);
// The files of a folder (no folders, none beginning with "."), sorted without
// regard to case.
QStringList folderFileNames(const QString &folder);
// FindBackupNames() over folderFileNames().
QStringList RkListBackupFiles(const QString &folder);
// The same in a folder opened once (core/openedfolder.h).
QStringList RkListBackupFiles(const OpenedFolder &folder);

// Deletes the named files of a folder for good, in order. A file that is
// already gone counts as deleted. Stops at the first failure: returns the
// number of names handled before it (== names.size() when all went well) and
// fills `error` with the reason.
int RkDeleteFiles(const QString &folder, const QStringList &names, QString *error = nullptr);
// The same in a folder opened once: whatever its path names by now, only the
// opened folder's entries go (a link among them goes itself, not its target).
int RkDeleteFiles(const OpenedFolder &folder, const QStringList &names, QString *error = nullptr);

}
