// Large programs in the running main window: undo and redo of every
// whole-program operation on 400,000 and 1,000,000 lines, opening 1,000,000
// lines and each operation end to end, and a 32 MB program without a single
// line end (open until the window is idle, with the peak memory, find, going
// to its end and typing on it). Every time runs until the window is idle:
// pending events served and the editor painted.
#include "core/globals.h"
#include "core/inifile.h"
#include "core/memory.h"
#include "core/msgbox.h"
#include "core/progress.h"
#include "core/settings.h"
#include "documents/editor.h"
#include "documents/findreplace.h"
#include "documents/frmdocument.h"
#include "documents/frmreplaceconfirm.h"
#include "mainwindow/commands_plugins.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindow/pluginhost.h"
#include "ncops/frmomnum.h"
#include "ncops/mdlmnfix.h"

#include <QApplication>
#include <QAbstractEventDispatcher>
#include <QMenu>
#include <QMenuBar>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <functional>
#include <sys/resource.h>
#include <ctime>
#include <map>
#include <memory>
#include <tuple>

using namespace lumrik;

namespace {

// ----- the programs ------------------------------------------------------------

enum class Form { Plain, Packed, Lower, Tabs };

// A milling program of about 35 bytes a line with a tool change every 50
// lines: as it is, packed, in small letters, or with TABs between its words.
QByteArray program(int lines, Form form)
{
    QByteArray text;
    text.reserve(qsizetype(lines) * 40);
    text += "%\r\nO1000 (BENCH - FRASNING)\r\n";
    for (int i = 3; i <= lines; ++i) {
        QByteArray line;
        if (i % 50 == 0)
            line = "N" + QByteArray::number(i * 10) + " T" + QByteArray::number(i % 20 + 1) + " M6 (VERKTYG "
                   + QByteArray::number(i % 20 + 1) + ")";
        else
            line = "N" + QByteArray::number(i * 10) + " G1 X" + QByteArray::number((i * 7) % 500) + ".25 Y-"
                   + QByteArray::number((i * 13) % 300) + ".5 Z-2. F" + QByteArray::number(100 + i % 900);
        switch (form) {
        case Form::Plain: break;
        case Form::Packed: line = PackBlock(line); break;
        case Form::Lower: line = line.toLower(); break;
        case Form::Tabs: line.replace(' ', '\t'); break;
        }
        text += line;
        if (i < lines)
            text += "\r\n";
    }
    return text;
}

// What a control writes when its blocks come without end-of-block
// characters: 32 MB of blocks in one line, "M30" at its very end.
QByteArray oneLineProgram()
{
    constexpr qsizetype kSize = 32 * 1024 * 1024;
    QByteArray text;
    text.reserve(kSize);
    for (int i = 1; text.size() < kSize - 64; ++i)
        text += "N" + QByteArray::number(i * 10) + " G1 X" + QByteArray::number((i * 7) % 500) + ".25 Y-"
                + QByteArray::number((i * 13) % 300) + ".5 F" + QByteArray::number(100 + i % 900) + " ";
    text += "M30";
    return text;
}

// A value in kB of a process's status ("self": this one).
long processStatusKb(const QString &pid, const char *key)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(strlen(key))).trimmed().split(' ').value(0).toLong();
    return 0;
}

long statusKb(const char *key) { return processStatusKb(QStringLiteral("self"), key); }

// The peak of the resident memory starts again from what is resident now.
void resetPeakMemory()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// ----- the main window -----------------------------------------------------------

// A program folder with the settings, a machine "MILL" coloured by the shipped
// syntax file (automatic colouring on, as a new installation has it), the
// built-in words, and every question answered: Yes to the operations' questions,
// Start in the renumbering dialog (numbers 10, 20, ... over the whole range).
struct Fixture {
    QTemporaryDir dir;
    QTimer answers;

