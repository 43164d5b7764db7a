#include "files/filelogic.h"

#include "core/codepage.h"
#include "core/language.h"
#include "core/errors.h"
#include "core/filenames.h"
#include "core/openedfolder.h"
#include "core/paths.h"
#include "core/nctext.h"
#include "core/ncdocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace lumrik {

// ---------------------------------------------------------------------------
// Comment and preview

std::optional<bool> IsTextData(QByteArrayView text)
{
    qsizetype plain = 0, other = 0;
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 32 && b <= 127)
            ++plain;
        else
            ++other;
    }
    if (plain == 0)
        return std::nullopt;
    // other / plain < 0.05, in whole numbers.
    return other * 20 < plain;
}

std::optional<bool> IsTextData(QStringView text)
{
    qsizetype plain = 0, other = 0;
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= 32 && c <= 127)
            ++plain;
        else if (c <= 255)
            ++other;
    }
    if (plain == 0)
        return std::nullopt;
    return other * 20 < plain;
}

namespace {

// A program's first bytes as text in its encoding; in UTF-8 without a
// sequence that the end of the bytes cuts short.
QString headText(QByteArrayView bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8)
        return QString::fromUtf8(bytes.first(withoutCutSequence(bytes)));
    return bytesToDisplay(bytes);
}

}

QString commentFromHead(QByteArrayView head, bool wholeFile)
{
    return commentFromHead(head, textEncodingOfHead(head, wholeFile));
}

QString commentFromHead(QByteArrayView head, TextEncoding encoding)
{
    const qsizetype open = head.indexOf('(');
    if (open < 0)
        return {};
    const qsizetype close = head.indexOf(')', open + 1);
    if (close < 0)
        return {};
    const QByteArrayView text = head.sliced(open + 1, close - open - 1);
    // In UTF-8 the test counts characters (an Å once), as it does in Windows-1252.
    const std::optional<bool> isText =
        encoding == TextEncoding::Utf8 ? IsTextData(QString::fromUtf8(text)) : IsTextData(text);
    if (!isText)
        return kCommentError;
    if (!*isText)
        return {};
    return headText(trimBlanks(text), encoding);
}

std::optional<QByteArray> readHead(const QString &path, qint64 maxBytes, qint64 *fileLength)
{
    QFile f;
    if (!RkOpenFile(f, path, QIODevice::ReadOnly))
        return std::nullopt;
    if (fileLength)
        *fileLength = f.size();
    QByteArray buf(maxBytes, Qt::Uninitialized);
    const qint64 n = f.read(buf.data(), maxBytes);
    if (n < 0)
        return std::nullopt;
    buf.truncate(n);
    return buf;
}

QString GetFirstComment(const QString &path)
{
    qint64 length = 0;
    const auto head = readHead(path, kHeadBytes, &length);
    if (!head)
        return kCommentError;
    return commentFromHead(*head, NcDocument::encodingOfFile(path, *head, length <= head->size()));
}

QString previewFromHead(QByteArrayView head, qint64 fileLength)
{
    return previewFromHead(head, fileLength, textEncodingOfHead(head, fileLength <= head.size()));
}

QString previewFromHead(QByteArrayView head, qint64 fileLength, TextEncoding encoding)
{
    if (fileLength < 1)
        return {};
    // The first L - 1 bytes of a kHeadBytes buffer whose unread rest is NUL.
    const qsizetype n = qsizetype(std::min<qint64>(fileLength - 1, kHeadBytes));
    QByteArray text = head.first(std::min<qsizetype>(n, head.size())).toByteArray();
    if (text.size() < n)
        text.append(QByteArray(n - text.size(), '\0'));
    if (text.contains('\0')) {
        // Binary data: the part from the first CR up to the NUL after it.
        const qsizetype cr = text.indexOf('\r');
        if (cr < 0)
            return {};
        const qsizetype nul = text.indexOf('\0', cr);
        if (nul >= 0 && cr < nul - 1)
            text = text.mid(cr, nul - cr - 1);
        else
            text = text.mid(cr);
    }
    // Only blanks are trimmed; the line ends stay as the file has them (the
    // box breaks lines at CR LF, CR and LF alike).
    QString shown = headText(trimBlanks(text), encoding);
    shown.remove(QChar(0));
    return shown;
}

QString previewOfFile(const QString &path)
{
    qint64 length = 0;
    const auto head = readHead(path, kHeadBytes, &length);
    if (!head)
        return {};
    return previewFromHead(*head, length, NcDocument::encodingOfFile(path, *head, length <= head->size()));
}

// ---------------------------------------------------------------------------
// Numeric sort value

