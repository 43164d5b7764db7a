#include "core/protectedlinks.h"

#include "core/filenames.h"

#include <QList>

#include <climits>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumrik {

namespace {

// As many links as the system itself follows before it gives up.
constexpr int kMaxLinks = 40;

bool trustedOwner(uid_t uid) { return uid == ::geteuid() || uid == 0; }

// Someone other than this user (and root) may make or replace entries here.
bool othersMayWrite(const QByteArray &folder)
{
    struct stat fs;
    if (::stat(folder.isEmpty() ? "/" : folder.constData(), &fs) != 0)
        return false;
    if (fs.st_mode & (S_IWGRP | S_IWOTH))
        return true;
    return !trustedOwner(fs.st_uid) && (fs.st_mode & S_IWUSR);
}

QString userName(uid_t uid)
{
    if (const passwd *pw = ::getpwuid(uid))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(uid);
}

QString sharedFolderText(const QByteArray &link, uid_t owner)
{
    return QStringLiteral("\"%1\" är en symbolisk länk som tillhör användaren %2, i en mapp där andra "
                          "än du kan skriva. Lumrik-32 skriver aldrig genom en sådan länk: den kan ha "
                          "lagts dit för att få dig att skriva över en annan fil.")
        .arg(RkShownName(RkDecodeName(link)), userName(owner));
}

void pushParts(QList<QByteArray> &queue, const QByteArray &path)
{
    const QList<QByteArray> parts = path.split('/');
    for (qsizetype i = parts.size() - 1; i >= 0; --i)
        if (!parts[i].isEmpty() && parts[i] != ".")
            queue.prepend(parts[i]);
}

}

WriteTarget RkResolveForWrite(const QString &path, LinkRule rule)
{
    WriteTarget out;
    QByteArray start = RkPathBytes(path);
    if (!start.startsWith('/')) {
        char cwd[PATH_MAX];
        if (!::getcwd(cwd, sizeof cwd)) {
            out.name = start;
            return out;
        }
        start = QByteArray(cwd) + '/' + start;
    }
    QList<QByteArray> queue;
    pushParts(queue, start);
    QByteArray done; // the folders walked so far, no link among them ("" is the root)
    QByteArray firstLink; // the file's own name when it is a link
    int links = 0;
    while (!queue.isEmpty()) {
        const QByteArray part = queue.takeFirst();
        if (part == "..") {
            done = done.left(std::max<qsizetype>(0, done.lastIndexOf('/')));
            continue;
        }
        const QByteArray next = done + '/' + part;
        // The last part of what is left is the file itself (or, after one of
        // its links, where that link leads).
        const bool file = queue.isEmpty();
        struct stat st;
        if (::lstat(next.constData(), &st) != 0) {
            // Nothing there: a new file, or a folder missing on the way (the
            // write tells of it). A dangling link of the file is replaced.
            if (file && !firstLink.isEmpty()) {
                out.name = firstLink;
                out.replaceLink = true;
            } else {
                out.name = next;
                for (const QByteArray &rest : std::as_const(queue))
                    out.name += '/' + rest;
            }
            return out;
        }
        if (!S_ISLNK(st.st_mode)) {
            done = next;
            continue;
        }
        if (file && rule == LinkRule::NoLinks) {
            out.name = next;
            out.replaceLink = true;
            return out;
        }
        if (!trustedOwner(st.st_uid)) {
            if (file && rule == LinkRule::OwnFiles) {
                out.name = next;
                out.problem = RkForeignLinkText(path);
                return out;
            }
            if (othersMayWrite(done)) {
                out.name = next;
                out.problem = sharedFolderText(next, st.st_uid);
                return out;
            }
        }
        QByteArray target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(next.constData(), target.data(), size_t(target.size()));
        if (++links > kMaxLinks || n <= 0) {
            out.name = next;
            out.problem = QStringLiteral("\"%1\" leder genom för många symboliska länkar eller en länk som inte "
                                         "kan läsas. Inget skrevs.")
                              .arg(RkShownName(path));
            return out;
        }
        if (file && firstLink.isEmpty())
            firstLink = next;
        target.truncate(n);
        if (target.startsWith('/'))
            done.clear();
        pushParts(queue, target);
    }
    // Only the root, or a path that ends in "..": a folder, which the write refuses.
    out.name = done.isEmpty() ? QByteArray("/") : done;
    return out;
}

QString RkForeignLinkProblem(const QString &path, LinkRule rule) { return RkResolveForWrite(path, rule).problem; }

bool RkIsForeignLink(const QString &path) { return !RkForeignLinkProblem(path, LinkRule::OwnFiles).isEmpty(); }

QString RkForeignLinkText(const QString &path)
{
    return QStringLiteral("%1 är en länk som en annan användare har lagt dit. Programmet skriver inte genom den.")
        .arg(RkShownName(path));
}

}
