#pragma once
// Helpers shared by every test program.
#include "core/msgbox.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace lumrik::test {

// A fresh program folder and temporary folder for one test; the program-wide
// gsDataPath and gsTmpPath point into it while it lives.
class TempEnv {
public:
    TempEnv();
    ~TempEnv();
    QString dataPath() const { return data_.path(); }
    QString tmpPath() const { return tmp_.path(); }
    QString path(const QString &name) const { return data_.path() + '/' + name; }
    // Writes bytes to a file under the program folder (folders created).
    QString write(const QString &name, const QByteArray &bytes) const;

private:
    QTemporaryDir data_, tmp_;
    QString oldData_, oldTmp_;
};

QByteArray readFile(const QString &path);

// A folder for a test that works as other users too: the test's program
// folder when every folder above it lets other users through (the folders of
// the test run itself are opened to them for it), else a fresh folder of the
// test's own in the system's shared temporary folder, removed with it. When
// neither can be had, path() is empty and why() says so.
class FolderOthersReach {
public:
    explicit FolderOthersReach(const TempEnv &env);
    ~FolderOthersReach();
    QString path() const { return path_; }
    QString path(const QString &name) const { return path_ + '/' + name; }
    QString why() const { return why_; }

private:
    std::unique_ptr<QTemporaryDir> own_;
    QString path_, why_;
};

// A pseudo-terminal pair, raw from the start as a serial port is once opened:
// what one end sends before the other has set its port up is neither echoed
// back nor taken as flow control. The master is non-blocking; `path` names
// the slave. False when no pair could be had.
bool openRawPty(int &master, int &slave, QString &path);

// The environment of a start of the program that keeps everything under
// `root`: its folders "home", "data", "tmp" and "runtime".
QProcessEnvironment sessionEnvironment(const QString &root);
bool writeFile(const QString &path, const QByteArray &bytes);

// Runs `work` in a child process as another user (with only the given
// groups; needs root) and gives its result, 77 when the user could not be
// taken on, -1 when the child did not end normally.
int runAsUser(unsigned uid, unsigned gid, const std::vector<unsigned> &groups, const std::function<int()> &work);
// Lets other users pass through the test run's own folders down to `folder`
// (mode 0755 on each); false when `folder` is not below them.
bool letOthersThrough(const QString &folder);

// While it lives, the system refuses to let this process make a file larger
// than the given size, as a full disk would (the write comes back short).
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool active() const { return active_; }

private:
    unsigned long long saved_ = 0;
    void (*oldHandler_)(int) = nullptr;
    bool handlerSet_ = false;
    bool active_ = false;
};

// Answers message boxes without a display and remembers what was asked.
// Without a queued answer the box's default button is taken.
class MsgBoxRecorder {
public:
    MsgBoxRecorder();
    ~MsgBoxRecorder();
    void answer(int result) { answers_.push_back(result); }
    const std::vector<MsgBoxCall> &calls() const { return calls_; }
    bool saw(const QString &textPart) const;
    void clear() { calls_.clear(); }

private:
    std::deque<int> answers_;
    std::vector<MsgBoxCall> calls_;
};

// Lets the event loop run until no long work is under way: a whole-program
// operation computed off the window ends from the event loop. Returns right
// at the end: what waits for it runs in a later round.
bool untilLongWorkIsOver();

// Every round of the event loop while it lives: `tick` is called.
class EveryRound {
public:
    explicit EveryRound(std::function<void()> tick)
    {
        QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
        timer_.start(0);
    }

private:
    QTimer timer_;
};

}