double RkSortValue(const QString &text)
{
    std::string num;
    num.reserve(24);
    bool digits = false, point = false;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n'))
            ++i;
    };
    skipBlanks();
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            num += '-';
        ++i;
    }
    for (;; ++i) {
        skipBlanks();
        if (i >= n)
            break;
        const QChar c = text[i];
        if (c >= '0' && c <= '9') {
            num += char(c.unicode());
            digits = true;
        } else if (c == '.' && !point) {
            num += '.';
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    // Exponent: E or D, an optional sign and at least one digit.
    bool negativeExponent = false;
    if (i < n && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        qsizetype j = i + 1;
        std::string exp = "e";
        auto skip = [&] {
            while (j < n && (text[j] == ' ' || text[j] == '\t' || text[j] == '\n'))
                ++j;
        };
        skip();
        if (j < n && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            exp += char(text[j].unicode());
            ++j;
        }
        bool expDigits = false;
        for (;; ++j) {
            skip();
            if (j >= n || text[j] < '0' || text[j] > '9')
                break;
            exp += char(text[j].unicode());
            expDigits = true;
        }
        if (expDigits)
            num += exp;
    }
    double value = 0.0;
    const char *first = num.data(), *last = num.data() + num.size();
    const auto r = std::from_chars(first, last, value);
    if (r.ec == std::errc::result_out_of_range) {
        if (negativeExponent)
            return 0.0;
        return num[0] == '-' ? -std::numeric_limits<double>::infinity()
                             : std::numeric_limits<double>::infinity();
    }
    if (r.ec != std::errc())
        return 0.0;
    return value;
}

// ---------------------------------------------------------------------------
// Name matching

bool RkMatchName(const QString &name, const QString &pattern)
{
    return RkMatchPattern(name, pattern);
}

bool RkMatchesSelection(const QString &name, const QString &searchText, const QString &filter)
{
    if (!searchText.isEmpty()) {
        // A name never holds a separator, so a search text with one finds nothing.
        if (searchText.contains('/') || searchText.contains('\\'))
            return false;
        if (!RkMatchName(name, searchText + QLatin1Char('*')))
            return false;
    }
    if (filter.trimmed().isEmpty())
        return true;
    return RkMatchWildcard(name, filter);
}

// ---------------------------------------------------------------------------
// Folder scan

static qint64 msecsOf(const struct stat &st)
{
    return qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
}

FolderListing::FolderListing(const QString &folder) : dir_(::opendir(RkPathBytes(folder).constData())) {}

FolderListing::~FolderListing()
{
    if (dir_)
        ::closedir(dir_);
}

int FolderListing::fd() const { return dir_ ? ::dirfd(dir_) : -1; }

const dirent *FolderListing::next()
{
    if (!dir_)
        return nullptr;
    const dirent *e;
    do
        e = ::readdir(dir_);
    while (e && e->d_name[0] == '.');
    return e;
}

std::vector<FolderEntry> RkScanFolder(const QString &folder, const QString &searchText,
                                      const QString &filter, bool withComments, bool *readable)
{
    std::vector<FolderEntry> out;
    if (readable)
        *readable = false;
    if (folder.isEmpty())
        return out;
    FolderListing dir(folder);
    if (!dir.isOpen())
        return out;
    if (readable)
        *readable = true;
    const int dfd = dir.fd();
    char head[kHeadBytes];
    while (const dirent *e = dir.next()) {
        const char *raw = e->d_name;
        if (e->d_type == DT_DIR)
            continue;
        FolderEntry entry;
        entry.name = RkDecodeName(raw); // bytes that are not UTF-8 stay as they are
        if (!RkMatchesSelection(RkShownName(entry.name), searchText, filter))
            continue;
        struct stat st;
        if (withComments) {
            // O_NONBLOCK: a pipe in the folder must not hang the list.
            const int fd = ::openat(dfd, raw, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
            if (fd >= 0) {
                if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
                    ::close(fd);
                    continue;
                }
                qsizetype got = 0;
                while (got < qsizetype(sizeof head)) {
                    const ssize_t r = ::read(fd, head + got, sizeof head - got);
                    if (r < 0 && errno == EINTR)
                        continue;
                    if (r <= 0) {
                        if (r < 0)
                            got = -1;
                        break;
                    }
                    got += r;
                }
                if (got < 0) {
                    entry.comment = kCommentError;
                } else {
                    // Read in the encoding the editor gives the whole file.
                    const QByteArrayView first(head, got);
                    const TextEncoding encoding = NcDocument::encodingOfFile(
                        first, got < qsizetype(sizeof head), [fd](char *buffer, qint64 size) -> qint64 {
                            for (;;) {
                                const ssize_t r = ::read(fd, buffer, size_t(size));
                                if (r >= 0 || errno != EINTR) return r;
                            }
                        });
                    entry.comment = commentFromHead(first, encoding);
                }
                ::close(fd);
            } else {
                if (::fstatat(dfd, raw, &st, 0) != 0 || !S_ISREG(st.st_mode))
                    continue;
                entry.comment = kCommentError;
            }
        } else {
            if (::fstatat(dfd, raw, &st, 0) != 0 || !S_ISREG(st.st_mode))
                continue;
        }
        entry.size = qint64(st.st_size);
        entry.modifiedMs = msecsOf(st);
        out.push_back(std::move(entry));
    }
    return out;
}

bool RkFolderReadable(const QString &folder)
{
    return !folder.isEmpty() && FolderListing(folder).isOpen();
}

QString FileTimeToText(const QDateTime &time, bool toLocal)
{
    return RkShortDateTime(toLocal ? time.toLocalTime() : time);
}

QString FileTimeToText(qint64 modifiedMs)
{
    return FileTimeToText(QDateTime::fromMSecsSinceEpoch(modifiedMs), true);
}

// ---------------------------------------------------------------------------
// Name checks

QString RkCheckNewName(const QString &name)
{
    if (name.contains('/') || name.contains('\\'))
        return QStringLiteral("Namnet \"%1\" går inte att använda: ett namn får inte innehålla \"/\" eller \"\\\".")
            .arg(name);
    if (name.contains(QChar(0)))
        return QStringLiteral("Namnet innehåller ett ogiltigt tecken.");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("Namnet \"%1\" går inte att använda.").arg(name);
    // A name beginning with a dot is hidden: the list would never show it again.
    if (name.startsWith(QLatin1Char('.')))
        return QStringLiteral("Namnet \"%1\" går inte att använda: ett namn får inte börja med punkt.").arg(name);
    return {};
}

// ---------------------------------------------------------------------------
// Backup copies

QString SplitBaseName(const QString &name, QString &extension)
{
    const qsizetype dot = name.indexOf('.');
    if (dot < 0)
        return name;
    extension = name.mid(dot + 1);
    return name.left(dot);
}

QString SplitBaseName(const QString &name)
{
    QString ext;
    return SplitBaseName(name, ext);
}

bool IsBackupExtension(const QString &extension)
{
    if (extension.size() != 3)
        return false;
    for (QChar c : extension)
        if (c < '0' || c > '9')
            return false;
    return true;
}

QStringList FindBackupNames(const QStringList &names)
{
    // Names by base, compared exactly without regard to case.
    QHash<QString, QList<qsizetype>> byBase;
    QList<QString> keys;
    keys.reserve(names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString key = SplitBaseName(names[i]).toCaseFolded();
        keys << key;
        byBase[key] << i;
    }
    QStringList out;
    QSet<QString> handled;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString &key = keys[i];
        const QList<qsizetype> &group = byBase[key];
        if (group.size() < 2 || handled.contains(key))
            continue;
        handled.insert(key);
        for (qsizetype k : group) {
            QString ext;
            SplitBaseName(names[k], ext);
            if (IsBackupExtension(ext))
                out << names[k];
        }
    }
    return out;
}

