#include "core/inifile.h"

#include "core/atomicfile.h"
#include "core/codepage.h"
#include "core/errors.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/msgbox.h"
#include "core/paths.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>

#include <cerrno>
#include <map>
#include <optional>
#include <sys/stat.h>

namespace lumrik {

static void forgetRoundCopies();

namespace {
QString notRegularText(const QString &path)
{
    return QStringLiteral("%1: Det är ingen vanlig fil. Den läses inte.").arg(RkShownName(path));
}

// A named pipe or a device would block the read for ever (or never end): it
// is refused, and told once a session.
bool refuseIfNotRegular(const QString &path)
{
    const QFileInfo fi(path);
    if (!fi.exists() || fi.isFile())
        return false;
    static QSet<QString> told;
    if (!fi.isDir() && !told.contains(path)) {
        told.insert(path);
        RkMsgBox(notRegularText(path), MbButtons::Ok, MbIcon::Exclamation);
    }
    return true;
}

QString tooLargeText(const QString &path)
{
    return QStringLiteral("%1: Filen är större än 16 MB. Den läses inte, och ingen inställning i den används eller "
                          "skrivs.")
        .arg(RkShownName(path));
}

// A file past the limit is refused whole, and told once a session.
void tellTooLarge(const QString &path)
{
    static QSet<QString> told;
    if (!told.contains(path)) {
        told.insert(path);
        RkMsgBox(tooLargeText(path), MbButtons::Ok, MbIcon::Exclamation);
    }
}

quint64 gReads = 0;
}

quint64 RkIniFileReads() { return gReads; }

bool IniFile::load(const QString &path)
{
    lines_.clear();
    tooLarge_ = false;
    if (refuseIfNotRegular(path))
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    ++gReads;
    // One byte past the limit is enough to tell: a file that grows while it
    // is read is held to the limit too.
    const QByteArray bytes = f.read(kMaxSettingsFileBytes + 1);
    if (bytes.size() > kMaxSettingsFileBytes) {
        tooLarge_ = true;
        tellTooLarge(path);
        return false;
    }
    loadFromBytes(bytes);
    return true;
}

void IniFile::loadFromBytes(const QByteArray &input)
{
    lines_.clear();
    encoding_ = textEncodingOf(input);
    const bool utf8 = encoding_ == TextEncoding::Utf8;
    bom_ = utf8 && input.startsWith("\xEF\xBB\xBF");
    const QByteArray bytes = bom_ ? input.mid(3) : input;
    eol_ = bytes.contains("\r\n") || !bytes.contains('\n') ? QByteArray("\r\n") : QByteArray("\n");
    finalEol_ = bytes.isEmpty() || bytes.endsWith('\n');
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    while (start < n) {
        qsizetype nl = bytes.indexOf('\n', start);
        qsizetype end = nl < 0 ? n : nl;
        QByteArray raw = bytes.mid(start, end - start);
        Line l;
        // Each line keeps its own line end: a file of mixed line ends is
        // written back as it was read.
        if (nl >= 0)
            l.eol = raw.endsWith('\r') ? QByteArray("\r\n") : QByteArray("\n");
        if (nl >= 0 && raw.endsWith('\r'))
            raw.chop(1);
        l.raw = raw;
        l.text = decodeText(raw, encoding_);
        lines_.push_back(std::move(l));
        start = nl < 0 ? n : nl + 1;
    }
}

QString IniFile::keyOf(const QString &line, QString *value)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('['))
        return {};
    const qsizetype eq = t.indexOf('=');
    if (eq <= 0)
        return {};
    if (value) {
        QString v = t.mid(eq + 1).trimmed();
        // A value in double quotes is read without them, as the profile reader does.
        if (v.size() >= 2 && ((v.startsWith('"') && v.endsWith('"')) || (v.startsWith('\'') && v.endsWith('\''))))
            v = v.mid(1, v.size() - 2);
        *value = v;
    }
    return t.left(eq).trimmed();
}

static bool isHeader(const QString &line, QString *name)
{
    const QString t = line.trimmed();
    if (!t.startsWith('['))
        return false;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return false;
    if (name)
        *name = t.mid(1, close - 1).trimmed();
    return true;
}

