// Tracked allocator: dump lines, bookkeeping, serial numbers and damaged blocks.

#include "core/memory/tracked_alloc.h"
#include "tests/core/log_capture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace Korvo;

namespace {

const TrackedBlockHeader *HeaderOf(const void *pointer)
{
    return reinterpret_cast<const TrackedBlockHeader *>(static_cast<const unsigned char *>(pointer) -
                                                        sizeof(TrackedBlockHeader));
}

std::string Address(const void *pointer)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%08x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(pointer)));
    return text;
}

std::string Padded(int value, int width)
{
    std::string text = std::to_string(value);
    return text + std::string(width > static_cast<int>(text.size()) ? width - text.size() : 0, ' ');
}

// Byte total and block count from a fresh dump.
struct Totals {
    int bytes;
    int blocks;
};

Totals DumpTotals()
{
    KorvoTest::StartFreshLog();
    DumpTrackedBlocks();
    Totals totals = {-1, -1};
    for (const std::string &line : KorvoTest::ReadLogLines()) {
        double kilobytes = 0;
        if (std::sscanf(line.c_str(), "\tTotal size:%d(%lfkb)  Alloc num:%d", &totals.bytes, &kilobytes,
                        &totals.blocks) == 3) {
            break;
        }
    }
    return totals;
}

TEST(TrackedAllocTest, DumpListsNewestFirstWithNameTailAndData)
{
    char *older = static_cast<char *>(TrackedAlloc(40, "short.cpp", 7));
    std::memcpy(older, "0123456789ABCDEFGHIJ", 20);
    char *newer = static_cast<char *>(TrackedAlloc(5, "0123456789abcdefghij", 42));
    std::memcpy(newer, "ab\x01" "cd", 5);

    KorvoTest::StartFreshLog();
    DumpTrackedBlocks();
    std::vector<std::string> lines = KorvoTest::ReadLogLines();

    std::string newerLine = "\tsize:         5(     0.005kb)  file:56789abcdefghij             line:42     ID:" +
                            Padded(HeaderOf(newer)->serial, 5) + "  addr:" + Address(newer) +
                            "  data:<ab.cd> [61 62 01 63 64]";
    std::string olderLine = "\tsize:        40(     0.039kb)  file:short.cpp                   line:7      ID:" +
                            Padded(HeaderOf(older)->serial, 5) + "  addr:" + Address(older) +
                            "  data:<0123456789ABCDEF> [30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46]";
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "Alloc memory dump");
    EXPECT_EQ(lines[2], newerLine);
    EXPECT_EQ(lines[3], olderLine);
    EXPECT_EQ(lines.back(), "");
    EXPECT_EQ(lines[lines.size() - 2].rfind("\tTotal size:", 0), 0u);

    TrackedFree(newer);
    TrackedFree(older);
}

TEST(TrackedAllocTest, ZeroSizeBlocksAreLoggedWithTheirOperation)
{
    KorvoTest::StartFreshLog();
    void *empty = TrackedAlloc(0, nullptr, 3);
    ASSERT_NE(empty, nullptr);
    std::string blockLine = "\tsize:         0(     0.000kb)  file:                            line:3      ID:" +
                            Padded(HeaderOf(empty)->serial, 5) + "  addr:" + Address(empty) + "  data:<> []";
    TrackedFree(empty);
    std::vector<std::string> lines = KorvoTest::ReadLogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "mem alloc  " + blockLine);
    EXPECT_EQ(lines[1], "mem free  " + blockLine);
}

TEST(TrackedAllocTest, BlocksOfOtherSizesAreNotLogged)
{
    KorvoTest::StartFreshLog();
    TrackedFree(TrackedAlloc(8, "quiet", 1));
    EXPECT_EQ(KorvoTest::ReadLogFile(), "");
}

TEST(TrackedAllocTest, AllocReallocAndFreeKeepTheTotals)
{
    Totals before = DumpTotals();
    char *block = static_cast<char *>(TrackedAlloc(100, "a", 1));
    std::memset(block, 'q', 100);
    Totals allocated = DumpTotals();
    EXPECT_EQ(allocated.bytes, before.bytes + 100);
    EXPECT_EQ(allocated.blocks, before.blocks + 1);

    block = static_cast<char *>(TrackedRealloc(block, 5000, "b", 2));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(block, 100), std::string(100, 'q'));
    Totals grown = DumpTotals();
    EXPECT_EQ(grown.bytes, before.bytes + 5000);
    EXPECT_EQ(grown.blocks, before.blocks + 1);

    void *second = TrackedRealloc(nullptr, 7, "c", 3);
    Totals withSecond = DumpTotals();
    EXPECT_EQ(withSecond.bytes, before.bytes + 5007);
    EXPECT_EQ(withSecond.blocks, before.blocks + 2);

    TrackedFree(block);
    TrackedFree(second);
    TrackedFree(nullptr);
    Totals after = DumpTotals();
    EXPECT_EQ(after.bytes, before.bytes);
    EXPECT_EQ(after.blocks, before.blocks);
}

TEST(TrackedAllocTest, ReallocToTheSameSizeKeepsTheBlockWithNewSerialNameAndLine)
{
    void *block = TrackedAlloc(24, "first.cpp", 10);
    uint16_t serial = HeaderOf(block)->serial;
    void *same = TrackedRealloc(block, 24, "second.cpp", 20);
    EXPECT_EQ(same, block);
    EXPECT_EQ(HeaderOf(same)->serial, static_cast<uint16_t>(serial + 1));
    EXPECT_EQ(HeaderOf(same)->line, 20);
    EXPECT_STREQ(HeaderOf(same)->nameTail, "second.cpp");
    TrackedFree(same);
}

