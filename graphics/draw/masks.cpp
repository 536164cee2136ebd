// Masks, the mask screen and the masked-draw brackets (the Direct3D pass is in
// mask_device_pass.cpp).

#include "graphics/draw/masks.h"

#include "core/log/fatal_error.h"
#include "core/memory/handle_manager.h"
#include "core/memory/tracked_alloc.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/device/draw_settings.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/screen_request.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and globals
// ---------------------------------------------------------------------------

constexpr int kMaxMaskHandles = 512;

// A mask record owns one data block.
struct MaskRecord {
    HandleRecordHeader header;
    uint8_t *data;
    int width;
    int height;
};

MaskState Masks = {};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int DeleteMaskRecordCallback(void *record)
{
    MaskRecord *mask = static_cast<MaskRecord *>(record);
    TrackedFree(mask->data);
    mask->data = nullptr;
    return 0;
}

// The rectangle clipped to the DrawArea; false when nothing is left.
static bool ClipToDrawArea(RECT *rect)
{
    const RECT &area = Draw.drawArea;
    rect->left = rect->left < area.left ? area.left : rect->left;
    rect->top = rect->top < area.top ? area.top : rect->top;
    rect->right = rect->right > area.right ? area.right : rect->right;
    rect->bottom = rect->bottom > area.bottom ? area.bottom : rect->bottom;
    return rect->left < rect->right && rect->top < rect->bottom;
}

// The rectangle clipped to a width and height from the origin; false when nothing is left.
static bool ClipToSize(RECT *rect, int width, int height)
{
    rect->left = rect->left < 0 ? 0 : rect->left;
    rect->top = rect->top < 0 ? 0 : rect->top;
    rect->right = rect->right > width ? width : rect->right;
    rect->bottom = rect->bottom > height ? height : rect->bottom;
    return rect->left < rect->right && rect->top < rect->bottom;
}

// A graph target may be larger than the screen: the software brackets work on
// the part that the plane, the mask screen and the target all cover.
static bool ClipToMaskPlane(RECT *rect, const MEMIMG *target)
{
    if (IsMemImgValid(target) == 0 || IsMemImgValid(&Masks.screen) == 0 || Masks.plane == nullptr) {
        return false;
    }
    return ClipToSize(rect, Masks.planeWidth, Masks.planeHeight) &&
           ClipToSize(rect, Masks.screen.width, Masks.screen.height) && ClipToSize(rect, target->width, target->height);
}

// Copy mask-screen pixels into the target where the mask passes.
static void WriteBackThroughMask(MEMIMG *target, RECT rect)
{
    if (!ClipToMaskPlane(&rect, target)) {
        return;
    }
    int bytes = target->body->pixelKind == MEMIMG_KIND_RGB565 ? 2 : 4;
    int targetPitch = target->body->pitch;
    int maskPitch = Masks.screen.body->pitch;
    for (int y = rect.top; y < rect.bottom; ++y) {
        const uint8_t *gate = Masks.plane + y * Masks.planePitch;
        uint8_t *out = target->pixels + y * targetPitch;
        const uint8_t *in = Masks.screen.pixels + y * maskPitch;
        for (int x = rect.left; x < rect.right; ++x) {
            bool pass = Masks.reverse != 0 ? gate[x] != 0 : gate[x] == 0;
            if (pass) {
                std::memcpy(out + x * bytes, in + x * bytes, static_cast<size_t>(bytes));
            }
        }
    }
}

