#pragma once
// Cleaning of the bytes that a CNC control sends: the wait for the start
// character, EIA to ISO translation, the filter, the CR / NUL / LF rules and the
// binary mode; and the work file that the cleaned chunks are appended to. No
// widgets and no port here: the receive window feeds each chunk read from the
// port to an RxdReception.
#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <array>

namespace lumrik {

// EIA RS-244 code -> ISO character, for the received codes 0..128; codes that
// stand for no character give NUL. 0x80 (end of block) gives LF.
const std::array<unsigned char, 129> &eiaToIsoTable();

// How the received bytes are cleaned (taken from the machine's settings).
struct RxdOptions {
    bool binary = false;        // "BINÄR": every byte from the start character on, unchanged
    bool eia = false;           // "EIA": translate to ISO
    bool waitStartChr = false;  // skip everything before the start character
    int startChr = 0;           // compared with the byte as received (before translation)
    bool kearney = false;       // answer DC1 when the start character arrives
    QByteArray filter;          // characters dropped (compared after translation; not in binary mode)
};

// One chunk's worth of output.
struct RxdChunk {
    QByteArray file;            // what goes to the work file
    QByteArray display;         // what the log shows (CR and NUL kept, LF as CR LF)
    bool sendDc1 = false;       // the start character came with KEARNEY: answer DC1 once
    bool eiaError = false;      // a code above 128 in EIA mode: the chunk ends before it
    qsizetype skipped = 0;      // bytes passed over while waiting for the start character
};

// Processes received bytes chunk by chunk. Its only state is the wait for the
// start character, so a chunk split anywhere gives the same result.
class RxdChunkProcessor {
public:
    explicit RxdChunkProcessor(const RxdOptions &options = {});
    RxdChunk process(QByteArrayView bytes);
    // Appends to `out` instead of returning (no allocation per chunk).
    void process(QByteArrayView bytes, RxdChunk &out);
    bool waitingForStart() const { return wait_; }
    const RxdOptions &options() const { return o_; }

private:
    RxdOptions o_;
    bool wait_;
    std::array<bool, 256> drop_{};  // filter characters
};

// Where what was received so far stops: nothing of a program yet, in the
// middle of a block, or where a program may end (after an end of block, LF,
// or CR as a binary reception keeps it, or after the program-end character
// "%"). Blanks and control codes after the last character do not count, so a
// trailer of NULs or DC4 after the final "%" leaves it at its end.
enum class RxdTail { Nothing, InBlock, AtBlockEnd };
// The tail after `chunk` (the cleaned bytes, CR kept) came after what stood
// at `before`.
RxdTail rxdTail(QByteArrayView chunk, RxdTail before);

// The work file of a reception: created empty when the reception starts; every
// processed chunk is appended in the order it was read from the port and handed
// to the system at once, and what arrived is on the disk within a second, so a
// crash or a power cut in the middle of a long reception loses nothing older.
class RxdReception {
public:
    explicit RxdReception(const RxdOptions &options = {});
    ~RxdReception();

    // Creates (truncates) the file. Throws RkExpected when it cannot be created.
    void open(const QString &path);
    bool isOpen() const { return file_.isOpen(); }
    // Cleans the chunk and appends what is kept. Throws RkExpected when the write
    // fails (a full disk), so that nothing is lost without a word. On an EIA
    // translation error what came before the bad code is written.
    RxdChunk feed(QByteArrayView bytes);
    // Puts what was written and not yet synced on the disk (no-op otherwise).
    void sync();
    // Flushes and closes; throws RkExpected when the last bytes cannot be written.
    void close();
    // Closes and deletes the file (an aborted or failed reception).
    void discard();

    bool waitingForStart() const { return proc_.waitingForStart(); }
    // Where what arrived so far stops (see RxdTail).
    RxdTail tail() const { return tail_; }
    qint64 bytesReceived() const { return received_; }
    qint64 bytesWritten() const { return written_; }
    QString path() const { return path_; }

private:
    RxdChunkProcessor proc_;
    QFile file_;
    QString path_;
    qint64 received_ = 0;
    qint64 written_ = 0;
    qint64 synced_ = 0;        // written_ at the last sync
    RxdTail tail_ = RxdTail::Nothing;
    QElapsedTimer sinceSync_;
    RxdChunk scratch_;
};

// The name the received program is stored under. A name of blanks only is the
// untitled name. Otherwise, unless the name is the untitled name, the
// machine's extension is appended when the name does not already end with it
// (without regard to case). The extension is taken from the first pattern of
// `fileExtension` ("*.NC" gives ".NC", "*.NC;*.H" too); "*.*", a pattern
// without a dot or one whose extension holds a wildcard gives none.
QString rxdTargetName(const QString &name, const QString &fileExtension, const QString &untitled);
// The extension that rule appends, or "" for none.
QString rxdExtension(const QString &fileExtension);

}
