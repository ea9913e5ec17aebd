#include <windows.h>

#include <cstring>

#include <gtest/gtest.h>

#include "core/trailer.h"
#include "tests/support/locker.h"

namespace {

struct TrailerCase {
    const char* what;
    uint32_t blockSize;
    uint32_t bodyLength; // written into the footer
    const char* magic;
    Status expected;
};

const TrailerCase kTrailerCases[] = {
    {"empty body in a bare footer", 16, 0, "FUCK", RC_OK},
    {"empty body in a larger block", 4096, 0, "FUCK", RC_OK},
    {"trailer of exactly 512 bytes", 512, 496, "FUCK", RC_OK},
    {"497-byte body in a long block", 4096, 497, "FUCK", RC_TRAILER_TOO_LONG},
    {"497-byte body in a block of 512", 512, 497, "FUCK", RC_BAD_TRAILER},
    {"body longer than the block", 100, 85, "FUCK", RC_BAD_TRAILER},
    {"body that just fits", 101, 85, "FUCK", RC_OK},
    {"magic letters reordered", 4096, 10, "KCUF", RC_BAD_TRAILER},
    {"magic in lower case", 4096, 10, "fuck", RC_BAD_TRAILER},
    {"largest L, which wraps to 15 in 32 bits", 4096, 0xFFFFFFFF, "FUCK", RC_BAD_TRAILER},
    {"L that wraps to 0 in 32 bits", 4096, 0xFFFFFFF0, "FUCK", RC_BAD_TRAILER},
    {"block shorter than a footer", 15, 0, "FUCK", RC_BAD_TRAILER},
};

TEST(ParseTrailer, AcceptsOnlyWellFormedFooters)
{
    for (const TrailerCase& c : kTrailerCases) {
        Bytes block = RandomBytes(c.blockSize, c.blockSize);
        if (c.blockSize >= 16) {
            const Bytes footer = Footer(c.bodyLength, 1234, c.magic);
            std::copy(footer.begin(), footer.end(), block.end() - 16);
        }
        TrailerInfo info;
        memset(&info, 0xEE, sizeof info);
        const Status status = ParseTrailer(block.data(), c.blockSize, &info);
        EXPECT_EQ(status, c.expected) << c.what;
        if (status == RC_OK) {
            EXPECT_EQ(info.totalLength, c.bodyLength + 16) << c.what;
            EXPECT_EQ(info.bodyLength, c.bodyLength) << c.what;
            EXPECT_EQ(info.headLength, 1234u) << c.what;
            EXPECT_EQ(0, memcmp(info.bytes, block.data() + c.blockSize - info.totalLength,
                                info.totalLength)) << c.what;
            if (info.totalLength < kTrailerCapacity) {
                EXPECT_EQ(info.bytes[info.totalLength], 0xEE) << c.what << ": wrote past the trailer";
            }
        } else {
            EXPECT_EQ(info.totalLength, 0xEEEEEEEEu) << c.what << ": record touched on failure";
        }
    }
}

TEST(ParseTrailer, IgnoresTheSpareFieldAndLeavesTheHeadLengthToCallers)
{
    for (uint32_t head : {0u, 3u, 32769u, 0xFFFFFFFFu}) {
        Bytes block = RandomBytes(200, head);
        Bytes footer = Footer(40, head);
        footer[4] = footer[5] = footer[6] = footer[7] = 0xFF;
        std::copy(footer.begin(), footer.end(), block.end() - 16);
        TrailerInfo info;
        ASSERT_EQ(ParseTrailer(block.data(), 200, &info), RC_OK);
        EXPECT_EQ(info.headLength, head);
        EXPECT_EQ(info.totalLength, 56u);
    }
}

// A page of memory between two pages that may not be touched: a block put
// against either end of it makes a read past that end fault. The handler
// notes such a fault and opens the pages, so that the read completes and the
// test reports it rather than crashing.
enum : uint32_t { kPage = 4096 };
uint8_t* g_guarded;
bool g_strayAccess;

LONG CALLBACK NoteStrayAccess(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record.NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const uint8_t* at = reinterpret_cast<const uint8_t*>(record.ExceptionInformation[1]);
    if (at < g_guarded || at >= g_guarded + 3 * kPage)
        return EXCEPTION_CONTINUE_SEARCH;
    DWORD old;
    VirtualProtect(g_guarded, 3 * kPage, PAGE_READWRITE, &old);
    g_strayAccess = true;
    return EXCEPTION_CONTINUE_EXECUTION;
}

class GuardedPage {
public:
    GuardedPage()
    {
        g_guarded = static_cast<uint8_t*>(VirtualAlloc(nullptr, 3 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS));
        handler_ = AddVectoredExceptionHandler(1, NoteStrayAccess);
    }
    ~GuardedPage()
    {
        RemoveVectoredExceptionHandler(handler_);
        VirtualFree(g_guarded, 0, MEM_RELEASE);
    }
    bool Made() const { return g_guarded && handler_; }
    // Closes the pages around the middle one again; tells whether they were touched since.
    bool Touched()
    {
        const bool touched = g_strayAccess;
        g_strayAccess = false;
        DWORD old;
        VirtualProtect(g_guarded, kPage, PAGE_NOACCESS, &old);
        VirtualProtect(g_guarded + kPage, kPage, PAGE_READWRITE, &old);
        VirtualProtect(g_guarded + 2 * kPage, kPage, PAGE_NOACCESS, &old);
        return touched;
    }
    uint8_t* AtStart() const { return g_guarded + kPage; }
    uint8_t* EndingAtEnd(uint32_t size) const { return g_guarded + 2 * kPage - size; }

private:
    void* handler_;
};

TEST(ParseTrailer, NeverReadsOutsideTheBlockWhateverTheFooterSays)
{
    GuardedPage page;
    ASSERT_TRUE(page.Made());
    page.Touched();
    for (uint32_t size : {16u, 20u, 511u, 512u, 513u, 4096u}) {
        for (uint32_t length : {0u, 1u, size - 16, size - 15, 496u, 497u, 0x7FFFFFFFu, 0xFFFFFFEFu}) {
            for (uint8_t* block : {page.AtStart(), page.EndingAtEnd(size)}) {
                memset(block, 0, size);
                const Bytes footer = Footer(length, 7);
                memcpy(block + size - 16, footer.data(), 16);
                TrailerInfo info;
                const Status status = ParseTrailer(block, size, &info);
                EXPECT_EQ(status == RC_OK, uint64_t(length) + 16 <= size && length <= 496)
                    << "size " << size << " L " << length;
                EXPECT_FALSE(page.Touched()) << "read outside the block: size " << size << " L " << length;
            }
        }
    }
}

} // namespace
