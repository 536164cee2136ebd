// Selecting the draw target (a screen or a drawable graph), the other render-target
// slots and the depth buffer that goes with the target, clearing it, and the
// software screen.

#include "graphics/draw/draw_target.h"

#include "core/log/fatal_error.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/device/draw_settings.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/draw/masks.h"
#include "graphics/device/screen_request.h"
#include "graphics/state/transforms.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

MEMIMG SoftwareScreen = {};
static int TargetWidth = 0;
static int TargetHeight = 0;
// Slot 0 is the draw target itself (Draw.selectedDrawTarget); the others hold a graph or -1.
static int ExtraTargetSlots[kRenderTargetSlotCount] = {-1, -1, -1, -1, -1, -1, -1, -1,
                                                       -1, -1, -1, -1, -1, -1, -1, -1};
static int DepthBufferGraph = -2;
static K_IDirect3DSurface9 *SlotSurfaces[kRenderTargetSlotCount] = {};
static int ForceSurfaceSet = 0;
static K_IDirect3DSurface9 *CurrentDepthSurface = nullptr;
static FrontScreenRefreshStarter FrontRefreshStarter = nullptr;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool IsScreenTarget(int target)
{
    return target >= -5 && target <= -2;
}

static bool DeviceReady()
{
    return GraphicsState.direct3DModeActive != 0 && G_D3D_HasDevice() != 0;
}

// The background colour as a pixel of a software image.
static uint32_t PackBackgroundFor(const MEMIMG *image)
{
    uint32_t r = static_cast<uint32_t>(GraphicsState.backgroundRed);
    uint32_t g = static_cast<uint32_t>(GraphicsState.backgroundGreen);
    uint32_t b = static_cast<uint32_t>(GraphicsState.backgroundBlue);
    if (image != nullptr && image->body != nullptr && image->body->pixelKind == MEMIMG_KIND_RGB565) {
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    }
    return (r << 16) | (g << 8) | b;
}

// The first texture piece of a Direct3D graph, or null.
static GraphTexturePiece *FirstPieceOf(const GraphRecord *record)
{
    if (record == nullptr || record->imageSet == nullptr || record->imageSet->params.deviceTexture == 0 ||
        record->imageSet->pieceCount <= 0) {
        return nullptr;
    }
    return &record->imageSet->pieces[0];
}

// The surface drawing into a piece goes to: its multisample surface, else level 0.
static K_IDirect3DSurface9 *PieceTargetSurface(const GraphTexturePiece *piece)
{
    if (piece == nullptr) {
        return nullptr;
    }
    return piece->multiSampleSurface != nullptr ? piece->multiSampleSurface : piece->surface;
}

// The screens draw into the sub back buffer once one exists.
static K_IDirect3DSurface9 *ScreenDrawSurface()
{
    return ScreenSubBackBuffer != nullptr ? ScreenSubBackBuffer : ScreenTargetSurface;
}

// Copy what was drawn into a graph's multisample surface onto its texture.
static void ResolveGraphTarget(int handle)
{
    if (IsScreenTarget(handle)) {
        return;
    }
    GraphRecord *record = GetGraphRecord(handle, 1);
    GraphTexturePiece *piece = FirstPieceOf(record);
    if (piece != nullptr) {
        ResolveMultisampleSurface(piece);
    }
}

static bool SurfaceSize(K_IDirect3DSurface9 *surface, int *width, int *height)
{
    K_D3DSURFACE_DESC desc = {};
    if (surface == nullptr || D3DSurf_GetDesc(surface, &desc) < 0) {
        return false;
    }
    *width = static_cast<int>(desc.Width);
    *height = static_cast<int>(desc.Height);
    return true;
}

// The depth surface of the depth-buffer graph when it covers width x height, else null.
static K_IDirect3DSurface9 *DepthGraphSurfaceCovering(int width, int height)
{
    GraphRecord *depth = DepthBufferGraph >= 0 ? GetGraphRecord(DepthBufferGraph, 0) : nullptr;
    GraphTexturePiece *piece = FirstPieceOf(depth);
    if (piece == nullptr || piece->depthSurface == nullptr || depth->width < width || depth->height < height) {
        return nullptr;
    }
    return piece->depthSurface;
}

