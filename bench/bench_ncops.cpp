// The NC program operations on a 1,000,000-line program: each rule as a plain
// function over the lines, and each command end to end through a document
// window (line frame, progress dialog, one undo step).
#include "core/globals.h"
#include "core/msgbox.h"
#include "core/progress.h"
#include "core/sessionstate.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "ncops/blockreferences.h"
#include "ncops/frmomnum.h"
#include "ncops/frmxyz.h"
#include "ncops/mdlmnfix.h"
#include "ncops/mdlrkfix.h"
#include "ncops/omnum.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <vector>

using namespace lumrik;

namespace {

constexpr int kLines = 1000000;

// A milling program of about 35 bytes a line.
const std::vector<QByteArray> &programLines()
{
    static std::vector<QByteArray> lines;
    if (!lines.empty())
        return lines;
    lines.reserve(kLines);
    lines.emplace_back("%");
    lines.emplace_back("O1000 (BENCH)");
    for (int i = 2; i < kLines; ++i) {
        char line[64];
        const int n = std::snprintf(line, sizeof line, "N%d G1 X%d.%03d Y-%d.%02d F1200", i * 10, i % 900,
                                    i % 1000, (i * 7) % 500, i % 100);
        lines.emplace_back(line, n);
    }
    return lines;
}

// The program as one text: as it is, packed, or in small letters (so that
// unpacking and upper-casing have every line to change).
enum class Form { Plain, Packed, Lower };
QByteArray programText(Form form)
{
    QByteArray text;
    text.reserve(kLines * 40);
    for (const QByteArray &l : programLines()) {
        if (form == Form::Packed)
            text.append(PackBlock(l));
        else if (form == Form::Lower)
            text.append(l.toLower());
        else
            text.append(l);
        text.append("\r\n");
    }
    text.chop(2);
    return text;
}

// ----- the plain functions ---------------------------------------------------

void plain(benchmark::State &state, const std::function<void(std::vector<QByteArray> &)> &op)
{
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<QByteArray> lines = programLines();
        state.ResumeTiming();
        op(lines);
        benchmark::DoNotOptimize(lines.data());
    }
}

void BM_PlainRenumber(benchmark::State &state)
{
    plain(state, [](std::vector<QByteArray> &lines) {
        OmnumOptions o;
        o.tomBlockNr = 2147483647;
        RkOmnumLines(lines, o);
    });
}
void BM_PlainPack(benchmark::State &state)
{
    plain(state, [](std::vector<QByteArray> &lines) {
        for (QByteArray &l : lines) l = PackBlock(l);
    });
}
void BM_PlainUnpack(benchmark::State &state)
{
    plain(state, [](std::vector<QByteArray> &lines) {
        for (QByteArray &l : lines) {
            QByteArray packed = l;
            l = UnpackBlock(packed);
        }
    });
}
void BM_PlainUppercase(benchmark::State &state)
{
    plain(state, [](std::vector<QByteArray> &lines) {
        for (QByteArray &l : lines) l = upper1252(l);
    });
}
void BM_PlainDecimalPoints(benchmark::State &state)
{
    plain(state, [](std::vector<QByteArray> &lines) {
        long n = 0;
        for (QByteArray &l : lines) n += addDecimalPoints(l, "XYF");
        benchmark::DoNotOptimize(n);
    });
}
void BM_PlainRange(benchmark::State &state)
{
    plain(state, [](std::vector<QByteArray> &lines) {
        XyzRange r;
        for (const QByteArray &l : lines) r.addLine(l);
        benchmark::DoNotOptimize(r.max[0]);
    });
}
// The look for references to block numbers that the renumbering makes first.
void BM_PlainBlockReferences(benchmark::State &state)
{
    const QByteArray text = programText(Form::Plain);
    for (auto _ : state)
        benchmark::DoNotOptimize(firstBlockReference(text));
}

// ----- end to end through a document window ---------------------------------

// Answers the command's windows: questions Yes, the renumbering dialog Start,
// the range window Close.
struct Answers {
    QTimer timer;
    Answers()
    {
        setMsgBoxHook([](const MsgBoxCall &c) { return c.buttons == MbButtons::YesNo ? int(MbYes) : int(MbOk); });
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (!w->isVisible()) continue;
                if (auto *o = qobject_cast<frmOmnum *>(w)) o->btnStartOmnum->click();
                if (auto *x = qobject_cast<frmXYZ *>(w)) x->Command1->click();
            }
        });
        timer.start();
    }
    ~Answers() { setMsgBoxHook({}); }
};

void endToEnd(benchmark::State &state, void (*command)(frmDocument *), Form form = Form::Plain)
{
    const QByteArray text = programText(form);
    Answers answers;
    programSession().settings().change([](SettingValues &v) { v.decCheckBlockChars = "XYF"; });
    for (auto _ : state) {
        state.PauseTiming();
        auto *doc = new frmDocument;
        doc->resize(800, 600);
        doc->show();
        doc->txtText->setTextAll(text);
        doc->txtText->setIsDirty(false);
        QApplication::processEvents();
        state.ResumeTiming();

        command(doc);
        // An operation computed off the window ends from the event loop.
        while (LongWork::underWay())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
        QApplication::processEvents();

        state.PauseTiming();
        doc->txtText->setTextIndex(doc->txtText->Count());
        state.counters["lastLineLength"] = double(doc->txtText->Text().size());
        state.counters["dirty"] = doc->txtText->IsDirty();
        delete doc;
        state.ResumeTiming();
    }
    state.counters["lines"] = kLines;
}

void BM_DocRenumber(benchmark::State &state) { endToEnd(state, RkOmnum); }
void BM_DocPack(benchmark::State &state) { endToEnd(state, MnPack); }
void BM_DocUnpack(benchmark::State &state) { endToEnd(state, MnUnPack, Form::Packed); }
void BM_DocUppercase(benchmark::State &state) { endToEnd(state, MnUppercase, Form::Lower); }
void BM_DocDecimalPoints(benchmark::State &state) { endToEnd(state, MnPunktKoll); }
void BM_DocRange(benchmark::State &state) { endToEnd(state, MnXYZ); }

}

BENCHMARK(BM_PlainRenumber)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlainPack)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlainUnpack)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlainUppercase)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlainDecimalPoints)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlainRange)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlainBlockReferences)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DocRenumber)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DocPack)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DocUnpack)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DocUppercase)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DocDecimalPoints)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DocRange)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