int IniFile::findSection(const QString &section) const
{
    QString name;
    for (size_t i = 0; i < lines_.size(); ++i)
        if (isHeader(lines_[i].text, &name) && name.compare(section, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

int IniFile::sectionEnd(int sectionLine) const
{
    for (size_t i = sectionLine + 1; i < lines_.size(); ++i)
        if (isHeader(lines_[i].text, nullptr))
            return int(i);
    return int(lines_.size());
}

int IniFile::findKey(int sectionLine, const QString &key) const
{
    const int end = sectionEnd(sectionLine);
    for (int i = sectionLine + 1; i < end; ++i)
        if (keyOf(lines_[i].text, nullptr).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool IniFile::contains(const QString &section, const QString &key) const
{
    const int s = findSection(section);
    return s >= 0 && findKey(s, key) >= 0;
}

QString IniFile::value(const QString &section, const QString &key, const QString &def) const
{
    const int s = findSection(section);
    if (s < 0)
        return def;
    const int k = findKey(s, key);
    if (k < 0)
        return def;
    QString v;
    keyOf(lines_[k].text, &v);
    return v;
}

QString IniFile::refusal(const QString &section, const QString &key, const QString &value) const
{
    for (const QString *t : {&section, &key, &value}) {
        const QChar c = firstUnencodable(*t, encoding_);
        if (c.isNull())
            continue;
        return QStringLiteral("Värdet för \"%1\" under [%2] innehåller tecknet \"%3\" (U+%4), som filens "
                              "teckenkodning %5 inte kan lagra. Den inställningen har inte ändrats.")
            .arg(key, section, QString(c))
            .arg(c.unicode(), 4, 16, QLatin1Char('0'))
            .arg(encodingName(encoding_));
    }
    return {};
}

bool IniFile::isPlainAscii() const
{
    if (encoding_ != TextEncoding::Windows1252)
        return false;
    for (const Line &l : lines_)
        if (!l.edited && hasHighBytes(l.raw))
            return false;
    return true;
}

bool IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    if (!refusal(section, key, value).isEmpty()) {
        // A file of plain ASCII is UTF-8 already: it becomes so, and no byte
        // of what it holds changes.
        if (!isPlainAscii())
            return false;
        encoding_ = TextEncoding::Utf8;
    }
    QString v = value;
    v.replace('\r', ' ').replace('\n', ' ');
    Line entry;
    entry.text = key + '=' + v;
    entry.edited = true;
    int s = findSection(section);
    if (s < 0) {
        if (!lines_.empty() && !lines_.back().text.trimmed().isEmpty()) {
            Line blank;
            blank.edited = true;
            lines_.push_back(blank);
        }
        Line header;
        header.text = '[' + section + ']';
        header.edited = true;
        lines_.push_back(header);
        lines_.push_back(entry);
        return true;
    }
    const int k = findKey(s, key);
    if (k >= 0) {
        // Keep the stored spelling of the key.
        entry.text = keyOf(lines_[k].text, nullptr) + '=' + v;
        entry.eol = lines_[k].eol;
        lines_[k] = entry;
        return true;
    }
    // After the last non-blank line of the section.
    int at = sectionEnd(s);
    while (at - 1 > s && lines_[at - 1].text.trimmed().isEmpty())
        --at;
    lines_.insert(lines_.begin() + at, entry);
    return true;
}

void IniFile::removeKey(const QString &section, const QString &key)
{
    const int s = findSection(section);
    if (s < 0)
        return;
    const int k = findKey(s, key);
    if (k >= 0)
        lines_.erase(lines_.begin() + k);
}

QStringList IniFile::sections() const
{
    QStringList out;
    QString name;
    for (const Line &l : lines_)
        if (isHeader(l.text, &name))
            out << name;
    return out;
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList out;
    const int s = findSection(section);
    if (s < 0)
        return out;
    const int end = sectionEnd(s);
    for (int i = s + 1; i < end; ++i) {
        QString k = keyOf(lines_[i].text, nullptr);
        if (!k.isEmpty())
            out << k;
    }
    return out;
}

QByteArray IniFile::toBytes() const
{
    QByteArray out = bom_ ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line &l = lines_[i];
        out += l.edited ? encodeText(l.text, encoding_) : l.raw;
        if (!l.eol.isEmpty())
            out += l.eol;
        else if (i + 1 < lines_.size() || finalEol_ || l.edited)
            out += eol_;
    }
    return out;
}

bool IniFile::save(const QString &path, QString *why) const
{
    // A settings-like file in a folder others may write in: a link another
    // user put there in its place is not written through, also when it is
    // put there while the file is written.
    try {
        writeFileAtomic(path, toBytes(), nullptr, LinkRule::OwnFiles);
        return true;
    } catch (const RkError &e) {
        if (why)
            *why = e.description();
        return false;
    }
}

static QString iniWriteFailureText(const QString &reason, const QString &note)
{
    QString text = QStringLiteral("Fel vid skrivning till INI-fil...");
    if (!reason.isEmpty())
        text += QStringLiteral("\r\n\r\n") + reason;
    if (!note.isEmpty())
        text += QStringLiteral("\r\n\r\n") + note;
    return text;
}

static bool reportIniFailure(const QString &reason, const QString &note)
{
    RkBeep();
    RkMsgBox(iniWriteFailureText(reason, note), MbButtons::Ok, MbIcon::Exclamation);
    return false;
}

bool RkWriteIniFile(const QString &path, const QList<IniEdit> &edits, const QString &note)
{
    const QString p = RkNativePath(path);
    IniFile ini;
    // A file that is there but cannot be read is not replaced by the few keys
    // of this write.
    if (!ini.load(p) && QFileInfo::exists(p)) {
        if (ini.tooLarge())
            return reportIniFailure(tooLargeText(p), note);
        const QFileInfo fi(p);
        if (!fi.isDir() && !fi.isFile())
            return reportIniFailure(notRegularText(p), note);
        const int err = fi.isDir() ? EISDIR : !fi.isReadable() ? EACCES : EIO;
        return reportIniFailure(QStringLiteral("%1: %2").arg(p, RkSystemErrorText(err)), note);
    }
    // A value the file cannot hold leaves that one key as it was; every other
    // key is written, and each refused value is told once per session.
    static QSet<QString> told;
    QStringList refused;
    bool allTaken = true;
    for (const IniEdit &e : edits) {
        if (e.remove) {
            ini.removeKey(e.section, e.key);
        } else if (!ini.setValue(e.section, e.key, e.value)) {
            allTaken = false;
            const QString why = p + QStringLiteral(": ") + ini.refusal(e.section, e.key, e.value);
            if (!told.contains(why)) {
                told.insert(why);
                refused << why;
            }
        }
    }
    QString why;
    forgetRoundCopies();
    if (!ini.save(p, &why))
        return reportIniFailure(why, note);
    if (!refused.isEmpty())
        reportIniFailure(refused.join(QStringLiteral("\r\n")), note);
    return allTaken;
}

// ---------------------------------------------------------------------------
// Collected writes

namespace {
struct Batch {
    QMap<QString, QList<IniEdit>> files; // by path, in the order of the calls
    QStringList order;
};
Batch *gBatch = nullptr;
}

IniWriteBatch::IniWriteBatch()
{
    if (!gBatch) {
        gBatch = new Batch;
        outer_ = true;
    }
}

IniWriteBatch::~IniWriteBatch() { commit(); }

bool IniWriteBatch::commit()
{
    if (!outer_ || !gBatch)
        return true;
    Batch *b = gBatch;
    gBatch = nullptr;
    outer_ = false;
    bool ok = true;
    for (const QString &path : std::as_const(b->order))
        ok = RkWriteIniFile(path, b->files.value(path)) && ok;
    delete b;
    return ok;
}

// ---------------------------------------------------------------------------
// Rounds of look-ups

namespace {
// What tells a file from the one read before: replaced, grown, written.
struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{}, ctime{};
    bool operator==(const FileStamp &o) const
    {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec
               && mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec
               && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

std::optional<FileStamp> stampOf(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

struct RoundCopy {
    FileStamp stamp;
    IniFile ini;
};
struct Round {
    std::map<QString, RoundCopy> files;
};
Round *gRound = nullptr;
}

IniReadRound::IniReadRound()
{
    if (!gRound) {
        gRound = new Round;
        outer_ = true;
    }
}

IniReadRound::~IniReadRound()
{
    if (outer_) {
        delete gRound;
        gRound = nullptr;
    }
}

static const IniFile *roundCopy(const QString &path)
{
    if (!gRound)
        return nullptr;
    const std::optional<FileStamp> now = stampOf(path);
    if (!now) {
        gRound->files.erase(path);
        return nullptr;
    }
    auto it = gRound->files.find(path);
    if (it != gRound->files.end() && it->second.stamp == *now)
        return &it->second.ini;
    RoundCopy copy{*now, IniFile()};
    if (!copy.ini.load(path)) {
        gRound->files.erase(path);
        return nullptr;
    }
    // Read, then looked at again: a file changed while it was read is not kept.
    if (stampOf(path) != now)
        return nullptr;
    auto &slot = gRound->files[path];
    slot = std::move(copy);
    return &slot.ini;
}

static void forgetRoundCopies()
{
    if (gRound)
        gRound->files.clear();
}

QString mainSettingsFile()
{
    return findFileNoCase(gsDataPath, gsExeName + QStringLiteral(".INI"));
}

static QString resolveFileArg(QString &file)
{
    if (file.size() < 2)
        file = mainSettingsFile();
    return findFileNoCase(RkNativePath(file));
}

QString GetIniSetting(const QString &section, const QString &key, const QString &def, QString &file)
{
    return RkGuard("GetIniSetting()", [&]() -> QString {
        const QString path = resolveFileArg(file);
        if (const IniFile *kept = roundCopy(path))
            return kept->value(section, key, def);
        IniFile ini;
        if (!ini.load(path))
            return def;
        return ini.value(section, key, def);
    });
}

QString GetIniSetting(const QString &section, const QString &key, const QString &def, const QString &file)
{
    QString f = file;
    return GetIniSetting(section, key, def, f);
}

bool SaveIniSetting(const QString &section, const QString &key, const QString &value, QString &file)
{
    return RkGuard("SaveIniSetting()", [&]() -> bool {
        const QString path = resolveFileArg(file);
        if (gBatch) {
            if (!gBatch->files.contains(path))
                gBatch->order << path;
            gBatch->files[path].append({section, key, value});
            return true;
        }
        return RkWriteIniFile(path, {{section, key, value}});
    });
}

bool SaveIniSetting(const QString &section, const QString &key, const QString &value, const QString &file)
{
    QString f = file;
    return SaveIniSetting(section, key, value, f);
}

}
