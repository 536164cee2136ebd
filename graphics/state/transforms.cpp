// World, view, projection and viewport matrices, the camera, the Direct3D
// viewport and the scissor rectangle.

#include "graphics/state/transforms.h"

#include "core/public_api.h"
#include "core/log/error_log.h"
#include "core/math/float_math.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/device/graphics_state.h"
#include "graphics/state/lighting_device.h"
#include "graphics/state/shader_constants.h"

#include <cmath>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and module globals
// ---------------------------------------------------------------------------

// Vertex-shader registers of the transposed matrices.
constexpr int kWorldRegister = 94;
constexpr int kViewRegister = 6;
constexpr int kProjectionRegister = 2;

TransformState Transforms = {};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void SendTransform(UINT state, int firstRegister, const RowMatrix4 *matrix)
{
    if (G_D3D_HasDevice() != 0) {
        D3DDev_SetTransform(state, reinterpret_cast<const K_D3DMATRIX *>(matrix));
    }
    RowMatrix4 transposed;
    BuildTransposedMatrix(&transposed, matrix);
    StoreShaderConstants(SHADER_FILE_VERTEX_FLOAT, 0, firstRegister, &transposed, 4, 1);
}

// projection x viewport matrix x inverse area viewport: pixel-space set-ups draw
// correctly inside any DrawArea.
static void SendDeviceProjection()
{
    RowMatrix4 product;
    BuildMatrixProduct(&product, &StateCache.projection, &StateCache.viewportMatrix);
    BuildMatrixProduct(&product, &product, &Transforms.areaViewportInverse);
    SetProjectionTransformDevice(&product);
}

