// Run-time loading of the seven platform libraries.

#include "core/system/platform_libraries.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

PlatformLibraryTable PlatformLibraries;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Store GetProcAddress's result (null when missing) into an entry of any type.
template <typename Entry>
static void ResolveEntry(HMODULE module, const char *name, Entry &entry)
{
    FARPROC address = module != nullptr ? GetProcAddress(module, name) : nullptr;
    entry = reinterpret_cast<Entry>(reinterpret_cast<void *>(address));
}

#define KORVO_RESOLVE(group, name) ResolveEntry(PlatformLibraries.group.module, #name, PlatformLibraries.group.name)

static void LoadWs2_32()
{
    PlatformLibraries.ws2_32.module = LoadLibraryA("ws2_32.dll");
    KORVO_RESOLVE(ws2_32, WSAGetLastError);
    KORVO_RESOLVE(ws2_32, WSAStartup);
    KORVO_RESOLVE(ws2_32, WSACleanup);
    KORVO_RESOLVE(ws2_32, WSAAsyncSelect);
    KORVO_RESOLVE(ws2_32, getaddrinfo);
    KORVO_RESOLVE(ws2_32, gethostbyaddr);
    KORVO_RESOLVE(ws2_32, gethostbyname);
    KORVO_RESOLVE(ws2_32, gethostname);
    KORVO_RESOLVE(ws2_32, ntohs);
    KORVO_RESOLVE(ws2_32, htons);
    KORVO_RESOLVE(ws2_32, connect);
    KORVO_RESOLVE(ws2_32, socket);
    KORVO_RESOLVE(ws2_32, send);
    KORVO_RESOLVE(ws2_32, sendto);
    KORVO_RESOLVE(ws2_32, recvfrom);
    KORVO_RESOLVE(ws2_32, accept);
    KORVO_RESOLVE(ws2_32, closesocket);
    KORVO_RESOLVE(ws2_32, shutdown);
    KORVO_RESOLVE(ws2_32, listen);
    KORVO_RESOLVE(ws2_32, bind);
    KORVO_RESOLVE(ws2_32, inet_addr);
    KORVO_RESOLVE(ws2_32, recv);
}

static void LoadImm32()
{
    PlatformLibraries.imm32.module = LoadLibraryA("Imm32.dll");
    KORVO_RESOLVE(imm32, ImmGetContext);
    KORVO_RESOLVE(imm32, ImmReleaseContext);
    KORVO_RESOLVE(imm32, ImmGetOpenStatus);
    KORVO_RESOLVE(imm32, ImmGetConversionStatus);
    KORVO_RESOLVE(imm32, ImmNotifyIME);
    KORVO_RESOLVE(imm32, ImmSetOpenStatus);
    KORVO_RESOLVE(imm32, ImmGetCandidateListA);
    KORVO_RESOLVE(imm32, ImmGetCompositionStringA);
    KORVO_RESOLVE(imm32, ImmSetCompositionStringA);
}

static void LoadWinmm()
{
    PlatformLibraries.winmm.module = LoadLibraryA("winmm.dll");
    KORVO_RESOLVE(winmm, timeSetEvent);
    KORVO_RESOLVE(winmm, timeKillEvent);
    KORVO_RESOLVE(winmm, timeBeginPeriod);
    KORVO_RESOLVE(winmm, timeEndPeriod);
    KORVO_RESOLVE(winmm, timeGetTime);
    KORVO_RESOLVE(winmm, timeGetDevCaps);
    KORVO_RESOLVE(winmm, joyGetPosEx);
    KORVO_RESOLVE(winmm, joyGetDevCapsA);
    KORVO_RESOLVE(winmm, mciSendCommandA);
}

static void LoadOle32()
{
    PlatformLibraries.ole32.module = LoadLibraryA("ole32.dll");
    KORVO_RESOLVE(ole32, CoCreateInstance);
    KORVO_RESOLVE(ole32, CoTaskMemAlloc);
    KORVO_RESOLVE(ole32, CoTaskMemFree);
    KORVO_RESOLVE(ole32, CoInitializeEx);
    KORVO_RESOLVE(ole32, CoFreeUnusedLibraries);
    KORVO_RESOLVE(ole32, CoUninitialize);
}

static void LoadComctl32()
{
    PlatformLibraries.comctl32.module = LoadLibraryA("comctl32.dll");
    KORVO_RESOLVE(comctl32, InitCommonControls);
}

static void LoadDwmapi()
{
    PlatformLibraries.dwmapi.module = LoadLibraryA("dwmapi.dll");
    KORVO_RESOLVE(dwmapi, DwmEnableComposition);
}

static void LoadUser32()
{
    PlatformLibraries.user32.module = LoadLibraryA("User32.dll");
    KORVO_RESOLVE(user32, WINNLSEnableIME);
}

#undef KORVO_RESOLVE

// Free a library when loaded and clear its module handle and entries (the whole group).
template <typename Group>
static void FreeGroup(Group &group)
{
    if (group.module != nullptr) {
        FreeLibrary(group.module);
        std::memset(static_cast<void *>(&group), 0, sizeof(group));
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Load each library not loaded yet, in table order, and resolve its entries
void LoadPlatformLibraries()
{
    if (PlatformLibraries.ws2_32.module == nullptr) LoadWs2_32();
    if (PlatformLibraries.imm32.module == nullptr) LoadImm32();
    if (PlatformLibraries.winmm.module == nullptr) LoadWinmm();
    if (PlatformLibraries.ole32.module == nullptr) LoadOle32();
    if (PlatformLibraries.comctl32.module == nullptr) LoadComctl32();
    if (PlatformLibraries.dwmapi.module == nullptr) LoadDwmapi();
    if (PlatformLibraries.user32.module == nullptr) LoadUser32();
}

// Free the loaded libraries in shut-down order and clear their entries
void FreePlatformLibraries()
{
    FreeGroup(PlatformLibraries.dwmapi);
    FreeGroup(PlatformLibraries.user32);
    FreeGroup(PlatformLibraries.ws2_32);
    FreeGroup(PlatformLibraries.imm32);
    FreeGroup(PlatformLibraries.winmm);
    FreeGroup(PlatformLibraries.ole32);
    FreeGroup(PlatformLibraries.comctl32);
}

} // namespace Korvo
