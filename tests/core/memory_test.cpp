#include "core/memory.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <vector>

namespace {

// Big blocks, small ones and every kind of release work as always, and the
// bytes are the bytes.
TEST(LargeBlocks, BigBlocksBehaveAsMemory)
{
    for (std::size_t size : {std::size_t(8) << 20, (std::size_t(8) << 20) + 1, std::size_t(37) << 20}) {
        std::vector<char> v(size, 'x');
        v.back() = 'y';
        EXPECT_EQ(v.front(), 'x');
        EXPECT_EQ(v.back(), 'y');
        v.resize(size * 2, 'z'); // grows into a new block, the old one goes back
        EXPECT_EQ(v[size - 1], 'y');
        EXPECT_EQ(v.back(), 'z');
    }
    auto array = std::make_unique<char[]>(std::size_t(9) << 20);
    std::memset(array.get(), 1, std::size_t(9) << 20);
    array.reset();
    char *nothrow = new (std::nothrow) char[std::size_t(10) << 20];
    ASSERT_NE(nothrow, nullptr);
    delete[] nothrow;

    // Small blocks, many of them.
    for (int i = 0; i < 10000; ++i) {
        auto *p = new char[64 + i % 512];
        p[0] = 1;
        delete[] p;
    }
    // A block too large for the address space is refused as new refuses.
    // (AddressSanitizer's own operator new ends the process instead.)
#ifndef __SANITIZE_ADDRESS__
    volatile std::size_t tooLarge = std::size_t(-1) - 16; // known only when it runs
    EXPECT_THROW((void)::operator new(tooLarge), std::bad_alloc);
#endif
}

// Memory made ready to be filled keeps what it holds, whatever its edges
// and wherever it lies; memory that may not be written is left as it is.
TEST(PreparedMemory, ContentsAndEdgesStayAsTheyAre)
{
    for (std::size_t size : {std::size_t(100), lumrik::kPreparedFrom - 1, lumrik::kPreparedFrom,
                             lumrik::kPreparedFrom + 4097, std::size_t(3) << 20}) {
        std::vector<char> block(size + 2, 'a');
        for (std::size_t i = 0; i < block.size(); i += 997)
            block[i] = char('b' + i % 20);
        const std::vector<char> before = block;
        lumrik::prepareToFill(block.data() + 1, size); // an odd start and end
        EXPECT_EQ(block, before) << size;
    }
    auto *blockNew = new char[std::size_t(1) << 20]; // a fresh mid-sized block, prepared as it is filled
    lumrik::prepareToFill(blockNew, std::size_t(1) << 20);
    std::memset(blockNew, 7, std::size_t(1) << 20);
    EXPECT_EQ(blockNew[(std::size_t(1) << 20) - 1], 7);
    delete[] blockNew;

    const std::size_t mapped = std::size_t(1) << 20;
    void *readOnly = ::mmap(nullptr, mapped, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(readOnly, MAP_FAILED);
    lumrik::prepareToFill(readOnly, mapped);
    EXPECT_EQ(static_cast<const char *>(readOnly)[mapped - 1], 0);
    ::munmap(readOnly, mapped);
}

}
