// Projection, viewport and view matrices for the left-handed row-vector system.
#include "core/math/vector_math.h"

#include <cmath>

namespace Korvo {

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

static int g_projectionScreenWidth = 0;
static int g_projectionScreenHeight = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static double DefaultAspect()
{
    if (g_projectionScreenWidth == 0 || g_projectionScreenHeight == 0)
        return 0.75;
    return static_cast<double>(g_projectionScreenHeight) / g_projectionScreenWidth;
}

static void ClearMatrix(RowMatrix4 *out)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out->m[r][c] = 0.0f;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Perspective projection
int BuildPerspectiveProjection(RowMatrix4 *out, float fieldOfView, float nearZ, float farZ, float aspect)
{
    const double useAspect = aspect < 0.0f ? DefaultAspect() : static_cast<double>(aspect);
    const double s = std::sin(fieldOfView / 2.0);
    const double c = std::cos(fieldOfView / 2.0);
    const double depth = static_cast<double>(farZ) - nearZ;
    if (std::fabs(depth) < 0.0001 || std::fabs(s) < 0.0001)
        return -1;
    const double cotangent = c / s;
    const float depthScale = static_cast<float>(farZ / depth);
    ClearMatrix(out);
    out->m[0][0] = static_cast<float>(useAspect * cotangent);
    out->m[1][1] = static_cast<float>(cotangent);
    out->m[2][2] = depthScale;
    out->m[2][3] = 1.0f;
    out->m[3][2] = static_cast<float>(-static_cast<double>(nearZ) * depthScale);
    return 0;
}

// Orthographic projection of the given height
int BuildOrthoProjection(RowMatrix4 *out, float height, float nearZ, float farZ, float aspect)
{
    const double useAspect = aspect < 0.0f ? DefaultAspect() : static_cast<double>(aspect);
    if (std::fabs(static_cast<double>(nearZ) - farZ) < 0.0001)
        return -1;
    ClearMatrix(out);
    out->m[0][0] = static_cast<float>(2.0 / (height / useAspect));
    out->m[1][1] = static_cast<float>(2.0 / height);
    out->m[2][2] = static_cast<float>(1.0 / (static_cast<double>(farZ) - nearZ));
    out->m[3][2] = static_cast<float>(nearZ / (static_cast<double>(nearZ) - farZ));
    out->m[3][3] = 1.0f;
    return 0;
}

// Viewport transform around a centre
int BuildViewportTransform(RowMatrix4 *out, float centreX, float centreY, float width, float height)
{
    ClearMatrix(out);
    out->m[0][0] = width / 2.0f;
    out->m[1][1] = -height / 2.0f;
    out->m[2][2] = 1.0f;
    out->m[3][3] = 1.0f;
    out->m[3][0] = centreX;
    out->m[3][1] = centreY;
    return 0;
}

// Left-handed view matrix looking from eye at target
int BuildLookAtViewMatrix(RowMatrix4 *out, const XyzVector *eye, const XyzVector *target, const XyzVector *up)
{
    XyzVector d, x, y;
    SubtractXyzVectors(&d, target, eye);
    ComputeXyzCrossProduct(&x, up, &d);
    ComputeXyzCrossProduct(&y, &d, &x);
    NormalizeXyzVector(&x, &x);
    NormalizeXyzVector(&y, &y);
    NormalizeXyzVector(&d, &d);

    const XyzVector axes[3] = {x, y, d};
    for (int c = 0; c < 3; ++c) {
        out->m[0][c] = axes[c].x;
        out->m[1][c] = axes[c].y;
        out->m[2][c] = axes[c].z;
        out->m[3][c] = -ComputeXyzDotProduct(&axes[c], eye);
    }
    out->m[0][3] = 0.0f;
    out->m[1][3] = 0.0f;
    out->m[2][3] = 0.0f;
    out->m[3][3] = 1.0f;
    return 0;
}

// Screen size whose height / width is the default aspect
int SetProjectionScreenSize(int width, int height)
{
    g_projectionScreenWidth = width;
    g_projectionScreenHeight = height;
    return 0;
}

// The size last stored by SetProjectionScreenSize
void GetProjectionScreenSize(int *width, int *height)
{
    *width = g_projectionScreenWidth;
    *height = g_projectionScreenHeight;
}

} // namespace Korvo
