// Machine files: any file is read key by key with the documented defaults or
// a reported error, on the send side and on the receive side alike.
#include "dnc/hexlists.h"
#include "dnc/machineconfig.h"
#include "dnc/receivesettings.h"
#include "fuzzsupport.h"

#include <QFile>
#include <QTemporaryDir>

using namespace lumrik;
using fuzz::check;

LUMRIK_FUZZ_SETUP

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/FUZZ.cfg");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fuzz::fail("the machine file cannot be written");
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    const MachineConfig cfg(path);
    try {
        const MachineSettings s = cfg.read();
        expandHexCodes(s.LeaderChr);
        expandHexCodes(s.TrailerChr);
        expandHexList(s.FilterChr);
        parseHexCode(s.TxdFilter);
        parseHexCode(s.RxdFromChr);
    } catch (const RkError &e) {
        check(e.number() == kErrTypeMismatch, "a machine file fails only on a value that is no number");
    }
    const int block = cfg.blockSize();
    check(block >= 1 && block <= 256, "the block size stays within 1..256");
    cfg.ComPort();

    RxdSettings rxd;
    QString reason;
    if (!readRxdSettings(path, rxd, &reason))
        check(!reason.isEmpty(), "a machine file the receive side refuses has its reason");
    else
        check(rxd.recDelayMs >= 0, "the silence time is never negative");
    return 0;
}