    Fixture()
    {
        gsDataPath = dir.path();
        gsTmpPath = dir.path();
        write(QStringLiteral("lumrik32.INI"),
              "[Settings]\r\nLastCnc=MILL\r\nFirstStart=False\r\nAutoColor=1\r\nToolListChrs=T\r\n"
              "DecCheckChrs=XYF\r\n");
        write(QStringLiteral("MILL.cfg"), "[Settings]\r\nFileExtension=*.NC\r\nColorFile=fanuc\r\n");
        QFile::copy(QStringLiteral(":/lumrik/install/fanuc.syn"), dir.filePath(QStringLiteral("fanuc.syn")));
        QFile::setPermissions(dir.filePath(QStringLiteral("fanuc.syn")), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        RkLoadIniSettings();
        setBuiltInWords();
        setMsgBoxHook([](const MsgBoxCall &c) { return c.buttons == MbButtons::YesNo ? int(MbYes) : int(MbOk); });
        answers.setInterval(0);
        QObject::connect(&answers, &QTimer::timeout, [] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *o = qobject_cast<frmOmnum *>(w);
                if (!o || !o->isVisible())
                    continue;
                o->txtOmNumFrom->setText(QStringLiteral("0"));
                o->txtOmNumTom->setText(QStringLiteral("2000000000"));
                o->txtFirstBlockNr->setText(QStringLiteral("10"));
                o->txtOmNumIncr->setText(QStringLiteral("10"));
                o->btnStartOmnum->click();
            }
        });
        answers.start();
    }
    QString write(const QString &name, const QByteArray &bytes) const
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

// Serves what is pending and paints the active program: the window is idle.
void settle(frmDocument *doc)
{
    while (LongWork::underWay())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    QApplication::processEvents();
    if (doc)
        doc->txtText->viewport()->repaint();
    QApplication::processEvents();
}

struct Window {
    std::unique_ptr<frmMain> main = std::make_unique<frmMain>();
    frmDocument *doc = nullptr;

    Window()
    {
        main->resize(1280, 900);
        main->show();
        installPluginHost(main.get());
        activate();
    }
    // The menu keys act on the active main window's document: the window is
    // activated as the user's click would, and the program takes the focus.
    bool activate()
    {
        for (int attempt = 0; attempt < 3 && QApplication::activeWindow() != main.get(); ++attempt) {
            main->raise();
            main->activateWindow();
            (void)QTest::qWaitForWindowActive(main.get(), 2000);
        }
        // Without a window manager the X server may turn a focus request
        // down (its time stamp older than the last focus change); the window
        // is then made active as the window system's own notice would.
        if (QApplication::activeWindow() != main.get() && main->windowHandle()) {
            QWindowSystemInterface::handleWindowActivated(main->windowHandle(), Qt::ActiveWindowFocusReason);
            QWindowSystemInterface::flushWindowSystemEvents();
        }
        if (doc)
            doc->txtText->setFocus();
        QApplication::processEvents();
        return QApplication::activeWindow() == main.get();
    }
    ~Window()
    {
        if (doc)
            doc->txtText->setIsDirty(false); // no question at the end
        main->close();
        main.reset();
        QApplication::processEvents();
    }
    bool open(const QString &path)
    {
        doc = main->openDocument(path, QStringLiteral("MILL"));
        settle(doc);
        return doc != nullptr;
    }
    void key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget *target = doc->txtText->focusProxy() ? doc->txtText->focusProxy() : doc->txtText;
        QTest::keyClick(target, Qt::Key(key), mods);
    }
    PluginHost *host() const { return PluginHost::of(main.get()); }
};

double seconds(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e9;
}