// The depth surface that matches the current target.
static K_IDirect3DSurface9 *ChooseDepthSurface()
{
    if (Masks.active != 0) {
        return ScreenDepthSurface;
    }
    const int target = Draw.selectedDrawTarget;
    if (IsScreenTarget(target)) {
        K_IDirect3DSurface9 *graphDepth = DepthGraphSurfaceCovering(TargetWidth, TargetHeight);
        return graphDepth != nullptr ? graphDepth : ScreenDepthSurface;
    }
    GraphRecord *record = GetGraphRecord(target, 0);
    if (record == nullptr) {
        return ScreenDepthSurface;
    }
    K_IDirect3DSurface9 *graphDepth = DepthGraphSurfaceCovering(record->width, record->height);
    if (graphDepth != nullptr) {
        return graphDepth;
    }
    GraphTexturePiece *piece = FirstPieceOf(record);
    if (piece != nullptr && piece->depthSurface != nullptr) {
        return piece->depthSurface;
    }
    // A depth surface smaller than the render target would make the device refuse draws.
    int depthWidth = 0;
    int depthHeight = 0;
    int targetWidth = 0;
    int targetHeight = 0;
    if (SurfaceSize(ScreenDepthSurface, &depthWidth, &depthHeight) &&
        SurfaceSize(PieceTargetSurface(piece), &targetWidth, &targetHeight) && targetWidth <= depthWidth &&
        targetHeight <= depthHeight) {
        return ScreenDepthSurface;
    }
    return nullptr;
}

// Set the depth surface for the current target on the device.
void ApplyDrawTargetDepthBuffer()
{
    if (!DeviceReady()) {
        return;
    }
    CurrentDepthSurface = ChooseDepthSurface();
    D3DDev_SetDepthStencilSurface(CurrentDepthSurface);
}

// A graph that can be selected as a target, or null.
static GraphRecord *DrawableTargetRecord(int handle)
{
    GraphRecord *record = GetGraphRecord(handle, 0);
    if (record == nullptr || record->imageSet == nullptr || record->imageSet->params.drawable == 0) {
        return nullptr;
    }
    if (record->imageSet->params.deviceTexture != 0) {
        return PieceTargetSurface(FirstPieceOf(record)) != nullptr ? record : nullptr;
    }
    // The software rasteriser draws into images without an alpha plane only.
    MEMIMG *image = GetGraphMemImg(record);
    if (image == nullptr || IsMemImgValid(image) == 0 || image->body->hasAlpha != 0) {
        return nullptr;
    }
    return record;
}

