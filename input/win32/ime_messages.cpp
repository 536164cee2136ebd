// The IME of the main window: composition string, cursor, clauses and
// attributes, the candidate list, switching the IME on and off, and restoring
// it after the window is activated again. Imm32 is reached through the entries
// the platform-library table loaded at run time.

#include "input/win32/window_message_entries.h"

#include "core/threads/clock.h"
#include "core/text/dbcs_string.h"
#include "core/log/error_log.h"
#include "core/log/fatal_error.h"
#include "core/public_api.h"
#include "core/system/window_state.h"
#include "core/system/platform_libraries.h"
#include "core/memory/tracked_alloc.h"
#include "core/system/win32/app_window.h"
#include "input/char_ring.h"
#include "input/startup_entries.h"
#include "input/text_input.h"
#include "input/win32/input_devices.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kWindowsVistaCode = 0x108;
constexpr uint64_t kOpenStatusPumpMicroseconds = 2000;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static int OpenStatusNotifyRunning;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static const Imm32Entries &Imm()
{
    return PlatformLibraries.imm32;
}

static bool HasImm()
{
    return Imm().ImmGetContext != nullptr && Imm().ImmReleaseContext != nullptr;
}

static void FreeCandidateList()
{
    ImeState &ime = TextInput.ime;
    if (ime.candidateList != nullptr) {
        TrackedFree(ime.candidateList);
    }
    ime.candidateList = nullptr;
    ime.candidateListSize = 0;
}

// Read one composition string into a buffer of capacity bytes, terminated; its byte count.
static int ReadCompositionBytes(HIMC context, DWORD which, void *buffer, int capacity)
{
    if (Imm().ImmGetCompositionStringA == nullptr) {
        return 0;
    }
    LONG got = Imm().ImmGetCompositionStringA(context, which, buffer, static_cast<DWORD>(capacity));
    return got < 0 ? 0 : (got > capacity ? capacity : static_cast<int>(got));
}

static void ReadCompositionText(HIMC context, DWORD which, char *text)
{
    int got = ReadCompositionBytes(context, which, text, kImeTextCapacity - 1);
    text[got] = 0;
}

static void OnComposition(HWND window, LPARAM flags)
{
    if (!HasImm()) {
        return;
    }
    ImeState &ime = TextInput.ime;
    HIMC context = Imm().ImmGetContext(window);
    if ((flags & GCS_COMPSTR) != 0) {
        ReadCompositionText(context, GCS_COMPSTR, ime.composition);
    }
    if ((flags & GCS_RESULTSTR) != 0) {
        char result[kImeTextCapacity];
        ReadCompositionText(context, GCS_RESULTSTR, result);
        for (int i = 0; result[i] != 0; ++i) {
            PushInputCharToBuffer(static_cast<unsigned char>(result[i]));
        }
        ReadCompositionText(context, GCS_COMPSTR, ime.composition);
    }
    if ((flags & GCS_CURSORPOS) != 0 && Imm().ImmGetCompositionStringA != nullptr) {
        LONG offset = Imm().ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0);
        ime.compositionCursor = CountCharsInBytes(ime.composition, offset < 0 ? 0 : static_cast<int>(offset));
    }
    if ((flags & GCS_COMPCLAUSE) != 0) {
        ime.clauseCount = ReadCompositionBytes(context, GCS_COMPCLAUSE, ime.clauses, kImeClauseCapacity) / 4;
    }
    if ((flags & GCS_COMPATTR) != 0) {
        ime.attributeCount = ReadCompositionBytes(context, GCS_COMPATTR, ime.attributes, kImeTextCapacity);
    }
    Imm().ImmReleaseContext(window, context);
}

static void ReadCandidateList(HWND window)
{
    if (!HasImm() || Imm().ImmGetCandidateListA == nullptr) {
        return;
    }
    ImeState &ime = TextInput.ime;
    HIMC context = Imm().ImmGetContext(window);
    DWORD size = Imm().ImmGetCandidateListA(context, 0, nullptr, 0);
    if (size == 0) {
        AppendLogLineFormat("漢字変換候補のデータサイズが０でした  DefHWND:%x IMC:%x",
                            static_cast<unsigned>(reinterpret_cast<UINT_PTR>(window)),
                            static_cast<unsigned>(reinterpret_cast<UINT_PTR>(context)));
    } else {
        FreeCandidateList();
        ime.candidateList = KORVO_TRACKED_ALLOC(size);
        if (ime.candidateList == nullptr) {
            AbortWithFatalErrorFmt(
                "漢字変換候補を保存するメモリの確保に失敗しました( 確保しようとしたサイズ %d バイト )",
                static_cast<int>(size));
        }
        ime.candidateListSize = static_cast<int>(size);
        if (Imm().ImmGetCandidateListA(context, 0, static_cast<CANDIDATELIST *>(ime.candidateList), size) == 0) {
            FreeCandidateList();
            AppendLogLineFormat("漢字変換候補の取得に失敗しました  BufSize:%d", static_cast<int>(size));
        }
    }
    Imm().ImmReleaseContext(window, context);
}

