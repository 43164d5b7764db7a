#include "core/protectedlinks.h"

#include "core/filenames.h"

#include <QByteArray>

#include <climits>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumrik {

namespace {

// Someone other than this user (and root) may make or replace entries here.
bool othersMayWrite(const struct stat &folder)
{
    const uid_t me = ::geteuid();
    if (folder.st_mode & (S_IWGRP | S_IWOTH))
        return true;
    return folder.st_uid != me && folder.st_uid != 0 && (folder.st_mode & S_IWUSR);
}

QString userName(uid_t uid)
{
    if (const passwd *pw = ::getpwuid(uid))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(uid);
}

}

QString RkForeignLinkProblem(const QString &path)
{
    QByteArray at = RkPathBytes(path);
    const uid_t me = ::geteuid();
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (::lstat(at.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return {};
        const QByteArray folder = RkFolderBytes(at);
        struct stat fs;
        if (st.st_uid != me && st.st_uid != 0 && ::stat(folder.constData(), &fs) == 0 && othersMayWrite(fs))
            return QStringLiteral("\"%1\" är en symbolisk länk som tillhör användaren %2, i en mapp där andra "
                                  "än du kan skriva. Lumrik-32 skriver aldrig genom en sådan länk: den kan ha "
                                  "lagts dit för att få dig att skriva över en annan fil.")
                .arg(RkShownName(RkDecodeName(at)), userName(st.st_uid));
        QByteArray target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(at.constData(), target.data(), size_t(target.size()));
        if (n <= 0)
            return {};
        target.truncate(n);
        at = target.startsWith('/') ? target : folder + '/' + target;
    }
    return {};
}

}
