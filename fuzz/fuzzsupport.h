#pragma once
// What every fuzz target shares: a core application, message boxes and error
// reports answered without a window, the split of an input into a few
// settings and the rest, and the check that ends a run with a finding.
#include "core/errors.h"
#include "core/msgbox.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QCoreApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace lumrik::fuzz {

inline void setUp(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    setMsgBoxHook([](const MsgBoxCall &) { return int(MbOk); });
    setErrorBoxHook([](const QString &) { return true; });
}

[[noreturn]] inline void fail(const char *what)
{
    std::fprintf(stderr, "broken rule: %s\n", what);
    std::abort();
}

inline void check(bool ok, const char *what)
{
    if (!ok)
        fail(what);
}

// Reads settings from the front of the input; what is left is the text.
class Input {
public:
    Input(const uint8_t *data, size_t size) : p_(reinterpret_cast<const char *>(data)), n_(size) {}
    uint8_t byte()
    {
        if (!n_)
            return 0;
        --n_;
        return uint8_t(*p_++);
    }
    bool flag() { return byte() & 1; }
    // Up to `max` bytes.
    QByteArray bytes(size_t max)
    {
        const size_t k = std::min(max, n_);
        QByteArray b(p_, qsizetype(k));
        p_ += k;
        n_ -= k;
        return b;
    }
    QByteArray rest() { return bytes(n_); }
    size_t left() const { return n_; }

private:
    const char *p_;
    size_t n_;
};

}

#define LUMRIK_FUZZ_SETUP                                                                                    \
    extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)                                             \
    {                                                                                                        \
        lumrik::fuzz::setUp(argc, argv);                                                                     \
        return 0;                                                                                            \
    }
