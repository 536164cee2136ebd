// Vectors, matrices, projections and views against hand-computed values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "core/math/vector_math.h"

using namespace Korvo;

namespace {

RowMatrix4 MatrixOf(std::initializer_list<float> values)
{
    RowMatrix4 m;
    int i = 0;
    for (float v : values) {
        m.m[i / 4][i % 4] = v;
        ++i;
    }
    return m;
}

void ExpectMatrixNear(const RowMatrix4 &actual, const RowMatrix4 &expected, float tolerance = 1e-6f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tolerance) << "m" << r << c;
}

void ExpectVectorNear(const XyzVector &v, float x, float y, float z, float tolerance = 1e-6f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

const RowMatrix4 kCounting = MatrixOf({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});

TEST(Vectors, CrossAndDotProducts)
{
    const XyzVector a = {1, 2, 3}, b = {4, -5, 6};
    EXPECT_EQ(ComputeXyzDotProduct(&a, &b), 12.0f);
    XyzVector out;
    EXPECT_EQ(ComputeXyzCrossProduct(&out, &a, &b), 0);
    ExpectVectorNear(out, 27, 6, -13);
    EXPECT_EQ(SubtractXyzVectors(&out, &a, &b), &out);
    ExpectVectorNear(out, -3, 7, -3);
}

TEST(Vectors, LengthAndNormalising)
{
    EXPECT_EQ(GetXyzVectorLength(3, 4, 0), 5.0f);
    EXPECT_EQ(GetXyzVectorLength(0.0001f, 0, 0), 0.0f);
    const XyzVector v = {0, 3, 4};
    XyzVector out;
    EXPECT_EQ(NormalizeXyzVector(&out, &v), 0);
    ExpectVectorNear(out, 0, 0.6f, 0.8f);
    ExpectVectorNear(NormalizeXyzVectorValue({-2, 0, 0}), -1, 0, 0);
}

TEST(Vectors, PointsTakeTheTranslationRowDirectionsDoNot)
{
    RowMatrix4 move;
    BuildIdentityMatrix(&move);
    move.m[3][0] = 10;
    move.m[3][1] = 20;
    move.m[3][2] = 30;
    const XyzVector p = {1, 2, 3};
    XyzVector out;
    EXPECT_EQ(TransformPointByMatrix(&out, &p, &move), &out);
    ExpectVectorNear(out, 11, 22, 33);
    EXPECT_EQ(TransformDirectionByMatrix(&out, &p, &move), &out);
    ExpectVectorNear(out, 1, 2, 3);

    // Row vector on the left: x' = x*m00 + y*m10 + z*m20 + m30 ...
    const XyzVector ones = {1, 1, 1};
    EXPECT_EQ(ApplyMatrixToPoint(&out, &ones, &kCounting), 0);
    ExpectVectorNear(out, 28, 32, 36);
    TransformDirectionByMatrix(&out, &ones, &kCounting);
    ExpectVectorNear(out, 15, 18, 21);

    const float w = 2;
    float outW = 0;
    EXPECT_EQ(ApplyMatrixToPoint4(&out, &outW, &ones, &w, &kCounting), 0);
    ExpectVectorNear(out, 41, 46, 51);
    EXPECT_EQ(outW, 56.0f);
}

TEST(Vectors, PlaneFromPointAndNormal)
{
    const XyzVector point = {1, 0, 5}, normal = {0, 0, 2};
    XyzwVector plane;
    EXPECT_EQ(BuildPlaneFromPointNormal(&plane, &point, &normal), &plane);
    EXPECT_EQ(plane.x, 0.0f);
    EXPECT_EQ(plane.y, 0.0f);
    EXPECT_EQ(plane.z, 1.0f);
    EXPECT_EQ(plane.w, -5.0f);
}

TEST(Matrices, ProductAppliesTheLeftFactorFirst)
{
    RowMatrix4 scale;
    BuildIdentityMatrix(&scale);
    scale.m[0][0] = scale.m[1][1] = scale.m[2][2] = 2;
    RowMatrix4 move;
    BuildIdentityMatrix(&move);
    move.m[3][0] = 10;

    RowMatrix4 scaleThenMove, moveThenScale;
    BuildMatrixProduct(&scaleThenMove, &scale, &move);
    BuildMatrixProduct(&moveThenScale, &move, &scale);
    const XyzVector p = {1, 0, 0};
    XyzVector out;
    TransformPointByMatrix(&out, &p, &scaleThenMove);
    ExpectVectorNear(out, 12, 0, 0);
    TransformPointByMatrix(&out, &p, &moveThenScale);
    ExpectVectorNear(out, 22, 0, 0);

    // Out may be a factor; a null out writes nothing.
    RowMatrix4 a = kCounting;
    BuildMatrixProduct(&a, &a, &kCounting);
    EXPECT_EQ(a.m[0][0], 90.0f);  // 1*1 + 2*5 + 3*9 + 4*13
    EXPECT_EQ(a.m[3][3], 600.0f); // 13*4 + 14*8 + 15*12 + 16*16
    EXPECT_EQ(BuildMatrixProduct(nullptr, &scale, &move), 0);
}

TEST(Matrices, InverseAndSingularity)
{
    const RowMatrix4 m = MatrixOf({2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 8, 0, 1, 2, 3, 1});
    RowMatrix4 inverse;
    ASSERT_EQ(BuildInverseMatrix(&inverse, &m), 0);
    ExpectMatrixNear(inverse, MatrixOf({0.5f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 0.125f, 0, -0.5f, -0.5f, -0.375f, 1}));

    const RowMatrix4 general = MatrixOf({3, 1, 0, 2, 1, 4, 1, 0, 0, 2, 5, 1, 1, 0, 1, 6});
    ASSERT_EQ(BuildInverseMatrix(&inverse, &general), 0);
    RowMatrix4 product, identity;
    BuildMatrixProduct(&product, &general, &inverse);
    BuildIdentityMatrix(&identity);
    ExpectMatrixNear(product, identity, 1e-5f);

    // A zero row (and the counting matrix, whose rows are dependent) is singular.
    RowMatrix4 zeroRow = general;
    zeroRow.m[2][0] = zeroRow.m[2][1] = zeroRow.m[2][2] = zeroRow.m[2][3] = 0;
    RowMatrix4 untouched = kCounting;
    EXPECT_EQ(BuildInverseMatrix(&untouched, &zeroRow), -1);
    EXPECT_EQ(std::memcmp(&untouched, &kCounting, sizeof untouched), 0);
    EXPECT_EQ(BuildInverseMatrix(&untouched, &kCounting), -1);
}

TEST(Projections, Perspective)
{
    RowMatrix4 p;
    // fov 90 degrees: cot(45) = 1.
    ASSERT_EQ(BuildPerspectiveProjection(&p, static_cast<float>(std::numbers::pi / 2), 1, 101, 0.75f), 0);
    ExpectMatrixNear(p, MatrixOf({0.75f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.01f, 1, 0, 0, -1.01f, 0}));

    // Negative aspect: height / width of the screen size, else 0.75.
    const float fov = static_cast<float>(2 * std::atan(0.5)); // cot(fov / 2) = 2
    SetProjectionScreenSize(1000, 500);
    ASSERT_EQ(BuildPerspectiveProjection(&p, fov, 1, 2, -1), 0);
    EXPECT_NEAR(p.m[0][0], 1.0f, 1e-6f);
    EXPECT_NEAR(p.m[1][1], 2.0f, 1e-6f);
    SetProjectionScreenSize(0, 600);
    BuildPerspectiveProjection(&p, fov, 1, 2, -1);
    EXPECT_NEAR(p.m[0][0], 1.5f, 1e-6f);
    SetProjectionScreenSize(0, 0);

    // Degenerate depth range or field of view: -1, out untouched.
    RowMatrix4 untouched = kCounting;
    EXPECT_EQ(BuildPerspectiveProjection(&untouched, 1.0f, 5, 5, 1), -1);
    EXPECT_EQ(BuildPerspectiveProjection(&untouched, 0.0f, 1, 5, 1), -1);
    EXPECT_EQ(std::memcmp(&untouched, &kCounting, sizeof untouched), 0);
}

TEST(Projections, OrthographicAndViewport)
{
    RowMatrix4 o;
    ASSERT_EQ(BuildOrthoProjection(&o, 2, 2, 10, 0.5f), 0);
    ExpectMatrixNear(o, MatrixOf({0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.125f, 0, 0, 0, -0.25f, 1}));
    // Near and far planes map to depth 0 and 1.
    XyzVector out;
    const XyzVector nearPoint = {0, 0, 2}, farPoint = {0, 0, 10};
    EXPECT_NEAR(TransformPointByMatrix(&out, &nearPoint, &o)->z, 0.0f, 1e-6f);
    EXPECT_NEAR(TransformPointByMatrix(&out, &farPoint, &o)->z, 1.0f, 1e-6f);
    EXPECT_EQ(BuildOrthoProjection(&o, 2, 3, 3, 1), -1);

    RowMatrix4 v;
    EXPECT_EQ(BuildViewportTransform(&v, 400, 300, 800, 600), 0);
    const XyzVector topLeft = {-1, 1, 0.5f}, bottomRight = {1, -1, 0};
    ExpectVectorNear(*TransformPointByMatrix(&out, &topLeft, &v), 0, 0, 0.5f);
    ExpectVectorNear(*TransformPointByMatrix(&out, &bottomRight, &v), 800, 600, 0);
}

TEST(Projections, LookAtIsLeftHanded)
{
    // From +x toward the origin with y up: view x is world +z, view z is world -x.
    const XyzVector eye = {10, 0, 0}, target = {0, 0, 0}, up = {0, 1, 0};
    RowMatrix4 view;
    EXPECT_EQ(BuildLookAtViewMatrix(&view, &eye, &target, &up), 0);
    ExpectMatrixNear(view, MatrixOf({0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 10, 1}));
    XyzVector out;
    const XyzVector side = {0, 0, 1};
    ExpectVectorNear(*TransformPointByMatrix(&out, &side, &view), 1, 0, 10);
    ExpectVectorNear(*TransformPointByMatrix(&out, &eye, &view), 0, 0, 0);
}

} // namespace
