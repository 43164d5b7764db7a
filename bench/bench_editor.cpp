// The editor on a large NC program: loading a 1,000,000-line file into a
// document window, and the whole-program line frame of the NC commands
// (Redraw off, TextAll := TextAll, every line read and written back).
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "core/globals.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

using namespace lumrik;

namespace {

constexpr int kLines = 1000000;

QTemporaryDir &tempDir()
{
    static QTemporaryDir dir;
    return dir;
}

// A milling program of about 35 bytes a line.
const QString &programFile()
{
    static QString path;
    if (!path.isEmpty()) return path;
    path = tempDir().path() + "/big.nc";
    QByteArray text;
    text.reserve(kLines * 36);
    text += "%\r\nO1000 (BENCH)\r\n";
    for (int i = 2; i < kLines; ++i) {
        char line[64];
        const int n = std::snprintf(line, sizeof line, "N%d G1 X%d.%03d Y-%d.%02d F1200\r\n", i * 10,
                                    i % 900, i % 1000, (i * 7) % 500, i % 100);
        text.append(line, n);
    }
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

long rssKb()
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

void BM_LoadIntoDocumentWindow(benchmark::State &state)
{
    const QString path = programFile();
    const double fileKb = QFile(path).size() / 1024.0;
    double memRatio = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto *doc = new frmDocument;
        doc->resize(800, 600);
        doc->show();
        QApplication::processEvents();
        const long before = rssKb();
        state.ResumeTiming();

        doc->setCaption(path);
        doc->txtText->FileLoad(path);
        doc->txtText->setFocus();
        QApplication::processEvents(); // painted and ready for keys

        state.PauseTiming();
        memRatio = (rssKb() - before) / fileKb;
        benchmark::DoNotOptimize(doc->txtText->Count());
        delete doc;
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["file_MB"] = fileKb / 1024.0;
    state.counters["memory_x_file"] = memRatio;
}
BENCHMARK(BM_LoadIntoDocumentWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole open of a file into a new window as the main window does it:
// window made, FileOpen (extension mode, line ends, load), activation.
void BM_OpenNewDocumentWindow(benchmark::State &state)
{
    const QString path = programFile();
    gsDataPath = tempDir().path();
    gsTmpPath = tempDir().path();
    for (auto _ : state) {
        auto *doc = new frmDocument;
        doc->resize(800, 600);
        doc->setCaption(path);
        doc->FileOpen(path);
        doc->UpdateText();
        doc->show();
        doc->txtText->setFocus();
        QApplication::processEvents();
        state.PauseTiming();
        delete doc;
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenNewDocumentWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WholeProgramLineFrame(benchmark::State &state)
{
    const QString path = programFile();
    frmDocument doc;
    doc.resize(800, 600);
    doc.show();
    doc.txtText->FileLoad(path);
    QApplication::processEvents();
    Editor *ed = doc.txtText;
    for (auto _ : state) {
        ed->setRedraw(false);
        const bool insert = ed->InsertMode();
        ed->setTextAll(ed->TextAll());
        const int n = ed->Count();
        for (int i = 1; i <= n; ++i) {
            ed->setTextIndex(i);
            QByteArray line = ed->Text();
            // The rule: every line changes (as renumbering does).
            if (!line.isEmpty()) line[line.size() - 1] = line[line.size() - 1] == '0' ? '1' : '0';
            ed->setInsertMode(false);
            ed->setText(line);
        }
        ed->setInsertMode(insert);
        ed->setRedraw(true);
        QApplication::processEvents();
    }
    state.counters["lines"] = ed->Count();
}
BENCHMARK(BM_WholeProgramLineFrame)->Unit(benchmark::kMillisecond)->Iterations(3);

}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
