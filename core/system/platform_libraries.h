// Platform libraries loaded at run time (Windows only).
//
// The library links only kernel32, user32, gdi32 and shell32; the seven other
// libraries it uses are loaded at start-up and reached through this table. A
// null entry means the library or the entry is not available.
#pragma once

#include <windows.h>
#include <imm.h>
#include <mmsystem.h>
#include <objbase.h>

// Socket structures, declared here so that this header does not force the order
// of winsock2.h and windows.h on its includers.
struct WSAData;
struct sockaddr;
struct addrinfo;
struct hostent;

namespace Korvo {

// Socket handle as the socket library passes it.
typedef UINT_PTR SocketHandle;

// Entry point types of the table (taken from the toolchain's declarations where it has them).
typedef HRESULT(WINAPI *DwmEnableCompositionEntry)(UINT compositionAction);
typedef void(WINAPI *InitCommonControlsEntry)(void);
typedef BOOL(WINAPI *WinnlsEnableImeEntry)(HWND window, BOOL enable);

#define KORVO_ENTRY(name) decltype(&::name) name

// "ws2_32.dll"
struct Ws2_32Entries {
    HMODULE module;
    int(WINAPI *WSAGetLastError)(void);
    int(WINAPI *WSAStartup)(WORD version, ::WSAData *data);
    int(WINAPI *WSACleanup)(void);
    int(WINAPI *WSAAsyncSelect)(SocketHandle s, HWND window, UINT message, long events);
    int(WINAPI *getaddrinfo)(const char *node, const char *service, const ::addrinfo *hints, ::addrinfo **result);
    ::hostent *(WINAPI *gethostbyaddr)(const char *address, int length, int type);
    ::hostent *(WINAPI *gethostbyname)(const char *name);
    int(WINAPI *gethostname)(char *name, int length);
    unsigned short(WINAPI *ntohs)(unsigned short value);
    unsigned short(WINAPI *htons)(unsigned short value);
    int(WINAPI *connect)(SocketHandle s, const ::sockaddr *name, int length);
    SocketHandle(WINAPI *socket)(int family, int type, int protocol);
    int(WINAPI *send)(SocketHandle s, const char *buffer, int length, int flags);
    int(WINAPI *sendto)(SocketHandle s, const char *buffer, int length, int flags, const ::sockaddr *to, int toLength);
    int(WINAPI *recvfrom)(SocketHandle s, char *buffer, int length, int flags, ::sockaddr *from, int *fromLength);
    SocketHandle(WINAPI *accept)(SocketHandle s, ::sockaddr *address, int *length);
    int(WINAPI *closesocket)(SocketHandle s);
    int(WINAPI *shutdown)(SocketHandle s, int how);
    int(WINAPI *listen)(SocketHandle s, int backlog);
    int(WINAPI *bind)(SocketHandle s, const ::sockaddr *name, int length);
    unsigned long(WINAPI *inet_addr)(const char *text);
    int(WINAPI *recv)(SocketHandle s, char *buffer, int length, int flags);
};

// "Imm32.dll"
struct Imm32Entries {
    HMODULE module;
    KORVO_ENTRY(ImmGetContext);
    KORVO_ENTRY(ImmReleaseContext);
    KORVO_ENTRY(ImmGetOpenStatus);
    KORVO_ENTRY(ImmGetConversionStatus);
    KORVO_ENTRY(ImmNotifyIME);
    KORVO_ENTRY(ImmSetOpenStatus);
    KORVO_ENTRY(ImmGetCandidateListA);
    KORVO_ENTRY(ImmGetCompositionStringA);
    KORVO_ENTRY(ImmSetCompositionStringA);
};

// "winmm.dll"
struct WinmmEntries {
    HMODULE module;
    KORVO_ENTRY(timeSetEvent);
    KORVO_ENTRY(timeKillEvent);
    KORVO_ENTRY(timeBeginPeriod);
    KORVO_ENTRY(timeEndPeriod);
    KORVO_ENTRY(timeGetTime);
    KORVO_ENTRY(timeGetDevCaps);
    KORVO_ENTRY(joyGetPosEx);
    KORVO_ENTRY(joyGetDevCapsA);
    KORVO_ENTRY(mciSendCommandA);
};

// "ole32.dll"
struct Ole32Entries {
    HMODULE module;
    KORVO_ENTRY(CoCreateInstance);
    KORVO_ENTRY(CoTaskMemAlloc);
    KORVO_ENTRY(CoTaskMemFree);
    KORVO_ENTRY(CoInitializeEx);
    KORVO_ENTRY(CoFreeUnusedLibraries);
    KORVO_ENTRY(CoUninitialize);
};

// "comctl32.dll"
struct Comctl32Entries {
    HMODULE module;
    InitCommonControlsEntry InitCommonControls;
};

// "dwmapi.dll"
struct DwmapiEntries {
    HMODULE module;
    DwmEnableCompositionEntry DwmEnableComposition;
};

// "User32.dll" (the IME switch that the import library does not offer)
struct User32Entries {
    HMODULE module;
    WinnlsEnableImeEntry WINNLSEnableIME;
};

#undef KORVO_ENTRY

// Module handles and entry points of the seven run-time libraries.
struct PlatformLibraryTable {
    Ws2_32Entries ws2_32;
    Imm32Entries imm32;
    WinmmEntries winmm;
    Ole32Entries ole32;
    Comctl32Entries comctl32;
    DwmapiEntries dwmapi;
    User32Entries user32;
};

extern PlatformLibraryTable PlatformLibraries;

// Load every library not loaded yet and resolve its entries (missing ones stay null)
void LoadPlatformLibraries();
// Free every loaded library and clear its entries
void FreePlatformLibraries();

} // namespace Korvo
