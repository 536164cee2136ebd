// Single-precision vectors and 4x4 matrices for a left-handed system.
//
// Vectors are rows multiplied on the left of a matrix, so the translation sits
// in the fourth row and the product A * B applies A first. Every result is
// computed in double and rounded to float when stored.
#pragma once

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct XyzVector {
    float x, y, z;
};

// Also a plane a, b, c, d: points p on it satisfy a*p.x + b*p.y + c*p.z + d = 0.
struct XyzwVector {
    float x, y, z, w;
};

// m[row][column]; same layout as the Direct3D matrix.
struct RowMatrix4 {
    float m[4][4];
};

// ---------------------------------------------------------------------------
// Vectors
// ---------------------------------------------------------------------------

// a . b
float ComputeXyzDotProduct(const XyzVector *a, const XyzVector *b);
// dst = a - b; dst
XyzVector *SubtractXyzVectors(XyzVector *dst, const XyzVector *a, const XyzVector *b);
// dst = a - b; 0
int ComputeXyzDifference(XyzVector *dst, const XyzVector *a, const XyzVector *b);
// dst = src * s; dst
XyzVector *ScaleXyzVector(XyzVector *dst, const XyzVector *src, float s);
// dst = a x b; 0
int ComputeXyzCrossProduct(XyzVector *dst, const XyzVector *a, const XyzVector *b);
// dst = src / |src| (a zero vector gives NaN); 0
int NormalizeXyzVector(XyzVector *dst, const XyzVector *src);
// value / |value| (a zero vector gives NaN)
XyzVector NormalizeXyzVectorValue(XyzVector value);
// |(x, y, z)|, 0 when the squared length is below 1e-7
float GetXyzVectorLength(float x, float y, float z);
// dst = src * matrix with the translation row; dst
XyzVector *TransformPointByMatrix(XyzVector *dst, const XyzVector *src, const RowMatrix4 *matrix);
// dst = src * matrix with the translation row; 0
int ApplyMatrixToPoint(XyzVector *dst, const XyzVector *src, const RowMatrix4 *matrix);
// dst = src * upper 3x3 of matrix; dst
XyzVector *TransformDirectionByMatrix(XyzVector *dst, const XyzVector *src, const RowMatrix4 *matrix);
// (dst, dstW) = (src, srcW) * matrix; 0
int ApplyMatrixToPoint4(XyzVector *dst, float *dstW, const XyzVector *src, const float *srcW,
                        const RowMatrix4 *matrix);
// Plane through point with the normalised normal; plane
XyzwVector *BuildPlaneFromPointNormal(XyzwVector *plane, const XyzVector *point, const XyzVector *normal);

// ---------------------------------------------------------------------------
// Matrices
// ---------------------------------------------------------------------------

// Identity; 0
int BuildIdentityMatrix(RowMatrix4 *out);
// out = a * b (out may be a or b; nothing written when out is null); 0
int BuildMatrixProduct(RowMatrix4 *out, const RowMatrix4 *a, const RowMatrix4 *b);
// out = transpose of in (out may be in); 0
int BuildTransposedMatrix(RowMatrix4 *out, const RowMatrix4 *in);
// out = inverse of in; -1 with out untouched when in is singular, else 0
int BuildInverseMatrix(RowMatrix4 *out, const RowMatrix4 *in);

// ---------------------------------------------------------------------------
// Projections and views
// ---------------------------------------------------------------------------

// Perspective projection, vertical field of view in radians; aspect < 0 takes
// the default aspect; -1 (out untouched) for a degenerate depth range or view
int BuildPerspectiveProjection(RowMatrix4 *out, float fieldOfView, float nearZ, float farZ, float aspect);
// Orthographic projection of the given height; -1 for a degenerate depth range
int BuildOrthoProjection(RowMatrix4 *out, float height, float nearZ, float farZ, float aspect);
// Viewport transform around a centre (y axis pointing down); 0
int BuildViewportTransform(RowMatrix4 *out, float centreX, float centreY, float width, float height);
// Left-handed view matrix looking from eye at target; 0
int BuildLookAtViewMatrix(RowMatrix4 *out, const XyzVector *eye, const XyzVector *target, const XyzVector *up);
// Screen size whose height / width is the default aspect (0.75 when either is 0); 0
int SetProjectionScreenSize(int width, int height);
// The size last stored by SetProjectionScreenSize
void GetProjectionScreenSize(int *width, int *height);

} // namespace Korvo