// The longest stretch in which the window's event loop was not served while
// the watch ran: a timer that wants to run every few milliseconds notes when
// it did.
class ServedWatch {
public:
    ServedWatch()
    {
        tick_.setInterval(5);
        QObject::connect(&tick_, &QTimer::timeout, [this] { note(); });
        clock_.start();
        tick_.start();
    }
    // The longest stretch in milliseconds, the end included.
    double stop()
    {
        note();
        tick_.stop();
        return double(longest_) / 1e6;
    }

private:
    void note()
    {
        const qint64 now = clock_.nsecsElapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    QTimer tick_;
    QElapsedTimer clock_;
    qint64 last_ = 0, longest_ = 0;
};

// ----- the operations --------------------------------------------------------------

struct Operation {
    const char *name;
    Form form;
    std::function<void(Window &)> run;
    // What the operation is given, made before it is timed (a plug-in's own work).
    std::function<void(Window &)> prepare = {};
};

QByteArray &prepared()
{
    static QByteArray bytes;
    return bytes;
}

void command(Window &w, const char *name) { w.main->menuAction(QString::fromLatin1(name))->trigger(); }

const std::vector<Operation> &operations()
{
    static const std::vector<Operation> ops = {
        {"Renumber", Form::Plain, [](Window &w) { command(w, "mnuNcOptionsOmnum"); }},
        {"ToolList", Form::Plain, [](Window &w) { command(w, "mnuNcOptionsToolList"); }},
        {"Pack", Form::Plain, [](Window &w) { command(w, "mnuViewPack"); }},
        {"Unpack", Form::Packed, [](Window &w) { command(w, "mnuViewUnPack"); }},
        {"Uppercase", Form::Lower, [](Window &w) { command(w, "mnuViewUppercase"); }},
        {"ClearChars", Form::Tabs, [](Window &w) { command(w, "mnuViewClearchars"); }},
        {"DecimalPoints", Form::Plain, [](Window &w) { command(w, "mnuOptionPunktKoll"); }},
        {"ReplaceAll", Form::Plain,
         [](Window &) {
             frmDocument::setReplaceConfirm([](frmDocument *) { return 4; }); // "Alla"
             FindIt(QStringLiteral("G1"), 1, false, true, QStringLiteral("G01"), true);
         }},
        {"PluginSetEditText", Form::Plain, [](Window &w) { w.host()->plugin_SetEditText(prepared()); },
         [](Window &w) { prepared() = w.host()->plugin_GetEditText().replace(" G1 ", " G01 "); }},
        {"PluginAddEditText", Form::Plain, [](Window &w) { w.host()->plugin_AddEditText("\r\nM30"); }},
        {"PluginInsertEditText", Form::Plain, [](Window &w) { w.host()->plugin_InsertEditText("(START)\r\n"); }},
    };
    return ops;
}

const QString &programFile(int lines, Form form)
{
    static std::map<std::pair<int, int>, QString> files;
    QString &path = files[{lines, int(form)}];
    if (path.isEmpty())
        path = fixture().write(QStringLiteral("P%1_%2.NC").arg(lines).arg(int(form)), program(lines, form));
    return path;
}

// The operation, then Ctrl+Z and Ctrl+Y: the time is undo and redo together.
void undoRedo(benchmark::State &state, const Operation &op, int lines)
{
    const QString path = programFile(lines, op.form);
    double opS = 0, undoS = 0, redoS = 0;
    for (auto _ : state) {
        Window w;
        if (!w.open(path)) {
            state.SkipWithError("not opened");
            break;
        }
        const QByteArray before = w.doc->txtText->TextAll();
        if (op.prepare)
            op.prepare(w);
        opS = seconds([&] {
            op.run(w);
            settle(w.doc);
        });
        const QByteArray after = w.doc->txtText->TextAll();
        if (after == before) {
            state.SkipWithError("the operation changed nothing");
            break;
        }
        // The operation's dialogs have closed: the main window is active again.
        if (!w.activate()) {
            state.SkipWithError("the main window did not become active");
            break;
        }
        undoS = seconds([&] {
            w.key(Qt::Key_Z, Qt::ControlModifier);
            settle(w.doc);
        });
        const bool undone = w.doc->txtText->TextAll() == before;
        redoS = seconds([&] {
            w.key(Qt::Key_Y, Qt::ControlModifier);
            settle(w.doc);
        });
        const bool redone = w.doc->txtText->TextAll() == after;
        state.SetIterationTime(undoS + redoS);
        if (!undone || !redone) {
            state.SkipWithError(!undone ? "undo did not give the text back" : "redo did not give the result back");
            break;
        }
    }
    state.counters["lines"] = lines;
    state.counters["op_s"] = opS;
    state.counters["undo_s"] = undoS;
    state.counters["redo_s"] = redoS;
}

// Opening 1,000,000 lines until the window is idle (the first 1000 coloured).
void BM_Open1M(benchmark::State &state)
{
    const QString path = programFile(1000000, Form::Plain);
    for (auto _ : state) {
        state.PauseTiming();
        auto w = std::make_unique<Window>();
        state.ResumeTiming();
        if (!w->open(path))
            state.SkipWithError("not opened");
        state.PauseTiming();
        w.reset();
        state.ResumeTiming();
    }
}

// ----- the whole path: from the user's key to the idle window ----------------------

// A key as the display delivers it, to the focus of the window that `w` lies in.
void displayKey(QWidget *w, int key, const QString &text = {})
{
    QWindow *window = w->window()->windowHandle();
    QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
        window, QEvent::KeyPress, key, Qt::NoModifier, text);
    QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
        window, QEvent::KeyRelease, key, Qt::NoModifier, text);
}

