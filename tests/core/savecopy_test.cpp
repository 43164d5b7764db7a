// A save in place killed at any point: afterwards the file holds the whole
// old or the whole new program, or the copy of the old bytes is there and
// puts them back; the next save of the file leaves nothing behind.
#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/savecopy.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {

// A program of about `bytes` bytes whose blocks carry `tag`, ended by M30.
QByteArray program(qsizetype bytes, const QByteArray &tag)
{
    QByteArray p = "%\r\nO1000 (" + tag + ")\r\n";
    for (int n = 10; p.size() < bytes; n += 10)
        p += "N" + QByteArray::number(n) + " G1 X" + QByteArray::number(n % 997) + ". (" + tag + ")\r\n";
    return p + "M30\r\n%\r\n";
}

QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Runs `work` in a child process; true when the child was ended by SIGKILL.
template <typename Work>
bool killedInChild(Work work)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        work();
        ::_exit(0);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// What a reader finds after a save was cut short: the whole old or the whole
// new program, or else a copy that tells of the unfinished save and gives
// the old program back. The copy is settled either way.
void expectWholeOrRestorable(const QString &file, const QByteArray &old, const QByteArray &fresh)
{
    const QByteArray now = readFile(file);
    const std::vector<SaveCopy> copies = RkSaveCopiesFor(file);
    if (now == old || now == fresh) {
        for (const SaveCopy &c : copies)
            EXPECT_NE(RkSaveCopyState(c), SaveCopyState::Unfinished);
        return;
    }
    ASSERT_EQ(copies.size(), 1u) << "a mixed file without its copy: " << now.size() << " bytes";
    EXPECT_EQ(RkSaveCopyState(copies[0]), SaveCopyState::Unfinished);
    RkRestoreSaveCopy(copies[0]);
    EXPECT_EQ(readFile(file), old);
    EXPECT_TRUE(RkSaveCopiesFor(file).empty());
}

// A file with a second name: it is written in place.
struct LinkedProgram {
    QString file, other;
    LinkedProgram(const TempEnv &env, const QByteArray &bytes)
        : file(env.write("O1000.NC", bytes)), other(env.path("O1000-ARKIV.NC"))
    {
        ::link(QFile::encodeName(file).constData(), QFile::encodeName(other).constData());
    }
};

struct StepKill {
    explicit StepKill(int at)
    {
        setInPlaceStepHook([at, n = 0](InPlaceStep) mutable {
            if (++n == at)
                ::raise(SIGKILL);
        });
    }
    ~StepKill() { setInPlaceStepHook({}); }
};

}

// Killed at each step of the writer, for a shorter, an equal and a longer
// program: never a mix without its copy, and the next save leaves nothing.
TEST(InPlaceSave, KilledAtEachStepLeavesAWholeFileOrItsCopy)
{
    const QByteArray old = program(qsizetype(2.5 * kInPlacePiece), "GAMMAL");
    QByteArray equal = program(old.size() - 40, "NYTT");
    equal.insert(equal.size() - 8, QByteArray(old.size() - equal.size(), ' '));
    ASSERT_EQ(equal.size(), old.size());
    const QByteArray news[] = {program(qsizetype(1.5 * kInPlacePiece), "KORT"), equal,
                               program(qsizetype(3.5 * kInPlacePiece), "LAENGRE")};
    for (const QByteArray &fresh : news) {
        // CopyKept, RoomTaken, one call per piece, NewSynced, Cut; then past the end.
        const int steps = 4 + int((fresh.size() + kInPlacePiece - 1) / kInPlacePiece);
        for (int at = 1; at <= steps + 1; ++at) {
            SCOPED_TRACE(testing::Message() << fresh.size() << " bytes, killed at step " << at);
            TempEnv env;
            const LinkedProgram p(env, old);
            const bool killed = killedInChild([&] {
                StepKill kill(at);
                writeFileAtomic(p.file, fresh);
            });
            EXPECT_EQ(killed, at <= steps);
            expectWholeOrRestorable(p.file, old, fresh);
            EXPECT_EQ(readFile(p.other), readFile(p.file)); // still one file

            writeFileAtomic(p.file, fresh);
            EXPECT_EQ(readFile(p.other), fresh);
            EXPECT_EQ(namesIn(env.dataPath()), QStringList({"O1000-ARKIV.NC", "O1000.NC"}));
            EXPECT_TRUE(RkSaveCopiesFor(p.file).empty());
        }
    }
}