static void MarkCombinedStale()
{
    Transforms.combinedValid = 0;
    RefreshCombinedMatrices();
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int SetWorldMatrix(const RowMatrix4 *matrix)
{
    FlushStagedVertices(0);
    StateCache.world = *matrix;
    MarkCombinedStale();
    if (GraphicsState.direct3DModeActive != 0) {
        SetWorldTransformDevice(matrix);
    }
    return 0;
}

int SetViewMatrix(const RowMatrix4 *matrix)
{
    FlushStagedVertices(0);
    StateCache.view = *matrix;
    MarkCombinedStale();
    if (GraphicsState.direct3DModeActive != 0) {
        SetViewTransformDevice(matrix);
    }
    return 0;
}

int SetProjectionMatrix(const RowMatrix4 *matrix)
{
    FlushStagedVertices(0);
    StateCache.projection = *matrix;
    MarkCombinedStale();
    if (GraphicsState.direct3DModeActive != 0) {
        SendDeviceProjection();
    }
    return 0;
}

int SetViewportMatrix(const RowMatrix4 *matrix)
{
    FlushStagedVertices(0);
    StateCache.viewportMatrix = *matrix;
    MarkCombinedStale();
    if (GraphicsState.direct3DModeActive != 0) {
        SendDeviceProjection();
    }
    return 0;
}

void SetWorldTransformDevice(const RowMatrix4 *matrix)
{
    SendTransform(K_D3DTS_WORLD, kWorldRegister, matrix);
}

void SetViewTransformDevice(const RowMatrix4 *matrix)
{
    SendTransform(K_D3DTS_VIEW, kViewRegister, matrix);
    RefreshLightViewConstants(matrix);
}

void SetProjectionTransformDevice(const RowMatrix4 *matrix)
{
    SendTransform(K_D3DTS_PROJECTION, kProjectionRegister, matrix);
}

int RebuildProjectionMatrix()
{
    int width = Transforms.targetWidth > 0 ? Transforms.targetWidth : 640;
    int height = Transforms.targetHeight > 0 ? Transforms.targetHeight : 480;
    RowMatrix4 projection;
    if (Draw.projectionKind == 2) {
        projection = Draw.callerProjection;
    } else {
        float aspect = static_cast<float>(height) / static_cast<float>(width) * Draw.aspectFactor;
        int built = Draw.projectionKind == 1
                        ? BuildOrthoProjection(&projection, Draw.orthoHeight, Draw.projectionNear, Draw.projectionFar, aspect)
                        : BuildPerspectiveProjection(&projection, Draw.fieldOfView, Draw.projectionNear,
                                                     Draw.projectionFar, aspect);
        if (built != 0) {
            return 0;
        }
    }
    return SetProjectionMatrix(&projection);
}

int SetProjectionNearFar(float nearZ, float farZ)
{
    Draw.projectionNear = nearZ;
    Draw.projectionFar = farZ;
    return RebuildProjectionMatrix();
}

int SetPerspectiveFov(float radians)
{
    Draw.fieldOfView = radians;
    Draw.projectionKind = 0;
    return RebuildProjectionMatrix();
}

int SetProjectionMatrixDirect(const RowMatrix4 *matrix)
{
    Draw.callerProjection = *matrix;
    Draw.projectionKind = 2;
    return RebuildProjectionMatrix();
}

int SetProjectionAspectFactor(float factor)
{
    Draw.aspectFactor = factor;
    return RebuildProjectionMatrix();
}

// The view matrix, and the camera's angles read back from it
int SetCameraPositionTargetUp(XyzVector position, XyzVector target, XyzVector up)
{
    CameraState &camera = Transforms.camera;
    camera.position = position;
    camera.target = target;
    XyzVector direction;
    ComputeXyzDifference(&direction, &target, &position);
    XyzVector side;
    ComputeXyzCrossProduct(&side, &direction, &up);
    XyzVector newUp;
    ComputeXyzCrossProduct(&newUp, &side, &direction);
    NormalizeXyzVector(&newUp, &newUp);
    RowMatrix4 view;
    BuildLookAtViewMatrix(&view, &position, &target, &newUp);
    SetViewMatrix(&view);
    camera.view = view;
    camera.up = newUp;
    // Columns of the view matrix are the camera axes; the third is the viewing direction.
    float dx = view.m[0][2];
    float dy = view.m[1][2];
    float dz = view.m[2][2];
    if (std::fabs(dx) < 1e-8f && std::fabs(dz) < 1e-8f) {
        camera.horizontalAngle = 0.0f;
        camera.verticalAngle = dy > 0.0f ? -1.5707964f : 1.5707964f;
    } else {
        camera.horizontalAngle = GetArcTangent2Float(dx, dz);
        camera.verticalAngle = GetArcTangent2Float(-dy, std::sqrt(dx * dx + dz * dz));
    }
    camera.twistAngle = GetArcTangent2Float(view.m[0][1], view.m[1][1]);
    return 0;
}

int SetCameraScreenCentre(float x, float y)
{
    Transforms.camera.screenCentreX = x;
    Transforms.camera.screenCentreY = y;
    RowMatrix4 viewport;
    BuildViewportTransform(&viewport, x, y, static_cast<float>(Transforms.targetWidth) * Draw.cameraScale,
                           static_cast<float>(Transforms.targetHeight) * Draw.cameraScale);
    return SetViewportMatrix(&viewport);
}

int ApplyViewport(const K_D3DVIEWPORT9 *viewport)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    const K_D3DVIEWPORT9 &cached = StateCache.viewport;
    if (cached.X == viewport->X && cached.Y == viewport->Y && cached.Width == viewport->Width &&
        cached.Height == viewport->Height && StateCache.forceReapply == 0) {
        return 0;
    }
    if (StateCache.forceReapply == 0) {
        FlushStagedVertices(0);
    }
    G_D3D_EndSceneIfBegun();
    K_HRESULT result = D3DDev_SetViewport(viewport);
    if (result < 0) {
        AppendLogLineFormat("ビューポートのセットに失敗しました ErrorCode %x", static_cast<unsigned>(result));
        return -1;
    }
    StateCache.viewport = *viewport;
    return 0;
}

int ApplyViewportRect(int x1, int y1, int x2, int y2)
{
    K_D3DVIEWPORT9 viewport = {static_cast<DWORD>(x1), static_cast<DWORD>(y1), static_cast<DWORD>(x2 - x1),
                               static_cast<DWORD>(y2 - y1), 0.0f, 1.0f};
    return ApplyViewport(&viewport);
}

