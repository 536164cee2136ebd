// Platform libraries, the multimedia timer and the performance counter under Windows.

#include "core/threads/clock.h"
#include "core/system/platform_libraries.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

using namespace Korvo;

namespace {

TEST(PlatformLibrariesTest, LoadingTwiceChangesNothing)
{
    LoadPlatformLibraries();
    PlatformLibraryTable first = PlatformLibraries;
    ASSERT_NE(first.winmm.module, nullptr);
    EXPECT_NE(first.winmm.timeGetTime, nullptr);
    EXPECT_NE(first.ws2_32.WSAStartup, nullptr);
    EXPECT_NE(first.ole32.CoCreateInstance, nullptr);
    EXPECT_NE(first.imm32.ImmGetContext, nullptr);
    LoadPlatformLibraries();
    EXPECT_EQ(std::memcmp(&first, &PlatformLibraries, sizeof(first)), 0);
}

TEST(PlatformLibrariesTest, FreeingClearsEveryEntryAndTheClockFallsBack)
{
    LoadPlatformLibraries();
    FreePlatformLibraries();
    EXPECT_EQ(PlatformLibraries.winmm.module, nullptr);
    EXPECT_EQ(PlatformLibraries.winmm.timeGetTime, nullptr);
    EXPECT_EQ(PlatformLibraries.ws2_32.recv, nullptr);
    EXPECT_EQ(GetMillisecondClock(), -1);
    MicrosecondClockSource saved = MicrosecondClockState;
    MicrosecondClockState.usePerformanceCounter = 0;
    EXPECT_EQ(GetMicrosecondClock(), ~0ull);
    MicrosecondClockState = saved;
    LoadPlatformLibraries();
    EXPECT_GE(GetMillisecondClock(), 0);
}

TEST(PlatformLibrariesTest, PerformanceCounterClockAdvances)
{
    LARGE_INTEGER frequency;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    MicrosecondClockSource saved = MicrosecondClockState;
    MicrosecondClockState.usePerformanceCounter = 1;
    MicrosecondClockState.counterFrequency = static_cast<uint64_t>(frequency.QuadPart);
    // The system's tick count around the same interval gives the most it may
    // read (one tick of 16 ms either side), however long a busy machine lets the sleep last.
    const DWORD tickBefore = GetTickCount();
    uint64_t before = GetMicrosecondClock();
    Sleep(20);
    uint64_t after = GetMicrosecondClock();
    const DWORD tickAfter = GetTickCount();
    MicrosecondClockState = saved;
    EXPECT_GE(after - before, 15000u);
    EXPECT_LE(after - before, (tickAfter - tickBefore + 32) * 1000ull);
}

} // namespace
