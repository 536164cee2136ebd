// Work buffers of glyph rasterising: the system's glyph bitmap and the coverage
// an oversampled glyph is reduced to. A glyph cannot be made without them, so a
// failed allocation ends the process with the buffer's own message.

#include "font/font_record.h"

#include "core/log/fatal_error.h"
#include "core/memory/tracked_alloc.h"

#include <climits>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Zeroed tracked memory of a size worked out in 64 bits, so no size wraps on 32-bit
// builds; null past what the allocator can give
static void *AllocZeroedBytes(uint64_t bytes)
{
    return bytes <= static_cast<uint64_t>(INT_MAX) ? KORVO_TRACKED_ALLOC_ZEROED(static_cast<size_t>(bytes)) : nullptr;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The glyph's bytes and (rows + 2) spare rows, zero-filled
uint8_t *AllocGlyphBitmapBuffer(size_t glyphBytes, int rows, int rowBytes)
{
    void *buffer = AllocZeroedBytes(glyphBytes + (static_cast<uint64_t>(rows) + 2) * static_cast<uint64_t>(rowBytes));
    if (buffer == nullptr) {
        AbortWithFatalError("アンチエイリアス文字取得用バッファの確保に失敗しました");
    }
    return static_cast<uint8_t *>(buffer);
}

// (height + 2) rows of an even width plus 4 bytes, zero-filled
uint8_t *AllocGlyphResampleBuffer(int width, int height, int *pitch)
{
    *pitch = (width + 1) / 2 * 2 + 4;
    void *buffer = AllocZeroedBytes((static_cast<uint64_t>(height) + 2) * static_cast<uint64_t>(*pitch));
    if (buffer == nullptr) {
        AbortWithFatalError("文字イメージリサンプリング用バッファの確保に失敗しました");
    }
    return static_cast<uint8_t *>(buffer);
}

} // namespace Korvo
