// Received bytes: whatever a control sends, cut into chunks anywhere, gives the
// same work file and the same log as when it comes in one piece.
#include "dnc/receive.h"
#include "fuzzsupport.h"

using namespace lumrik;
using fuzz::check;

LUMRIK_FUZZ_SETUP

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    RxdOptions o;
    const uint8_t flags = in.byte();
    o.binary = flags & 1;
    o.eia = flags & 2;
    o.waitStartChr = flags & 4;
    o.kearney = flags & 8;
    o.startChr = in.byte();
    o.filter = in.bytes(in.byte() % 6);
    const uint8_t seed = in.byte();
    const QByteArray bytes = in.rest();

    RxdChunkProcessor whole(o);
    const RxdChunk one = whole.process(bytes);
    check(one.file.size() <= 2 * bytes.size(), "cleaning at most doubles the bytes (a line feed becomes CR LF)");

    // The same bytes in chunks of 1..16 bytes, the sizes drawn from the input.
    RxdChunkProcessor parts(o);
    RxdChunk sum;
    bool eiaError = false;
    int dc1 = 0;
    unsigned r = seed;
    for (qsizetype at = 0; at < bytes.size();) {
        r = r * 1103515245u + 12345u;
        const qsizetype n = std::min<qsizetype>(1 + (r >> 16) % 16, bytes.size() - at);
        RxdChunk c = parts.process(QByteArrayView(bytes).sliced(at, n));
        eiaError |= c.eiaError;
        dc1 += c.sendDc1;
        sum.file += c.file;
        sum.display += c.display;
        sum.skipped += c.skipped;
        at += n;
    }
    check(parts.waitingForStart() == whole.waitingForStart(), "chunks leave the same wait for the start");
    check(eiaError == one.eiaError, "a translation error shows in chunks as in one piece");
    if (!one.eiaError && !eiaError) {
        check(sum.file == one.file, "chunks give the same work file");
        check(sum.display == one.display, "chunks give the same log");
        check(sum.skipped == one.skipped, "chunks skip the same bytes");
        check(dc1 == int(one.sendDc1), "chunks answer DC1 as often");
    }
    return 0;
}
