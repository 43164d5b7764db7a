#include "core/memory.h"

#include <cstdint>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace lumrik {

void keepFreedMemory()
{
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    // Blocks below this size come from the heap, where a freed block is
    // reused; only larger ones are mapped afresh each time.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    // The free top of the heap is kept up to this size rather than given back.
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    // The heap grows by this much at a time, fewer and larger steps.
    mallopt(M_TOP_PAD, 16 * 1024 * 1024);
    // Larger blocks (the editor's text and styles of a big program) come from
    // the heap as well, so that one freed is there for the next.
    mallopt(M_MMAP_MAX, 0);
#endif
}

void prepareToFill(void *start, std::size_t size) noexcept
{
#ifdef MADV_POPULATE_WRITE
    if (size < kPreparedFrom)
        return;
    static const std::uintptr_t page = std::uintptr_t(::sysconf(_SC_PAGESIZE) > 0 ? ::sysconf(_SC_PAGESIZE) : 4096);
    const std::uintptr_t from = (std::uintptr_t(start) + page - 1) & ~(page - 1);
    const std::uintptr_t to = (std::uintptr_t(start) + size) & ~(page - 1);
    // Pages already present cost only the walk over them; a system without
    // the call says so and the pages come one fault at a time as before.
    if (to > from)
        ::madvise(reinterpret_cast<void *>(from), to - from, MADV_POPULATE_WRITE);
#else
    (void)start;
    (void)size;
#endif
}

}