QStringList folderFileNames(const QString &folder)
{
    QStringList names;
    if (folder.isEmpty())
        return names;
    // Read as bytes: a name that is not UTF-8 ("Q\xD6.001") is found too.
    for (const FolderEntry &e : RkScanFolder(folder, QString(), QStringLiteral("*"), false))
        names << e.name;
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}

QStringList RkListBackupFiles(const QString &folder)
{
    return FindBackupNames(folderFileNames(folder));
}

QStringList RkListBackupFiles(const OpenedFolder &folder)
{
    QStringList names = folder.fileNames();
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return FindBackupNames(names);
}

int RkDeleteFiles(const QString &folder, const QStringList &names, QString *error)
{
    return RkDeleteFiles(OpenedFolder(RkNativePath(folder)), names, error);
}

int RkDeleteFiles(const OpenedFolder &folder, const QStringList &names, QString *error)
{
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString &name = names[i];
        if (name.isEmpty() || !RkCheckNewName(name).isEmpty()) {
            if (error)
                *error = QStringLiteral("Ogiltigt filnamn: %1").arg(name);
            return int(i);
        }
        const int e = folder.removeFile(name);
        if (e == ENOENT)
            continue; // already gone: counts as deleted
        if (e == EISDIR) {
            if (error)
                *error = QStringLiteral("%1 är en mapp").arg(RkShownName(name));
            return int(i);
        }
        if (e != 0) {
            if (error)
                *error = RkSystemErrorText(e);
            return int(i);
        }
    }
    return int(names.size());
}

}
