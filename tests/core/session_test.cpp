// Which folder an editor keeps its hand-off files in: one per user and
// session, private, and the same for the next editor of that session.
#include "core/session.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The session variables as a test sets them, put back afterwards.
class SessionVars {
public:
    SessionVars()
    {
        for (const char *v : kNames)
            saved_.push_back({v, qgetenv(v), qEnvironmentVariableIsSet(v)});
        qunsetenv("WAYLAND_DISPLAY");
    }
    ~SessionVars()
    {
        for (const auto &s : saved_) {
            if (s.set)
                qputenv(s.name, s.value);
            else
                qunsetenv(s.name);
        }
    }
    void set(const char *name, const QString &value) { qputenv(name, QFile::encodeName(value)); }

private:
    static constexpr const char *kNames[] = {"DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"};
    struct Saved {
        const char *name;
        QByteArray value;
        bool set;
    };
    std::vector<Saved> saved_;
};

mode_t modeOf(const QString &path)
{
    struct stat st;
    return lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

}

using namespace lumrik;

TEST(HandOffFolder, OnePerSessionTheSameForTheNextEditor)
{
    SessionVars vars;
    vars.set("DISPLAY", ":5");
    const QString five = resolveHandOffPath();
    EXPECT_TRUE(five.startsWith(resolveTmpPath() + "/"));
    EXPECT_TRUE(QFileInfo(five).isDir());
    EXPECT_EQ(modeOf(five) & 0777, 0700u);
    // Another screen of the display, or a later start on it: the same folder.
    vars.set("DISPLAY", ":5.1");
    EXPECT_EQ(resolveHandOffPath(), five);
    vars.set("DISPLAY", ":5");
    EXPECT_EQ(resolveHandOffPath(), five);

    // Another display, a Wayland session, or the same display number in
    // another runtime folder (another log-on): another editor, another folder.
    vars.set("DISPLAY", ":6");
    const QString six = resolveHandOffPath();
    EXPECT_NE(six, five);
    vars.set("WAYLAND_DISPLAY", "wayland-0");
    const QString wayland = resolveHandOffPath();
    EXPECT_NE(wayland, five);
    EXPECT_NE(wayland, six);
    qunsetenv("WAYLAND_DISPLAY");
    QTemporaryDir otherRuntime;
    vars.set("DISPLAY", ":5");
    vars.set("XDG_RUNTIME_DIR", otherRuntime.path());
    EXPECT_NE(resolveHandOffPath(), five);

    // The lock and the socket of the hand-over name the same session.
    EXPECT_TRUE(instanceName().startsWith(otherRuntime.path() + "/lumrik32-_5"));
}

TEST(HandOffFolder, AFolderOpenToOthersIsClosedAndALinkIsNotFollowed)
{
    SessionVars vars;
    vars.set("DISPLAY", ":7");
    const QString folder = resolveHandOffPath();
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                  | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
    EXPECT_EQ(resolveHandOffPath(), folder);
    EXPECT_EQ(modeOf(folder) & 0777, 0700u);

    // Where the folder should be stands a link to a folder someone else could
    // have prepared: it is not used, nor is what it points to touched.
    vars.set("DISPLAY", ":8");
    const QString eight = resolveHandOffPath();
    ASSERT_TRUE(QDir(eight).removeRecursively());
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::setPermissions(elsewhere.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                            | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
    const mode_t elsewhereMode = modeOf(elsewhere.path());
    ASSERT_TRUE(QFile::link(elsewhere.path(), eight));
    const QString used = resolveHandOffPath();
    EXPECT_NE(used, eight);
    EXPECT_FALSE(used.isEmpty());
    EXPECT_EQ(modeOf(used) & 0777, 0700u);
    EXPECT_EQ(modeOf(elsewhere.path()), elsewhereMode);
    EXPECT_FALSE(makePrivateFolder(eight));
    QFile::remove(eight);
    // A plain file is no folder either.
    ASSERT_TRUE(lumrik::test::writeFile(eight, "x"));
    EXPECT_FALSE(makePrivateFolder(eight));
    QFile::remove(eight);
}

TEST(HandOffFolder, AFolderOfAnotherUserIsRefused)
{
    if (getuid() != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";
    SessionVars vars;
    vars.set("DISPLAY", ":9");
    const QString folder = resolveHandOffPath();
    const QByteArray p = QFile::encodeName(folder);
    ASSERT_EQ(chown(p.constData(), 65534, 65534), 0);
    ASSERT_EQ(chmod(p.constData(), 0700), 0);
    EXPECT_FALSE(makePrivateFolder(folder));
    const QString used = resolveHandOffPath();
    EXPECT_NE(used, folder);
    EXPECT_EQ(modeOf(used) & 0777, 0700u);
    struct stat st;
    ASSERT_EQ(lstat(QFile::encodeName(used).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, getuid());
    QDir(folder).removeRecursively();
}