// Page faults of this process so far that needed no disk.
long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Serves events until a round finds none, asks the display to catch up, and
// serves what that brought: the window is idle with everything painted.
void untilIdle()
{
    QAbstractEventDispatcher *events = QAbstractEventDispatcher::instance();
    // An operation computed off the window ends from the event loop.
    while (LongWork::underWay())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    for (int pass = 0; pass < 2; ++pass) {
        for (int round = 0; round < 10000 && events->processEvents(QEventLoop::AllEvents); ++round) {
        }
        QGuiApplication::sync();
    }
    QCoreApplication::sendPostedEvents();
}

// Waits, events served, until `ready` holds (a few seconds at the most).
bool serveUntil(const std::function<bool()> &ready)
{
    QElapsedTimer clock;
    clock.start();
    while (!ready() && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return ready();
}

// Calls `act` once, from the event loop, as soon as a visible top-level
// widget of type T is the active window (a modal dialog's own loop serves it).
template <class T> class WhenActive {
public:
    explicit WhenActive(std::function<void(T *)> act) : act_(std::move(act))
    {
        tick_.setInterval(1);
        QObject::connect(&tick_, &QTimer::timeout, [this] {
            auto *dlg = qobject_cast<T *>(QApplication::activeWindow());
            if (!dlg || !dlg->isVisible())
                return;
            tick_.stop();
            act_(dlg);
        });
        tick_.start();
    }

private:
    std::function<void(T *)> act_;
    QTimer tick_;
};

struct UserOperation {
    const char *name;
    Form form;
    // Brings the operation up to the key that starts it, then calls `press`
    // with the widget and the key; returns when the operation is over.
    std::function<void(Window &, const std::function<void(QWidget *, int)> &press)> run;
};

// A command from its menu: the menu is opened, its entry highlighted, and
// Return is the key that starts the command.
void fromMenu(Window &w, const char *name, const std::function<void(QWidget *, int)> &press)
{
    QAction *action = w.main->menuAction(QString::fromLatin1(name));
    QMenu *menu = nullptr;
    for (QObject *o : action->associatedObjects())
        if ((menu = qobject_cast<QMenu *>(o)))
            break;
    w.activate();
    w.main->menuBar()->setActiveAction(menu->menuAction());
    if (!serveUntil([&] { return menu->isVisible() && QApplication::activePopupWidget() == menu; }))
        return;
    menu->setActiveAction(action);
    QCoreApplication::processEvents();
    press(menu, Qt::Key_Return);
}

const std::vector<UserOperation> &userOperations()
{
    static const std::vector<UserOperation> ops = {
        {"Renumber", Form::Plain,
         [](Window &w, const auto &press) {
             // The dialog filled in, then Return in it.
             WhenActive<frmOmnum> start([&](frmOmnum *o) {
                 o->txtOmNumFrom->setText(QStringLiteral("0"));
                 o->txtOmNumTom->setText(QStringLiteral("2000000000"));
                 o->txtFirstBlockNr->setText(QStringLiteral("10"));
                 o->txtOmNumIncr->setText(QStringLiteral("10"));
                 o->txtOmNumIncr->setFocus();
                 press(o, Qt::Key_Return);
             });
             command(w, "mnuNcOptionsOmnum");
         }},
        {"DecimalPoints", Form::Plain, [](Window &w, const auto &press) { fromMenu(w, "mnuOptionPunktKoll", press); }},
        {"ReplaceAll", Form::Plain,
         [](Window &, const auto &press) {
             // The first match asked about: "Alla" answers for every one.
             installReplaceConfirm();
             WhenActive<frmReplaceConfirm> all([&](frmReplaceConfirm *c) {
                 c->cmdAll->setFocus();
                 press(c, Qt::Key_Space);
             });
             FindIt(QStringLiteral("G1"), 1, false, true, QStringLiteral("G01"), true);
         }},
        {"Pack", Form::Plain, [](Window &w, const auto &press) { fromMenu(w, "mnuViewPack", press); }},
        {"Uppercase", Form::Lower, [](Window &w, const auto &press) { fromMenu(w, "mnuViewUppercase", press); }},
        {"ToolList", Form::Plain, [](Window &w, const auto &press) { fromMenu(w, "mnuNcOptionsToolList", press); }},
    };
    return ops;
}

// What a user waits for: from the key that starts the operation in the main
// window to the window idle with the result painted, and the longest stretch
// in that time in which the window's events were not served.
void wholePath(benchmark::State &state, const UserOperation &op)
{
    const QString path = programFile(1000000, op.form);
    double unservedMs = 0;
    long faults = 0;
    fixture().answers.stop(); // the dialogs get the user's keys here
    for (auto _ : state) {
        auto w = std::make_unique<Window>();
        w->open(path);
        w->activate();
        untilIdle();
        const QByteArray before = w->doc->txtText->TextAll();
        QElapsedTimer clock;
        std::unique_ptr<ServedWatch> served;
        bool pressed = false;
        long faultsBefore = 0;
        op.run(*w, [&](QWidget *target, int key) {
            pressed = true;
            served = std::make_unique<ServedWatch>();
            faultsBefore = minorFaults();
            clock.start();
            if (qobject_cast<QMenu *>(target))
                QTest::keyClick(target, Qt::Key(key)); // the open menu takes it at once
            else
                displayKey(target, key, key == Qt::Key_Space ? QStringLiteral(" ") : QString());
        });
        untilIdle(); // a key from a menu starts its command here
        const double s = pressed ? double(clock.nsecsElapsed()) / 1e9 : 0;
        faults = minorFaults() - faultsBefore;
        if (served)
            unservedMs = std::max(unservedMs, served->stop());
        state.SetIterationTime(s);
        const bool changed = w->doc->txtText->TextAll() != before;
        frmDocument::setReplaceConfirm({});
        w.reset();
        if (!pressed || !changed) {
            state.SkipWithError(!pressed ? "the key was never pressed" : "the operation changed nothing");
            break;
        }
    }
    fixture().answers.start();
    state.counters["unserved_ms"] = unservedMs;
    state.counters["page_faults"] = double(faults); // of the last run: fresh memory the operation touched
}

// Each operation end to end on 1,000,000 lines: command, question, progress,
// the one change of the text and the painted window.
void operationEndToEnd(benchmark::State &state, const Operation &op)
{
    const QString path = programFile(1000000, op.form);
    double unservedMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto w = std::make_unique<Window>();
        w->open(path);
        if (op.prepare)
            op.prepare(*w);
        const QByteArray before = w->doc->txtText->TextAll();
        state.ResumeTiming();
        ServedWatch served;
        op.run(*w);
        settle(w->doc);
        unservedMs = std::max(unservedMs, served.stop());
        state.PauseTiming();
        if (w->doc->txtText->TextAll() == before)
            state.SkipWithError("the operation changed nothing");
        w.reset();
        state.ResumeTiming();
    }
    // The longest time the abort button could not have been pressed.
    state.counters["unserved_ms"] = unservedMs;
}

