// Links swapped in while a file is written, links of the folders on the way,
// and links planted at the hand-off files: the file a link leads to is never
// what gets written.
#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/protectedlinks.h"
#include "core/session.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {
constexpr uid_t kColleague = 4343;
const QByteArray kProfile = "export PATH=/usr/bin\n";

// At the moment the write is about to go, the name is swapped for a link to
// `target` (the colleague's when run as root).
struct SwapAtWrite {
    explicit SwapAtWrite(const QString &target)
    {
        setBeforeWriteHook([target, this](const QByteArray &name) {
            if (done)
                return;
            done = true;
            ::unlink(name.constData());
            ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), name.constData()), 0);
            if (::geteuid() == 0)
                ::lchown(name.constData(), kColleague, kColleague);
        });
    }
    ~SwapAtWrite() { setBeforeWriteHook({}); }
    bool done = false;
};
}

TEST(LinkSwap, ASettingsFileSwappedForALinkWhileItIsWrittenLeavesTheTargetAndIsTold)
{
    TempEnv env;
    const QString profile = env.write("home/.profile", kProfile);
    const QString settings = env.path(gsExeName + ".INI");
    // By rename (a plain file) and in place (a file with a second name).
    for (const bool secondName : {false, true}) {
        writeFile(settings, "[Settings]\r\nLastCnc=MILL\r\n");
        const QString second = env.path("second.INI");
        QFile::remove(second);
        if (secondName) {
            ASSERT_EQ(::link(QFile::encodeName(settings).constData(), QFile::encodeName(second).constData()), 0);
        }
        MsgBoxRecorder boxes;
        {
            SwapAtWrite swap(profile);
            const bool written = SaveIniSetting("Settings", "LastCnc", "DEMO");
            EXPECT_TRUE(swap.done);
            EXPECT_EQ(readFile(profile), kProfile) << "second name: " << secondName;
            if (!written) {
                EXPECT_TRUE(boxes.saw("Fel vid skrivning till INI-fil..."));
            }
        }
        // The program goes on: the next write of a good file is made.
        QFile::remove(settings);
        EXPECT_TRUE(SaveIniSetting("Settings", "LastCnc", "LATHE"));
        EXPECT_TRUE(readFile(settings).contains("LastCnc=LATHE"));
        EXPECT_FALSE(QFileInfo(settings).isSymLink());
    }
}

TEST(LinkSwap, ARefusedSettingsWriteIsToldAndTheProgramGoesOn)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a link of another user needs root";
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString profile = env.write("home/.profile", kProfile);
    const QString machine = env.path("MILL.cfg");
    ASSERT_TRUE(QFile::link(profile, machine));
    ASSERT_EQ(::lchown(QFile::encodeName(machine).constData(), kColleague, kColleague), 0);
    EXPECT_FALSE(SaveIniSetting("Communication", "BaudRate", "9600", machine));
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.saw("Fel vid skrivning till INI-fil..."));
    EXPECT_TRUE(boxes.saw("MILL.cfg"));
    EXPECT_TRUE(boxes.saw(QStringLiteral("en annan användare")));
    EXPECT_EQ(readFile(profile), kProfile);
    // Still running, and the main settings file is written as ever.
    EXPECT_TRUE(SaveIniSetting("Settings", "LastCnc", "MILL"));
    EXPECT_TRUE(readFile(env.path(gsExeName + ".INI")).contains("LastCnc=MILL"));
}

TEST(LinkSwap, AColleaguesLinkAmongTheFoldersOnTheWayIsNotFollowed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a link of another user needs root";
    TempEnv env;
    const QString own = env.path("home/work");
    ASSERT_TRUE(QDir().mkpath(own));
    const QString kept = env.write("home/work/O1.NC", "%\r\nO1 EGEN\r\n%\r\n");
    const QString shared = env.path("shared");
    ASSERT_TRUE(QDir().mkpath(shared));
    ::chmod(QFile::encodeName(shared).constData(), 01777);
    const QString progs = shared + "/progs";
    ASSERT_TRUE(QFile::link(own, progs));
    ASSERT_EQ(::lchown(QFile::encodeName(progs).constData(), kColleague, kColleague), 0);

    EXPECT_FALSE(RkForeignLinkProblem(progs + "/O1.NC").isEmpty());
    EXPECT_FALSE(RkForeignLinkProblem(progs + "/NY.NC").isEmpty());
    EXPECT_THROW(writeFileAtomic(progs + "/O1.NC", "%\r\nO1\r\nM30\r\n%\r\n"), RkError);
    EXPECT_THROW(writeFileAtomic(progs + "/NY.NC", "%\r\n"), RkError);
    EXPECT_EQ(readFile(kept), "%\r\nO1 EGEN\r\n%\r\n");
    EXPECT_FALSE(QFileInfo::exists(own + "/NY.NC"));

    // Root's link there, or the user's own folder link, is followed.
    ASSERT_EQ(::lchown(QFile::encodeName(progs).constData(), 0, 0), 0);
    EXPECT_TRUE(RkForeignLinkProblem(progs + "/O1.NC").isEmpty());
    writeFileAtomic(progs + "/O1.NC", "%\r\nO1 NY\r\n%\r\n");
    EXPECT_EQ(readFile(kept), "%\r\nO1 NY\r\n%\r\n");
}

TEST(LinkSwap, HandOffFilesReplaceALinkAtTheirNameAndLeaveItsTarget)
{
    TempEnv env;
    const QString profile = env.write("home/.profile", kProfile);
    const QString txd = tmpFile(kTxdTmp);
    ASSERT_FALSE(txd.isEmpty());
    ASSERT_TRUE(QFile::link(profile, txd));
    writeHandOffFile(txd, "%\r\nO1\r\nM30\r\n%\r\n");
    EXPECT_EQ(readFile(profile), kProfile);
    EXPECT_FALSE(QFileInfo(txd).isSymLink());
    EXPECT_EQ(readFile(txd), "%\r\nO1\r\nM30\r\n%\r\n");

    // A second name of another file is replaced too, not written in place.
    QFile::remove(txd);
    ASSERT_EQ(::link(QFile::encodeName(profile).constData(), QFile::encodeName(txd).constData()), 0);
    writeHandOffFile(txd, "%\r\nO2\r\n%\r\n");
    EXPECT_EQ(readFile(profile), kProfile);
    EXPECT_EQ(readFile(txd), "%\r\nO2\r\n%\r\n");

    // Written piece by piece (reception, header lines): the same.
    const QString rxd = tmpFile(kRxdTmp);
    ASSERT_TRUE(QFile::link(profile, rxd));
    const int fd = openHandOffFile(rxd);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "O3\r\n", 4), 4);
    ::close(fd);
    EXPECT_EQ(readFile(profile), kProfile);
    EXPECT_FALSE(QFileInfo(rxd).isSymLink());
    EXPECT_EQ(readFile(rxd), "O3\r\n");

    // A link swapped in at the last moment is replaced as well.
    {
        SwapAtWrite swap(profile);
        writeHandOffFile(txd, "%\r\nO4\r\n%\r\n");
        EXPECT_TRUE(swap.done);
    }
    EXPECT_EQ(readFile(profile), kProfile);
    EXPECT_EQ(readFile(txd), "%\r\nO4\r\n%\r\n");
}
