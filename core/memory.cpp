#include "core/memory.h"

#include <malloc.h>

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
#endif
}

}
