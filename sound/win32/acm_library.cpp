// "msacm32.dll", loaded at run time, fills the compression manager's entry table.

#include "sound/acm_api.h"
#include "sound/startup_entries.h"

#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstddef>
#include <cstring>

namespace Korvo {

// The record layouts this code declares for itself are the platform's.
static_assert(sizeof(K_ACMSTREAMHEADER) == sizeof(ACMSTREAMHEADER), "stream header layout");
static_assert(offsetof(K_ACMSTREAMHEADER, cbDstLengthUsed) == offsetof(ACMSTREAMHEADER, cbDstLengthUsed),
              "stream header layout");
static_assert(sizeof(K_MPEGLAYER3WAVEFORMAT) == sizeof(MPEGLAYER3WAVEFORMAT), "layer-3 format layout");
static_assert(sizeof(SoundWaveFormat) == sizeof(WAVEFORMATEX), "wave format layout");

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
static HMODULE AcmModule = nullptr;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Store GetProcAddress's result into an entry; false when missing.
template <typename Entry>
static bool ResolveAcmEntry(const char *name, Entry &entry)
{
    FARPROC address = GetProcAddress(AcmModule, name);
    entry = reinterpret_cast<Entry>(reinterpret_cast<void *>(address));
    return address != nullptr;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Load the module and resolve the eight entries; any missing one unloads it again
int LoadAcmFunctions()
{
    if (AcmFunctionsLoaded != 0) {
        return -1;
    }
    AcmModule = LoadLibraryA("msacm32.dll");
    if (AcmModule == nullptr) {
        return -1;
    }
    AcmFunctionTable &table = AcmFunctions;
    bool complete = ResolveAcmEntry("acmFormatSuggest", table.acmFormatSuggest) &&
                    ResolveAcmEntry("acmStreamOpen", table.acmStreamOpen) &&
                    ResolveAcmEntry("acmStreamClose", table.acmStreamClose) &&
                    ResolveAcmEntry("acmMetrics", table.acmMetrics) &&
                    ResolveAcmEntry("acmStreamPrepareHeader", table.acmStreamPrepareHeader) &&
                    ResolveAcmEntry("acmStreamConvert", table.acmStreamConvert) &&
                    ResolveAcmEntry("acmStreamUnprepareHeader", table.acmStreamUnprepareHeader) &&
                    ResolveAcmEntry("acmStreamSize", table.acmStreamSize);
    if (!complete) {
        FreeLibrary(AcmModule);
        AcmModule = nullptr;
        std::memset(&table, 0, sizeof(table));
        return -1;
    }
    AcmFunctionsLoaded = 1;
    return 0;
}

// Free the module and clear the entries
int FreeAcmFunctions()
{
    if (AcmModule == nullptr) {
        return -1;
    }
    FreeLibrary(AcmModule);
    AcmModule = nullptr;
    std::memset(&AcmFunctions, 0, sizeof(AcmFunctions));
    AcmFunctionsLoaded = 0;
    return 0;
}

} // namespace Korvo
