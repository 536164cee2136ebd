// What the processor offers the pixel loops, read once through CPUID: the
// widest vector form the loops may use, whether long rows are copied with the
// processor's string move, and the size from which whole-image copies write
// past the caches with streaming stores.
//
// Both are choices of speed only: every form gives the same bytes. Tests force
// each form in turn through the overrides.
#pragma once

#include <cstddef>

// The 256-bit forms are compiled per function (target attributes) on x86
// builds that have SSE2 as their base, and chosen at run time.
#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__) && defined(__SSE2__)
#define KORVO_WIDE_VECTOR_FORMS 1
#else
#define KORVO_WIDE_VECTOR_FORMS 0
#endif

// The string move (rep movsb) is written as inline assembly for x86 builds.
#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
#define KORVO_STRING_MOVES 1
#else
#define KORVO_STRING_MOVES 0
#endif

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Vector forms of the pixel loops, narrowest first.
enum MemImgVectorForm {
    MEMIMG_VECTOR_BASE = 0,   // the forms the build targets (SSE2 on x86)
    MEMIMG_VECTOR_AVX2 = 1,   // 256-bit integer vectors, where the processor and the system have them
};

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// The caches the processor reports (0 where it reports nothing).
struct MemImgCacheFacts {
    size_t lastLevelBytes;    // the largest data or unified cache
    int lastLevel;            // its level (1..3)
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// 1 when the processor and the system can run a vector form.
int MemImgVectorFormSupported(int form);

// The vector form the loops use: the widest supported one unless forced.
int CurrentMemImgVectorForm();

// Force a supported vector form, or follow the processor again (-1); 0 (and
// no change) for a form this processor cannot run.
int SetMemImgVectorFormOverride(int form);

// 1 when long rows are copied with the string move: the processor says its
// string moves are fast (ERMS), unless forced.
int MemImgStringMovesEnabled();

// Force the string move on (1) or off (0), or follow the processor again (-1).
void SetMemImgStringMoveOverride(int mode);

// The caches the processor reports.
MemImgCacheFacts ReadMemImgCacheFacts();

// Copies whose destination holds at least this many bytes use streaming stores.
size_t MemImgStreamingBytes();

// Force the streaming size (1 streams everything, SIZE_MAX nothing), or follow the processor again (0).
void SetMemImgStreamingBytesOverride(size_t bytes);

}  // namespace Korvo
