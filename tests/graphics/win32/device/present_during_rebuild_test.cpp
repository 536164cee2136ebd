// A present that lets the window system catch up runs the messages other
// threads send meanwhile. One of them can be an activation that finds the
// device lost and rebuilds it, presenting from inside: the present that was
// under way must then go on with the new device, not the released one.

#include "library_session.h"
#include "tests/support/wait_backstop.h"

#include "core/system/win32/window_state.h"
#include "core/system/win32/app_window.h"
#include "graphics/device/win32/d3d_objects.h"

#include <thread>

using namespace Korvo;

namespace {

constexpr HRESULT kDeviceLost = static_cast<HRESULT>(0x88760868);

int LostAnswers = 0;

HRESULT STDMETHODCALLTYPE AnswerDeviceLost(K_IDirect3DDevice9 *)
{
    ++LostAnswers;
    return kDeviceLost;
}

// Wait until a message sent by another thread is waiting for this one.
bool WaitForSentMessage()
{
    KorvoTest::Backstop backstop("the activation sent by the other thread", KorvoTest::kWaitBackstopSeconds);
    while ((HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) == 0) {
        if (backstop.Passed()) {
            ADD_FAILURE() << backstop.Report();
            return false;
        }
        Sleep(1);
    }
    return true;
}

TEST(PresentDuringRebuildTest, AnActivationThatRebuildsTheDeviceInsideThePresent)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
    ASSERT_EQ(ClearDrawScreen(), 0);
    EXPECT_EQ(FillColorBox(10, 10, 50, 50, PackScreenColor(240, 40, 30)), 0);
    // The device answers "lost" from now on (a window whose device was lost while
    // the program was in the background); the rebuild makes a new one.
    K_IDirect3DDevice9 *device = D3DObjects.device;
    static K_IDirect3DDevice9Vtbl lostTable;
    lostTable = *device->lpVtbl;
    lostTable.TestCooperativeLevel = AnswerDeviceLost;
    device->lpVtbl = &lostTable;
    std::thread activator([] { SendMessageA(GetAppWindowHandle(), WM_ACTIVATE, WA_ACTIVE, 0); });
    ASSERT_TRUE(WaitForSentMessage());
    // In the background until the activation comes.
    WindowState.active = 0;
    EXPECT_EQ(PresentBackScreen(), 0);
    activator.join();

    EXPECT_EQ(WindowState.active, 1);
    EXPECT_GE(LostAnswers, 1) << "the activation asked the old device";
    ASSERT_NE(D3DObjects.device, nullptr);
    EXPECT_NE(D3DObjects.device->lpVtbl, &lostTable) << "the device was made again";
    // The new device draws, reads back and presents.
    EXPECT_EQ(FillColorBox(10, 10, 50, 50, PackScreenColor(30, 60, 250)), 0);
    EXPECT_EQ(GraphicsTest::ReadTargetPixel(20, 20), 0x1E3CFAu);
    EXPECT_EQ(PresentBackScreen(), 0);
    EXPECT_EQ(ShutdownLibrary(), 0);
}

} // namespace
