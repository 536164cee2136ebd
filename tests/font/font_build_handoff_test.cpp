// A font built on a load worker reaches the main thread through its record: the
// build gets back the arguments it was given, and the font look-up refuses the
// record until the build has released it, then sees all that it wrote. (The
// thread-checking build runs this too.)

#include "font/font_record.h"

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

// The record bookkeeping of a build, from the arguments its job carries
int StandInFontBuild(AsyncLoadJob *job)
{
    FontBuildParams params;
    UnpackFontBuildJob(job, &params);
    while (BuildGate.load() == 0) {
        SleepMilliseconds(1);
    }
    FontHandleRecord *font = LookupFontRecordForBuild(params.handle, 1);
    std::strcpy(font->face, params.face);
    int *fields[] = {&font->size, &font->thickness, &font->type, &font->charSet, &font->edgeSize, &font->italic};
    int values[] = {params.size, params.thickness, params.type, params.charSet, params.edgeSize, params.italic};
    for (int i = 0; i < 6; ++i) {
        *fields[i] = values[i];
    }
    font->slotCount = params.settings.values[2];
    ResetGlyphTables(font);
    ReleasePendingLoadJob(params.handle);
    return 0;
}

TEST(FontBuildHandoffTest, TheRecordIsRefusedUntilItsBuildEndsAndThenHoldsWhatItWasGiven)
{
    ASSERT_EQ(InitAsyncLoadLock(GetCurrentThreadIdentifier()), 0);
    ASSERT_EQ(StartAsyncLoadWorkers(4), 0);
    ASSERT_EQ(RegisterHandleType(HANDLE_KIND_FONT, sizeof(FontHandleRecord), kFontMaxCount, nullptr, nullptr, "f"), 0);
    const std::string face(300, 'F');
    FontBuildParams params = {{{1, 0, 300}}, CreateHandleRecord(HANDLE_KIND_FONT, -1), face.c_str(), 24, 9,
                              FontSmoothed4xEdge, 1, 3, 1};
    ASSERT_EQ(QueueAsyncLoadJobForHandle(PackFontBuildJob(params, StandInFontBuild), params.handle), 0);
    EXPECT_EQ(LookupFontRecord(params.handle), nullptr);

    BuildGate = 1;
    FontHandleRecord *font = nullptr;
    // Polled while the build runs, as a program drawing with the font would.
    while ((font = LookupFontRecord(params.handle)) == nullptr) {
        RunMainThreadRequests();
    }
    EXPECT_EQ(font->face, face.substr(0, kFontFaceNameBytes - 1));
    EXPECT_EQ(std::vector<int>({font->size, font->thickness, font->type, font->charSet, font->edgeSize,
                                font->italic, font->slotCount}),
              std::vector<int>({24, 9, FontSmoothed4xEdge, 1, 3, 1, 300}));
    EXPECT_EQ(font->slots[299].position, 299);
    EXPECT_EQ(font->slots[300].position, -1);

    while (GetQueuedAsyncJobCount() > 0) {
        SleepMilliseconds(1);
    }
    StopAsyncLoadWorkers();
    DeleteAsyncLoadLock();
    UnregisterHandleType(HANDLE_KIND_FONT);
}

} // namespace
