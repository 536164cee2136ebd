// Shader byte-code checks and the four layers of shader constants.

#include "graphics/shading/shader_code_check.h"
#include "graphics/state/shader_constants.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace Korvo;

namespace {

// ps_2_0, a comment of commentWords words holding 'CTAB' and a table header
// whose count and first-record offset are given, then the end token.
std::vector<uint32_t> CodeWithTable(uint32_t version, uint32_t commentWords, uint32_t count, uint32_t firstOffset,
                                    uint32_t tag = 0x42415443u)
{
    std::vector<uint32_t> words = {version, 0xFFFEu | (commentWords << 16), tag, 28, 0, 0, count, firstOffset, 0, 0};
    words.resize(2 + commentWords, 0);
    words.push_back(0x0000FFFFu);
    return words;
}

TEST(ShaderCodeCheckTest, TheVersionTokenAndTheConstantTableAreCheckedBeforeUse)
{
    struct Case {
        const char *what;
        std::vector<uint32_t> code;
        int vertex;
        int result;
        int count;
        int offset;
    };
    const Case cases[] = {
        {"table with two records", CodeWithTable(0xFFFF0200, 20, 2, 28), 0, 0, 2, 40},
        {"vertex shader table", CodeWithTable(0xFFFE0300, 20, 1, 28), 1, 0, 1, 40},
        {"pixel code as a vertex shader", CodeWithTable(0xFFFF0200, 20, 1, 28), 1, -1, 0, 0},
        {"version 4", CodeWithTable(0xFFFF0400, 20, 1, 28), 0, -1, 0, 0},
        {"comment past the end", {0xFFFF0200, 0xFFFEu | (50u << 16), 0x42415443u, 0, 0}, 0, -1, 0, 0},
        {"records past the comment", CodeWithTable(0xFFFF0200, 20, 5, 28), 0, -1, 0, 0},
        {"header cut short", CodeWithTable(0xFFFF0200, 4, 0, 28), 0, -1, 0, 0},
        {"other comment", CodeWithTable(0xFFFF0200, 20, 9, 28, 0x12345678u), 0, 0, 0, 0},
        {"no comment", {0xFFFF0200, 0x02000001, 0x800F0800, 0xA0E40000, 0x0000FFFF}, 0, 0, 0, 0},
        {"too short", {0xFFFF0200}, 0, -1, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ShaderCodeFacts facts = {-7, -7};
        EXPECT_EQ(CheckShaderByteCode(c.code.data(), static_cast<int>(c.code.size() * 4), c.vertex, &facts), c.result);
        EXPECT_EQ(facts.constantCount, c.count);
        EXPECT_EQ(facts.constantInfoOffset, c.offset);
    }
    ShaderCodeFacts facts;
    EXPECT_EQ(CheckShaderByteCode(nullptr, 40, 0, &facts), -1);
}

float DeviceValue(int file, int reg)
{
    return static_cast<const float *>(GetStoredShaderConstants(file))[reg * 4];
}

TEST(ShaderConstantSetTest, TheHighestActiveLayerWinsAndClearingGivesTheRegisterBack)
{
    InitShaderConstantSet();
    const float one[4] = {1}, two[4] = {2}, three[8] = {3, 0, 0, 0, 3};
    const int file = SHADER_FILE_PIXEL_FLOAT;
    ASSERT_EQ(StoreShaderConstants(file, 0, 5, one, 1, 1), 0);
    ASSERT_EQ(StoreShaderConstants(file, 3, 5, three, 2, 1), 0);
    EXPECT_EQ(DeviceValue(file, 5), 1.0f) << "layer 3 is not active yet";
    EXPECT_EQ(DeviceValue(file, 6), 0.0f);
    ASSERT_EQ(SelectConstantLayers(9), 0);
    EXPECT_EQ(DeviceValue(file, 5), 3.0f);
    EXPECT_EQ(DeviceValue(file, 6), 3.0f);
    ASSERT_EQ(StoreShaderConstants(file, 0, 5, two, 1, 1), 0);
    EXPECT_EQ(DeviceValue(file, 5), 3.0f) << "a higher active layer hides the library's value";
    ASSERT_EQ(ClearShaderConstants(file, 3, 5, 1), 0);
    EXPECT_EQ(DeviceValue(file, 5), 2.0f);
    EXPECT_EQ(DeviceValue(file, 6), 3.0f);
    ASSERT_EQ(SelectConstantLayers(1), 0);
    EXPECT_EQ(StoreShaderConstants(file, 4, 0, one, 1, 1), -1);
    EXPECT_EQ(StoreShaderConstants(file, 0, 223, three, 2, 1), -1) << "224 pixel registers";
}

TEST(ShaderConstantSetTest, UsedRangesMergeWhenTheyTouchAndSplitWhenCleared)
{
    InitShaderConstantSet();
    const float values[16 * 4] = {};
    const int file = SHADER_FILE_VERTEX_FLOAT;
    StoreShaderConstants(file, 2, 10, values, 2, 1);
    StoreShaderConstants(file, 2, 20, values, 2, 1);
    StoreShaderConstants(file, 2, 12, values, 8, 1);  // touches both
    StoreShaderConstants(file, 2, 40, values, 1, 0);  // not listed
    const unsigned short *pairs = nullptr;
    ASSERT_EQ(GetShaderConstantRanges(file, 2, &pairs), 1);
    EXPECT_EQ(pairs[0], 10);
    EXPECT_EQ(pairs[1], 22);
    ClearShaderConstants(file, 2, 14, 2);
    ASSERT_EQ(GetShaderConstantRanges(file, 2, &pairs), 2);
    EXPECT_EQ(std::vector<unsigned short>(pairs, pairs + 4), (std::vector<unsigned short>{10, 14, 16, 22}));
}

} // namespace
