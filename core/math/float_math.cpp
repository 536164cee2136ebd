// Small numeric routines: truncation to int and single-precision functions.
#include "core/math/float_math.h"

#include <climits>
#include <cmath>

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// double to int rounding toward zero
int TruncateDoubleToInt(double value)
{
    // A C++ conversion always truncates, whatever the rounding mode. Values
    // with no int of their own give the processor's "integer indefinite".
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return INT_MIN;
    return static_cast<int>(value);
}

// float to int rounding toward zero
int TruncateFloatToInt(float value)
{
    return TruncateDoubleToInt(static_cast<double>(value));
}

// x, y, z, w to four ints rounding toward zero
int TruncateFloat4ToInt4(const XyzwVector *value, int *out)
{
    out[0] = TruncateFloatToInt(value->x);
    out[1] = TruncateFloatToInt(value->y);
    out[2] = TruncateFloatToInt(value->z);
    out[3] = TruncateFloatToInt(value->w);
    return 0;
}

// |value|
int GetAbsoluteInt(int value)
{
    return value < 0 ? static_cast<int>(0u - static_cast<unsigned>(value)) : value;
}

// |value|
float GetAbsoluteFloat(float value)
{
    return std::fabs(value);
}

// Square root
float GetSquareRootFloat(float value)
{
    return static_cast<float>(std::sqrt(static_cast<double>(value)));
}

// x to the power y
float RaiseFloatPower(float x, float y)
{
    return static_cast<float>(std::pow(static_cast<double>(x), static_cast<double>(y)));
}

// atan2(y, x)
float GetArcTangent2Float(float y, float x)
{
    return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)));
}

// e to the power x
float GetExponentialFloat(float x)
{
    return static_cast<float>(std::exp(static_cast<double>(x)));
}

// acos(x)
float GetArcCosineFloat(float x)
{
    return static_cast<float>(std::acos(static_cast<double>(x)));
}

// Base-10 logarithm
double GetLog10Double(double value)
{
    return std::log10(value);
}

// Sine and cosine of one angle
int GetSineCosineFloat(float angle, float *sine, float *cosine)
{
    const double radians = static_cast<double>(angle);
    *sine = static_cast<float>(std::sin(radians));
    *cosine = static_cast<float>(std::cos(radians));
    return 0;
}

} // namespace Korvo
