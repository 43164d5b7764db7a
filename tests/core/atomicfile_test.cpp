// The one file writer: the old file survives every failure, also a write that
// the system cuts short, and keeps its owner, group, permissions, ACLs,
// attributes and links.
#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/filenames.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

using namespace lumrik;
using namespace lumrik::test;

TEST(AtomicWrite, ReplacesAndKeepsPermissions)
{
    TempEnv env;
    const QString p = env.write("O1.NC", "old\r\n");
    QFile::setPermissions(p, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                 | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther);
    const auto before = QFileInfo(p).permissions();
    writeFileAtomic(p, "new text\r\n");
    EXPECT_EQ(readFile(p), QByteArray("new text\r\n"));
    EXPECT_EQ(QFileInfo(p).permissions(), before);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(env.dataPath()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    writeFileAtomic(env.path("NEW.NC"), "");
    EXPECT_TRUE(QFileInfo::exists(env.path("NEW.NC")));
    EXPECT_EQ(QFileInfo(env.path("NEW.NC")).size(), 0);
    // A new file keeps the permissions it was made with, and can be written again.
    const auto ownerRw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    EXPECT_EQ(QFileInfo(env.path("NEW.NC")).permissions() & ownerRw, ownerRw);
    writeFileAtomic(env.path("NEW.NC"), "again");
    EXPECT_EQ(readFile(env.path("NEW.NC")), QByteArray("again"));
}

TEST(AtomicWrite, FollowsASymbolicLink)
{
    TempEnv env;
    const QString target = env.write("real.nc", "A\n");
    const QString link = env.path("link.nc");
    ASSERT_TRUE(QFile::link(target, link));
    writeFileAtomic(link, "B\n");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readFile(target), QByteArray("B\n"));
}

TEST(AtomicWrite, FailuresLeaveTheOldFile)
{
    TempEnv env;
    EXPECT_THROW(writeFileAtomic(env.path("nofolder/O1.NC"), "x"), RkError);
    EXPECT_FALSE(QFileInfo::exists(env.path("nofolder")));

    const QString ro = env.write("RO.NC", "keep");
    QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    EXPECT_THROW(writeFileAtomic(ro, "lost"), RkError);
    EXPECT_EQ(readFile(ro), QByteArray("keep"));

    QDir(env.dataPath()).mkdir("adir");
    EXPECT_THROW(writeFileAtomic(env.path("adir"), "x"), RkError);
    EXPECT_TRUE(QFileInfo(env.path("adir")).isDir());
}

