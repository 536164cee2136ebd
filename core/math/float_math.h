// Small numeric routines: truncation to int and single-precision functions.
//
// Each float result is computed in double and rounded once to float, so it
// does not depend on the floating-point unit's precision setting.
#pragma once

#include "core/math/vector_math.h"

namespace Korvo {

// float to int rounding toward zero; out of range or NaN gives INT_MIN
int TruncateFloatToInt(float value);
// double to int rounding toward zero; out of range or NaN gives INT_MIN
int TruncateDoubleToInt(double value);
// x, y, z, w to four ints rounding toward zero; 0
int TruncateFloat4ToInt4(const XyzwVector *value, int *out);
// |value|; the smallest int stays as it is
int GetAbsoluteInt(int value);
// |value|
float GetAbsoluteFloat(float value);
// Square root
float GetSquareRootFloat(float value);
// x to the power y
float RaiseFloatPower(float x, float y);
// atan2(y, x)
float GetArcTangent2Float(float y, float x);
// e to the power x
float GetExponentialFloat(float x);
// acos(x)
float GetArcCosineFloat(float x);
// Base-10 logarithm
double GetLog10Double(double value);
// Sine and cosine of one angle; 0
int GetSineCosineFloat(float angle, float *sine, float *cosine);

} // namespace Korvo
