// The one atomic file writer: the old file survives every failure, also a
// write that the system cuts short, and keeps its permissions and links.
#include "core/atomicfile.h"
#include "core/errors.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A writable file in a folder the user may not write in: written in place.
// Root may write everywhere, so the write is made by another user.
TEST(AtomicWrite, AWritableFileInAFolderThatIsNotIsWrittenInPlace)
{
    TempEnv env;
    QDir(env.dataPath()).mkdir("ro");
    const QString file = env.write("ro/O1.NC", "old\r\n");
    const QString fresh = env.path("ro/NY.NC");
    // The other user may pass through this test's own folders.
    if (!env.dataPath().contains("/lumrik-test-"))
        GTEST_SKIP() << "not under the test run's own folder";
    for (QDir d(env.dataPath()); !d.isRoot(); d.cdUp()) {
        ::chmod(QFile::encodeName(d.absolutePath()).constData(), 0755);
        if (d.dirName().startsWith("lumrik-test-"))
            break;
    }
    ::chmod(QFile::encodeName(env.path("ro")).constData(), 0555);
    ::chmod(QFile::encodeName(file).constData(), 0666);
    const uid_t other = 65534;
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(other) != 0 || ::setuid(other) != 0))
            ::_exit(77);
        if (::access(QFile::encodeName(env.path("ro")).constData(), W_OK) == 0)
            ::_exit(78); // the folder can be written after all
        if (::access(QFile::encodeName(file).constData(), W_OK) != 0)
            ::_exit(79); // the file cannot be reached
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
            if (!e.description().contains(QStringLiteral("kan inte skapas i mappen ") + env.path("ro")))
                rc |= 4;
        }
        ::_exit(rc);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::chmod(QFile::encodeName(env.path("ro")).constData(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77 || WEXITSTATUS(status) >= 78)
        GTEST_SKIP() << "no user who may not write the folder " << WEXITSTATUS(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(file), "new\r\n");
    EXPECT_FALSE(QFileInfo::exists(fresh));
}
