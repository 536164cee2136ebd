// A drawing loop repaints nothing by itself: over 60 frames of clear, box,
// present and message pump, once the window is up, the main window gets no
// paint, background erase, frame paint, position or size change, on the
// Direct3D road as on the software road (nothing covers, moves or exposes the
// window meanwhile, so the system itself sends none). Counted through hooks on
// the window's thread: a present that exposed the window would be repainted by
// a present again, five paints to every pump.

#include "library_session.h"

#include "core/system/win32/app_window.h"
#include "graphics/device/graphics_state.h"

#include <map>

using namespace Korvo;

namespace {

// ---------------------------------------------------------------------------
// Counting hooks
// ---------------------------------------------------------------------------

HWND CountedWindow = nullptr;
std::map<UINT, int> MessageCounts;

// Sent messages (erases, frame paints, position changes)
LRESULT CALLBACK CountSentMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *sent = reinterpret_cast<const CWPSTRUCT *>(lParam);
    if (code == HC_ACTION && sent->hwnd == CountedWindow) {
        ++MessageCounts[sent->message];
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Messages taken from the queue (paints)
LRESULT CALLBACK CountTakenMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG *taken = reinterpret_cast<const MSG *>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && taken->hwnd == CountedWindow) {
        ++MessageCounts[taken->message];
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Counts over `frames` frames of the loop, from the hooks.
template <typename Frame> std::map<UINT, int> CountOverFrames(int frames, Frame frame)
{
    HHOOK sent = SetWindowsHookExA(WH_CALLWNDPROC, CountSentMessage, nullptr, GetCurrentThreadId());
    HHOOK taken = SetWindowsHookExA(WH_GETMESSAGE, CountTakenMessage, nullptr, GetCurrentThreadId());
    EXPECT_NE(sent, nullptr);
    EXPECT_NE(taken, nullptr);
    MessageCounts.clear();
    for (int i = 0; i < frames; ++i) {
        frame(i);
    }
    UnhookWindowsHookEx(sent);
    UnhookWindowsHookEx(taken);
    return MessageCounts;
}

struct RoadCounts {
    std::map<UINT, int> drawing;
    int paintsAfterInvalidating = 0;  // the hooks at work: one invalidation is one paint
};

RoadCounts CountOnRoad(bool direct3D)
{
    EXPECT_EQ(GraphicsTest::StartLibraryOnRoad(direct3D), 0);
    EXPECT_EQ(GraphicsState.direct3DModeActive, direct3D ? 1 : 0);
    EXPECT_EQ(SelectDrawTarget(-2), 0);
    CountedWindow = GetAppWindowHandle();
    const auto drawingFrame = [](int i) {
        ClearDrawScreen();
        FillColorBox(10 + i, 20, 200 + i, 120, 0x00FF8040);
        PresentBackScreen();
        ServiceMessageQueue();
    };
    for (int i = 0; i < 10; ++i) {  // the first frames after the window came up
        drawingFrame(i);
        Sleep(10);
    }
    RoadCounts counts;
    counts.drawing = CountOverFrames(60, drawingFrame);
    InvalidateRect(CountedWindow, nullptr, TRUE);
    counts.paintsAfterInvalidating = CountOverFrames(1, drawingFrame)[WM_PAINT];
    EXPECT_EQ(ShutdownLibrary(), 0);
    return counts;
}

// ---------------------------------------------------------------------------
// Tests
// ---------------------------------------------------------------------------

TEST(WindowPaintCountTest, ADrawingLoopAddsNoPaintOrInvalidationOnEitherRoad)
{
    const RoadCounts roads[] = {CountOnRoad(true), CountOnRoad(false)};
    const char *roadNames[] = {"Direct3D road", "software road"};
    struct Counted {
        UINT message;
        const char *name;
    };
    const Counted counted[] = {
        {WM_PAINT, "WM_PAINT"},
        {WM_ERASEBKGND, "WM_ERASEBKGND"},
        {WM_NCPAINT, "WM_NCPAINT (frame invalidated)"},
        {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"},
        {WM_SIZE, "WM_SIZE"},
    };
    for (const Counted &c : counted) {
        SCOPED_TRACE(c.name);
        for (int road = 0; road < 2; ++road) {
            auto found = roads[road].drawing.find(c.message);
            const int countOver60Frames = found == roads[road].drawing.end() ? 0 : found->second;
            EXPECT_EQ(countOver60Frames, 0) << roadNames[road];
        }
    }
    for (int road = 0; road < 2; ++road) {
        EXPECT_EQ(roads[road].paintsAfterInvalidating, 1) << roadNames[road];
    }
}

} // namespace
