// Soft-image handle kind: CPU-side images (RasterImage) held behind handles of kind 2.
#pragma once

#include "core/memory/handle_manager.h"
#include "image/raster_image.h"

namespace Korvo {

constexpr int kSoftImageHandleKind = 2;
constexpr int kMaxSoftImageHandles = 8192;

// Record of one soft image.
struct SoftImageItem {
    HandleRecordHeader header;
    RasterImage image;
};

// Register the soft-image kind; -1 when already registered
int InitSoftImageHandleType();
// Delete every soft-image handle
int DeleteAllSoftImageHandles();
// Unregister the soft-image kind; -1 when not registered
int TermSoftImageHandleType();

} // namespace Korvo
