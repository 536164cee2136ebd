// The portable tests' set-up of the graph and model kinds on the recording device.

#include "tests/model/model_test_records.h"

#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "model/startup_entries.h"
#include "tests/core/log_capture.h"
#include "tests/graphics/recording_device.h"

using namespace Korvo;

namespace ModelTest {

void ModelKindsFixture::SetUp()
{
    RecordingDevice::Reset();
    RecordingDevice::HandOutBuffers = true;
    GraphicsState.bitsPerPixel = 32;
    KorvoTest::StartFreshLog();
    ASSERT_EQ(InitGraphHandleType(), 0);
    GraphicsState.direct3DModeActive = 1;
    ASSERT_EQ(InitModelHandleTypes(), 0);
    GraphicsState.direct3DModeActive = 0;
    Events.clear();
}

void ModelKindsFixture::TearDown()
{
    TermModelHandleTypes();
    TermGraphHandleType();
    RecordingDevice::HandOutBuffers = false;
    GraphicsState.direct3DModeActive = 0;
}

} // namespace ModelTest