// A deleted graph leaves every slot and the depth buffer it was in.
static void ForgetDeletedTarget(int handle)
{
    if (Draw.selectedDrawTarget == handle) {
        SelectDrawTarget(-4);
    }
    for (int slot = 1; slot < kRenderTargetSlotCount; ++slot) {
        if (ExtraTargetSlots[slot] == handle) {
            SetRenderTargetSlot(slot, -1);
        }
    }
    if (DepthBufferGraph == handle) {
        SetDrawZBufferGraph(-2);
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// A screen or a drawable graph becomes the draw target; a refused target changes nothing
int SelectDrawTarget(int target)
{
    if (GraphicsState.started == 0) {
        return -1;
    }
    GraphRecord *record = nullptr;
    if (!IsScreenTarget(target)) {
        record = DrawableTargetRecord(target);
        if (record == nullptr) {
            return -1;
        }
    }
    SetGraphDeleteListener(ForgetDeletedTarget);
    WaitWhileAppInactive();
    int masking = IsMaskScreenEnabled();
    if (masking != 0) {
        EnableMaskScreen(0);
    }
    int width = 0;
    int height = 0;
    if (record != nullptr) {
        width = record->width;
        height = record->height;
    } else {
        GetMainScreenSize(&width, &height);
    }
    const int previous = Draw.selectedDrawTarget;
    Draw.selectedDrawTarget = target;
    bool sameSize = width == TargetWidth && height == TargetHeight;
    TargetWidth = width;
    TargetHeight = height;
    if (DeviceReady()) {
        FlushStagedVertices(0);
        G_D3D_EndSceneIfBegun();
        ResolveGraphTarget(previous);
        K_IDirect3DSurface9 *surface = record != nullptr ? PieceTargetSurface(FirstPieceOf(record))
                                                         : ScreenDrawSurface();
        SetRenderTargetSurface(surface, 0);
        ApplyDrawTargetDepthBuffer();
    }
    if (FrontRefreshStarter != nullptr) {
        FrontRefreshStarter(target == -4 ? 1 : 0);
    }
    ResetTransformsForTarget(width, height);
    ApplyDrawArea(sameSize ? Draw.drawArea : RECT{0, 0, width, height});
    if (masking != 0) {
        EnableMaskScreen(masking);
    }
    return 0;
}

int GetSelectedDrawTarget()
{
    return Draw.selectedDrawTarget;
}

int SetFrontScreenRefreshStarter(FrontScreenRefreshStarter starter)
{
    FrontRefreshStarter = starter;
    return 0;
}

int GetDrawTargetSize(int *width, int *height)
{
    if (IsScreenTarget(Draw.selectedDrawTarget)) {
        return GetMainScreenSize(width, height);
    }
    if (GetGraphRecord(Draw.selectedDrawTarget, 1) == nullptr) {
        return -1;
    }
    *width = TargetWidth;
    *height = TargetHeight;
    return 0;
}

MEMIMG *GetDrawTargetGraphMemImg()
{
    if (IsScreenTarget(Draw.selectedDrawTarget)) {
        return nullptr;
    }
    return GetGraphMemImg(GetGraphRecord(Draw.selectedDrawTarget, 0));
}

MEMIMG *GetTargetMemImg(int target)
{
    if (target == Draw.selectedDrawTarget) {
        return GetDrawTargetMemImg();
    }
    if (IsScreenTarget(target)) {
        return IsMemImgValid(&SoftwareScreen) != 0 ? &SoftwareScreen : nullptr;
    }
    return GetGraphMemImg(GetGraphRecord(target, 0));
}

int GetTargetSize(int target, int *width, int *height)
{
    if (IsScreenTarget(target)) {
        return GetMainScreenSize(width, height);
    }
    GraphRecord *record = GetGraphRecord(target, 0);
    if (record == nullptr) {
        return -1;
    }
    *width = record->width;
    *height = record->height;
    return 0;
}

K_IDirect3DSurface9 *GetDrawTargetSurface(int target, int pieceIndex)
{
    if (IsScreenTarget(target)) {
        return ScreenDrawSurface();
    }
    GraphRecord *record = GetGraphRecord(target, 0);
    if (record == nullptr || record->imageSet == nullptr || record->imageSet->params.deviceTexture == 0 ||
        pieceIndex < 0 || pieceIndex >= record->imageSet->pieceCount) {
        return nullptr;
    }
    return PieceTargetSurface(&record->imageSet->pieces[pieceIndex]);
}

int SetRenderTargetSurface(K_IDirect3DSurface9 *surface, int slot)
{
    if (G_D3D_HasDevice() == 0 || slot < 0 || slot >= kRenderTargetSlotCount) {
        return -1;
    }
    if (SlotSurfaces[slot] == surface && ForceSurfaceSet == 0) {
        return 0;
    }
    FlushStagedVertices(0);
    D3DDev_SetRenderTarget(static_cast<DWORD>(slot), surface);
    SlotSurfaces[slot] = surface;
    if (slot == 0) {
        ForceSurfaceSet = 0;
        int width = 0;
        int height = 0;
        if (SurfaceSize(surface, &width, &height)) {
            ApplyViewportRect(0, 0, width, height);
        }
    }
    return 0;
}

void ForgetRenderTargetSurfaces()
{
    for (K_IDirect3DSurface9 *&surface : SlotSurfaces) {
        surface = nullptr;
    }
    CurrentDepthSurface = nullptr;
    ForceSurfaceSet = 1;
}

int SetRenderTargetSlot(int slot, int target)
{
    if (slot == 0) {
        return SelectDrawTarget(target);
    }
    if (slot < 0 || slot >= kRenderTargetSlotCount || slot >= DeviceCaps.renderTargetCount || !DeviceReady()) {
        return -1;
    }
    GraphRecord *record = nullptr;
    if (GetGraphRecord(target, 0) != nullptr) {
        record = DrawableTargetRecord(target);
        if (record == nullptr || record->imageSet->params.deviceTexture == 0) {
            return -1;
        }
    }
    FlushStagedVertices(0);
    G_D3D_EndSceneIfBegun();
    if (ExtraTargetSlots[slot] >= 0) {
        ResolveGraphTarget(ExtraTargetSlots[slot]);
    }
    ExtraTargetSlots[slot] = record != nullptr ? target : -1;
    return SetRenderTargetSurface(record != nullptr ? PieceTargetSurface(FirstPieceOf(record)) : nullptr, slot);
}

int GetRenderTargetSlot(int slot)
{
    if (slot == 0) {
        return Draw.selectedDrawTarget;
    }
    return slot > 0 && slot < kRenderTargetSlotCount ? ExtraTargetSlots[slot] : -1;
}

int SetDrawZBufferGraph(int handle)
{
    GraphRecord *record = GetGraphRecord(handle, 0);
    if (record != nullptr) {
        GraphTexturePiece *piece = FirstPieceOf(record);
        if (record->imageSet->params.drawable == 0 || piece == nullptr || piece->depthSurface == nullptr) {
            return -1;
        }
    }
    DepthBufferGraph = record != nullptr ? handle : -2;
    if (DeviceReady()) {
        FlushStagedVertices(0);
        ApplyDrawTargetDepthBuffer();
    }
    return 0;
}

int GetDrawZBufferGraph()
{
    return DepthBufferGraph;
}

K_IDirect3DSurface9 *GetCurrentDepthSurface()
{
    return CurrentDepthSurface;
}

int ResolveMultisampleSurface(GraphTexturePiece *piece)
{
    if (piece == nullptr || piece->multiSampleSurface == nullptr || piece->surface == nullptr ||
        G_D3D_HasDevice() == 0) {
        return 0;
    }
    return D3DDev_StretchRect(piece->multiSampleSurface, nullptr, piece->surface, nullptr, K_D3DTEXF_NONE) < 0 ? -1
                                                                                                               : 0;
}

int SetDrawAreaToWholeTarget()
{
    if (GetDrawTargetSize(&TargetWidth, &TargetHeight) != 0) {
        GetMainScreenSize(&TargetWidth, &TargetHeight);
    }
    return ApplyDrawArea(RECT{0, 0, TargetWidth, TargetHeight});
}

// Software: fill the target image; Direct3D: clear the render target (and its Z)
int FillDrawTargetWithBackground(const RECT *rect)
{
    if (rect != nullptr && (rect->left < 0 || rect->top < 0)) {
        rect = nullptr;
    }
    if (GraphicsState.direct3DModeActive == 0) {
        // The target itself, also while masking draws into the mask screen.
        MEMIMG *image = GetDrawTargetGraphMemImg();
        if (image == nullptr) {
            image = &SoftwareScreen;
        }
        if (image != nullptr && IsMemImgValid(image) != 0) {
            FillMemImgRectRaw(image, rect, PackBackgroundFor(image));
        }
        return 0;
    }
    if (G_D3D_HasDevice() == 0) {
        return 0;
    }
    FlushStagedVertices(0);
    G_D3D_EndSceneIfBegun();
    // While masking, the clear goes to the real target, not to the mask screen.
    const bool masking = Masks.active != 0 && Masks.screenSurface != nullptr;
    if (masking) {
        SetRenderTargetSurface(GetDrawTargetSurface(Draw.selectedDrawTarget, 0), 0);
    }
    ApplyViewportRect(0, 0, TargetWidth, TargetHeight);
    K_D3DCOLOR colour = (static_cast<K_D3DCOLOR>(GraphicsState.backgroundRed) << 16) |
                        (static_cast<K_D3DCOLOR>(GraphicsState.backgroundGreen) << 8) |
                        static_cast<K_D3DCOLOR>(GraphicsState.backgroundBlue);
    D3DDev_Clear(rect != nullptr ? 1 : 0, rect, K_D3DCLEAR_TARGET, colour, 1.0f, 0);
    // Only a depth surface that is set can be cleared (a graph target may have none).
    if (CurrentDepthSurface != nullptr) {
        D3DDev_Clear(rect != nullptr ? 1 : 0, rect, K_D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    }
    if (masking) {
        SetRenderTargetSurface(Masks.screenSurface, 0);
    }
    const RECT &area = Draw.drawArea;
    ApplyViewportRect(area.left, area.top, area.right, area.bottom);
    return 0;
}

int CreateSoftwareScreen()
{
    int width = 0;
    int height = 0;
    GetMainScreenSize(&width, &height);
    DisposeSoftwareScreen();
    if (CreateScreenMemImg(&SoftwareScreen, width, height, -1) != 0) {
        AbortWithFatalError("プライマリサーフェス用の MEMIMG の作成に失敗しました\n");
    }
    FillMemImgRectRaw(&SoftwareScreen, nullptr, PackBackgroundFor(&SoftwareScreen));
    return 0;
}

void DisposeSoftwareScreen()
{
    if (IsMemImgValid(&SoftwareScreen) != 0) {
        DisposeMemImg(&SoftwareScreen);
    }
}

} // namespace Korvo
