// Which folder an editor keeps its hand-off files in: one per user and
// session, private, and the same for the next editor of that session.
#include "core/session.h"
#include "core/globals.h"
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

TEST(HandOffFolder, AFolderOpenToOthersIsNotTakenOverAndALinkIsNotFollowed)
{
    SessionVars vars;
    vars.set("DISPLAY", ":7");
    const QString folder = resolveHandOffPath();
    // Found open to others (an older version, another umask): whatever was put
    // in it meanwhile is not trusted; a fresh private folder is used instead.
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                  | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
    ASSERT_TRUE(QFile::link("/nowhere/planted", folder + "/Txd.Tmp"));
    const QString fresh = resolveHandOffPath();
    EXPECT_NE(fresh, folder);
    EXPECT_FALSE(fresh.isEmpty());
    EXPECT_EQ(modeOf(fresh) & 0777, 0700u);
    EXPECT_FALSE(QFileInfo::exists(fresh + "/Txd.Tmp") || QFileInfo(fresh + "/Txd.Tmp").isSymLink());
    EXPECT_EQ(modeOf(folder) & 0777, 0707u); // left as it was found
    EXPECT_FALSE(makePrivateFolder(folder));
    QDir(folder).removeRecursively();

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

namespace {
// TMPDIR as a test sets it, put back afterwards.
class TmpDirVar {
public:
    TmpDirVar() : saved_(qgetenv("TMPDIR")) {}
    ~TmpDirVar() { qputenv("TMPDIR", saved_); }
    void set(const QByteArray &value) { qputenv("TMPDIR", value); }

private:
    QByteArray saved_;
};
}

TEST(TemporaryFolder, AnUnusableTmpdirGivesAPrivateFolderNeverTheRoot)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    TmpDirVar tmpdir;
    QTemporaryDir scratch;
    const QByteArray notUtf8 = QFile::encodeName(scratch.path()) + "/tmp\xD6";
    ASSERT_EQ(mkdir(notUtf8.constData(), 0700), 0);
    ASSERT_TRUE(lumrik::test::writeFile(scratch.path() + "/plain", "x"));
    const QByteArray unwritable = QFile::encodeName(scratch.path()) + "/closed";
    ASSERT_EQ(mkdir(unwritable.constData(), 0500), 0);

    QList<QByteArray> cases{QFile::encodeName(scratch.path()) + "/missing", notUtf8,
                            QFile::encodeName(scratch.path()) + "/plain", "relative/tmp", "/"};
    if (getuid() != 0)
        cases << unwritable; // root may write anywhere
    for (const QByteArray &value : cases) {
        SCOPED_TRACE(value.toStdString());
        tmpdir.set(value);
        const QString base = temporaryBase();
        // The session's private runtime folder takes over (the test run's own).
        EXPECT_EQ(base, runtime);
        const QString tmp = resolveTmpPath();
        EXPECT_TRUE(tmp.startsWith(runtime + "/lumrik-")) << tmp.toStdString();
        EXPECT_TRUE(isPrivateFolder(tmp));
        const QString handOff = resolveHandOffPath();
        EXPECT_TRUE(handOff.startsWith(tmp + "/editor-")) << handOff.toStdString();
        EXPECT_TRUE(isPrivateFolder(handOff));
    }
    chmod(unwritable.constData(), 0700);
    rmdir(notUtf8.constData());
}

TEST(InstanceFolder, TheRuntimeFolderOnlyWhenItIsOwnAndClosed)
{
    SessionVars vars;
    QTemporaryDir runtime;
    vars.set("XDG_RUNTIME_DIR", runtime.path());
    const QByteArray p = QFile::encodeName(runtime.path());
    ASSERT_EQ(chmod(p.constData(), 0700), 0);
    EXPECT_EQ(instanceFolder(), runtime.path());

    // Open to others: anyone could pose as this editor there.
    for (mode_t mode : {0777, 0770, 0701, 01777}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(chmod(p.constData(), mode), 0);
        EXPECT_EQ(instanceFolder(), resolveTmpPath());
        EXPECT_FALSE(instanceName().startsWith(runtime.path()));
    }
    ASSERT_EQ(chmod(p.constData(), 0700), 0);

    // A link to the folder, a relative path: not taken either.
    QTemporaryDir scratch;
    const QString link = scratch.path() + "/runtime-link";
    ASSERT_TRUE(QFile::link(runtime.path(), link));
    vars.set("XDG_RUNTIME_DIR", link);
    EXPECT_EQ(instanceFolder(), resolveTmpPath());
    vars.set("XDG_RUNTIME_DIR", "runtime");
    EXPECT_EQ(instanceFolder(), resolveTmpPath());

    if (getuid() == 0) {
        // Another user's folder, closed as it should be, is still not ours.
        vars.set("XDG_RUNTIME_DIR", runtime.path());
        ASSERT_EQ(chown(p.constData(), 65534, 65534), 0);
        EXPECT_EQ(instanceFolder(), resolveTmpPath());
        ASSERT_EQ(chown(p.constData(), 0, 0), 0);
    }
}

TEST(HandOffFolder, RemovedWhileTheEditorRunsItIsMadeAgainBeforeAWrite)
{
    lumrik::test::TempEnv env; // gsTmpPath is put back when it goes
    SessionVars vars;
    vars.set("DISPLAY", ":11");
    gsTmpPath = startHandOffFolder();
    const QString start = gsTmpPath;
    ASSERT_TRUE(isPrivateFolder(start));

    // A cleaner of temporary folders takes the folder and its parent.
    ASSERT_TRUE(QDir(resolveTmpPath()).removeRecursively());
    ASSERT_FALSE(QFileInfo::exists(start));
    const QString txd = tmpFile(kTxdTmp);
    EXPECT_EQ(txd, start + "/Txd.Tmp");
    EXPECT_TRUE(isPrivateFolder(start));
    EXPECT_EQ(modeOf(start) & 0777, 0700u);
    ASSERT_TRUE(lumrik::test::writeFile(txd, "N1\r\n"));

    // Gone, and its name taken by a link before the next write: the link is
    // not used, a fresh private folder is.
    ASSERT_TRUE(QDir(start).removeRecursively());
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), start));
    const QString rxd = tmpFile(kRxdTmp);
    EXPECT_FALSE(rxd.startsWith(start + "/"));
    EXPECT_EQ(rxd, gsTmpPath + "/Rxd.Tmp");
    EXPECT_TRUE(isPrivateFolder(gsTmpPath));
    ASSERT_TRUE(lumrik::test::writeFile(rxd, "N2\r\n"));
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
    QFile::remove(start);

    // A folder set some other way is made again only where it was.
    gsTmpPath = env.tmpPath() + "/own";
    EXPECT_EQ(tmpFile(kHelixTmp), env.tmpPath() + "/own/helix.tmp");
    EXPECT_TRUE(isPrivateFolder(env.tmpPath() + "/own"));
    gsTmpPath = env.tmpPath() + "/missing/own";
    EXPECT_EQ(tmpFile(kHelixTmp), env.tmpPath() + "/missing/own/helix.tmp");
    EXPECT_FALSE(QFileInfo::exists(env.tmpPath() + "/missing"));
}