int ApplyScissorRect(const RECT *rect)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    const RECT &cached = StateCache.scissor;
    if (cached.left == rect->left && cached.top == rect->top && cached.right == rect->right &&
        cached.bottom == rect->bottom && StateCache.forceReapply == 0) {
        return 0;
    }
    if (StateCache.forceReapply == 0) {
        FlushStagedVertices(0);
    }
    G_D3D_EndSceneIfBegun();
    D3DDev_SetScissorRect(rect);
    StateCache.scissor = *rect;
    return 0;
}

void RefreshCombinedMatrices()
{
    if (Transforms.combinedValid != 0) {
        return;
    }
    BuildMatrixProduct(&Transforms.viewProjectionViewport, &StateCache.view, &StateCache.projection);
    BuildMatrixProduct(&Transforms.viewProjectionViewport, &Transforms.viewProjectionViewport,
                       &StateCache.viewportMatrix);
    BuildMatrixProduct(&Transforms.worldViewProjectionViewport, &StateCache.world, &Transforms.viewProjectionViewport);
    Transforms.inverseValid = 0;
    Transforms.combinedValid = 1;
}

XyzVector *ConvertScreenPointToWorld(XyzVector *out, float x, float y, float depth)
{
    RefreshCombinedMatrices();
    if (Transforms.inverseValid == 0) {
        BuildInverseMatrix(&Transforms.worldViewProjectionViewportInverse, &Transforms.worldViewProjectionViewport);
        Transforms.inverseValid = 1;
    }
    XyzVector in = {x, y, depth};
    float inW = 1.0f;
    float outW = 1.0f;
    ApplyMatrixToPoint4(out, &outW, &in, &inW, &Transforms.worldViewProjectionViewportInverse);
    if (outW != 0.0f) {
        out->x /= outW;
        out->y /= outW;
        out->z /= outW;
    }
    return out;
}

// Projection, world identity, area viewport, camera at the target's centre
void ResetTransformsForTarget(int width, int height)
{
    Transforms.targetWidth = width;
    Transforms.targetHeight = height;
    float w = static_cast<float>(width);
    float h = static_cast<float>(height);
    BuildViewportTransform(&Transforms.areaViewport, w / 2.0f, h / 2.0f, w, h);
    if (BuildInverseMatrix(&Transforms.areaViewportInverse, &Transforms.areaViewport) != 0) {
        BuildIdentityMatrix(&Transforms.areaViewportInverse);
    }
    RowMatrix4 identity;
    BuildIdentityMatrix(&identity);
    SetWorldMatrix(&identity);
    float distance = static_cast<float>(height / 2) / 0.57735026f;
    Draw.fieldOfView = 1.0471976f;
    Draw.projectionNear = 0.1f * distance;
    Draw.projectionFar = distance + 20000.0f;
    RebuildProjectionMatrix();
    SetCameraScreenCentre(w / 2.0f, h / 2.0f);
    XyzVector position = {w / 2.0f, h / 2.0f, -distance};
    XyzVector target = {w / 2.0f, h / 2.0f, -distance + 1.0f};
    XyzVector up = {0.0f, 1.0f, 0.0f};
    SetCameraPositionTargetUp(position, target, up);
}

// The area viewport follows a new DrawArea, so pixel-space drawing keeps its place
void ApplyDrawAreaTransform(const RECT *area)
{
    float w = static_cast<float>(area->right - area->left);
    float h = static_cast<float>(area->bottom - area->top);
    BuildViewportTransform(&Transforms.areaViewport, static_cast<float>(area->left) + w / 2.0f,
                           static_cast<float>(area->top) + h / 2.0f, w, h);
    if (BuildInverseMatrix(&Transforms.areaViewportInverse, &Transforms.areaViewport) != 0) {
        BuildIdentityMatrix(&Transforms.areaViewportInverse);
    }
    SendDeviceProjection();
}

void RestoreTransformsToDevice()
{
    SetWorldTransformDevice(&StateCache.world);
    SetViewTransformDevice(&StateCache.view);
    SendDeviceProjection();
}

} // namespace Korvo
