// Three- and four-component vector operations and point transforms.
#include "core/math/vector_math.h"

#include <cmath>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static double Dot(const XyzVector &a, const XyzVector &b)
{
    return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y + static_cast<double>(a.z) * b.z;
}

// Row vector (x, y, z, w) times column c of the matrix.
static double RowTimesColumn(const XyzVector &v, double w, const RowMatrix4 &m, int c)
{
    return static_cast<double>(v.x) * m.m[0][c] + static_cast<double>(v.y) * m.m[1][c] +
           static_cast<double>(v.z) * m.m[2][c] + w * m.m[3][c];
}

static XyzVector DividedByLength(const XyzVector &v)
{
    const double length = std::sqrt(Dot(v, v));
    return {static_cast<float>(v.x / length), static_cast<float>(v.y / length),
            static_cast<float>(v.z / length)};
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// a . b
float ComputeXyzDotProduct(const XyzVector *a, const XyzVector *b)
{
    return static_cast<float>(Dot(*a, *b));
}

// dst = a - b; dst
XyzVector *SubtractXyzVectors(XyzVector *dst, const XyzVector *a, const XyzVector *b)
{
    *dst = {a->x - b->x, a->y - b->y, a->z - b->z};
    return dst;
}

// dst = a - b; 0
int ComputeXyzDifference(XyzVector *dst, const XyzVector *a, const XyzVector *b)
{
    SubtractXyzVectors(dst, a, b);
    return 0;
}

// dst = src * s; dst
XyzVector *ScaleXyzVector(XyzVector *dst, const XyzVector *src, float s)
{
    *dst = {src->x * s, src->y * s, src->z * s};
    return dst;
}

// dst = a x b; 0
int ComputeXyzCrossProduct(XyzVector *dst, const XyzVector *a, const XyzVector *b)
{
    const double ax = a->x, ay = a->y, az = a->z;
    const double bx = b->x, by = b->y, bz = b->z;
    *dst = {static_cast<float>(ay * bz - az * by), static_cast<float>(az * bx - ax * bz),
            static_cast<float>(ax * by - ay * bx)};
    return 0;
}

// dst = src / |src|; 0
int NormalizeXyzVector(XyzVector *dst, const XyzVector *src)
{
    *dst = DividedByLength(*src);
    return 0;
}

// value / |value|
XyzVector NormalizeXyzVectorValue(XyzVector value)
{
    return DividedByLength(value);
}

// |(x, y, z)|, 0 when the squared length is below 1e-7
float GetXyzVectorLength(float x, float y, float z)
{
    const XyzVector v = {x, y, z};
    const double squared = Dot(v, v);
    if (squared < 1e-7)
        return 0.0f;
    return static_cast<float>(std::sqrt(squared));
}

// dst = src * matrix with the translation row; dst
XyzVector *TransformPointByMatrix(XyzVector *dst, const XyzVector *src, const RowMatrix4 *matrix)
{
    const XyzVector v = *src;
    *dst = {static_cast<float>(RowTimesColumn(v, 1.0, *matrix, 0)),
            static_cast<float>(RowTimesColumn(v, 1.0, *matrix, 1)),
            static_cast<float>(RowTimesColumn(v, 1.0, *matrix, 2))};
    return dst;
}

// dst = src * matrix with the translation row; 0
int ApplyMatrixToPoint(XyzVector *dst, const XyzVector *src, const RowMatrix4 *matrix)
{
    TransformPointByMatrix(dst, src, matrix);
    return 0;
}

// dst = src * upper 3x3 of matrix; dst
XyzVector *TransformDirectionByMatrix(XyzVector *dst, const XyzVector *src, const RowMatrix4 *matrix)
{
    const XyzVector v = *src;
    *dst = {static_cast<float>(RowTimesColumn(v, 0.0, *matrix, 0)),
            static_cast<float>(RowTimesColumn(v, 0.0, *matrix, 1)),
            static_cast<float>(RowTimesColumn(v, 0.0, *matrix, 2))};
    return dst;
}

// (dst, dstW) = (src, srcW) * matrix; 0
int ApplyMatrixToPoint4(XyzVector *dst, float *dstW, const XyzVector *src, const float *srcW,
                        const RowMatrix4 *matrix)
{
    const XyzVector v = *src;
    const double w = *srcW;
    const float x = static_cast<float>(RowTimesColumn(v, w, *matrix, 0));
    const float y = static_cast<float>(RowTimesColumn(v, w, *matrix, 1));
    const float z = static_cast<float>(RowTimesColumn(v, w, *matrix, 2));
    const float outW = static_cast<float>(RowTimesColumn(v, w, *matrix, 3));
    *dst = {x, y, z};
    *dstW = outW;
    return 0;
}

// Plane through point with the normalised normal; plane
XyzwVector *BuildPlaneFromPointNormal(XyzwVector *plane, const XyzVector *point, const XyzVector *normal)
{
    const XyzVector unit = DividedByLength(*normal);
    const float d = static_cast<float>(-Dot(*point, unit));
    *plane = {unit.x, unit.y, unit.z, d};
    return plane;
}

} // namespace Korvo
