// The file selector's list on a folder of 5,000 NC programs of 2 KB each:
// the folder scan alone (names, first comments, dates, sizes) and the whole
// rebuild of the window's list (scan, items, sorting, column widths).
#include "core/globals.h"
#include "core/sessionstate.h"
#include "files/filelogic.h"
#include "files/frmrkselfile.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

using namespace lumrik;

namespace {

constexpr int kFiles = 5000;
constexpr int kFileSize = 2048;

// A folder of programs, made once for every benchmark.
QString programFolder()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        made = true;
        for (int i = 0; i < kFiles; ++i) {
            QByteArray text = QStringLiteral("%\r\nO%1 (SHAFT %2 ROUGHING)\r\n").arg(i, 5, 10, QChar('0')).arg(i).toLatin1();
            int n = 10;
            while (text.size() < kFileSize) {
                text += "N" + QByteArray::number(n) + " G01 X" + QByteArray::number(n % 97) + ".5 Y-12.25 F200\r\n";
                n += 10;
            }
            text.truncate(kFileSize);
            QFile f(dir.path() + QStringLiteral("/O%1.NC").arg(i, 5, 10, QChar('0')));
            if (f.open(QIODevice::WriteOnly))
                f.write(text);
        }
    }
    return dir.path();
}

void BM_ScanFolderWithComments(benchmark::State &state)
{
    const QString folder = programFolder();
    for (auto _ : state) {
        auto entries = RkScanFolder(folder, QString(), QStringLiteral("*.NC"), true);
        if (entries.size() != size_t(kFiles))
            state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(entries);
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_ScanFolderWithComments)->Unit(benchmark::kMillisecond);

void BM_FillFileList(benchmark::State &state)
{
    const QString folder = programFolder();
    QTemporaryDir data;
    gsDataPath = data.path();
    programSession().settings().change([&state](SettingValues &v) {
        v.showFileExt = QStringLiteral("*.NC");
        v.showAllFiles = true;
        v.scanComment = true;
        v.numberSort = state.range(0) != 0;
    });
    frmRkSelFile f(programSession());
    f.sRootPath = folder;
    f.sPreSelectedPath = folder;
    f.show();
    QApplication::processEvents();
    for (auto _ : state) {
        f.FillFileList(folder + '/', true, QString());
        if (f.lstViewFiles->topLevelItemCount() != kFiles)
            state.SkipWithError("wrong count");
    }
    f.hide();
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_FillFileList)->Arg(0)->Arg(1)->ArgName("numberSort")->Unit(benchmark::kMillisecond);

}

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
