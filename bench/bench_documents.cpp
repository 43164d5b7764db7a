// Opening, colouring, hex view and saving of large NC programs.
#include "core/globals.h"
#include "core/inifile.h"
#include "core/msgbox.h"
#include "core/progress.h"
#include "core/sessionstate.h"
#include "documents/frmdocument.h"
#include "documents/saving.h"
#include "documents/syntax.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <memory>

using namespace lumrik;

namespace {

constexpr int kLines = 1000000;

// Colouring with progress ends from the event loop.
void untilColoured()
{
    while (LongWork::underWay())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
}

// The program folder of the runs: the shipped syntax file, a machine that
// uses it, and the large files, written once.
struct Fixture {
    QTemporaryDir dir;
    QWidget mainWindow;
    QAction *autoColour = nullptr;
    QString program;   // 1,000,000 lines, CR LF
    QString dump;      // 10 MB, shown as a hex dump

    Fixture()
    {
        gsDataPath = dir.path();
        gsTmpPath = dir.path();
        QFile::copy(":/lumrik/install/fanuc.syn", dir.filePath("fanuc.syn"));
        QFile::setPermissions(dir.filePath("fanuc.syn"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        SaveIniSetting("Settings", "ColorFile", "fanuc", dir.filePath("DEMO.cfg"));
        SaveIniSetting("Extensions", "dmp", "3", dir.filePath("lumrik32.INI"));

        autoColour = new QAction(&mainWindow);
        autoColour->setObjectName("mnuViewAutoColorNC");
        autoColour->setCheckable(true);

        QByteArray text;
        text.reserve(qsizetype(kLines) * 40);
        text += "%\r\nO1000 (BENCH - FRÄSNING ÅÄÖ)\r\n";
        for (int i = 3; i <= kLines; ++i) {
            const int n = i * 10;
            if (i % 50 == 0)
                text += "N" + QByteArray::number(n) + " T" + QByteArray::number(i % 20 + 1) + " M6 (VERKTYG "
                        + QByteArray::number(i % 20 + 1) + ")\r\n";
            else
                text += "N" + QByteArray::number(n) + " G1 X" + QByteArray::number((i * 7) % 500) + ".25 Y-"
                        + QByteArray::number((i * 13) % 300) + ".5 Z-2. F" + QByteArray::number(100 + i % 900)
                        + "\r\n";
        }
        program = dir.filePath("BIG.NC");
        write(program, text);

        QByteArray bytes(10 * 1024 * 1024, Qt::Uninitialized);
        QRandomGenerator gen(42);
        gen.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        dump = dir.filePath("BIG.DMP");
        write(dump, bytes);
    }
    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

// True when the program's third line came out coloured (the syntax file was found).
bool coloured(const frmDocument &doc)
{
    return doc.txtText->characterForeColorAt(3, 1) != doc.txtText->ForeColor();
}

std::unique_ptr<frmDocument> newDocument()
{
    auto doc = std::make_unique<frmDocument>();
    doc->sMaskin = "DEMO";
    doc->setCaption(programSession().words().values().untitled);
    return doc;
}

// Opening a 1,000,000-line program with automatic colouring of its first
// 1000 lines: the window is ready when their colouring is over.
void BM_OpenWithAutoColour(benchmark::State &state)
{
    Fixture &f = fixture();
    f.autoColour->setChecked(true);
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = newDocument();
        state.ResumeTiming();
        doc->FileOpen(f.program);
        untilColoured();
        benchmark::DoNotOptimize(doc->txtText->Count());
        state.PauseTiming();
        if (!coloured(*doc))
            state.SkipWithError("no syntax colouring");
        doc.reset();
        state.ResumeTiming();
    }
    f.autoColour->setChecked(false);
}
BENCHMARK(BM_OpenWithAutoColour)->Unit(benchmark::kMillisecond)->Iterations(3);

// Colouring the whole program on command (View > colour ISO functions).
void BM_ColourWholeDocument(benchmark::State &state)
{
    Fixture &f = fixture();
    auto doc = newDocument();
    doc->FileOpen(f.program);
    untilColoured();
    for (auto _ : state) {
        int lines = 0;
        ColorNC(doc->txtText, doc->sMaskin, 0, 0, 30000, true, doc.get(), [&](int done) { lines = done; });
        untilColoured();
        benchmark::DoNotOptimize(lines);
    }
    if (!coloured(*doc) || doc->txtText->characterForeColorAt(kLines, 1) == doc->txtText->ForeColor())
        state.SkipWithError("not coloured to the end");
}
BENCHMARK(BM_ColourWholeDocument)->Unit(benchmark::kMillisecond)->Iterations(3);

// Opening a 10 MB file as a hex dump (extension mode 3), to the dump in the window.
void BM_HexView10MB(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = newDocument();
        state.ResumeTiming();
        doc->FileOpen(f.dump);
        // The dump is made off the window: the open is over when it is in.
        while (LongWork::underWay())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
        benchmark::DoNotOptimize(doc->txtText->Count());
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_HexView10MB)->Unit(benchmark::kMillisecond)->Iterations(3);

// Saving the CR LF program with LF line ends ("SaveAsUnix").
void BM_SaveOtherLineEnds(benchmark::State &state)
{
    Fixture &f = fixture();
    auto doc = newDocument();
    doc->FileOpen(f.program);
    const QString target = f.dir.filePath("SAVED.NC");
    doc->setCaption(target);
    programSession().settings().change([](SettingValues &v) { v.saveAsUnixType = 2; });
    for (auto _ : state) {
        bool saveAs = false;
        int result = 0;
        doc->txtText->setTextType(1); // the buffer holds CR LF; every save converts it
        benchmark::DoNotOptimize(RkSaveDocument(doc.get(), saveAs, result));
    }
    programSession().settings().change([](SettingValues &v) { v.saveAsUnixType = 1; });
    state.counters["bytes"] = double(QFile(target).size());
}
BENCHMARK(BM_SaveOtherLineEnds)->Unit(benchmark::kMillisecond)->Iterations(5);

}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setMsgBoxHook([](const MsgBoxCall &) { return int(MbCancel); });
    programSession().words().change([](WordValues &w) { w.untitled = QStringLiteral("NAMNLÖS"); });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
