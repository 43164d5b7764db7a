// Sending: a 1,000,000-line program prepared and written through the send
// engine to a port without a line-rate limit (the fake port).
#include "core/currentmachine.h"
#include "core/globals.h"
#include "fakeserialport.h"
#include "dnc/frmtxd2cnc.h"
#include "dnc/machineconfig.h"
#include "dnc/txdsend.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace lumrik;

namespace {

struct Env {
    QTemporaryDir data, tmp;
    QString source;
    qint64 bytes = 0;
    Env()
    {
        gsDataPath = data.path();
        gsTmpPath = tmp.path();
        currentMachine().use("BENCH", data.path() + "/BENCH.cfg");
        QFile cfg(currentMachine().file());
        cfg.open(QIODevice::WriteOnly);
        cfg.write("[Communication]\r\nProtokoll=RTS/CTS\r\nCode=ISO\r\nEobCode=CR LF\r\nDelayBeforeClose=-1\r\n"
                  "TxdFilter=\r\nDoNotSend=/\r\nBufSize=256\r\n");
        cfg.close();
        // A milling program: blocks, comments, a comment line now and then.
        QByteArray text;
        text.reserve(32 * 1000000);
        for (int i = 1; i <= 1000000; ++i) {
            if (i % 100 == 0)
                text += "'(verktyg " + QByteArray::number(i / 100) + ")\r\n";
            else
                text += "N" + QByteArray::number(i) + " G01 X" + QByteArray::number(i % 500) + ".25 Y-12.5 F300\r\n";
        }
        bytes = text.size();
        source = data.path() + "/O1000.NC";
        QFile f(source);
        f.open(QIODevice::WriteOnly);
        f.write(text);
    }
};

Env &env()
{
    static Env e;
    return e;
}

void run(benchmark::State &state, bool prepare)
{
    Env &e = env();
    TxdSettings settings;
    readTxdSettings(MachineConfig::active(), settings);
    if (!prepare)
        QFile::copy(e.source, tmpFile(kTxdTmp));
    for (auto _ : state) {
        if (prepare) {
            QByteArray text;
            concatenateForSend({e.source}, text);
            QFile f(tmpFile(kTxdTmp));
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(text);
        }
        FakeSerialPort port;
        port.recordWrites = false;
        port.written.reserve(e.bytes + 4096);
        TxdSender sender(&port);
        if (sender.send(tmpFile(kTxdTmp), settings) != TxdSender::Result::Done)
            state.SkipWithError("send failed");
        benchmark::DoNotOptimize(port.written.size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * e.bytes);
    state.counters["lines"] = 1000000;
}

void BM_SendOneMillionLines(benchmark::State &state) { run(state, false); }
void BM_PrepareAndSendOneMillionLines(benchmark::State &state) { run(state, true); }

}

BENCHMARK(BM_SendOneMillionLines)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PrepareAndSendOneMillionLines)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
