// COM for the library's own use (multithreaded apartment), through the
// run-time "ole32.dll" entries.

#include "core/system/com_library.h"
#include "core/system/win32/window_state.h"

#include "core/log/error_log.h"
#include "core/system/platform_libraries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// CoInitializeEx (multithreaded); a missing entry counts as failure
int StartComLibrary()
{
    if (WindowState.comStarted != 0) {
        return -1;
    }
    AppendLogText("ＣＯＭの初期化... ");
    if (PlatformLibraries.ole32.CoInitializeEx == nullptr ||
        PlatformLibraries.ole32.CoInitializeEx(nullptr, COINIT_MULTITHREADED) < 0) {
        AppendLogText("ＣＯＭの初期化に失敗しました\n");
        return -1;
    }
    AppendLogText("成功しました\n");
    WindowState.comStarted = 1;
    return 0;
}

// CoUninitialize
int EndComLibrary()
{
    if (WindowState.comStarted == 0) {
        return -1;
    }
    if (PlatformLibraries.ole32.CoUninitialize != nullptr) {
        PlatformLibraries.ole32.CoUninitialize();
    }
    AppendLogText("ＣＯＭを終了... 完了\n");
    WindowState.comStarted = 0;
    return 0;
}

} // namespace Korvo
