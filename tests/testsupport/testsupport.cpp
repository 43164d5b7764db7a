#include "testsupport.h"

#include "core/progress.h"
#include <QTest>

#include "core/globals.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lumrik::test {

TempEnv::TempEnv() : oldData_(gsDataPath), oldTmp_(gsTmpPath)
{
    gsDataPath = data_.path();
    gsTmpPath = tmp_.path();
}

TempEnv::~TempEnv()
{
    gsDataPath = oldData_;
    gsTmpPath = oldTmp_;
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return;
    saved_ = limit.rlim_cur;
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN); // a short write, not a killed process
    handlerSet_ = oldHandler_ != SIG_ERR;
    limit.rlim_cur = rlim_t(bytes);
    active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    struct rlimit limit;
    if (active_ && getrlimit(RLIMIT_FSIZE, &limit) == 0) {
        limit.rlim_cur = rlim_t(saved_);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (handlerSet_)
        std::signal(SIGXFSZ, oldHandler_);
}

QString TempEnv::write(const QString &name, const QByteArray &bytes) const
{
    const QString p = path(name);
    QDir().mkpath(QFileInfo(p).absolutePath());
    writeFile(p, bytes);
    return p;
}

QProcessEnvironment sessionEnvironment(const QString &root)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", root + "/home");
    env.insert("XDG_DATA_HOME", root + "/home/.local/share");
    env.insert("XDG_CONFIG_HOME", root + "/home/.config");
    env.insert("XDG_RUNTIME_DIR", root + "/runtime");
    env.insert("TMPDIR", root + "/tmp");
    env.insert("LUMRIK_DATA", root + "/data");
    return env;
}

namespace {
// Every folder above `folder` lets other users pass through it.
bool othersPassAbove(const QString &folder)
{
    for (QDir d(folder); d.cdUp();) {
        struct stat st;
        if (::stat(QFile::encodeName(d.absolutePath()).constData(), &st) != 0 || !(st.st_mode & S_IXOTH))
            return false;
        if (d.isRoot())
            break;
    }
    return true;
}
}

FolderOthersReach::FolderOthersReach(const TempEnv &env)
{
    // The test run's own folders, from the run's root down to the program folder.
    QStringList ours;
    for (QDir d(env.dataPath()); !d.isRoot(); d.cdUp()) {
        ours.prepend(d.absolutePath());
        if (d.dirName().startsWith(QLatin1String("lumrik-test-")))
            break;
    }
    if (!ours.isEmpty() && QDir(ours.first()).dirName().startsWith(QLatin1String("lumrik-test-"))
        && othersPassAbove(ours.first())) {
        for (const QString &f : ours)
            ::chmod(QFile::encodeName(f).constData(), 0755);
        path_ = env.dataPath();
        return;
    }
    // The run lies in a folder closed to others (a private TMPDIR).
    own_ = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/lumrik-test-XXXXXX"));
    if (own_->isValid() && othersPassAbove(own_->path())) {
        ::chmod(QFile::encodeName(own_->path()).constData(), 0755);
        path_ = own_->path();
        return;
    }
    why_ = QStringLiteral("the test run's folder lies under a folder other users cannot enter, and /tmp is "
                          "no way out either");
}

FolderOthersReach::~FolderOthersReach() = default;

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

static int defaultAnswer(const MsgBoxCall &c)
{
    static const int first[] = {MbOk, MbOk, MbYes, MbYes, MbRetry, MbAbort};
    static const int second[] = {MbOk, MbCancel, MbNo, MbNo, MbCancel, MbRetry};
    static const int third[] = {MbOk, MbCancel, MbNo, MbCancel, MbCancel, MbIgnore};
    const int b = int(c.buttons);
    switch (c.defaultButton) {
    case 1: return second[b];
    case 2: return third[b];
    default: return first[b];
    }
}

MsgBoxRecorder::MsgBoxRecorder()
{
    setMsgBoxHook([this](const MsgBoxCall &c) {
        calls_.push_back(c);
        if (!answers_.empty()) {
            int a = answers_.front();
            answers_.pop_front();
            return a;
        }
        return defaultAnswer(c);
    });
}

MsgBoxRecorder::~MsgBoxRecorder() { setMsgBoxHook({}); }

bool MsgBoxRecorder::saw(const QString &textPart) const
{
    for (const auto &c : calls_)
        if (c.text.contains(textPart))
            return true;
    return false;
}

bool openRawPty(int &master, int &slave, QString &path)
{
    char name[256] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0)
        return false;
    path = QString::fromLocal8Bit(name);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    return true;
}

int runAsUser(unsigned uid, unsigned gid, const std::vector<unsigned> &groups, const std::function<int()> &work)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::vector<gid_t> list(groups.begin(), groups.end());
        if (::setgroups(list.size(), list.data()) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(77);
        ::_exit(work());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

bool letOthersThrough(const QString &folder)
{
    if (!folder.contains(QStringLiteral("/lumrik-test-")))
        return false;
    for (QDir d(folder); !d.isRoot(); d.cdUp()) {
        ::chmod(QFile::encodeName(d.absolutePath()).constData(), 0755);
        if (d.dirName().startsWith(QStringLiteral("lumrik-test-")))
            break;
    }
    return true;
}

bool untilLongWorkIsOver()
{
    // One round of the event loop at a time, so that what waits for the end
    // of the work (held keys, questions) has not come yet on return.
    QDeadlineTimer deadline(300000);
    while (LongWork::underWay()) {
        if (deadline.hasExpired())
            return false;
        if (!QCoreApplication::eventDispatcher()->processEvents(QEventLoop::AllEvents))
            QThread::msleep(1);
    }
    return true;
}

}