// Colouring the whole 1,000,000-line program (F11) until the window is idle.
void BM_ColourWholeProgram1M(benchmark::State &state)
{
    const QString path = programFile(1000000, Form::Plain);
    Window w;
    w.open(path);
    double unservedMs = 0;
    for (auto _ : state) {
        ServedWatch served;
        command(w, "mnuViewColorNC");
        settle(w.doc);
        unservedMs = std::max(unservedMs, served.stop());
    }
    // The longest time the window's event loop was not served.
    state.counters["unserved_ms"] = unservedMs;
    const QColor plain = w.doc->txtText->ForeColor();
    if (w.doc->txtText->characterForeColorAt(w.doc->txtText->Count(), 1) == plain)
        state.SkipWithError("not coloured to the end");
}

// ----- 32 MB without a line end ------------------------------------------------------

const QString &oneLineFile()
{
    static QString path;
    if (path.isEmpty())
        path = fixture().write(QStringLiteral("ONELINE.NC"), oneLineProgram());
    return path;
}

void BM_OneLineOpen(benchmark::State &state)
{
    const QString path = oneLineFile();
    const double fileMb = double(QFile(path).size()) / (1024.0 * 1024.0);
    double peakMb = 0, growthMb = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto w = std::make_unique<Window>();
        const long base = statusKb("VmRSS:");
        resetPeakMemory();
        state.ResumeTiming();
        if (!w->open(path))
            state.SkipWithError("not opened");
        state.PauseTiming();
        peakMb = statusKb("VmHWM:") / 1024.0;
        growthMb = (statusKb("VmHWM:") - base) / 1024.0;
        if (w->doc->txtText->Count() != 1)
            state.SkipWithError("not one line");
        w.reset();
        state.ResumeTiming();
    }
    state.counters["file_MB"] = fileMb;
    state.counters["peak_MB"] = peakMb;
    state.counters["peak_x_file"] = growthMb / fileMb;
}

