// The rasteriser's work buffers: a request that cannot be met ends the process
// with the buffer's own message in the log.

#include "font/font_record.h"

#include "core/memory/tracked_alloc.h"
#include "tests/core/log_capture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <string>

using namespace Korvo;

namespace {

// The log writes only once the platform libraries are loaded on Windows; the
// messages are checked in the host build.
#if !defined(_WIN32)
TEST(GlyphBuffersDeathTest, FailedAllocationEndsTheProcessWithItsMessage)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char *message;
        std::function<void()> allocate;
    };
    const Case cases[] = {
        {"アンチエイリアス文字取得用バッファの確保に失敗しました",
         [] { AllocGlyphBitmapBuffer(static_cast<size_t>(INT_MAX) - 64, 1 << 12, 1 << 10); }},
        {"文字イメージリサンプリング用バッファの確保に失敗しました", [] {
             int pitch = 0;
             AllocGlyphResampleBuffer(1 << 16, 1 << 16, &pitch);
         }},
    };
    for (const Case &c : cases) {
        EXPECT_EXIT(
            {
                KorvoTest::StartFreshLog();
                c.allocate();
                std::exit(0);
            },
            ::testing::ExitedWithCode(255), "");
        EXPECT_NE(KorvoTest::ReadLogFile().find(std::string(c.message) + "\r\n"), std::string::npos) << c.message;
    }
}
#endif

TEST(GlyphBuffers, MetRequestsAreZeroedWithSpareRows)
{
    int pitch = 0;
    uint8_t *resampled = AllocGlyphResampleBuffer(5, 3, &pitch);
    EXPECT_EQ(pitch, 10);
    uint8_t *bitmap = AllocGlyphBitmapBuffer(12, 3, 4);
    for (int i = 0; i < 12 + 5 * 4; ++i) {
        EXPECT_EQ(bitmap[i], 0) << i;
    }
    for (int i = 0; i < 5 * pitch; ++i) {
        EXPECT_EQ(resampled[i], 0) << i;
    }
    TrackedFree(bitmap);
    TrackedFree(resampled);
}

} // namespace
