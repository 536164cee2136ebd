// A divided graph loaded in the background while the library is shut down, or
// while the program deletes one of its pieces (also on the software road, where
// the job waits for the main thread only at its checkpoints). Staged before the
// job starts (gate jobs hold every running place until the deletion has begun)
// and at every point where the job waits for the main thread (its checkpoints
// as it starts and once the pieces are cut, and on the Direct3D road each device
// call between them), each in a fresh process. Nothing may crash; the shut-down's
// memory dump lists no live block; after one piece's deletion that piece is gone
// and the others draw their cells.

#include "core/memory/handle_manager.h"
#include "graphics/graphs/graph_load.h"
#include "tests/graphics/png_sheet.h"
#include "tests/graphics/win32/device/library_session.h"
#include "tests/graphics/win32/device/load_staging.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace Korvo;

namespace {

using LoadStaging::kLoadEndedFirst;
using LoadStaging::kNoStart;
// Staged before the job starts.
constexpr int kUnstarted = -1;

constexpr int kColumns = 5;
constexpr int kRows = 2;
constexpr int kPieces = kColumns * kRows;
constexpr int kCell = 16;
constexpr int kDeletedPiece = 3;

enum Action { kShutDown, kDeleteOnePiece };

// Receives -1 as soon as the deletion of a piece begins (bound to every piece).
int PieceDeletionBegun = 0;
int GatesHolding = 0;

// Holds a running place until a piece's deletion has begun.
int HoldUntilDeletionBegins(AsyncLoadJob *)
{
    __atomic_add_fetch(&GatesHolding, 1, __ATOMIC_ACQ_REL);
    while (__atomic_load_n(&PieceDeletionBegun, __ATOMIC_ACQUIRE) != -1) {
        SleepMilliseconds(1);
    }
    return 0;
}

void HoldEveryRunningPlace()
{
    const int places = GetAsyncRunningLimit();
    for (int i = 0; i < places; ++i) {
        AsyncLoadJob *gate = AllocAsyncLoadJob(0);
        gate->callback = HoldUntilDeletionBegins;
        QueueAsyncLoadJob(gate);
    }
    while (__atomic_load_n(&GatesHolding, __ATOMIC_ACQUIRE) < places) {
        SleepMilliseconds(1);
    }
}

// Pixels of the sheet's area that differ from the sheet drawn piece by piece
// (the deleted piece's cell keeps the background).
int CellsDrawnWrong(const int *pieces)
{
    ClearDrawScreen();
    for (int i = 0; i < kPieces; ++i) {
        if (i != kDeletedPiece && DrawGraphAtPoint(i % kColumns * kCell, i / kColumns * kCell, pieces[i], 0) != 0) {
            return -1;
        }
    }
    const uint32_t background = GraphicsTest::kBackgroundRed << 16 | GraphicsTest::kBackgroundGreen << 8 |
                                GraphicsTest::kBackgroundBlue;
    std::vector<uint32_t> drawn = GraphicsTest::ReadScreenPixels(kColumns * kCell, kRows * kCell, 0);
    int wrong = 0;
    for (int y = 0; y < kRows * kCell; ++y) {
        for (int x = 0; x < kColumns * kCell; ++x) {
            bool deletedCell = y / kCell * kColumns + x / kCell == kDeletedPiece;
            uint32_t want = deletedCell ? background : GraphTest::DistinctColour(x, y);
            wrong += drawn[static_cast<size_t>(y) * kColumns * kCell + x] != want ? 1 : 0;
        }
    }
    return wrong;
}

// In its own process: load the sheet in the background, hold the job at the
// staging point, then act and look; ends the process.
[[noreturn]] void ActAtWait(bool direct3D, Action action, int waitsServedFirst)
{
    if (GraphicsTest::StartLibraryOnRoad(direct3D) != 0 || (GraphicsState.direct3DModeActive != 0) != direct3D ||
        !GraphTest::WriteRgbPng("sheet.png", kColumns * kCell, kRows * kCell, GraphTest::DistinctColour)) {
        std::exit(kNoStart);
    }
    SetAsyncJobCheckpoint(LoadStaging::WaitForMainThreadAtCheckpoint);
    if (waitsServedFirst == kUnstarted) {
        HoldEveryRunningPlace();
    }
    SetLoadInBackgroundFlag(1);
    int pieces[kPieces];
    if (CreateDivGraphFromImageFile("sheet.png", kPieces, kColumns, kRows, kCell, kCell, pieces, 0) != 0) {
        std::exit(kNoStart);
    }
    SetLoadInBackgroundFlag(0);
    for (int piece : pieces) {
        BindHandleOwnerVariable(piece, &PieceDeletionBegun);
    }
    if (waitsServedFirst != kUnstarted && !LoadStaging::ServeWaitsThenHold(waitsServedFirst)) {
        ShutdownLibrary();
        std::exit(kLoadEndedFirst);
    }
    bool right = true;
    if (action == kDeleteOnePiece) {
        right = DestroyGraphHandle(pieces[kDeletedPiece], 0) == 0;
        while (GetQueuedAsyncJobCount() > 0 && ServiceMessageQueue() == 0) {
        }
        bool gone = GetGraphOrScreenSize(pieces[kDeletedPiece], nullptr, nullptr) == -1;
        int wrong = CellsDrawnWrong(pieces);
        std::fprintf(stderr, "after %d waits: deleted piece %s, %d pixels of the others wrong\n", waitsServedFirst,
                     gone ? "gone" : "still there", wrong);
        right = right && gone && wrong == 0;
    }
    right = ShutdownLibrary() == 0 && right;
    int alive = KorvoTest::BlocksAliveInLastDump();
    std::fprintf(stderr, "after %d waits: %d blocks alive after the shut-down\n", waitsServedFirst, alive);
    std::exit(right && alive == 0 ? LoadStaging::kStagedRight : LoadStaging::kStagedWrong);
}

struct TeardownCase {
    const char *name;
    bool direct3D;
    Action action;
    int leastWaits; // both checkpoints, and on the Direct3D road the device calls between them
};

const TeardownCase kCases[] = {
    {"Direct3DShutDown", true, kShutDown, 4},
    {"Direct3DOnePieceDeleted", true, kDeleteOnePiece, 4},
    {"SoftwareOnePieceDeleted", false, kDeleteOnePiece, 2},
};

// One test per case: a staged process finds its staging by counting the death
// tests of its own test, which only a loop of the same length can repeat.
class DividedLoadTeardownDeathTest : public ::testing::TestWithParam<TeardownCase> {};

// Every staging point in turn, until the load ends before the wait asked for.
TEST_P(DividedLoadTeardownDeathTest, NoCrashNoLeakAndTheOtherPiecesDraw)
{
    const TeardownCase &c = GetParam();
    EXPECT_GE(LoadStaging::StageAtEveryWait(kUnstarted, [&c](int waits) { ActAtWait(c.direct3D, c.action, waits); }),
              c.leastWaits);
}

INSTANTIATE_TEST_SUITE_P(Roads, DividedLoadTeardownDeathTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TeardownCase> &info) { return info.param.name; });

} // namespace
