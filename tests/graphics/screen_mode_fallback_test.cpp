// A 320x240 window that cannot start falls back to a 640x480 screen: drawn (and
// projected) at 320x240 when the low-resolution emulation was already asked for,
// else at 640x480, and the emulation is asked for from then on. Host only: the
// host stand-in of DirectX is made to fail for the 320-wide screen.
#if !defined(_WIN32)

#include "tests/graphics/host_environment.h"

#include "core/math/vector_math.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/screen_request.h"
#include "graphics/device/shell_services.h"
#include "graphics/screen/screen_modes.h"
#include "graphics/startup_entries.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

int Started()
{
    return 1;
}

TEST(ScreenModeFallbackTest, A320x240WindowThatCannotStartDrawsAndProjectsAtTheEmulatedSize)
{
    const GraphicsShellServices shell = {Started, nullptr, nullptr, nullptr, nullptr};
    ASSERT_EQ(SetGraphicsShellServices(&shell), 0);
    struct Case {
        int emulationAsked;
        int drawnWidth;
        int drawnHeight;
    };
    const Case cases[] = {{1, 320, 240}, {0, 640, 480}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.emulationAsked != 0 ? "emulation asked for" : "emulation not asked for");
        DoubledScreenModeFlag = 0;
        Window640x480RequestFlag = c.emulationAsked;
        StoreMainScreenSize(800, 600);
        StoreScreenDepth(32);
        ASSERT_EQ(StartupGraphicsSystem(), 0);
        GraphicsTest::HostDirectXFailsAtWidth = 320;
        EXPECT_EQ(ApplyScreenModeChange(320, 240, 32, 0, 0), 0);
        GraphicsTest::HostDirectXFailsAtWidth = 0;
        EXPECT_EQ(GraphicsState.started, 1);
        EXPECT_EQ(GraphicsState.mainWidth, 640);
        EXPECT_EQ(GraphicsState.mainHeight, 480);
        EXPECT_EQ(GraphicsState.virtualWidth, c.drawnWidth);
        EXPECT_EQ(GraphicsState.virtualHeight, c.drawnHeight);
        int projectionWidth = 0;
        int projectionHeight = 0;
        GetProjectionScreenSize(&projectionWidth, &projectionHeight);
        EXPECT_EQ(projectionWidth, c.drawnWidth);
        EXPECT_EQ(projectionHeight, c.drawnHeight);
        EXPECT_EQ(Window640x480RequestFlag, 1);
        EXPECT_EQ(ShutdownGraphicsSystem(), 0);
    }
    Window640x480RequestFlag = 0;
    const GraphicsShellServices none = {};
    SetGraphicsShellServices(&none);
}

} // namespace

#endif
