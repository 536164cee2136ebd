// The light table: a full table, deletions, and the order of device slots.

#include "graphics/state/light_table.h"
#include "recording_device.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Korvo;

namespace {

TEST(LightTableTest, AFullTableRefusesALightAndADeletedLightCannotBeDeletedAgain)
{
    RecordingDevice::Present = false;
    DeleteEveryLight();  // the default light of earlier draw-settings resets
    std::vector<int> handles;
    for (int i = 0; i < kMaxLights; ++i) {
        handles.push_back(CreateLightRecord());
        ASSERT_NE(handles.back(), -1);
    }
    EXPECT_EQ(CreateLightRecord(), -1) << "no free entry";
    int highWater = 0;
    EXPECT_EQ(GetLightCounts(&highWater), kMaxLights);
    EXPECT_EQ(DestroyLightHandle(handles[10]), 0);
    EXPECT_EQ(DestroyLightHandle(handles[10]), -1) << "deleted twice";
    int again = CreateLightRecord();
    ASSERT_NE(again, -1) << "the freed entry is used";
    EXPECT_EQ(DestroyLightHandle(handles[10]), -1) << "the old handle does not name the new light";
    handles[10] = again;
    for (int i = kMaxLights - 1; i >= 0; --i) {
        if (i != 5) {
            ASSERT_EQ(DestroyLightHandle(handles[i]), 0);
        }
    }
    EXPECT_EQ(GetLightCounts(&highWater), 1);
    EXPECT_EQ(highWater, 6) << "the high-water mark drops past the empty entries";
    EXPECT_EQ(DestroyLightHandle(handles[5]), 0);
    EXPECT_EQ(GetLightCounts(&highWater), 0);
    EXPECT_EQ(highWater, 0);
    EXPECT_EQ(DestroyLightHandle(-1), -1);
    RecordingDevice::Present = true;
}

TEST(LightTableTest, DirectionalLightsTakeTheFirstDeviceSlots)
{
    RecordingDevice::Present = false;
    DeleteEveryLight();
    int point = CreateLightRecord();
    GetLightValues(point, nullptr)->Type = 1;
    int spot = CreateLightRecord();
    GetLightValues(spot, nullptr)->Type = 2;
    int directional = CreateDirectionalLight({1.0f, -1.0f, 1.0f});
    ASSERT_EQ(UpdateLightTable(), 0);
    const int expected[3][2] = {{directional, 0}, {spot, 1}, {point, 2}};
    for (const auto &e : expected) {
        int slot = -5;
        ASSERT_NE(GetLightValues(e[0], &slot), nullptr);
        EXPECT_EQ(slot, e[1]);
    }
    EXPECT_NEAR(GetLightValues(directional, nullptr)->Direction.y, -0.57735f, 1e-5f);
    EXPECT_EQ(CreateDirectionalLight({0, 0, 0}), -1);
    DeleteAllLights();
    int highWater = 0;
    EXPECT_EQ(GetLightCounts(&highWater), 0);
    RecordingDevice::Present = true;
}

} // namespace
