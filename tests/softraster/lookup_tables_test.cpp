// Lookup tables and the blend-image threshold table.
#include <gtest/gtest.h>

#include "softraster/draw_state.h"

using namespace Korvo;

namespace {

class LookupTables : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildMemImgLookupTables(); }
};

TEST_F(LookupTables, ProductTableFloorsTheProduct)
{
    EXPECT_EQ(MemImgProductTable[128][255], 128);
    EXPECT_EQ(MemImgProductTable[200][100], 78);
    for (int x = 0; x < 256; ++x) {
        EXPECT_EQ(MemImgProductTable[255][x], x);
        EXPECT_EQ(MemImgProductTable[0][x], 0);
    }
}

TEST_F(LookupTables, SignedLerpTruncatesTowardZero)
{
    EXPECT_EQ(MemImgSignedLerpRow(128)[-1], 0);
    EXPECT_EQ(MemImgSignedLerpRow(128)[-255], -128);
    EXPECT_EQ(MemImgSignedLerpRow(100)[-3], -1);
    EXPECT_EQ(MemImgSignedLerpRow(100)[3], 1);
    for (int d = -255; d <= 255; ++d)
        ASSERT_EQ(MemImgSignedLerpRow(255)[d], d);
    EXPECT_EQ(MemImgSignedLerpTable[77][511], 0);
}

TEST_F(LookupTables, Lerp6BlocksRunFromDestinationToSource)
{
    for (int s = 0; s < 64; s += 7)
        for (int d = 0; d < 64; d += 5) {
            EXPECT_EQ(MemImgLerp6Table[63][s][d], s);
            EXPECT_EQ(MemImgLerp6Table[0][s][d], d);
        }
    EXPECT_EQ(MemImgLerp6Table[32][63][0], 32);
    EXPECT_EQ(MemImgLerp6Table[31][63][0], 31);
}

TEST(BlendImageTable, StepAndRampShapes)
{
    BuildMemImgBlendImageTable(0, 0);
    for (int v = 0; v < 256; ++v)
        ASSERT_EQ(MemImgBlendThresholdTable[v], 255);

    BuildMemImgBlendImageTable(128, 0);
    for (int v = 0; v < 256; ++v)
        ASSERT_EQ(MemImgBlendThresholdTable[v], v <= 127 ? 0 : v == 128 ? 128 : 255) << v;

    BuildMemImgBlendImageTable(128, 255);
    for (int v = 0; v < 256; ++v)
        ASSERT_EQ(MemImgBlendThresholdTable[v], v);

    BuildMemImgBlendImageTable(255, 255);
    for (int v = 0; v < 256; ++v)
        ASSERT_EQ(MemImgBlendThresholdTable[v], v == 255 ? 1 : 0);
}

TEST(BlendImageTable, ANegativeRangeIsTheHardStep)
{
    for (int range : {-1, -2}) {
        BuildMemImgBlendImageTable(128, range);
        for (int v = 0; v < 256; ++v)
            ASSERT_EQ(MemImgBlendThresholdTable[v], v <= 127 ? 0 : v == 128 ? 128 : 255) << range << " " << v;
    }
}

}  // namespace
