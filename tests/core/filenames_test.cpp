// File names that are not valid UTF-8: kept as their bytes through text and
// back, shown in Windows-1252, and reachable by the file routines.
#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/filenames.h"
#include "core/paths.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumrik;

namespace {

QByteArray bytesOf(const QString &folder, const char *name) { return QFile::encodeName(folder) + '/' + name; }

QByteArray rawRead(const QByteArray &path)
{
    QByteArray out;
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0)
        return "<missing>";
    char buf[256];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        out.append(buf, n);
    ::close(fd);
    return out;
}

void rawWrite(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
}

TEST(FileNameBytes, EveryNameComesBackAsItsBytes)
{
    const struct {
        QByteArray raw;
        bool kept;
    } names[] = {
        {"O1000.NC", false},
        {"X\xD6.NC", true},                  // Windows-1252 Ö
        {"\xC3\x96VRIG.NC", false},          // UTF-8 Ö
        {"A\xC3.NC", true},                  // a sequence cut short
        {"\xC0\xAF\xE0\x80\x80.NC", true},   // overlong forms
        {"\xED\xA0\x80.NC", true},           // an encoded surrogate
        {"\xF0\x9F\x94\xA7\xFF\xFE", true},  // a four-byte character, then bytes that never start one
        {"\x80\x9F\x81\x8D\x8F\x90\x9D", true},
    };
    for (const auto &n : names) {
        const QString text = RkDecodeName(n.raw);
        EXPECT_EQ(RkPathBytes(text), n.raw) << n.raw.toHex().toStdString();
        EXPECT_EQ(RkHasKeptBytes(text), n.kept) << n.raw.toHex().toStdString();
    }
    // Valid UTF-8 reads as itself; kept bytes show in Windows-1252.
    EXPECT_EQ(RkDecodeName("\xC3\x96VRIG.NC"), QString::fromUtf8("ÖVRIG.NC"));
    EXPECT_EQ(RkShownName(RkDecodeName("/nc/X\xD6-\x80.NC")), QString::fromUtf8("/nc/XÖ-€.NC"));
    EXPECT_EQ(RkDecodeName("X\xD6\x80"), QString::fromUtf8("X\u0580")); // two bytes that are UTF-8 after all
    EXPECT_EQ(RkShownName("/nc/O1000.NC"), "/nc/O1000.NC");
    // A real character pair is never taken for kept bytes.
    const QString pair = QString::fromUtf8("\xF0\x9F\x94\xA7");
    EXPECT_FALSE(RkHasKeptBytes(pair));
    EXPECT_EQ(RkPathBytes("C:\\NC\\" + RkDecodeName("X\xD6")), QByteArray("C:/NC/X\xD6"));
    // A "\\" read from the disk or the command line is a character of its name.
    const QString slash = RkDecodeName("/nc/a\\b.nc");
    EXPECT_TRUE(RkHasKeptBytes(slash));
    EXPECT_EQ(RkPathBytes(slash), QByteArray("/nc/a\\b.nc"));
    EXPECT_EQ(RkShownName(slash), "/nc/a\\b.nc");
    EXPECT_EQ(GetFileNamePart(slash), RkDecodeName("a\\b.nc"));
}

TEST(FileNameBytes, BackslashNameIsItsOwnFile)
{
    lumrik::test::TempEnv env;
    QDir().mkpath(env.path("a"));
    rawWrite(bytesOf(env.dataPath(), "a/b.nc"), "OTHER\r\n");
    const QString named = RkDecodeName(bytesOf(env.dataPath(), "a\\b.nc"));
    EXPECT_FALSE(RkIsFile(named));
    EXPECT_FALSE(RkFileExists(named));
    rawWrite(bytesOf(env.dataPath(), "a\\b.nc"), "MINE\r\n");
    EXPECT_TRUE(RkIsFile(named));
    QFile f;
    ASSERT_TRUE(RkOpenFile(f, named, QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "MINE\r\n");
}

TEST(FileNameBytes, FilesWithKeptBytesOpenSaveAndRename)
{
    test::TempEnv env;
    const QByteArray raw = bytesOf(env.dataPath(), "X\xD6.NC");
    rawWrite(raw, "OLD\r\n");
    ::chmod(raw.constData(), 0640);
    const QString path = RkDecodeName(raw);
    EXPECT_TRUE(RkFileExists(path));
    EXPECT_TRUE(RkIsFile(path));
    EXPECT_TRUE(RkFileModified(path).isValid());
    EXPECT_FALSE(RkIsFile(RkDecodeName(bytesOf(env.dataPath(), "Y\xD6.NC"))));

    QFile in;
    ASSERT_TRUE(RkOpenFile(in, path, QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), "OLD\r\n");
    in.close();

    // Replaced whole, permissions kept, through a link too.
    writeFileAtomic(path, "NEW\r\n");
    EXPECT_EQ(rawRead(raw), "NEW\r\n");
    struct stat st;
    ASSERT_EQ(::stat(raw.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    const QByteArray link = bytesOf(env.dataPath(), "L\xD6.NC");
    ASSERT_EQ(::symlink(raw.constData(), link.constData()), 0);
    writeFileAtomic(RkDecodeName(link), "VIA LINK\r\n");
    EXPECT_EQ(rawRead(raw), "VIA LINK\r\n");
    struct stat lst;
    ASSERT_EQ(::lstat(link.constData(), &lst), 0);
    EXPECT_TRUE(S_ISLNK(lst.st_mode));

    // A full disk: the old file stays whole, no temporary file is left.
    {
        test::FileSizeLimit full(4);
        ASSERT_TRUE(full.active());
        EXPECT_THROW(writeFileAtomic(path, "A LONGER TEXT\r\n"), RkError);
    }
    EXPECT_EQ(rawRead(raw), "VIA LINK\r\n");

    // Rename never replaces.
    rawWrite(bytesOf(env.dataPath(), "TAKEN.NC"), "T");
    EXPECT_NE(RkRenamePath(path, env.path("TAKEN.NC")), 0);
    EXPECT_EQ(rawRead(bytesOf(env.dataPath(), "TAKEN.NC")), "T");
    EXPECT_EQ(RkRenamePath(path, env.path("X2.NC")), 0);
    EXPECT_EQ(rawRead(bytesOf(env.dataPath(), "X2.NC")), "VIA LINK\r\n");
    EXPECT_FALSE(RkFileExists(path));
    ::unlink(link.constData());
    // No temporary file was left behind by the failed write.
    EXPECT_TRUE(QDir(env.dataPath()).entryList(QDir::Hidden | QDir::Files).filter(".lumrik-").isEmpty());
}

}
