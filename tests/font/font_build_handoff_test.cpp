// Fonts built on a load worker reach the main thread through their records: the
// build takes its arguments back from its job as they were given, the look-up of
// every font operation refuses a record until its build has released it, and
// then sees all that the build wrote. (The thread-checking build runs this too.)

#include "font/font_record.h"

#include "core/threads/async_load.h"
#include "core/threads/thread_event.h"
#include "core/threads/thread_record.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

using namespace Korvo;

namespace {

std::atomic<int> BuildGate{0};

// The record bookkeeping of a build, as the system-font build does it, from the
// arguments its job carries.
int StandInFontBuild(AsyncLoadJob *job)
{
    FontBuildParams params;
    UnpackFontBuildJob(job, &params);
    while (BuildGate.load() == 0) {
        SleepMilliseconds(1);
    }
    FontHandleRecord *font = LookupFontRecordForBuild(params.handle, 1);
    std::strcpy(font->face, params.face != nullptr ? params.face : "");
    font->size = params.size;
    font->thickness = params.thickness;
    font->type = params.type;
    font->charSet = params.charSet;
    font->edgeSize = params.edgeSize;
    font->italic = params.italic;
    font->cellSize = ComputeFontCellSize(params.size, params.size, OversampleFactor(params.type), params.edgeSize,
                                         IsOutlinedType(params.type) ? 1 : 0, &font->cellHeight);
    font->slotCount = ComputeMemoryCacheSlotCount(font->cellSize, params.settings.values[2]);
    ResetGlyphTables(font);
    ReleasePendingLoadJob(params.handle);
    return 0;
}

class FontBuildHandoffTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildGate = 0;
        ASSERT_EQ(InitAsyncLoadLock(GetCurrentThreadIdentifier()), 0);
        ASSERT_EQ(StartAsyncLoadWorkers(4), 0);
        ASSERT_EQ(RegisterHandleType(HANDLE_KIND_FONT, static_cast<int>(sizeof(FontHandleRecord)), kFontMaxCount,
                                     nullptr, nullptr, "font"),
                  0);
    }
    void TearDown() override
    {
        BuildGate = 1;
        while (GetQueuedAsyncJobCount() > 0) {
            RunMainThreadRequests();
            SleepMilliseconds(1);
        }
        StopAsyncLoadWorkers();
        DeleteAsyncLoadLock();
        UnregisterHandleType(HANDLE_KIND_FONT);
    }
};

TEST_F(FontBuildHandoffTest, RecordsAreRefusedUntilTheirBuildsEndAndThenHoldWhatTheyWereGiven)
{
    const std::string longFace(300, 'F');
    struct Case {
        FontBuildParams params;
        std::string face; // what the record keeps
    };
    std::vector<Case> cases = {
        {{{{0, 0, 0}}, -1, nullptr, 16, 6, FontPlain, 1, 1, 0}, ""},
        {{{{1, 0, 300}}, -1, "IPAGothic", 24, 9, FontSmoothed4xEdge, 1, 3, 1}, "IPAGothic"},
        {{{{0, 1, 50}}, -1, longFace.c_str(), 40, 3, FontSmoothedEdge, 4, 2, 0}, longFace.substr(0, 255)},
    };
    for (Case &c : cases) {
        c.params.handle = CreateHandleRecord(HANDLE_KIND_FONT, -1);
        ASSERT_NE(c.params.handle, -1);
        AsyncLoadJob *job = PackFontBuildJob(c.params, StandInFontBuild);
        ASSERT_NE(job, nullptr);
        ASSERT_EQ(QueueAsyncLoadJobForHandle(job, c.params.handle), 0);
    }
    for (const Case &c : cases) {
        EXPECT_EQ(LookupFontRecord(c.params.handle), nullptr);
        EXPECT_EQ(HasPendingLoadJob(c.params.handle), 1);
    }
    BuildGate = 1;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.face.substr(0, 16));
        FontHandleRecord *font = nullptr;
        // Polled while the builds run, as a program drawing with the fonts would.
        while ((font = LookupFontRecord(c.params.handle)) == nullptr) {
            RunMainThreadRequests();
        }
        EXPECT_EQ(font->face, c.face);
        const FontBuildParams &p = c.params;
        EXPECT_EQ(std::vector<int>({font->size, font->thickness, font->type, font->charSet, font->edgeSize,
                                    font->italic}),
                  std::vector<int>({p.size, p.thickness, p.type, p.charSet, p.edgeSize, p.italic}));
        EXPECT_EQ(font->slotCount, ComputeMemoryCacheSlotCount(font->cellSize, p.settings.values[2]));
        ASSERT_GT(font->slotCount, 0);
        EXPECT_EQ(font->slots[font->slotCount - 1].position, font->slotCount - 1);
        EXPECT_EQ(font->slots[font->slotCount].position, -1);
    }
}

} // namespace
