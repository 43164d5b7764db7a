#pragma once
// A folder opened once, for work that asks the user first (a clean-up, a
// delete): whatever is listed, removed or moved goes through the folder that
// was opened, whatever its path names by the time the user has answered. A
// folder swapped for a link (or renamed away) meanwhile is never entered.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace lumrik {

class OpenedFolder {
public:
    OpenedFolder() = default;
    // Opens the folder `path` names now (the path as the user saw it).
    explicit OpenedFolder(const QString &path);
    ~OpenedFolder();
    OpenedFolder(OpenedFolder &&other) noexcept;
    OpenedFolder &operator=(OpenedFolder &&other) noexcept;
    OpenedFolder(const OpenedFolder &) = delete;
    OpenedFolder &operator=(const OpenedFolder &) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // errno of a failed open (0 when open).
    int error() const { return error_; }
    // The path it was opened by, and the absolute one it had then.
    const QString &path() const { return path_; }
    const QByteArray &absolutePath() const { return absolute_; }

    // The names (bytes kept, see filenames.h) of its regular files, links to
    // regular files included, none beginning with ".".
    QStringList fileNames() const;

    // Removes the entry `name` (a link itself, never what it points to); a
    // folder is refused (EISDIR). 0 or the errno of the failure.
    int removeFile(const QString &name) const;

private:
    int fd_ = -1;
    int error_ = 0;
    QString path_;
    QByteArray absolute_;
};

}
