// The present keeps one frame queued at most on the Direct3D road: each present
// marks its frame's end and the next one first waits for that mark; the
// software road queues nothing and marks nothing.

#include "library_session.h"

#include "graphics/device/win32/d3d_objects.h"
#include "graphics/screen/win32/frame_latency.h"

using namespace Korvo;

namespace {

TEST(FrameLatencyTest, EachPresentMarksItsFrameAndTheNextWaitsForTheMark)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_NE(D3DObjects.deviceEx, nullptr) << "the device is made through the Ex object here";
    for (int frame = 0; frame < 3; ++frame) {
        ClearDrawScreen();
        EXPECT_EQ(PresentBackScreen(), 0);
        EXPECT_TRUE(IsFrameEndMarkPending()) << "frame " << frame;
    }
    WaitForPreviousFrameDrawn();
    EXPECT_FALSE(IsFrameEndMarkPending());
    EXPECT_EQ(ShutdownLibrary(), 0);
    EXPECT_FALSE(IsFrameEndMarkPending()) << "the mark goes with the device";

    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(false), 0);
    EXPECT_EQ(PresentBackScreen(), 0);
    EXPECT_FALSE(IsFrameEndMarkPending()) << "software road";
    EXPECT_EQ(ShutdownLibrary(), 0);
}

} // namespace
