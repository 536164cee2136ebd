// A load queue filled up while a background graph load runs: one more graph load
// ends the program with the fatal exit, as every fatal error does, instead of
// its shut-down waiting for ever on the running load.

#include "core/memory/handle_manager.h"
#include "core/threads/async_load.h"
#include "core/threads/thread_record.h"
#include "tests/graphics/png_sheet.h"
#include "tests/graphics/win32/device/library_session.h"
#include "tests/support/wait_backstop.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace Korvo;

namespace {

constexpr int kNoStart = 4;
constexpr int kQueueTookOneTooMany = 5;
constexpr int kHung = 6;

// Receives -1 when the fatal exit's shut-down begins to delete the loading graph.
int GraphDeletionBegun = 0;
int GraphLoadHeld = 0;

bool DeletionBegun()
{
    return __atomic_load_n(&GraphDeletionBegun, __ATOMIC_ACQUIRE) == -1;
}

// The graph load holds its running place, its graph still counting it, until
// the shut-down reaches the graph.
int HoldGraphLoad(AsyncLoadJob *, int)
{
    __atomic_store_n(&GraphLoadHeld, 1, __ATOMIC_RELEASE);
    while (!DeletionBegun()) {
        SleepMilliseconds(1);
    }
    return 0;
}

// Fillers: those that start hold the other running places, the rest stay queued.
int HoldPlace(AsyncLoadJob *)
{
    while (!DeletionBegun()) {
        SleepMilliseconds(1);
    }
    return 0;
}

DWORD WINAPI EndIfHung(void *)
{
    // Far above the exit's few seconds; only ends a process that hangs.
    Sleep(KorvoTest::kWaitBackstopSeconds * 1000);
    TerminateProcess(GetCurrentProcess(), kHung);
    return 0;
}

[[noreturn]] void FillQueueDuringGraphLoad()
{
    if (GraphicsTest::StartLibraryOnRoad(false) != 0 ||
        !GraphTest::WriteRgbPng("picture.png", 16, 16, GraphTest::DistinctColour)) {
        std::exit(kNoStart);
    }
    SetAsyncJobCheckpoint(HoldGraphLoad);
    SetLoadInBackgroundFlag(1);
    int graph = CreateGraphFromImageFile("picture.png", 0);
    if (graph == -1) {
        std::exit(kNoStart);
    }
    BindHandleOwnerVariable(graph, &GraphDeletionBegun);
    while (__atomic_load_n(&GraphLoadHeld, __ATOMIC_ACQUIRE) == 0) {
        SleepMilliseconds(1);
    }
    while (GetQueuedAsyncJobCount() < kAsyncJobSlotCount) {
        AsyncLoadJob *filler = AllocAsyncLoadJob(0);
        filler->callback = HoldPlace;
        QueueAsyncLoadJob(filler);
    }
    CloseHandle(CreateThread(nullptr, 0, EndIfHung, nullptr, 0, nullptr));
    CreateGraphFromImageFile("picture.png", 0);
    std::exit(kQueueTookOneTooMany);
}

TEST(FullLoadQueueDeathTest, OneMoreGraphLoadEndsTheProgramWithTheFatalExit)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(FillQueueDuringGraphLoad(), ::testing::ExitedWithCode(-1), "");
    EXPECT_NE(KorvoTest::ReadLogFile().find(":非同期読み込みデータの数が許容量を越えました終了します\r\n"),
              std::string::npos);
}

} // namespace
