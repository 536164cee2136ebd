// Masked drawing on the software road: brackets write the drawn pixels back only
// when the outermost one closes and only where the mask plane passes, also for a
// graph target larger than the screen (and so than the plane).

#include "tests/graphics/graph_road_fixture.h"

#include "graphics/draw/masks.h"

using namespace Korvo;

namespace {

constexpr uint32_t kGrey = 0x404040;
constexpr uint32_t kRed = 0xF0281E;

class MaskBracketsTest : public GraphicsTest::GraphRoadTest {
protected:
    void SetUp() override
    {
        GraphRoadTest::SetUp();
        ASSERT_EQ(InitMaskModule(), 0);
        ASSERT_EQ(CreateMaskScreenSurfaces(1), 0);
        // Nothing in the library asks for a mask screen; the test does.
        Masks.created = 1;
    }
    void TearDown() override
    {
        EndMaskModule();
        GraphRoadTest::TearDown();
    }
    static int Pack(uint32_t rgb)
    {
        return PackScreenColor(static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF),
                               static_cast<int>(rgb & 0xFF));
    }
    static uint32_t Pixel(const MEMIMG *image, int x, int y)
    {
        const uint8_t *row = image->pixels + static_cast<ptrdiff_t>(y) * image->body->pitch;
        return reinterpret_cast<const uint32_t *>(row)[x] & 0xFFFFFF;
    }
};

TEST_P(MaskBracketsTest, NestedBracketsWriteBackWhenTheOutermostClosesWhereThePlanePasses)
{
    ASSERT_EQ(FillColorBox(0, 0, kWidth, kHeight, Pack(kGrey)), 0);
    Masks.plane[22 * Masks.planePitch + 22] = 1;  // this pixel is masked off
    ASSERT_EQ(EnableMaskScreen(1), 0);
    const RECT outer = {10, 10, 50, 50};
    ASSERT_EQ(BeginMaskedDrawRect(outer), 0);
    ASSERT_EQ(FillColorBox(20, 20, 30, 30, Pack(kRed)), 0);  // opens and closes an inner bracket
    EXPECT_EQ(Pixel(&SoftwareScreen, 25, 25), kGrey) << "the inner bracket writes nothing back";
    ASSERT_EQ(EndMaskedDrawRect(outer), 0);
    EXPECT_EQ(Pixel(&SoftwareScreen, 25, 25), kRed) << "the outermost one does";
    EXPECT_EQ(Pixel(&SoftwareScreen, 22, 22), kGrey) << "except where the mask stops it";
    EXPECT_EQ(Masks.nesting, 0);
    ASSERT_EQ(EnableMaskScreen(0), 0);
}

TEST_P(MaskBracketsTest, AGraphTargetLargerThanTheScreenIsMaskedOnlyWhereThePlaneReaches)
{
    const int graph = MakeGraph(kWidth * 2, kHeight * 2, true);
    ASSERT_NE(graph, -1);
    ASSERT_EQ(SelectDrawTarget(graph), 0);
    ASSERT_EQ(FillColorBox(0, 0, kWidth * 2, kHeight * 2, Pack(kGrey)), 0);
    ASSERT_EQ(EnableMaskScreen(1), 0);
    EXPECT_EQ(FillColorBox(100, 80, 300, 220, Pack(kRed)), 0);
    ASSERT_EQ(EnableMaskScreen(0), 0);
    const MEMIMG *image = GetGraphMemImg(GetGraphRecord(graph, 0));
    ASSERT_NE(image, nullptr);
    struct Probe {
        int x, y;
        uint32_t want;
    };
    const Probe probes[] = {{120, 100, kRed}, {159, 119, kRed}, {200, 100, kGrey}, {120, 150, kGrey}, {250, 200, kGrey}};
    for (const Probe &p : probes) {
        EXPECT_EQ(Pixel(image, p.x, p.y), p.want) << p.x << ", " << p.y;
    }
    ASSERT_EQ(SelectDrawTarget(-2), 0);
    EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Roads, MaskBracketsTest, ::testing::Values(false), GraphicsTest::RoadName);

} // namespace