static LRESULT OnSetOpenStatus(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (OpenStatusNotifyRunning != 0) {
        return 0;
    }
    OpenStatusNotifyRunning = 1;
    DefWindowProcA(window, message, wParam, lParam);
    uint64_t start = GetMicrosecondClock();
    while (GetMicrosecondClock() - start < kOpenStatusPumpMicroseconds) {
        if (PumpMessagesOnce() != 0) {
            break;
        }
    }
    if (HasImm() && Imm().ImmGetOpenStatus != nullptr) {
        HIMC context = Imm().ImmGetContext(window);
        TextInput.ime.openStatus = Imm().ImmGetOpenStatus(context) ? 1 : 0;
        Imm().ImmReleaseContext(window, context);
    }
    OpenStatusNotifyRunning = 0;
    return 0;
}

static LRESULT OnImeNotify(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case IMN_CHANGECANDIDATE:
    case IMN_OPENCANDIDATE:
    case IMN_SETCANDIDATEPOS:
        ReadCandidateList(window);
        return 0;
    case IMN_CLOSECANDIDATE:
        FreeCandidateList();
        return 0;
    case IMN_SETOPENSTATUS:
        return OnSetOpenStatus(window, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Handle an IME composition, context or notify message; the window procedure's result
LRESULT HandleImeWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ImeState &ime = TextInput.ime;
    bool vistaOrLater = GetWindowsVersionCode() >= kWindowsVistaCode;
    switch (message) {
    case WM_IME_STARTCOMPOSITION:
        ime.compositionCursor = 0;
        ime.composing = 1;
        if (vistaOrLater && ime.openStatus == 0) {
            ime.openStatus = 1;
        }
        return 0;
    case WM_IME_ENDCOMPOSITION:
        ime.composition[0] = 0;
        ime.composing = 0;
        if (vistaOrLater && ime.openStatus == 1) {
            ime.openStatus = 0;
        }
        return 0;
    case WM_IME_COMPOSITION:
        OnComposition(window, lParam);
        return 0;
    case WM_IME_SETCONTEXT:
        // No IME windows of their own: the library draws the composition.
        return DefWindowProcA(window, message, wParam, 0);
    case WM_IME_NOTIFY:
        return OnImeNotify(window, message, wParam, lParam);
    default:
        return 0;
    }
}

// Switch the IME of the main window on or off; 0
int SetImeInputEnabled(int flag)
{
    ImeState &ime = TextInput.ime;
    int enabled = flag != 0 ? 1 : 0;
    if (enabled == ime.enabled) {
        return 0;
    }
    if (PlatformLibraries.user32.WINNLSEnableIME != nullptr) {
        PlatformLibraries.user32.WINNLSEnableIME(GetAppWindowHandle(), enabled);
    }
    ime.enabled = enabled;
    if (enabled == 0) {
        FreeCandidateList();
        ime.composition[0] = 0;
        ime.composing = 0;
    }
    return 0;
}

// Run the pending IME restore steps after an activation, each falling into the next; 0
int RunImeRestoreSteps()
{
    ImeState &ime = TextInput.ime;
    if (ime.restoreStep == 0) {
        return 0;
    }
    if (!HasImm() || Imm().ImmSetOpenStatus == nullptr) {
        ime.restoreStep = 0;
        return 0;
    }
    HWND window = GetAppWindowHandle();
    HIMC context = Imm().ImmGetContext(window);
    if (ime.restoreStep <= 1) {
        std::memcpy(ime.savedComposition, ime.composition, kImeTextCapacity);
        if (Imm().ImmNotifyIME != nullptr) {
            Imm().ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
        }
        ime.composition[0] = 0;
    }
    if (ime.restoreStep <= 2) {
        Imm().ImmSetOpenStatus(context, FALSE);
    }
    if (ime.restoreStep <= 3) {
        Imm().ImmSetOpenStatus(context, TRUE);
    }
    Imm().ImmSetOpenStatus(context, TRUE);
    if (Imm().ImmSetCompositionStringA != nullptr) {
        Imm().ImmSetCompositionStringA(context, SCS_SETSTR, ime.savedComposition,
                                       static_cast<DWORD>(GetStringLength(ime.savedComposition)), nullptr, 0);
    }
    Imm().ImmReleaseContext(window, context);
    ime.restoreStep = 0;
    return 0;
}

// Free the kept candidate list (the window is ending); 0
int DropImeCandidateList()
{
    FreeCandidateList();
    return 0;
}

// Text input uses the IME (window start-up then leaves the IME on)
int GetImeEnabledFlag()
{
    return TextInput.ime.enabled;
}

// The IME is open and takes part in input
int GetImeActiveFlag()
{
    return TextInput.ime.openStatus;
}

// Ask for the IME restore steps on the next feed
void SetImeResetPending(int pending)
{
    TextInput.ime.restoreStep = pending != 0 ? 1 : 0;
}

} // namespace Korvo
