// Links of other users in folders others may write in are never written
// through; the user's own links, root's, and links in folders only their
// owner may write in are.
#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/protectedlinks.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {
constexpr uid_t kColleague = 4343;

QString linkIn(const QString &folder, const QString &name, const QString &target, uid_t owner)
{
    const QString link = folder + '/' + name;
    if (!QFile::link(target, link))
        return {};
    if (owner != ::geteuid() && ::lchown(QFile::encodeName(link).constData(), owner, owner) != 0)
        return {};
    return link;
}
}

TEST(ProtectedLinks, AnotherUsersLinkInASharedFolderIsNotFollowedForAWrite)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make links of another user";
    TempEnv env;
    const QString mine = env.write("home/.profile", "PATH=$PATH\n");
    const QString shared = env.path("shared"), privy = env.path("privy"), group = env.path("group");
    for (const QString &f : {shared, privy, group})
        ASSERT_TRUE(QDir().mkpath(f));
    ::chmod(QFile::encodeName(shared).constData(), 01777);
    ::chmod(QFile::encodeName(group).constData(), 02775);
    ::chmod(QFile::encodeName(privy).constData(), 0755);

    const QString foreign = linkIn(shared, "O1.NC", mine, kColleague);
    ASSERT_FALSE(foreign.isEmpty());
    EXPECT_TRUE(RkForeignLinkProblem(foreign).contains("tillhör användaren 4343"));
    const QString inGroup = linkIn(group, "O2.NC", mine, kColleague);
    EXPECT_FALSE(RkForeignLinkProblem(inGroup).isEmpty()) << "a folder of the group counts as shared";
    // The same link in a folder only root may write in; the user's own link.
    EXPECT_TRUE(RkForeignLinkProblem(linkIn(privy, "O3.NC", mine, kColleague)).isEmpty());
    EXPECT_TRUE(RkForeignLinkProblem(linkIn(shared, "O4.NC", mine, 0)).isEmpty());
    // A link of the user's own that leads to the colleague's link is refused too.
    const QString chain = linkIn(privy, "O5.NC", foreign, 0);
    EXPECT_FALSE(RkForeignLinkProblem(chain).isEmpty());
    // A plain file, or nothing at all, is no link.
    EXPECT_TRUE(RkForeignLinkProblem(mine).isEmpty());
    EXPECT_TRUE(RkForeignLinkProblem(env.path("nothing")).isEmpty());

    // Every file the program writes whole keeps to the rule.
    for (const QString &link : {foreign, chain}) {
        try {
            writeFileAtomic(link, "%\r\nO1\r\nM30\r\n%\r\n");
            ADD_FAILURE() << "written through " << link.toStdString();
        } catch (const RkError &e) {
            EXPECT_EQ(e.number(), kErrPermissionDenied);
        }
    }
    EXPECT_EQ(readFile(mine), "PATH=$PATH\n");
    EXPECT_TRUE(QFileInfo(foreign).isSymLink());
}
