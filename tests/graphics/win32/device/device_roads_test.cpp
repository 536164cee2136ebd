// The library on its two roads in this process: Direct3D (device, formats,
// present) and software (GDI present); both show the same cleared back screen,
// both end with no live tracked block. Also the fallbacks: a rebuild may end in
// software, a failed mode change must report failure.

#include "library_session.h"

#include "core/system/win32/app_window.h"
#include "core/system/win32/window_state.h"
#include "graphics/screen/screen_modes.h"
#include "graphics/screen/device_startup.h"
#include "graphics/draw/draw_target.h"
#include "graphics/draw/value_max_volume.h"
#include "graphics/startup_entries.h"

#include <string>
#include <vector>

using namespace Korvo;

namespace {

void ExpectInLog(const std::string &log, const std::vector<std::string> &texts)
{
    for (const std::string &text : texts) {
        EXPECT_NE(log.find(text), std::string::npos) << "missing: " << text;
    }
}

// Clear, present a few frames, and read the window's pixels from the desktop.
std::vector<COLORREF> PresentClearedFramesAndCapture()
{
    for (int frame = 0; frame < 5; ++frame) {
        EXPECT_EQ(ClearDrawScreen(), 0);
        EXPECT_EQ(PresentBackScreen(), 0);
        ServiceMessageQueue();
        Sleep(20);
    }
    HWND window = GetAppWindowHandle();
    return {GraphicsTest::ReadWindowPixelFromScreen(window, 10, 10),
            GraphicsTest::ReadWindowPixelFromScreen(window, 320, 240),
            GraphicsTest::ReadWindowPixelFromScreen(window, 630, 470)};
}

TEST(DeviceRoadsTest, BothRoadsStartPresentTheSameClearedScreenAndEndWithoutLeaks)
{
    const COLORREF background = RGB(GraphicsTest::kBackgroundRed, GraphicsTest::kBackgroundGreen,
                                    GraphicsTest::kBackgroundBlue);
    struct Road {
        bool direct3D;
        std::vector<std::string> logTexts;
    };
    const Road roads[] = {
        {true,
         {"IDirect3D9", "Driver:", "画面のフォーマットは D3DFMT_X8R8G8B8 です", "Ｚバッファのフォーマットは ",
          "32bit カラーフォーマットは D3DFMT_X8R8G8B8 です", "描画用 32bit カラーフォーマットは ",
          "一度に描画できるプリミティブの最大数:", "ピクセルシェーダーバージョンコード：",
          "プログラマブルシェーダーを使用します", "Direct3DDevice9 の解放 2", "Direct3D9 DLL の解放 1"}},
        {false, {"DirectDraw オブジェクトの取得を行います....成功"}},
    };
    for (const Road &road : roads) {
        SCOPED_TRACE(road.direct3D ? "Direct3D" : "software");
        ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(road.direct3D), 0);
        EXPECT_EQ(GraphicsState.direct3DModeActive, road.direct3D ? 1 : 0);
        EXPECT_EQ(G_D3D_HasDevice(), road.direct3D ? 1 : 0);
        std::vector<COLORREF> pixels = PresentClearedFramesAndCapture();
        for (COLORREF pixel : pixels) {
            EXPECT_EQ(pixel, background) << std::hex << pixel;
        }
        EXPECT_EQ(ShutdownLibrary(), 0);
        std::string log = KorvoTest::ReadLogFile();
        ExpectInLog(log, road.logTexts);
        if (!road.direct3D) {
            EXPECT_EQ(log.find("IDirect3D9"), std::string::npos) << "the software road makes no Direct3D object";
        }
        EXPECT_NE(log.find("Total size:0(0.000kb)  Alloc num:0"), std::string::npos);
    }
}

TEST(DeviceRoadsTest, ARebuildThatFallsBackToSoftwareGoesOnDrawingInSoftware)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
    EXPECT_EQ(RecreateGraphicsDevice(), 0) << "a rebuild that gets a device again";
    EXPECT_EQ(GraphicsState.direct3DModeActive, 1);
    GraphicsState.softwareOnlyRequest = 1;
    EXPECT_EQ(RecreateGraphicsDevice(), 0) << "software screens and images were made";
    EXPECT_EQ(GraphicsState.direct3DModeActive, 0);
    EXPECT_EQ(PresentBackScreen(), 0) << "drawing goes on in software";
    GraphicsState.softwareOnlyRequest = 0;
    EXPECT_EQ(ShutdownLibrary(), 0);
    EXPECT_NE(KorvoTest::ReadLogFile().find("Alloc num:0"), std::string::npos);
}

// An empty rectangle presents nothing and says so, on both roads; one inside
// the window is presented.
TEST(DeviceRoadsTest, APresentOfAnEmptyRectangleFails)
{
    for (bool direct3D : {false, true}) {
        SCOPED_TRACE(direct3D ? "Direct3D" : "software");
        ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(direct3D), 0);
        ASSERT_EQ(PresentBackScreen(), 0);
        const RECT empty = {5, 5, 5, 9};
        EXPECT_EQ(PresentBackScreenRect(&empty), -1);
        const RECT inside = {0, 0, 100, 100};
        EXPECT_EQ(PresentBackScreenRect(&inside), 0);
        EXPECT_EQ(ShutdownLibrary(), 0);
    }
}

