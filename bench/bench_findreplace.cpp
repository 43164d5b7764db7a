// Find and replace on a 1,000,000-line program: a find that scans the whole
// text (the match on the last line), the same with whole words, and replace
// all with one match on every line, then its undo.
#include "documents/editor.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdio>

using namespace lumrik;

namespace {

constexpr int kLines = 1000000;

const QByteArray &program()
{
    static QByteArray text;
    if (!text.isEmpty()) return text;
    text.reserve(kLines * 36);
    text += "%\r\nO1000 (BENCH)\r\n";
    for (int i = 2; i < kLines; ++i) {
        char line[64];
        const int n = std::snprintf(line, sizeof line, "N%d G1 X%d.%03d Y-%d.%02d F1200\r\n", i * 10, i % 900,
                                    i % 1000, (i * 7) % 500, i % 100);
        text.append(line, n);
    }
    text += "M30";
    return text;
}

void BM_FindOnLastLine(benchmark::State &state)
{
    Editor ed;
    ed.setTextAll(program());
    ed.SearchTarget = "m30";
    ed.SearchOrigin = 1;
    ed.SearchWholeWordsOnly = state.range(0) != 0;
    for (auto _ : state) {
        ed.setAction(9);
        if (!ed.SearchResult()) state.SkipWithError("not found");
    }
    state.SetBytesProcessed(state.iterations() * program().size());
}
BENCHMARK(BM_FindOnLastLine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ReplaceAllEveryLineAndUndo(benchmark::State &state)
{
    Editor ed;
    QObject::connect(&ed, &Editor::ReplaceQuery, [](int &a) { a = 4; });
    for (auto _ : state) {
        state.PauseTiming();
        ed.setTextAll(program());
        ed.SearchTarget = "G1";
        ed.SearchReplacement = "G01";
        ed.SearchOrigin = 1;
        ed.SearchWholeWordsOnly = true;
        state.ResumeTiming();
        ed.setAction(10);
        // Every further match of so large a program goes in from the event loop.
        while (ed.changeUnderWay())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
        if (ed.searchReplacedCount() != kLines - 2) state.SkipWithError("wrong count");
        ed.setAction(6);
    }
    state.counters["replaced"] = double(ed.searchReplacedCount());
}
BENCHMARK(BM_ReplaceAllEveryLineAndUndo)->Unit(benchmark::kMillisecond)->Iterations(3);

}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
