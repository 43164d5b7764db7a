// Large blocks in large pages. The editor's buffers for a big program (its
// text and styles, tens of megabytes each) are fresh memory each time they
// grow or a program is opened, and with the usual 4 KiB pages every page of
// them is a fault of its own: on a big program those faults cost more than
// the work. Blocks from a few megabytes up are mapped on their own, aligned to
// the system's large page and marked for large pages, so the same memory costs
// a few hundred faults instead of tens of thousands. Smaller blocks go to the
// C library; from a few hundred kilobytes (the editor's undo records of a
// whole-program change) their pages are made present in one call. Every block
// in builds with a sanitizer (which keeps its own books on memory) goes to the
// C library as usual.
#include "core/memory.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <sys/mman.h>

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define LUMRIK_NO_LARGE_BLOCKS
#endif
#endif
#else
#define LUMRIK_NO_LARGE_BLOCKS
#endif

#ifndef LUMRIK_NO_LARGE_BLOCKS
namespace {

constexpr std::size_t kLargePage = std::size_t(2) << 20;
constexpr std::size_t kLargeBlock = std::size_t(8) << 20; // blocks from this size
constexpr std::size_t kHeader = 64;                        // keeps every alignment new gives
constexpr std::uintptr_t kMark = 0x4c756d72696b4c42;       // the header's mark, mixed with its address

struct Header {
    std::uintptr_t mark;
    std::size_t mapped;
};

// A block of its own mapping, its header at the start of a large page.
void *mapLarge(std::size_t size)
{
    if (size > SIZE_MAX - kHeader - 2 * kLargePage)
        return nullptr;
    const std::size_t mapped = (size + kHeader + kLargePage - 1) & ~(kLargePage - 1);
    void *raw = ::mmap(nullptr, mapped + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const std::uintptr_t start = std::uintptr_t(raw);
    const std::uintptr_t base = (start + kLargePage - 1) & ~std::uintptr_t(kLargePage - 1);
    if (base > start)
        ::munmap(raw, base - start);
    if (const std::uintptr_t end = start + mapped + kLargePage; end > base + mapped)
        ::munmap(reinterpret_cast<void *>(base + mapped), end - (base + mapped));
    ::madvise(reinterpret_cast<void *>(base), mapped, MADV_HUGEPAGE);
    auto *h = reinterpret_cast<Header *>(base);
    h->mark = kMark ^ base;
    h->mapped = mapped;
    return reinterpret_cast<void *>(base + kHeader);
}

// Whether p came from mapLarge: its header sits just before it, in the same
// page, so it can be read whatever p is.
bool isLarge(void *p)
{
    const std::uintptr_t at = std::uintptr_t(p);
    if ((at & (kLargePage - 1)) != kHeader)
        return false;
    const std::uintptr_t base = at - kHeader;
    return reinterpret_cast<const Header *>(base)->mark == (kMark ^ base);
}

void *allocate(std::size_t size)
{
    for (;;) {
        void *p = size >= kLargeBlock ? mapLarge(size) : nullptr;
        if (!p) {
            p = std::malloc(size ? size : 1);
            if (p)
                lumrik::prepareToFill(p, size);
        }
        if (p)
            return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}

void release(void *p) noexcept
{
    if (!p)
        return;
    if (isLarge(p)) {
        const std::uintptr_t base = std::uintptr_t(p) - kHeader;
        reinterpret_cast<Header *>(base)->mark = 0;
        ::munmap(reinterpret_cast<void *>(base), reinterpret_cast<Header *>(base)->mapped);
        return;
    }
    std::free(p);
}

}

void *operator new(std::size_t size) { return allocate(size); }
void *operator new[](std::size_t size) { return allocate(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void *p) noexcept { release(p); }
void operator delete[](void *p) noexcept { release(p); }
void operator delete(void *p, std::size_t) noexcept { release(p); }
void operator delete[](void *p, std::size_t) noexcept { release(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { release(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { release(p); }
#endif