// The image the target draws into when masking is off.
static MEMIMG *UnmaskedTargetImage()
{
    int use = Masks.active;
    Masks.active = 0;
    MEMIMG *image = GetDrawTargetMemImg();
    Masks.active = use;
    return image;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int InitMaskModule()
{
    if (Masks.moduleReady != 0) {
        return -1;
    }
    RegisterHandleType(HANDLE_KIND_MASK, static_cast<int>(sizeof(MaskRecord)), kMaxMaskHandles, nullptr,
                       DeleteMaskRecordCallback, "マスク");
    Masks.moduleReady = 1;
    return 0;
}

int EndMaskModule()
{
    if (Masks.moduleReady == 0) {
        return -1;
    }
    Masks.use = 0;
    Masks.active = 0;
    ReleaseMaskScreenSurfaces();
    Masks.created = 0;
    DeleteHandlesOfType(HANDLE_KIND_MASK, nullptr);
    UnregisterHandleType(HANDLE_KIND_MASK);
    Masks.moduleReady = 0;
    return 0;
}

int CreateMaskScreenSurfaces(int flag)
{
    if (flag == 0) {
        return 0;
    }
    int width = 0;
    int height = 0;
    GetVirtualScreenSize(&width, &height);
    if (Masks.plane == nullptr) {
        Masks.planePitch = (width + 3) / 4 * 4;
        Masks.planeWidth = width;
        Masks.planeHeight = height;
        Masks.plane = static_cast<uint8_t *>(
            TrackedAllocZeroed(static_cast<size_t>(Masks.planePitch) * static_cast<size_t>(height), __FILE__, __LINE__));
    }
    if (GraphicsState.direct3DModeActive != 0) {
        CreateMaskDeviceSurfaces(width, height);
        return 0;
    }
    if (IsMemImgValid(&Masks.screen) == 0) {
        if (CreateScreenMemImg(&Masks.screen, width, height, -1) != 0) {
            AbortWithFatalError("マスク用 MEMIMG の作成に失敗しました");
        }
        Masks.screenMadeHere = 1;
    }
    return 0;
}

int ReleaseMaskScreenSurfaces()
{
    TrackedFree(Masks.plane);
    Masks.plane = nullptr;
    Masks.planeWidth = 0;
    Masks.planeHeight = 0;
    if (Masks.screenMadeHere != 0 && IsMemImgValid(&Masks.screen) != 0) {
        DisposeMemImg(&Masks.screen);
    }
    Masks.screenMadeHere = 0;
    ReleaseMaskDeviceSurfaces();
    return 0;
}

int IsMaskScreenEnabled()
{
    return Masks.use;
}

// Masking on or off; -1 without a mask screen
int EnableMaskScreen(int enable)
{
    if (Masks.moduleReady == 0 || Masks.plane == nullptr) {
        return -1;
    }
    CompletePendingMaskPass();
    Masks.use = enable != 0 ? 1 : 0;
    Masks.active = Masks.use != 0 && Masks.created != 0 ? 1 : 0;
    if (GraphicsState.direct3DModeActive != 0) {
        SelectMaskRenderTarget(Masks.active);
    }
    return 0;
}

int BeginMaskedDrawRect(RECT rect)
{
    CompletePendingMaskPass();
    Masks.nesting += 1;
    if (Masks.nesting != 1 || Masks.active == 0 || !ClipToDrawArea(&rect)) {
        return 0;
    }
    if (GraphicsState.direct3DModeActive != 0) {
        CopyTargetIntoMaskScreen(rect);
        return 0;
    }
    MEMIMG *target = UnmaskedTargetImage();
    if (ClipToMaskPlane(&rect, target)) {
        CopyMemImgRect(&Masks.screen, target, &rect, rect.left, rect.top);
    }
    return 0;
}

int EndMaskedDrawRect(RECT rect)
{
    if (Masks.nesting > 0) {
        Masks.nesting -= 1;
    }
    if (Masks.nesting != 0 || Masks.active == 0 || !ClipToDrawArea(&rect)) {
        return 0;
    }
    if (GraphicsState.direct3DModeActive != 0) {
        WriteMaskScreenBackOnDevice(rect);
        return 0;
    }
    WriteBackThroughMask(UnmaskedTargetImage(), rect);
    return 0;
}

int RestoreMaskScreen()
{
    if (Masks.moduleReady == 0) {
        return -1;
    }
    CreateMaskScreenSurfaces(Masks.created);
    if (Masks.use != 0) {
        EnableMaskScreen(1);
    }
    return 0;
}

void CompletePendingMaskPass()
{
    if (Masks.pendingPass != 0) {
        Masks.pendingPass = 0;
        EndMaskedDrawRect(Draw.drawArea);
    }
}

} // namespace Korvo