// Killed from outside at many points of an in-place save, and of a save by
// rename: the same holds, and what the killed save left goes with the next.
TEST(InPlaceSave, KilledFromOutsideAtManyPointsLeavesNothingHalfDone)
{
    const QByteArray old = program(6 << 20, "GAMMAL"), fresh = program(5 << 20, "NY");
    std::mt19937 random(35);
    for (int round = 0; round < 16; ++round) {
        const bool linked = round % 2 == 0;
        SCOPED_TRACE(testing::Message() << "round " << round << (linked ? " in place" : " by rename"));
        TempEnv env;
        const QString file = env.write("O1000.NC", old);
        if (linked)
            ::link(QFile::encodeName(file).constData(), QFile::encodeName(env.path("O1000-ARKIV.NC")).constData());
        const QStringList names = namesIn(env.dataPath());
        const pid_t pid = ::fork();
        if (pid == 0) {
            writeFileAtomic(file, fresh);
            ::_exit(0);
        }
        ASSERT_GT(pid, 0);
        // Anywhere from before the first write to after the last.
        ::usleep(useconds_t(std::uniform_int_distribution<int>(0, 120000)(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        expectWholeOrRestorable(file, old, fresh);

        writeFileAtomic(file, old);
        EXPECT_EQ(readFile(file), old);
        EXPECT_EQ(namesIn(env.dataPath()), names) << "something of the killed save was left";
    }
}

// A save stopped while it made its copy leaves a copy without its whole
// record (empty, or cut in the record): the file was not touched yet, so the
// next save takes such a copy away; one that holds something else stays.
TEST(InPlaceSave, ACopyStoppedInItsRecordGoesWithTheNextSave)
{
    TempEnv env;
    const QByteArray old = program(3000, "GAMMAL");
    const LinkedProgram p(env, old);
    env.write("O1000.NC.lumrik-kopia-Ab12Cd", "");
    env.write("O1000.NC.lumrik-kopia-Zz98Yy", "LUMRIK-KOPIA 1\nfil 2f746d70");
    env.write("O1000.NC.lumrik-kopia-Xx11Xx", "annat innehåll");
    writeFileAtomic(p.file, program(2000, "NY"));
    EXPECT_EQ(namesIn(env.dataPath()),
              QStringList({"O1000-ARKIV.NC", "O1000.NC", "O1000.NC.lumrik-kopia-Xx11Xx"}));
    EXPECT_EQ(readFile(p.other), program(2000, "NY"));
}

// Only what this writer makes, of this user and not held by a save under
// way, is taken away by the next save.
TEST(InPlaceSave, TheNextSaveRemovesOnlyItsOwnLeftovers)
{
    TempEnv env;
    const QString file = env.write("O1.NC", "O1\r\n");
    const QStringList left = {".lumrik-Ab12Cd", ".lumrik-ZZZZZZ"};
    for (const QString &name : left)
        env.write(name, "halv");
    env.write(".lumrik-inte-var", "annat"); // not a name of the writer
    env.write(".lumrik-Held01", "under arbete");
    const int held = ::open(QFile::encodeName(env.path(".lumrik-Held01")).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0); // a save under way in another editor
    const bool root = ::geteuid() == 0;
    if (root) {
        env.write(".lumrik-Other1", "en annan användares");
        ASSERT_EQ(::chown(QFile::encodeName(env.path(".lumrik-Other1")).constData(), 65534, 65534), 0);
    }

    writeFileAtomic(file, "O1 NY\r\n");
    ::close(held);
    QStringList expected = {".lumrik-Held01", ".lumrik-inte-var", "O1.NC"};
    if (root)
        expected.insert(1, ".lumrik-Other1");
    EXPECT_EQ(namesIn(env.dataPath()), expected);
    EXPECT_EQ(readFile(file), "O1 NY\r\n");
}

// The copy lies beside the file, readable by the saver only; a copy of
// another user or one a save still holds is never acted on.
TEST(InPlaceSave, ACopyBesideTheFileIsTheSaversOwn)
{
    TempEnv env;
    const QByteArray old = program(3000, "GAMMAL"), fresh = program(2000, "NY");
    const LinkedProgram p(env, old);

    // Beside the file while its folder may be written in.
    QStringList copyNames;
    {
        StepKill kill(1);
        EXPECT_TRUE(killedInChild([&] { writeFileAtomic(p.file, fresh); }));
    }
    for (const QString &n : namesIn(env.dataPath()))
        if (n.contains(".lumrik-kopia-"))
            copyNames << n;
    ASSERT_EQ(copyNames.size(), 1);
    EXPECT_TRUE(copyNames[0].startsWith("O1000.NC.lumrik-kopia-"));
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(env.path(copyNames[0])).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_uid, ::geteuid());
    ASSERT_EQ(RkSaveCopiesFor(p.file).size(), 1u);
    EXPECT_EQ(RkSaveCopyState(RkSaveCopiesFor(p.file)[0]), SaveCopyState::Untouched);

    // Held by a save under way: not looked at.
    const int held = ::open(QFile::encodeName(env.path(copyNames[0])).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_TRUE(RkSaveCopiesFor(p.file).empty());
    ::close(held);
    EXPECT_EQ(RkSaveCopiesFor(p.file).size(), 1u);

    if (::geteuid() == 0) {
        // Another user's copy is never taken for one of this user's.
        ASSERT_EQ(::chown(QFile::encodeName(env.path(copyNames[0])).constData(), 65534, 65534), 0);
        EXPECT_TRUE(RkSaveCopiesFor(p.file).empty());
        ASSERT_EQ(::chown(QFile::encodeName(env.path(copyNames[0])).constData(), 0, 0), 0);
    }
    writeFileAtomic(p.file, fresh);
    EXPECT_EQ(namesIn(env.dataPath()), QStringList({"O1000-ARKIV.NC", "O1000.NC"}));
}

// A file that may be written in a folder that may not: its copy lies in the
// saver's own private folder for copies, not in a shared temporary folder,
// and the saver's next open finds it there.
TEST(InPlaceSave, ACopyThatCannotLieBesideTheFileGoesToTheSaversOwnFolder)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to save as a user who may not write the folder";
    TempEnv env;
    const FolderOthersReach reach(env);
    if (reach.path().isEmpty())
        GTEST_SKIP() << reach.why().toStdString();
    constexpr uid_t kSaver = 65534;
    const QString ro = reach.path("ro"), state = reach.path("state");
    ASSERT_TRUE(QDir().mkpath(ro) && QDir().mkpath(state));
    const QByteArray old = program(3000, "GAMMAL"), fresh = program(2000, "NY");
    const QString file = reach.path("ro/O2.NC");
    ASSERT_TRUE(writeFile(file, old));
    ::chmod(QFile::encodeName(file).constData(), 0666);
    ::chmod(QFile::encodeName(ro).constData(), 0555);
    ::chown(QFile::encodeName(state).constData(), kSaver, kSaver);
    const auto asSaver = [&](auto work) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            qputenv("XDG_STATE_HOME", QFile::encodeName(state));
            if (::setgroups(0, nullptr) != 0 || ::setgid(kSaver) != 0 || ::setuid(kSaver) != 0)
                ::_exit(77);
            ::_exit(work());
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 100 + WTERMSIG(status) : -1;
    };
    // Killed after the first piece of the new text: a mix on the disk.
    ASSERT_EQ(asSaver([&] {
                  StepKill kill(3);
                  writeFileAtomic(file, fresh);
                  return 0;
              }),
              100 + SIGKILL);
    EXPECT_EQ(namesIn(ro), QStringList({"O2.NC"}));
    EXPECT_TRUE(namesIn(env.tmpPath()).isEmpty());
    const QStringList copies = namesIn(state + "/lumrik/kopior");
    ASSERT_EQ(copies.size(), 1);
    EXPECT_TRUE(copies[0].startsWith("O2.NC.lumrik-kopia-"));
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(state + "/lumrik/kopior/" + copies[0]).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, kSaver);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(state + "/lumrik/kopior").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_NE(readFile(file), old);
    EXPECT_NE(readFile(file), fresh);

    // The saver's next look finds it and puts the old text back.
    EXPECT_EQ(asSaver([&] {
                  const std::vector<SaveCopy> found = RkSaveCopiesFor(file);
                  if (found.size() != 1 || RkSaveCopyState(found[0]) != SaveCopyState::Unfinished)
                      return 1;
                  RkRestoreSaveCopy(found[0]);
                  return 0;
              }),
              0);
    ::chmod(QFile::encodeName(ro).constData(), 0755);
    EXPECT_EQ(readFile(file), old);
    EXPECT_TRUE(namesIn(state + "/lumrik/kopior").isEmpty());
}
