// The trash reached through an opened folder: private, never through a link,
// no entry of the trash overwritten.
#include "core/openedfolder.h"
#include "core/trash.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {
// XDG_DATA_HOME as a test sets it, put back afterwards.
class DataHome {
public:
    explicit DataHome(const QString &path) : old_(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(path));
    }
    ~DataHome() { qputenv("XDG_DATA_HOME", old_); }

private:
    QByteArray old_;
};

mode_t modeOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}
}

TEST(Trash, AnOpenTrashOfTheUserIsClosedAndNoEntryIsOverwritten)
{
    TempEnv env;
    const DataHome home(env.path("share"));
    // An older version left the trash readable by everybody.
    ASSERT_TRUE(QDir().mkpath(env.path("share/Trash/files")));
    ASSERT_EQ(::chmod(QFile::encodeName(env.path("share/Trash")).constData(), 0755), 0);
    env.write("share/Trash/files/O1.NC", "earlier");
    env.write("ncprog/O1.NC", "now");
    const OpenedFolder folder(env.path("ncprog"));
    ASSERT_EQ(RkMoveToTrash(folder, "O1.NC"), 0);
    EXPECT_EQ(modeOf(env.path("share/Trash")), 0700u);
    EXPECT_EQ(modeOf(env.path("share/Trash/files")), 0700u);
    EXPECT_EQ(modeOf(env.path("share/Trash/info")), 0700u);
    EXPECT_EQ(readFile(env.path("share/Trash/files/O1.NC")), "earlier");
    EXPECT_EQ(readFile(env.path("share/Trash/files/O1.NC.2")), "now");
    EXPECT_TRUE(QFileInfo::exists(env.path("share/Trash/info/O1.NC.2.trashinfo")));
    EXPECT_EQ(RkMoveToTrash(folder, "O1.NC"), ENOENT);
}

TEST(Trash, ALinkGoesItselfAndATrashThatIsALinkIsNotUsed)
{
    TempEnv env;
    const DataHome home(env.path("share"));
    env.write("keep/O2.NC", "the operator's own");
    ASSERT_TRUE(QDir().mkpath(env.path("ncprog")));
    ASSERT_TRUE(QFile::link(env.path("keep/O2.NC"), env.path("ncprog/O2.NC")));
    const OpenedFolder folder(env.path("ncprog"));
    ASSERT_EQ(RkMoveToTrash(folder, "O2.NC"), 0);
    EXPECT_TRUE(QFileInfo(env.path("share/Trash/files/O2.NC")).isSymLink());
    EXPECT_EQ(readFile(env.path("keep/O2.NC")), "the operator's own");

    // The trash's place taken by a link to a folder somebody else chose:
    // nothing is moved there.
    const DataHome other(env.path("share2"));
    ASSERT_TRUE(QDir().mkpath(env.path("share2")));
    ASSERT_TRUE(QDir().mkpath(env.path("elsewhere/files")));
    ASSERT_TRUE(QDir().mkpath(env.path("elsewhere/info")));
    ASSERT_TRUE(QFile::link(env.path("elsewhere"), env.path("share2/Trash")));
    env.write("ncprog/O3.NC", "x");
    EXPECT_EQ(RkMoveToTrash(folder, "O3.NC"), EXDEV);
    EXPECT_TRUE(QFileInfo::exists(env.path("ncprog/O3.NC")));
    EXPECT_TRUE(QDir(env.path("elsewhere/files")).isEmpty());

    // Names that are no entry of the folder.
    EXPECT_EQ(RkMoveToTrash(folder, "../keep/O2.NC"), EINVAL);
    EXPECT_EQ(RkMoveToTrash(folder, ".."), EINVAL);
}
