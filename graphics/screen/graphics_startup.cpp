// Starting and ending the graphics module: screen defaults, DirectX (or the
// software road), the handle kinds of graphics, the draw state and the tables.

#include "core/public_api.h"
#include "core/log/error_log.h"
#include "core/memory/handle_manager.h"
#include "core/system/window_state.h"
#include "core/math/vector_math.h"
#include "graphics/draw/buffer_handles.h"
#include "graphics/device/device_rebuild_hooks.h"
#include "graphics/shading/builtin_shader_archives.h"
#include "graphics/screen/device_startup.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"
#include "graphics/filters/filter_device_passes.h"
#include "graphics/filters/filter_operation.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/state/light_table.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/draw/masks.h"
#include "graphics/device/screen_request.h"
#include "graphics/state/shader_constants.h"
#include "graphics/shading/shader_handles.h"
#include "graphics/startup_entries.h"
#include "image/pixel_access.h"
#include "image/public_api.h"
#include "softraster/draw_state.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Screen size and depth defaults, and the doubled 320x240 full-screen mode.
static void SettleScreenMode()
{
    if (GraphicsState.mainWidth == 0 || GraphicsState.mainHeight == 0) {
        StoreMainScreenSize(640, 480);
        if (Window640x480RequestFlag != 0 || DoubledScreenModeFlag != 0) {
            GraphicsState.virtualWidth = 320;
            GraphicsState.virtualHeight = 240;
            SetProjectionScreenSize(320, 240);
        }
    }
    if (GraphicsState.bitsPerPixel == 0) {
        StoreScreenDepth(16);
    }
    if (GraphicsState.mainWidth == 320 && GraphicsState.mainHeight == 240 && GetWindowedModeState() == 0) {
        DoubledScreenModeFlag = 1;
        StoreMainScreenSize(640, 480);
    }
}

// Whether a filter's shader pass may render into the graph it reads: invert four
// known colours in place on an 8x8 graph and read them back. 1 when every channel
// came back as its inverse (the two sum to 255, one step either way allowed).
static int CheckFilterRendersInPlace()
{
    static const int kDiagonal[4][3] = {{204, 168, 80}, {128, 100, 245}, {66, 222, 143}, {34, 255, 78}};
    GraphCreateSettings settings;
    CaptureGraphCreateSettings(&settings);
    settings.drawable = 1;
    settings.drawableAlpha = 0;
    const int graph = CreateBlankGraphFromSettings(&settings, 8, 8, 0, 0, nullptr);
    RasterImage written = {};
    RasterImage read = {};
    int usable = 0;
    if (graph > 0 && AllocXrgb32Image(8, 8, &written) == 0 && AllocXrgb32Image(8, 8, &read) == 0) {
        for (int i = 0; i < 4; ++i) {
            WriteImagePixelRgba(&written, i, i, kDiagonal[i][0], kDiagonal[i][1], kDiagonal[i][2], 255);
        }
        UploadImagesToGraph(&written, nullptr, 0, 0, graph, 0, nullptr);
        GraphicsState.filterInPlaceUsable = 1;
        ApplyGraphFilter(graph, GRAPH_FILTER_INVERT);
        GraphicsState.filterInPlaceUsable = 0;
        const RECT whole = {0, 0, 8, 8};
        RasterImage locked = {};
        if (LockDrawScreenBuffer(&whole, &locked, graph, 1, 0) == 0) {
            BlitWholeImageAt(0, 0, &locked, &read);
            UnlockDrawScreenBuffer();
            usable = 1;
            for (int i = 0; i < 4; ++i) {
                int rgb[3] = {0, 0, 0};
                ReadImagePixelRgba(&read, i, i, &rgb[0], &rgb[1], &rgb[2], nullptr);
                for (int c = 0; c < 3; ++c) {
                    const int sum = kDiagonal[i][c] + rgb[c];
                    if (sum < 254 || sum > 256) {
                        usable = 0;
                    }
                }
            }
        }
    }
    if (graph > 0) {
        DestroyGraphHandle(graph, 0);
    }
    FreeImageRecord(&written);
    FreeImageRecord(&read);
    return usable;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Start graphics; 0, or -1 when DirectX could not start at all
int StartupGraphicsSystem()
{
    if (GraphicsState.started != 0) {
        return 0;
    }
    SetFrontScreenRefreshStarter(StartFrontScreenRefresh);
    SettleScreenMode();
    InitShaderConstantSet();
    if (StartDirectXSystem() == -1) {
        ShutdownGraphicsSystem();
        return -1;
    }
    InitGraphHandleType();
    InitShaderHandleType();
    InitBufferHandleTypes();
    InitMaskModule();
    GraphicsState.started = 1;
    if (GraphicsState.direct3DModeActive != 0) {
        InitDeviceStates();
    } else {
        CreateSoftwareScreen();
    }
    ResetDrawSettings();
    BuildMemImgLookupTables();
    ReapplyDeviceStates();
    GraphicsState.filterInPlaceUsable = 0;
    if (GraphicsState.direct3DModeActive != 0 && GraphicsState.programmableShader != 0) {
        GraphicsState.filterInPlaceUsable = CheckFilterRendersInPlace();
    }
    return 0;
}

// End graphics; 0
int ShutdownGraphicsSystem()
{
    if (GraphicsState.started == 0) {
        return 0;
    }
    EndMaskModule();
    // Records above graphics (models) hold graphs and device buffers: they go first.
    RunGraphicsHandleDeleteHooks();
    DeleteHandlesOfType(HANDLE_KIND_GRAPH, nullptr);
    DeleteHandlesOfType(HANDLE_KIND_VERTEX_BUFFER, nullptr);
    DeleteHandlesOfType(HANDLE_KIND_INDEX_BUFFER, nullptr);
    DeleteHandlesOfType(HANDLE_KIND_SHADER, nullptr);
    DeleteEveryLight();
    EndDirectXSystem();
    CloseBuiltinShaderArchives();
    GraphicsState.direct3DModeActive = 0;
    DisposeSoftwareScreen();
    FreeDrawVertexScratch();
    TermBufferHandleTypes();
    TermShaderHandleType();
    TermGraphHandleType();
    // A restarted library must not find the old work graphs and filter shaders.
    ClearFilterDeviceCaches();
    ClearFilterTableGraph();
    GraphicsState.started = 0;
    return 0;
}

} // namespace Korvo
