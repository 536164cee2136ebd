// Truncation to int and the single-precision functions.
#include <gtest/gtest.h>

#include <cfenv>
#include <climits>
#include <limits>

#include "core/math/float_math.h"

using namespace Korvo;

namespace {

TEST(Truncate, TowardZeroUnderEveryRoundingMode)
{
    const int modes[] = {FE_TONEAREST, FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO};
    const int saved = std::fegetround();
    for (int mode : modes) {
        std::fesetround(mode);
        volatile float negative = -2.7f, positive = 2.7f;
        volatile double negativeD = -2.5, positiveD = 2.5;
        EXPECT_EQ(TruncateFloatToInt(negative), -2) << mode;
        EXPECT_EQ(TruncateFloatToInt(positive), 2) << mode;
        EXPECT_EQ(TruncateDoubleToInt(negativeD), -2) << mode;
        EXPECT_EQ(TruncateDoubleToInt(positiveD), 2) << mode;
    }
    std::fesetround(saved);
}

TEST(Truncate, RangeEdgesAndFourAtOnce)
{
    EXPECT_EQ(TruncateDoubleToInt(2147483647.9), INT_MAX);
    EXPECT_EQ(TruncateDoubleToInt(-2147483648.9), INT_MIN);
    // No int of their own: the processor's integer indefinite.
    EXPECT_EQ(TruncateDoubleToInt(2147483648.0), INT_MIN);
    EXPECT_EQ(TruncateFloatToInt(1e20f), INT_MIN);
    EXPECT_EQ(TruncateFloatToInt(std::numeric_limits<float>::quiet_NaN()), INT_MIN);

    const XyzwVector v = {1.9f, -1.9f, 0.5f, -1000.75f};
    int out[4];
    EXPECT_EQ(TruncateFloat4ToInt4(&v, out), 0);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], -1);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], -1000);
}

TEST(Absolute, SmallestIntStaysAsItIs)
{
    EXPECT_EQ(GetAbsoluteInt(-5), 5);
    EXPECT_EQ(GetAbsoluteInt(INT_MIN), INT_MIN);
}

} // namespace