TEST(TrackedAllocTest, SerialNumbersWrapAfter65536Allocations)
{
    void *first = TrackedAlloc(1, nullptr, 0);
    uint16_t firstSerial = HeaderOf(first)->serial;
    TrackedFree(first);
    for (int i = 1; i < 65536; ++i) {
        TrackedFree(TrackedAlloc(1, nullptr, 0));
    }
    void *wrapped = TrackedAlloc(1, nullptr, 0);
    EXPECT_EQ(HeaderOf(wrapped)->serial, firstSerial);
    TrackedFree(wrapped);
}

TEST(TrackedAllocTest, ZeroedAllocationIsZeroFilled)
{
    unsigned char *block = static_cast<unsigned char *>(TrackedAllocZeroed(300, nullptr, 0));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(block), 300), std::string(300, '\0'));
    TrackedFree(block);
}

TEST(TrackedAllocTest, SizesThatOverflowTheBlockAreRefused)
{
    Totals before = DumpTotals();
    EXPECT_EQ(TrackedAlloc(static_cast<size_t>(-1), nullptr, 0), nullptr);
    EXPECT_EQ(TrackedAlloc(static_cast<size_t>(INT_MAX), nullptr, 0), nullptr);
    void *block = TrackedAlloc(16, nullptr, 0);
    EXPECT_EQ(TrackedRealloc(block, static_cast<size_t>(-40), nullptr, 0), nullptr);
    TrackedFree(block);
    Totals after = DumpTotals();
    EXPECT_EQ(after.bytes, before.bytes);
    EXPECT_EQ(after.blocks, before.blocks);
}

// A write just past the user area is caught when the block is freed.
void FreeBlockWrittenPastItsEnd()
{
    KorvoTest::StartFreshLog();
    char *block = static_cast<char *>(TrackedAlloc(10, "overrun.cpp", 5));
    block[10] = 'X';
    TrackedFree(block);
}

// A damaged size field must not be used to find the trailing copy.
void FreeBlockWithDamagedSize()
{
    KorvoTest::StartFreshLog();
    char *block = static_cast<char *>(TrackedAlloc(10, "size.cpp", 6));
    TrackedBlockHeader *header = const_cast<TrackedBlockHeader *>(HeaderOf(block));
    header->size = 0x40000000;
    TrackedFree(block);
}

TEST(TrackedAllocDeathTest, WritePastTheEndIsReportedAndEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(FreeBlockWrittenPastItsEnd(), ::testing::ExitedWithCode(3), "");
    std::vector<std::string> lines = KorvoTest::ReadLogLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "以下のメモリ確保情報が破損しました、強制終了します");
    EXPECT_EQ(lines[1].rfind("HEAD  BASE:", 0), 0u);
    EXPECT_EQ(lines[2].rfind("HEAD TEMP1:", 0), 0u);
    EXPECT_EQ(lines[3].rfind("HEAD TEMP2:", 0), 0u);
    // The trailing copy starts with the overwritten byte; the header and its copy agree.
    EXPECT_EQ(lines[1].substr(11), lines[2].substr(11));
    EXPECT_EQ(lines[3].substr(11, 2), "58");
    EXPECT_EQ(lines[1].size(), std::string("HEAD  BASE:").size() + 32 * 3 - 1 + 7 + 2);
    EXPECT_NE(lines[4].find("file:overrun.cpp"), std::string::npos);
}

TEST(TrackedAllocDeathTest, DamagedSizeIsReportedWithoutReadingTheTrailer)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(FreeBlockWithDamagedSize(), ::testing::ExitedWithCode(3), "");
    std::vector<std::string> lines = KorvoTest::ReadLogLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "以下のメモリ確保情報が破損しました、強制終了します");
    EXPECT_EQ(lines[3].rfind("HEAD TEMP2:", 0), 0u);
    EXPECT_EQ(lines[3].find(" 00 "), std::string::npos);
}

// Pointers that are no live block: caught from the allocator's own records,
// never by reading the freed block (the sanitizers would stop a read first).
void FreeTwice()
{
    KorvoTest::StartFreshLog();
    void *block = TrackedAlloc(24, "twice.cpp", 1);
    TrackedFree(block);
    TrackedFree(block);
}

void ReallocAfterFree()
{
    KorvoTest::StartFreshLog();
    void *block = TrackedAlloc(24, "again.cpp", 2);
    TrackedFree(block);
    TrackedRealloc(block, 48, nullptr, 0);
}

void FreeInsideABlock()
{
    KorvoTest::StartFreshLog();
    char *block = static_cast<char *>(TrackedAlloc(256, "inside.cpp", 3));
    TrackedFree(block + 128);
}

TEST(TrackedAllocDeathTest, PointersThatAreNoLiveBlockAreReportedWithoutReadingThem)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char *name;
        void (*run)();
    } cases[] = {{"free twice", FreeTwice}, {"realloc after free", ReallocAfterFree},
                 {"free inside a block", FreeInsideABlock}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(c.run(), ::testing::ExitedWithCode(3), "");
        std::vector<std::string> lines = KorvoTest::ReadLogLines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], "以下のメモリ確保情報が破損しました、強制終了します");
        EXPECT_EQ(lines[1].rfind("解放済みか確保されていないメモリです  addr:", 0), 0u);
    }
}

} // namespace