TEST(AtomicWrite, AWriteThatFailsHalfWayKeepsTheOldFile)
{
    TempEnv env;
    const QByteArray old = QByteArray("%\r\nO1000 (GAMMAL)\r\n").repeated(100);
    const QString p = env.write("O1000.NC", old);
    // Let the system refuse files larger than 1000 bytes, as a full disk would.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        writeFileAtomic(p, QByteArray(5000, 'N'));
    } catch (const RkError &) {
        threw = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(threw);
    EXPECT_EQ(readFile(p), old);
    EXPECT_EQ(QDir(env.dataPath()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}


// ---- Saves by other users: the file stays as its owner set it up ----

namespace {

constexpr uid_t kOwner = 65534;    // the file's owner
constexpr gid_t kShop = 4242;      // the shop's shared group
constexpr uid_t kColleague = 4343; // a member of that group, with a group of his own

struct FileState {
    struct stat st {};
    QByteArray acl, note;
};

QByteArray xattrOf(const QString &path, const char *name)
{
    char buf[4096];
    const ssize_t n = ::getxattr(QFile::encodeName(path).constData(), name, buf, sizeof buf);
    return n < 0 ? QByteArray() : QByteArray(buf, n);
}

FileState stateOf(const QString &path)
{
    FileState s;
    ::stat(QFile::encodeName(path).constData(), &s.st);
    s.acl = xattrOf(path, "system.posix_acl_access");
    s.note = xattrOf(path, "user.lumrik.note");
    return s;
}

// Gives the file an ACL entry and an attribute of its own; false when the
// file system (or the system) cannot.
bool decorate(const QString &path, const char *aclEntry = "u:4444:rw")
{
    if (QProcess::execute(QStringLiteral("setfacl"), {"-m", aclEntry, path}) != 0)
        return false;
    static const char note[] = "verktyg 12";
    return ::setxattr(QFile::encodeName(path).constData(), "user.lumrik.note", note, sizeof note - 1, 0) == 0;
}

void own(const QString &path, uid_t uid, gid_t gid, mode_t mode)
{
    const QByteArray p = QFile::encodeName(path);
    ASSERT_EQ(::chown(p.constData(), uid, gid), 0);
    ASSERT_EQ(::chmod(p.constData(), mode), 0);
}

// Runs `work` in a child process as another user; its exit status (77 when
// the user could not be taken on).
template <typename Work>
int runAs(uid_t uid, gid_t gid, std::vector<gid_t> groups, Work work)
{
    return test::runAsUser(uid, gid, {groups.begin(), groups.end()}, work);
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Every name in the folder as its bytes (QDir leaves out names that are not UTF-8).
QList<QByteArray> rawEntries(const QByteArray &folder)
{
    QList<QByteArray> out;
    if (DIR *d = ::opendir(folder.constData())) {
        while (const dirent *e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                out << QByteArray(e->d_name);
        ::closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

}

TEST(AtomicWrite, ASaveByAColleagueKeepsOwnerGroupAclAttributesAndLinks)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make files of several users";
    TempEnv env;
    const FolderOthersReach reach(env);
    if (reach.path().isEmpty())
        GTEST_SKIP() << reach.why().toStdString();
    const auto put = [&](const QString &name, const QByteArray &bytes) {
        writeFile(reach.path(name), bytes);
        return reach.path(name);
    };
    const QString shop = reach.path("shop");
    ASSERT_TRUE(QDir().mkpath(shop));
    own(shop, 0, kShop, 02775); // the shop's shared, setgid program folder

    // A program of another user with a second name outside the folder.
    const QString linked = put("shop/O1000.NC", "%\r\nO1000 (GAMMAL)\r\nM30\r\n%\r\n");
    own(linked, kOwner, kShop, 0664);
    if (!decorate(linked))
        GTEST_SKIP() << "no ACL or extended attributes here (setfacl from the acl package)";
    const QString other = reach.path("O1000-ARKIV.NC");
    ASSERT_EQ(::link(QFile::encodeName(linked).constData(), QFile::encodeName(other).constData()), 0);
    // A program of another user with one name.
    const QString foreign = put("shop/O2000.NC", "O2000\r\n");
    own(foreign, kOwner, kShop, 0660);
    ASSERT_TRUE(decorate(foreign));
    // The colleague's own program, kept in the shop's group.
    const QString mine = put("shop/O3000.NC", "O3000\r\n");
    own(mine, kColleague, kShop, 0664);
    ASSERT_TRUE(decorate(mine, "g:4444:r"));
    const FileState before[] = {stateOf(linked), stateOf(foreign), stateOf(mine)};
    ASSERT_FALSE(before[0].acl.isEmpty());

    const QByteArray text[] = {"%\r\nO1000 (NY OCH LAENGRE)\r\nG0 X0\r\nM30\r\n%\r\n", "O2\r\n", "O3000 NY\r\n"};
    const int rc = runAs(kColleague, kColleague, {kColleague, kShop}, [&] {
        int failed = 0;
        const QString files[] = {linked, foreign, mine};
        for (int i = 0; i < 3; ++i) {
            try {
                writeFileAtomic(files[i], text[i]);
            } catch (const RkError &) {
                failed |= 1 << i;
            }
        }
        return failed;
    });
    ASSERT_NE(rc, 77) << "the colleague could not be taken on";
    EXPECT_EQ(rc, 0);

    const QString files[] = {linked, foreign, mine};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(files[i].toStdString());
        const FileState after = stateOf(files[i]);
        EXPECT_EQ(readFile(files[i]), text[i]);
        EXPECT_EQ(after.st.st_uid, before[i].st.st_uid);
        EXPECT_EQ(after.st.st_gid, kShop);
        EXPECT_EQ(after.st.st_mode, before[i].st.st_mode);
        EXPECT_EQ(after.acl, before[i].acl);
        EXPECT_EQ(after.note, before[i].note);
        EXPECT_EQ(after.st.st_nlink, before[i].st.st_nlink);
    }
    // The other name holds the new text: still one file.
    EXPECT_EQ(readFile(other), text[0]);
    // The colleague's own file went the normal way (a new file renamed over it).
    EXPECT_NE(stateOf(mine).st.st_ino, before[2].st.st_ino);
    EXPECT_EQ(stateOf(linked).st.st_ino, before[0].st.st_ino);
    // No copy or temporary file is left behind.
    EXPECT_EQ(entries(shop), QStringList({"O1000.NC", "O2000.NC", "O3000.NC"}));
    EXPECT_TRUE(entries(env.tmpPath()).isEmpty());
}

TEST(AtomicWrite, ANewFileGetsItsFoldersDefaultAclAndAnOldOneKeepsItsOwn)
{
    TempEnv env;
    const QString folder = env.path("acl");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString plain = env.write("acl/PLAIN.NC", "old\r\n");
    const QString withAcl = env.write("acl/ACL.NC", "old\r\n");
    ::chmod(QFile::encodeName(plain).constData(), 0640);
    if (!decorate(withAcl) || QProcess::execute("setfacl", {"-d", "-m", "u:4444:rwx", folder}) != 0)
        GTEST_SKIP() << "no ACL or extended attributes here (setfacl from the acl package)";
    if (::geteuid() == 0)
        own(withAcl, kOwner, kShop, 0660); // root keeps another user's file that user's
    const FileState before[] = {stateOf(plain), stateOf(withAcl)};

    writeFileAtomic(plain, "new\r\n");
    writeFileAtomic(withAcl, "new\r\n");
    writeFileAtomic(env.path("acl/NEW.NC"), "new\r\n");

    // The folder's default ACL is not pressed on a file that had none.
    EXPECT_TRUE(stateOf(plain).acl.isEmpty());
    EXPECT_NE(stateOf(plain).st.st_ino, before[0].st.st_ino); // the normal way, not in place
    EXPECT_EQ(stateOf(plain).st.st_mode, before[0].st.st_mode);
    EXPECT_EQ(stateOf(withAcl).acl, before[1].acl);
    EXPECT_EQ(stateOf(withAcl).note, before[1].note);
    EXPECT_NE(stateOf(withAcl).st.st_ino, before[1].st.st_ino);
    EXPECT_EQ(stateOf(withAcl).st.st_uid, before[1].st.st_uid);
    EXPECT_EQ(stateOf(withAcl).st.st_gid, before[1].st.st_gid);
    EXPECT_EQ(stateOf(withAcl).st.st_mode, before[1].st.st_mode);
    // A new file gets what any new file there gets: the inherited entry, writable.
    QProcess getfacl;
    getfacl.start("getfacl", {"-c", env.path("acl/NEW.NC")});
    ASSERT_TRUE(getfacl.waitForFinished(60000));
    const QByteArray acl = getfacl.readAllStandardOutput();
    EXPECT_TRUE(acl.contains("user:4444:rwx")) << acl.constData();
    EXPECT_TRUE(acl.contains("mask::rw-")) << acl.constData();
    EXPECT_EQ(readFile(env.path("acl/NEW.NC")), "new\r\n");
}

// Written in place, the old bytes are kept until the new ones are whole: a
// write that the system cuts short puts them back, also their times.
TEST(AtomicWrite, AnInPlaceWriteThatFailsHalfWayPutsTheOldBytesBack)
{
    TempEnv env;
    const QByteArray old = QByteArray("%\r\nO1000 (GAMMAL)\r\n").repeated(50);
    const QString p = env.write("O1000.NC", old);
    const QString other = env.path("O1000-ARKIV.NC");
    ASSERT_EQ(::link(QFile::encodeName(p).constData(), QFile::encodeName(other).constData()), 0);
    const struct timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(p).constData(), old_times, 0), 0);
    const FileState before = stateOf(p);
    try {
        FileSizeLimit full(2000);
        ASSERT_TRUE(full.active());
        writeFileAtomic(p, QByteArray(5000, 'N'));
        ADD_FAILURE() << "a cut-off write was reported as done";
    } catch (const RkError &e) {
        EXPECT_EQ(e.number(), kErrDiskFull);
        EXPECT_TRUE(e.description().contains(QStringLiteral("är disken full?"))) << e.description().toStdString();
    }
    EXPECT_EQ(readFile(p), old);
    EXPECT_EQ(readFile(other), old);
    EXPECT_EQ(stateOf(p).st.st_ino, before.st.st_ino);
    EXPECT_EQ(stateOf(p).st.st_mtim.tv_sec, before.st.st_mtim.tv_sec);
    EXPECT_EQ(entries(env.dataPath()), QStringList({"O1000-ARKIV.NC", "O1000.NC"}));

    // With room enough the same file takes the new bytes, shorter ones too.
    writeFileAtomic(p, QByteArray(5000, 'N'));
    EXPECT_EQ(readFile(other), QByteArray(5000, 'N'));
    writeFileAtomic(other, "O1\r\n");
    EXPECT_EQ(readFile(p), "O1\r\n");
    EXPECT_EQ(entries(env.dataPath()), QStringList({"O1000-ARKIV.NC", "O1000.NC"}));
}

// A name that is not UTF-8, with a second name: written in place by its bytes,
// and its copy (named after it) is gone afterwards, also after a failure.
TEST(AtomicWrite, ANameThatIsNotUtf8IsWrittenInPlaceToo)
{
    TempEnv env;
    const QByteArray folder = QFile::encodeName(env.dataPath());
    const QByteArray raw = folder + "/X\xD6.NC", second = folder + "/\xC5RKIV.NC";
    const QString path = RkDecodeName(raw);
    // Names Qt cannot list would keep the test's folder from being removed.
    const auto cleanup = qScopeGuard([&] {
        for (const QByteArray &name : rawEntries(folder))
            ::unlink((folder + '/' + name).constData());
    });
    const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "OLD\r\n", 5), 5);
    ::close(fd);
    ASSERT_EQ(::link(raw.constData(), second.constData()), 0);
    const auto text = [](const QByteArray &name) {
        QFile f;
        return RkOpenFile(f, RkDecodeName(name), QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    };
    {
        FileSizeLimit full(200);
        ASSERT_TRUE(full.active());
        EXPECT_THROW(writeFileAtomic(path, QByteArray(500, 'N')), RkError);
    }
    EXPECT_EQ(text(second), "OLD\r\n");
    EXPECT_EQ(rawEntries(folder), QList<QByteArray>({"X\xD6.NC", "\xC5RKIV.NC"}));
    writeFileAtomic(path, "NEW\r\n");
    EXPECT_EQ(text(second), "NEW\r\n");
    EXPECT_EQ(text(raw), "NEW\r\n");
    EXPECT_EQ(rawEntries(folder), QList<QByteArray>({"X\xD6.NC", "\xC5RKIV.NC"}));
}

// A full disk (a small file system of the test's own) during a save, the
// normal way and in place: the old file stays whole and nothing is left.
TEST(AtomicWrite, AFullDiskLeavesTheOldFileWhole)
{
    TempEnv env;
    const QString disk = env.path("disk");
    ASSERT_TRUE(QDir().mkpath(disk));
    const QByteArray d = QFile::encodeName(disk);
    const QByteArray old(4096, 'G');
    const int rc = runAs(::getuid(), ::getgid(), {::getgid()}, [&]() -> int {
        // Only this child sees the small file system.
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("tmpfs", d.constData(), "tmpfs", 0, "size=64k") != 0)
            return 77;
        int failed = 0;
        const QString renamed = disk + "/O1.NC", linked = disk + "/O2.NC", other = disk + "/O2-ARKIV.NC";
        if (!writeFile(renamed, old) || !writeFile(linked, old)
            || ::link(QFile::encodeName(linked).constData(), QFile::encodeName(other).constData()) != 0)
            return 76;
        // Fill the disk, then give two pages back.
        QFile fill(disk + "/fill");
        if (!fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return 76;
        while (fill.write(QByteArray(4096, 'F')) == 4096) {
        }
        if (!fill.resize(fill.size() - 2 * 4096))
            return 76;
        fill.close();
        const QStringList names = entries(disk);
        const QByteArray longer(3 * 4096, 'N');
        for (const QString &p : {renamed, linked}) {
            try {
                writeFileAtomic(p, longer);
                failed |= 1;
            } catch (const RkError &e) {
                if (e.number() != kErrDiskFull)
                    failed |= 2;
            }
        }
        if (readFile(renamed) != old)
            failed |= 4;
        if (readFile(linked) != old || readFile(other) != old)
            failed |= 8;
        if (entries(disk) != names)
            failed |= 16; // a temporary file or a copy was left
        // With room again both take the new bytes.
        QFile::resize(disk + "/fill", 0);
        try {
            writeFileAtomic(renamed, longer);
            writeFileAtomic(linked, longer);
        } catch (const RkError &) {
            failed |= 32;
        }
        if (readFile(renamed) != longer || readFile(other) != longer)
            failed |= 64;
        return failed;
    });
    if (rc == 77)
        GTEST_SKIP() << "a small file system cannot be mounted here (needs root or a user namespace)";
    EXPECT_EQ(rc, 0);
}

// A writable file in a folder the user may not write in: written in place,
// with the copy of the old bytes in a private folder of the user's.
// Root may write everywhere, so the write is made by another user.
TEST(AtomicWrite, AWritableFileInAFolderThatIsNotIsWrittenInPlace)
{
    TempEnv env;
    const FolderOthersReach reach(env);
    if (reach.path().isEmpty())
        GTEST_SKIP() << reach.why().toStdString();
    QDir(reach.path()).mkdir("ro");
    const QString file = reach.path("ro/O1.NC");
    writeFile(file, "old\r\n");
    const QString fresh = reach.path("ro/NY.NC");
    const QString tmp = reach.path("othertmp");
    QDir().mkpath(tmp);
    ::chmod(QFile::encodeName(reach.path("ro")).constData(), 0555);
    ::chmod(QFile::encodeName(file).constData(), 0666);
    ::chmod(QFile::encodeName(tmp).constData(), 01777);
    const int rc = runAs(kOwner, kOwner, {kOwner}, [&] {
        qputenv("TMPDIR", QFile::encodeName(tmp));
        if (::access(QFile::encodeName(reach.path("ro")).constData(), W_OK) == 0)
            return 78; // the folder can be written after all
        if (::access(QFile::encodeName(file).constData(), W_OK) != 0)
            return 79; // the file cannot be reached
        int rc = 0;
        try {
            writeFileAtomic(file, "new\r\n");
        } catch (const RkError &) {
            rc |= 1;
        }
        try {
            writeFileAtomic(fresh, "x");
            rc |= 2;
        } catch (const RkError &e) {
            // The folder is named as the cause, not the new file.
            if (!e.description().contains(QStringLiteral("kan inte skapas i mappen ") + reach.path("ro")))
                rc |= 4;
        }
        return rc;
    });
    ::chmod(QFile::encodeName(reach.path("ro")).constData(), 0755);
    if (rc == 77 || rc >= 78)
        GTEST_SKIP() << "no user who may not write the folder " << rc;
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(readFile(file), "new\r\n");
    EXPECT_FALSE(QFileInfo::exists(fresh));
    EXPECT_TRUE(entries(tmp).isEmpty());
}
