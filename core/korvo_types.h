// The few Windows types that portable Korvo code shares with the Windows shell.
//
// Portable headers include this instead of <windows.h>. In the Windows build it
// pulls the real definitions from two small toolchain headers, so portable and
// platform code use one and the same RECT, HANDLE and CRITICAL_SECTION; in the
// host build (tests and benchmarks on the build machine) it declares equivalents
// of the same layout for the fields portable code touches.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)

#include <windef.h>
#include <minwinbase.h>

#else

typedef int32_t LONG;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int BOOL;
typedef unsigned int UINT;
typedef void *HANDLE;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME;

// Storage for the host's recursive mutex (core/host/section_lock.cpp); only the
// section-lock wrappers look inside.
typedef struct _CRITICAL_SECTION {
    alignas(16) unsigned char storage[64];
} CRITICAL_SECTION;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#endif
