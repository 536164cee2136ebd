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
#include "graphics/filters/filter_in_place_check.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/state/light_table.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/draw/masks.h"
#include "graphics/device/screen_request.h"
#include "graphics/state/shader_constants.h"
#include "graphics/shading/shader_handles.h"
#include "graphics/startup_entries.h"
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
