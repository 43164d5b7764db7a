// Files the program writes in its own folders, when a colleague who can write
// there has put links in their place: nothing is written through another
// user's link, and a new file is never made at a link's target.
#include "core/errors.h"
#include "core/folderwrites.h"
#include "core/globals.h"
#include "core/inifile.h"
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

// A link at `link` to `target`, as the colleague would have made it.
void colleaguesLink(const QString &target, const QString &link)
{
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_EQ(::lchown(QFile::encodeName(link).constData(), kColleague, kColleague), 0);
}

struct ErrorBoxesAnswered {
    ErrorBoxesAnswered() { setErrorBoxHook([](const QString &) { return true; }); }
    ~ErrorBoxesAnswered() { setErrorBoxHook({}); }
};
}

TEST(FolderWrites, TheErrorLogIsNotAppendedThroughAColleaguesLink)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a link of another user needs root";
    TempEnv env;
    ErrorBoxesAnswered answered;
    const QString profile = env.write("home/.profile", "export PATH=/usr/bin\n");
    colleaguesLink(profile, env.path("error.log"));
    RkShowError(13, "Typmatchningsfel");
    EXPECT_EQ(readFile(profile), "export PATH=/usr/bin\n");
    EXPECT_TRUE(QFileInfo(env.path("error.log")).isSymLink());

    // A dangling link: nothing is made where it points.
    QFile::remove(env.path("error.log"));
    colleaguesLink(env.path("home/.bash_login"), env.path("error.log"));
    RkShowError(13, "Typmatchningsfel");
    EXPECT_FALSE(QFileInfo::exists(env.path("home/.bash_login")));
}

TEST(FolderWrites, TheErrorLogFollowsTheUsersOwnLinkAndIsMadeWhenMissing)
{
    TempEnv env;
    ErrorBoxesAnswered answered;
    RkShowError(13, "Typmatchningsfel");
    EXPECT_TRUE(readFile(env.path("error.log")).startsWith("Ett fel uppstod.\r\n"));
    // The user's own link to a log kept elsewhere is written as before.
    const QString kept = env.write("logs/lumrik.log", "Gammalt\r\n");
    QFile::remove(env.path("error.log"));
    ASSERT_TRUE(QFile::link(kept, env.path("error.log")));
    RkShowError(13, "Typmatchningsfel");
    const QByteArray log = readFile(kept);
    EXPECT_TRUE(log.startsWith("Gammalt\r\nEtt fel uppstod.\r\n"));
}

TEST(FolderWrites, TheSettingsFileIsNotWrittenThroughAColleaguesLink)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a link of another user needs root";
    TempEnv env;
    MsgBoxRecorder boxes;
    const QString profile = env.write("home/.profile", "export PATH=/usr/bin\n");
    const QString settings = env.path(gsExeName + ".INI");
    colleaguesLink(profile, settings);
    EXPECT_FALSE(SaveIniSetting("Settings", "LastCnc", "DEMO"));
    EXPECT_EQ(readFile(profile), "export PATH=/usr/bin\n");
    EXPECT_TRUE(QFileInfo(settings).isSymLink());
    EXPECT_TRUE(boxes.saw("Fel vid skrivning till INI-fil..."));
    EXPECT_TRUE(boxes.saw(QStringLiteral("är en länk som en annan användare har lagt dit")));
    EXPECT_TRUE(boxes.saw(gsExeName + ".INI"));

    // A machine file or a syntax file the same way, through a chain of links
    // whose last one is the colleague's.
    const QString own = env.path("MILL.cfg");
    colleaguesLink(profile, env.path("fanuc.syn"));
    ASSERT_TRUE(QFile::link(env.path("fanuc.syn"), own));
    EXPECT_TRUE(RkIsForeignLink(own));
    EXPECT_FALSE(SaveIniSetting("Communication", "BaudRate", "9600", own));
    EXPECT_FALSE(SaveIniSetting("Keywords", "G0", "255", env.path("fanuc.syn")));
    EXPECT_EQ(readFile(profile), "export PATH=/usr/bin\n");
}

TEST(FolderWrites, ANewFileIsNeverMadeAtALinksTarget)
{
    TempEnv env;
    const QString target = env.path("elsewhere.txt");
    const QString name = env.path("fanuc.syn");
    ASSERT_TRUE(QFile::link(target, name));
    EXPECT_TRUE(RkNameTaken(name));
    EXPECT_FALSE(QFileInfo::exists(name)); // what Qt would have taken as free
    errno = 0;
    EXPECT_EQ(RkCreateNewFile(name), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(QFileInfo::exists(target));

    // Replacing the name replaces the link itself.
    writeFile(target, "keep");
    EXPECT_EQ(RkReplaceWithEmptyFile(name), 0);
    EXPECT_FALSE(QFileInfo(name).isSymLink());
    EXPECT_EQ(QFileInfo(name).size(), 0);
    EXPECT_EQ(readFile(target), "keep");
    EXPECT_EQ(QDir(env.dataPath()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
}
