// The adapter's display modes of 16 bits or more, enumerated on first use.

#include "graphics/screen/screen_modes.h"

#include "core/memory/process_heap.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static DisplayModeEntry *ModeList = nullptr;
static int ModeCount = 0;
static int ModeListBuilt = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void EnsureDisplayModeList()
{
    if (ModeListBuilt == 0) {
        BuildDisplayModeList(EnumeratePlatformDisplayMode);
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Count, allocate, then fill: the fill never passes the counted size.
void BuildDisplayModeList(DisplayModeEnumerator enumerate)
{
    FreeDisplayModeList();
    DisplayModeEntry mode = {};
    int count = 0;
    for (int i = 0; enumerate(i, &mode); ++i) {
        if (mode.bitsPerPixel > 15) {
            ++count;
        }
    }
    ModeListBuilt = 1;
    if (count == 0) {
        return;
    }
    ModeList = static_cast<DisplayModeEntry *>(AllocProcessHeapBlock(static_cast<size_t>(count) * sizeof(DisplayModeEntry)));
    if (ModeList == nullptr) {
        return;
    }
    int filled = 0;
    for (int i = 0; filled < count && enumerate(i, &mode); ++i) {
        if (mode.bitsPerPixel > 15) {
            ModeList[filled++] = mode;
        }
    }
    ModeCount = filled;
}

void FreeDisplayModeList()
{
    if (ModeList != nullptr) {
        FreeProcessHeapBlock(ModeList);
    }
    ModeList = nullptr;
    ModeCount = 0;
    ModeListBuilt = 0;
}

int CountDisplayModes()
{
    EnsureDisplayModeList();
    return ModeCount;
}

DisplayModeEntry GetDisplayModeEntry(int index)
{
    EnsureDisplayModeList();
    if (index < 0 || index >= ModeCount) {
        return DisplayModeEntry{-1, -1, -1, -1};
    }
    return ModeList[index];
}

int IsDisplayModeAvailable(int width, int height, int bitsPerPixel)
{
    int count = CountDisplayModes();
    for (int i = 0; i < count; ++i) {
        if (ModeList[i].width == width && ModeList[i].height == height && ModeList[i].bitsPerPixel == bitsPerPixel) {
            return 1;
        }
    }
    return 0;
}

} // namespace Korvo
