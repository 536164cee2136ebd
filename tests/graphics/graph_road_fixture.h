// A started graphics module on the software road or on the recording device,
// with the graph kind registered, for tests that draw graphs.
#pragma once

#include "tests/graphics/recording_device.h"

#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/public_api.h"
#include "graphics/device/screen_request.h"
#include "softraster/draw_state.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace GraphicsTest {

class GraphRoadTest : public ::testing::TestWithParam<bool> {
protected:
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;

    void SetUp() override
    {
        using namespace Korvo;
        RecordingDevice::Reset();
        const bool direct3D = GetParam();
        GraphicsState.started = 1;
        GraphicsState.direct3DModeActive = direct3D ? 1 : 0;
        GraphicsState.backgroundRed = GraphicsState.backgroundGreen = GraphicsState.backgroundBlue = 0;
        StoreMainScreenSize(kWidth, kHeight);
        StoreScreenDepth(32);
        BuildMemImgLookupTables();
        DeviceCaps = DeviceCapabilities{};
        DeviceCaps.maxTextureSize = 4096;
        DeviceCaps.renderTargetCount = 4;
        DeviceCaps.blendOp = 1;
        for (K_D3DFORMAT &slot : TextureFormatSlots) {
            slot = K_D3DFMT_X8R8G8B8;
        }
        ASSERT_EQ(InitGraphHandleType(), 0);
        if (!direct3D) {
            CreateSoftwareScreen();
        }
        StateCache = DeviceStateCache{};
        ResetDrawSettings();
        FlushStagedVertices(0);
        RecordingDevice::Reset();
    }
    void TearDown() override
    {
        using namespace Korvo;
        TermGraphHandleType();
        DisposeSoftwareScreen();
        GraphicsState.started = 0;
        GraphicsState.direct3DModeActive = 0;
    }
    // A blank graph; drawable unless asked otherwise.
    static int MakeGraph(int width, int height, bool drawable)
    {
        Korvo::GraphCreateSettings settings;
        Korvo::CaptureGraphCreateSettings(&settings);
        settings.drawable = drawable ? 1 : 0;
        return Korvo::CreateBlankGraphFromSettings(&settings, width, height, 0, 0, nullptr);
    }
    static int CountCalls(const char *kind)
    {
        return static_cast<int>(std::count_if(RecordingDevice::Calls.begin(), RecordingDevice::Calls.end(),
                                               [&](const RecordingDevice::Call &c) { return c.kind == kind; }));
    }
};

inline std::string RoadName(const ::testing::TestParamInfo<bool> &info)
{
    return info.param ? "Direct3D" : "Software";
}

} // namespace GraphicsTest
