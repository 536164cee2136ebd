// The Audio Compression Manager entries the sound-file conversion calls, in the
// platform's own calling convention and record layouts. The Windows build fills
// the table from "msacm32.dll" (LoadAcmFunctions); the host build leaves it empty
// unless a test installs a stand-in codec.
#pragma once

#include "sound/wave_format.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
#if defined(_WIN32) && !defined(_WIN64)
#define KORVO_ACM_CALL __stdcall
#else
#define KORVO_ACM_CALL
#endif

constexpr uint32_t kAcmFormatSuggestByTag = 0x00010000;   // ACM_FORMATSUGGESTF_WFORMATTAG
constexpr uint32_t kAcmStreamOpenNonRealtime = 0x00000004; // ACM_STREAMOPENF_NONREALTIME
constexpr uint32_t kAcmMetricMaxSizeFormat = 50;           // ACM_METRIC_MAX_SIZE_FORMAT
constexpr uint32_t kAcmConvertBlockAlign = 0x00000004;     // ACM_STREAMCONVERTF_BLOCKALIGN
constexpr uint32_t kAcmStreamSizeSource = 0x00000000;      // ACM_STREAMSIZEF_SOURCE
#if defined(_WIN64) || !defined(_WIN32)
constexpr int kAcmDriverReservedWords = 15;
#else
constexpr int kAcmDriverReservedWords = 10;
#endif

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
typedef uintptr_t K_HACMSTREAM;

// The platform's stream header (ACMSTREAMHEADER). The compression manager's records
// are byte-packed, which only shows in 64-bit builds (no padding before pointers).
#pragma pack(push, 1)
struct K_ACMSTREAMHEADER {
    uint32_t cbStruct;
    uint32_t fdwStatus;
    uintptr_t dwUser;
    unsigned char *pbSrc;
    uint32_t cbSrcLength;
    uint32_t cbSrcLengthUsed;
    uintptr_t dwSrcUser;
    unsigned char *pbDst;
    uint32_t cbDstLength;
    uint32_t cbDstLengthUsed;
    uintptr_t dwDstUser;
    uint32_t dwReservedDriver[kAcmDriverReservedWords];
};
#pragma pack(pop)

// MPEG layer-3 wave format (MPEGLAYER3WAVEFORMAT).
#pragma pack(push, 1)
struct K_MPEGLAYER3WAVEFORMAT {
    SoundWaveFormat wfx;
    uint16_t wID;
    uint32_t fdwFlags;
    uint16_t nBlockSize;
    uint16_t nFramesPerBlock;
    uint16_t nCodecDelay;
};
#pragma pack(pop)
static_assert(sizeof(K_MPEGLAYER3WAVEFORMAT) == 30, "packed layer-3 format");

// The eight entries; results are MMRESULT (0 = success).
struct AcmFunctionTable {
    uint32_t(KORVO_ACM_CALL *acmFormatSuggest)(uintptr_t driver, SoundWaveFormat *source, SoundWaveFormat *dest,
                                               uint32_t destBytes, uint32_t flags);
    uint32_t(KORVO_ACM_CALL *acmStreamOpen)(K_HACMSTREAM *stream, uintptr_t driver, SoundWaveFormat *source,
                                            SoundWaveFormat *dest, void *filter, uintptr_t callback,
                                            uintptr_t instance, uint32_t flags);
    uint32_t(KORVO_ACM_CALL *acmStreamClose)(K_HACMSTREAM stream, uint32_t flags);
    uint32_t(KORVO_ACM_CALL *acmMetrics)(uintptr_t object, uint32_t metric, void *value);
    uint32_t(KORVO_ACM_CALL *acmStreamPrepareHeader)(K_HACMSTREAM stream, K_ACMSTREAMHEADER *header, uint32_t flags);
    uint32_t(KORVO_ACM_CALL *acmStreamConvert)(K_HACMSTREAM stream, K_ACMSTREAMHEADER *header, uint32_t flags);
    uint32_t(KORVO_ACM_CALL *acmStreamUnprepareHeader)(K_HACMSTREAM stream, K_ACMSTREAMHEADER *header,
                                                       uint32_t flags);
    uint32_t(KORVO_ACM_CALL *acmStreamSize)(K_HACMSTREAM stream, uint32_t inputBytes, uint32_t *outputBytes,
                                            uint32_t flags);
};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
// The resolved entries; all null while not loaded.
extern AcmFunctionTable AcmFunctions;
// 1 while the table is filled (by LoadAcmFunctions or a test's stand-in)
extern int AcmFunctionsLoaded;

} // namespace Korvo
