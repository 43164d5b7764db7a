#include "documents/pluginfile.h"

#include "core/fd.h"
#include "core/filenames.h"
#include "core/trustedcode.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumrik {

namespace {


// A new folder of this user's own (mode 0700) for one copy, in the first of
// the runtime folder, the temporary folder and the home folder that only
// this user and root can change; "" when there is none.
QString makePrivateFolder()
{
    const QString candidates[] = {qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(), QDir::homePath()};
    for (const QString &base : candidates) {
        if (base.isEmpty() || !base.startsWith(u'/') || !untrustedFolderReason(base).isEmpty())
            continue;
        QByteArray pattern = QFile::encodeName(base) + "/lumrik-plugin-XXXXXX";
        if (::mkdtemp(pattern.data()))
            return QFile::decodeName(pattern);
    }
    return {};
}

bool readAll(int fd, qint64 expected, QByteArray &out)
{
    out.clear();
    out.reserve(qsizetype(expected));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (out.size() + n > PluginFile::kMaxBytes)
            return false;
        out.append(buffer, n);
    }
}

bool writeNew(const QString &path, const QByteArray &bytes)
{
    Fd out{::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0500)};
    if (out.fd < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(out.fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

}

PluginFile::PluginFile(const QString &path) : path_(path)
{
    // Not blocking: a named pipe put in a library's place is refused, not waited for.
    Fd in{::open(RkPathBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
    if (in.fd < 0) {
        reason_ = QStringLiteral("filen kan inte läsas");
        return;
    }
    reason_ = untrustedOpenFileReason(in.fd, path);
    if (!reason_.isEmpty())
        return;
    struct stat st;
    if (::fstat(in.fd, &st) != 0) {
        reason_ = QStringLiteral("filen kan inte läsas");
        return;
    }
    if (st.st_size > kMaxBytes) {
        reason_ = QStringLiteral("är för stor för en plugin");
        return;
    }
    QByteArray bytes;
    if (!readAll(in.fd, st.st_size, bytes)) {
        reason_ = QStringLiteral("filen kan inte läsas");
        return;
    }
    fingerprint_ = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    folder_ = makePrivateFolder();
    const QString copy = folder_ + QStringLiteral("/plugin.so");
    if (folder_.isEmpty() || !writeNew(copy, bytes)) {
        if (!folder_.isEmpty())
            ::unlink(QFile::encodeName(copy).constData());
        reason_ = QStringLiteral("kan inte kopieras till en egen mapp för kontrollen");
        return;
    }
    copy_ = copy;
}

PluginFile::~PluginFile()
{
    if (!copy_.isEmpty())
        ::unlink(QFile::encodeName(copy_).constData());
    if (!folder_.isEmpty())
        ::rmdir(QFile::encodeName(folder_).constData());
}

}
