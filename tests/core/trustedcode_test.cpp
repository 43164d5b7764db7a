// The rule for code the editor runs from its folders: who owns the file and
// the folders above it, who can write them, and where links lead.
#include "core/trustedcode.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumrik;
using test::TempEnv;

namespace {

const QString kOpen = QString::fromUtf8(" kan ändras av andra användare än ägaren");
const QString kOther = QString::fromUtf8(" ägs av en annan användare");

void mode(const QString &path, mode_t m) { ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), m), 0); }

QString openedReason(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("<kan inte öppnas>");
    const QString why = untrustedOpenFileReason(fd, path);
    ::close(fd);
    return why;
}

}

TEST(TrustedCode, FilesAndFoldersOthersCanWriteAreNamed)
{
    TempEnv env;
    const QString prog = env.write("prog/Update.exe", "#!/bin/sh\n");
    const QString folder = env.path("prog");
    mode(prog, 0755);
    EXPECT_EQ(untrustedCodeReason(prog), "");
    EXPECT_EQ(untrustedFolderReason(folder), "");
    EXPECT_EQ(openedReason(prog), "");

    mode(prog, 0775);
    EXPECT_EQ(untrustedCodeReason(prog), "filen" + kOpen);
    EXPECT_EQ(openedReason(prog), "filen" + kOpen);
    mode(prog, 0757);
    EXPECT_EQ(untrustedCodeReason(prog), "filen" + kOpen);
    mode(prog, 0755);

    // The folder, and a folder further up.
    mode(folder, 0775);
    EXPECT_EQ(untrustedCodeReason(prog), "mappen " + folder + kOpen);
    EXPECT_EQ(openedReason(prog), "mappen " + folder + kOpen);
    mode(folder, 0755);
    mode(env.dataPath(), 0777);
    EXPECT_EQ(untrustedCodeReason(prog), "mappen " + env.dataPath() + kOpen);
    EXPECT_EQ(untrustedFolderReason(folder), "mappen " + env.dataPath() + kOpen);
    // With the sticky bit others cannot rename or remove what is not theirs.
    mode(env.dataPath(), 01777);
    EXPECT_EQ(untrustedCodeReason(prog), "");
    mode(env.dataPath(), 0700);

    // The same path spelled with "." and "..".
    EXPECT_EQ(untrustedCodeReason(folder + "/./../prog/Update.exe"), "");
    EXPECT_EQ(untrustedCodeReason(env.path("prog/saknas.exe")), "filen kan inte läsas");

    // A named pipe in a program's place is no file.
    const QString pipe = env.path("prog/Pipe.exe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(openedReason(pipe), QString::fromUtf8("är ingen vanlig fil"));
}

TEST(TrustedCode, ALinkCountsByTheFolderItPointsInto)
{
    TempEnv env;
    const QString shared = env.path("delad");
    const QString real = env.write("delad/Vindre.exe", "#!/bin/sh\n");
    mode(real, 0755);
    QDir().mkpath(env.path("prog"));
    const QString link = env.path("prog/Vindre.exe");
    ASSERT_TRUE(QFile::link(real, link));
    EXPECT_EQ(untrustedCodeReason(link), "");
    EXPECT_EQ(openedReason(link), "");

    mode(shared, 0777);
    EXPECT_EQ(untrustedCodeReason(link), "mappen " + shared + kOpen);
    EXPECT_EQ(openedReason(link), "mappen " + shared + kOpen);
    mode(shared, 0755);
    mode(real, 0666 | 0111);
    EXPECT_EQ(untrustedCodeReason(link), "filen" + kOpen);

    // A folder on the way that is a link: its target's folders count too.
    mode(real, 0755);
    ASSERT_TRUE(QFile::link(shared, env.path("program")));
    const QString through = env.path("program/Vindre.exe");
    EXPECT_EQ(untrustedCodeReason(through), "");
    EXPECT_EQ(untrustedFolderReason(env.path("program")), "");
    mode(shared, 0770);
    EXPECT_EQ(untrustedCodeReason(through), "mappen " + shared + kOpen);
    EXPECT_EQ(untrustedFolderReason(env.path("program")), "mappen " + shared + kOpen);
    EXPECT_EQ(openedReason(through), "mappen " + shared + kOpen);
}

TEST(TrustedCode, OnlyTheUserAndRootAreTrusted)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make files of several users";
    TempEnv env;
    if (!test::letOthersThrough(env.dataPath()))
        GTEST_SKIP() << "not under the test run's own folder";
    constexpr unsigned kOperator = 4321, kColleague = 4322, kShop = 4444;
    const QString folder = env.path("prog");
    const QString mine = env.write("prog/Update.exe", "#!/bin/sh\n");
    const QString theirs = env.write("prog/Pendrof.exe", "#!/bin/sh\n");
    const QString roots = env.write("prog/Vindre.exe", "#!/bin/sh\n");
    for (const QString &f : {mine, theirs, roots})
        mode(f, 0755);
    ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), kOperator, kShop), 0);
    ASSERT_EQ(::chown(QFile::encodeName(mine).constData(), kOperator, kShop), 0);
    ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), kColleague, kShop), 0);

    // Seen by root: only root's own file.
    EXPECT_EQ(untrustedCodeReason(roots), "mappen " + folder + kOther);
    EXPECT_EQ(untrustedCodeReason(mine), "filen" + kOther);

    // Seen by the operator: the operator's and root's files in the
    // operator's folder run, the colleague's does not; with the folder open
    // to the shop's group, none does.
    const int rc = test::runAsUser(kOperator, kOperator, {kOperator, kShop}, [&] {
        int failed = 0;
        if (untrustedCodeReason(mine) != "")
            failed |= 1;
        if (untrustedCodeReason(roots) != "")
            failed |= 2;
        if (untrustedCodeReason(theirs) != "filen" + kOther)
            failed |= 4;
        if (::chmod(QFile::encodeName(folder).constData(), 02775) != 0
            || untrustedCodeReason(mine) != "mappen " + folder + kOpen)
            failed |= 8;
        return failed;
    });
    ASSERT_NE(rc, 77) << "the operator could not be taken on";
    EXPECT_EQ(rc, 0);
}
