// Transforms, viewport, projection and camera of 3-D drawing. Every matrix that
// goes to the device also goes, transposed, into the vertex-shader constants.
#pragma once

#include "core/korvo_types.h"
#include "core/math/vector_math.h"
#include "graphics/device/d3d9_types.h"

namespace Korvo {

struct CameraState {
    XyzVector position;
    XyzVector target;
    XyzVector up;
    RowMatrix4 view;
    float verticalAngle;
    float horizontalAngle;
    float twistAngle;
    float screenCentreX;
    float screenCentreY;
};

struct TransformState {
    RowMatrix4 areaViewport;          // viewport transform of the DrawArea
    RowMatrix4 areaViewportInverse;
    int targetWidth;                  // of the selected draw target
    int targetHeight;
    CameraState camera;
    RowMatrix4 viewProjectionViewport; // view x projection x viewport matrix
    RowMatrix4 worldViewProjectionViewport;
    RowMatrix4 worldViewProjectionViewportInverse;
    int combinedValid;
    int inverseValid;
};

extern TransformState Transforms;

int SetWorldMatrix(const RowMatrix4 *matrix);
int SetViewMatrix(const RowMatrix4 *matrix);
int SetProjectionMatrix(const RowMatrix4 *matrix);
int SetViewportMatrix(const RowMatrix4 *matrix);
// Device halves: SetTransform and the shader constants (no flush, nothing stored)
void SetWorldTransformDevice(const RowMatrix4 *matrix);
void SetViewTransformDevice(const RowMatrix4 *matrix);
void SetProjectionTransformDevice(const RowMatrix4 *matrix);
// Projection from the projection settings of DrawSettings; 0
int RebuildProjectionMatrix();
int SetProjectionNearFar(float nearZ, float farZ);
int SetPerspectiveFov(float radians);
int SetProjectionMatrixDirect(const RowMatrix4 *matrix);
int SetProjectionAspectFactor(float factor);
// View matrix from a camera position, target and up vector; 0
int SetCameraPositionTargetUp(XyzVector position, XyzVector target, XyzVector up);
// Screen centre of the camera; the viewport matrix follows; 0
int SetCameraScreenCentre(float x, float y);
// Viewport through the cache; 0, or -1 without a device or when the device refuses it
int ApplyViewport(const K_D3DVIEWPORT9 *viewport);
int ApplyViewportRect(int x1, int y1, int x2, int y2);
// Scissor rectangle through the cache; 0 or -1 without a device
int ApplyScissorRect(const RECT *rect);
// Recompute the combined matrices when stale
void RefreshCombinedMatrices();
// A screen point at a depth (0..1) back in world space; out
XyzVector *ConvertScreenPointToWorld(XyzVector *out, float x, float y, float depth);
// Transforms of a new draw target of that size (projection, world, viewport, camera)
void ResetTransformsForTarget(int width, int height);
// Area viewport of a DrawArea and the projection sent with it
void ApplyDrawAreaTransform(const RECT *area);
// Send world, view, projection and viewport transforms again (device reset)
void RestoreTransformsToDevice();

} // namespace Korvo

namespace Korvo {

// Draw a grid of 2-D textured vertices (28 bytes each) as one triangle strip,
// in pieces of at most 1000 indices; 0, or -1 for fewer than 2 per row or 2 rows,
// or a row pair longer than one piece
int DrawVertexGridStrips(int perRow, const void *vertices, int rows);

} // namespace Korvo