// CPU time (user and system) of a process in clock ticks, -1 once it is gone.
// The time the process's main thread (the one that serves the window) has
// been on a processor, in nanoseconds; -1 once it is gone.
qint64 mainThreadCpuNs(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/schedstat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const qint64 ns = f.readAll().split(' ').value(0).toLongLong(&ok);
    return ok ? ns : -1;
}

qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The monotonic time the started program noted for its splash's close, or -1.
qint64 splashClosedNs(const QString &marks)
{
    QFile f(marks);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("splash-closed "))
            return line.mid(14).toLongLong();
    return -1;
}

// The program started from the command line with a program file, as a user
// opens it (the test build leaves out the splash's wait): the time until its
// window is idle (see below), from the start of the
// process (manual time) and from the splash's close (`from_splash_ms`), and
// the whole process's peak memory then.
void openProcess(benchmark::State &state, const QString &path)
{
    const QString program = QStringLiteral(LUMRIK_BENCH_PROGRAM);
    const double fileMb = double(QFile(path).size()) / (1024.0 * 1024.0);
    double peakMb = 0;
    double fromSplashMs = 0;
    int runs = 0;
    for (auto _ : state) {
        QTemporaryDir run;
        for (const char *sub : {"home", "data", "tmp", "runtime"})
            QDir(run.path()).mkpath(QString::fromLatin1(sub));
        QFile::setPermissions(run.filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const char *file : {"lumrik32.INI", "MILL.cfg", "fanuc.syn"})
            QFile::copy(fixture().dir.filePath(QString::fromLatin1(file)), run.filePath(QStringLiteral("data/") + QString::fromLatin1(file)));
        const QString marks = run.filePath(QStringLiteral("marks"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), run.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), run.filePath(QStringLiteral("home/.config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), run.filePath(QStringLiteral("home/.local/share")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("TMPDIR"), run.filePath(QStringLiteral("tmp")));
        env.insert(QStringLiteral("LUMRIK_DATA"), run.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("LUMRIK_TEST"), QStringLiteral("1")); // no splash wait in the test build
        env.insert(QStringLiteral("LUMRIK_TEST_MARKS"), marks);
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProgram(program);
        p.setArguments({path});
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        const qint64 startNs = monotonicNs();
        p.start();
        if (!p.waitForStarted(10000)) {
            state.SkipWithError("the program did not start");
            break;
        }
        // Busy while the main thread uses more than a tenth of a processor
        // over a sample of 10 ms; idle after half a second without such a
        // sample. What an idle window does now and then (a caret's blink, a
        // timer's check) stays far below that.
        qint64 last = mainThreadCpuNs(p.processId());
        qint64 sampled = monotonicNs(), still = sampled, busyUntil = startNs;
        while (sampled - startNs < 60'000'000'000 && last >= 0) {
            QTest::qSleep(10);
            const qint64 cpu = mainThreadCpuNs(p.processId());
            const qint64 now = monotonicNs();
            if (cpu < 0)
                break;
            if ((cpu - last) * 10 > now - sampled) {
                still = now;
                busyUntil = now;
            } else if (now - still >= 500'000'000) {
                break;
            }
            last = cpu;
            sampled = now;
        }
        peakMb = processStatusKb(QString::number(p.processId()), "VmHWM:") / 1024.0;
        const bool running = p.state() == QProcess::Running;
        p.kill();
        p.waitForFinished(5000);
        state.SetIterationTime(double(busyUntil - startNs) / 1e9);
        if (!running) {
            state.SkipWithError("the program ended while opening");
            break;
        }
        const qint64 splashNs = splashClosedNs(marks);
        if (splashNs < startNs || splashNs > busyUntil) {
            state.SkipWithError("the program noted no splash close while opening");
            break;
        }
        fromSplashMs += double(busyUntil - splashNs) / 1e6;
        ++runs;
    }
    state.counters["file_MB"] = fileMb;
    state.counters["peak_MB"] = peakMb;
    state.counters["peak_x_file"] = peakMb / fileMb;
    state.counters["from_splash_ms"] = runs ? fromSplashMs / runs : 0;
}

void BM_OneLineOpenProcess(benchmark::State &state) { openProcess(state, oneLineFile()); }

// The 1,000,000-line program opened from the command line.
void BM_Open1MProcess(benchmark::State &state) { openProcess(state, programFile(1000000, Form::Plain)); }

// The one-line program open; `step` is timed until the window is idle again.
void onOneLine(benchmark::State &state, const std::function<void(Window &)> &step,
               const std::function<bool(Window &)> &check = {})
{
    Window w;
    w.open(oneLineFile());
    for (auto _ : state) {
        step(w);
        settle(w.doc);
    }
    if (check && !check(w))
        state.SkipWithError("wrong result");
}

void BM_OneLineFind(benchmark::State &state)
{
    onOneLine(state, [](Window &w) {
        w.doc->txtText->setCaret(1, 1);
        FindIt(QStringLiteral("M30"), 0, false, true, QString(), false);
    }, [](Window &w) { return w.doc->txtText->SelText() == "M30"; });
}

void BM_OneLineEndAndHome(benchmark::State &state)
{
    onOneLine(state, [](Window &w) {
        w.key(Qt::Key_End);
        settle(w.doc);
        w.key(Qt::Key_Home);
    });
}

void BM_OneLineTypeAtEnd(benchmark::State &state)
{
    onOneLine(state, [](Window &w) {
        w.doc->txtText->setCaret(INT_MAX, 1);
        w.key(Qt::Key_Space);
    });
}

void BM_OneLineRenumber(benchmark::State &state)
{
    onOneLine(state, [](Window &w) { command(w, "mnuNcOptionsOmnum"); });
}

void BM_OneLinePackAndUndo(benchmark::State &state)
{
    onOneLine(state, [](Window &w) {
        command(w, "mnuViewPack");
        settle(w.doc);
        w.key(Qt::Key_Z, Qt::ControlModifier);
    });
}

}

int main(int argc, char **argv)
{
    keepFreedMemory(); // memory as the program itself has it
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    fixture();
    for (int lines : {400000, 1000000})
        for (const Operation &op : operations())
            benchmark::RegisterBenchmark(
                (std::string("BM_UndoRedo/") + op.name + "/" + std::to_string(lines)).c_str(),
                [&op, lines](benchmark::State &s) { undoRedo(s, op, lines); })
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond)
                ->Iterations(1);
    benchmark::RegisterBenchmark("BM_Open1M", BM_Open1M)->Unit(benchmark::kMillisecond)->Iterations(3);
    for (const Operation &op : operations())
        benchmark::RegisterBenchmark((std::string("BM_EndToEnd/") + op.name).c_str(),
                                     [&op](benchmark::State &s) { operationEndToEnd(s, op); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(2);
    for (const UserOperation &op : userOperations())
        benchmark::RegisterBenchmark((std::string("BM_WholePath/") + op.name).c_str(),
                                     [&op](benchmark::State &s) { wholePath(s, op); })
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(2);
    const std::vector<std::tuple<const char *, void (*)(benchmark::State &), int>> single = {
        {"BM_ColourWholeProgram1M", BM_ColourWholeProgram1M, 3},
        {"BM_OneLineOpen", BM_OneLineOpen, 1},
        {"BM_OneLineFind", BM_OneLineFind, 1},
        {"BM_OneLineEndAndHome", BM_OneLineEndAndHome, 1},
        {"BM_OneLineTypeAtEnd", BM_OneLineTypeAtEnd, 20},
        {"BM_OneLineRenumber", BM_OneLineRenumber, 1},
        {"BM_OneLinePackAndUndo", BM_OneLinePackAndUndo, 1},
    };
    for (const auto &[name, bench, iterations] :
         std::vector<std::tuple<const char *, void (*)(benchmark::State &), int>>{
             {"BM_OneLineOpenProcess", BM_OneLineOpenProcess, 1}, {"BM_Open1MProcess", BM_Open1MProcess, 3}})
        benchmark::RegisterBenchmark(name, bench)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(iterations);
    for (const auto &[name, bench, iterations] : single)
        benchmark::RegisterBenchmark(name, bench)->Unit(benchmark::kMillisecond)->Iterations(iterations);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    setMsgBoxHook({});
    return 0;
}