// On the Direct3D road the screens draw into the library's own surface, in a
// window and in full screen, before and after a refresh and a device rebuild.
TEST(DeviceRoadsTest, TheScreensDrawIntoTheSubBackBuffer)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "started" : "rebuilt");
        ASSERT_NE(ScreenSubBackBuffer, nullptr);
        K_IDirect3DSurface9 *surface = ScreenSubBackBuffer;
        RefreshPresentedScreen();
        // Counted as full screen for the refresh only; the device stays windowed.
        WindowState.windowedMode = 0;
        RefreshPresentedScreen();
        WindowState.windowedMode = 1;
        EXPECT_EQ(ScreenSubBackBuffer, surface);
        ASSERT_EQ(SelectDrawTarget(-2), 0);
        EXPECT_EQ(GetDrawTargetSurface(-2, 0), ScreenSubBackBuffer);
        EXPECT_EQ(ClearDrawScreen(), 0);
        EXPECT_EQ(GraphicsTest::ReadTargetPixel(3, 3), static_cast<uint32_t>(GraphicsTest::kBackgroundRed << 16 |
                                                                              GraphicsTest::kBackgroundGreen << 8 |
                                                                              GraphicsTest::kBackgroundBlue));
        EXPECT_EQ(PresentBackScreen(), 0);
        ReleaseGraphicsDevice();
        ASSERT_EQ(RecreateGraphicsDevice(), 0);
    }
    EXPECT_EQ(ShutdownLibrary(), 0);
}

// With programmable shaders each device gets the value-maximising volume texture.
TEST(DeviceRoadsTest, TheValueMaxVolumeComesAndGoesWithTheDevice)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    EXPECT_EQ(HasValueMaxVolumeTexture(), GraphicsState.programmableShader);
    ReleaseGraphicsDevice();
    EXPECT_EQ(HasValueMaxVolumeTexture(), 0);
    ASSERT_EQ(RecreateGraphicsDevice(), 0);
    EXPECT_EQ(HasValueMaxVolumeTexture(), GraphicsState.programmableShader);
    EXPECT_EQ(ShutdownLibrary(), 0);
    EXPECT_EQ(HasValueMaxVolumeTexture(), 0);
    EXPECT_EQ(KorvoTest::ReadLogFile().find("ボリュームテクスチャ"), std::string::npos) << "no failure line";
}

TEST(DeviceRoadsTest, AFailedDisplayModeChangeLowersTheLogIndentItRaised)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(false), 0);
    int bits = GraphicsState.bitsPerPixel;
    GraphicsState.bitsPerPixel = 24;
    EXPECT_EQ(ChangeDisplayModeForScreen(), -1);
    GraphicsState.bitsPerPixel = bits;
    AppendLogText("after\n");
    std::string log = KorvoTest::ReadLogFile();
    EXPECT_NE(log.find(":after\r\n"), std::string::npos) << "the line after the step has no extra tab";
    EXPECT_EQ(ShutdownLibrary(), 0);
}

TEST(DeviceRoadsTest, AFullScreenChangeToAModeTheAdapterLacksFailsAndChangesNothing)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(false), 0);
    // Counted as full screen for the check only; the window itself stays.
    WindowState.windowedMode = 0;
    EXPECT_EQ(ApplyScreenModeChange(1234, 567, 32, 0, 0), -1);
    EXPECT_EQ(SetScreenResolutionAndDepth(1234, 567, 32, 0), -1);
    WindowState.windowedMode = 1;
    EXPECT_EQ(GraphicsState.mainWidth, 640);
    EXPECT_EQ(GraphicsState.mainHeight, 480);
    AppendLogText("after\n");
    EXPECT_NE(KorvoTest::ReadLogFile().find(":after\r\n"), std::string::npos) << "the indent is back";
    EXPECT_EQ(ShutdownLibrary(), 0);
}

TEST(DeviceRoadsTest, AWindowedModeChangeRestartsGraphicsInTheNewSize)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    EXPECT_EQ(SetScreenResolutionAndDepth(800, 600, 32, 0), 0);
    EXPECT_EQ(GraphicsState.mainWidth, 800);
    EXPECT_EQ(GraphicsState.direct3DModeActive, 1);
    EXPECT_EQ(SetScreenResolutionAndDepth(800, 600, 24, 0), -1);
    EXPECT_EQ(PresentBackScreen(), 0);
    EXPECT_EQ(ShutdownLibrary(), 0);
    std::string log = KorvoTest::ReadLogFile();
    ExpectInLog(log, {"画面モード変更処理を開始します", "画面モード変更処理は正常に終了しました", "Alloc num:0"});
}

// While the front screen is the draw target a window timer shows it again; start-up
// installs its starter beneath the draw targets. Timers only run when messages are
// dispatched, and nothing here dispatches, so each KillTimer sees what selection left.
TEST(DeviceRoadsTest, DrawingOnTheFrontScreenArmsItsRefreshTimer)
{
    constexpr UINT_PTR kFrontRefreshTimerId = 0x7fff;
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(false), 0);
    HWND window = GetAppWindowHandle();
    EXPECT_TRUE(KillTimer(window, kFrontRefreshTimerId)) << "start-up ends on the front screen";
    EXPECT_EQ(SelectDrawTarget(-2), 0);
    EXPECT_FALSE(KillTimer(window, kFrontRefreshTimerId)) << "the back screen arms nothing";
    EXPECT_EQ(SelectDrawTarget(-4), 0);
    EXPECT_TRUE(KillTimer(window, kFrontRefreshTimerId));
    EXPECT_EQ(ShutdownLibrary(), 0);
}

} // namespace
