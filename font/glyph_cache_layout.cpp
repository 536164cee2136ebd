// Glyph cache bookkeeping: cell and cache sizes, the slot and code tables and
// the round-robin choice of the slot a new character goes into.

#include "font/font_record.h"

#include <cmath>
#include <cstring>

namespace Korvo {

int ComputeFontCellSize(int maxCharWidth, int textHeight, int factor, int edgeSize, int outlined, int *cellHeight)
{
    int edge = outlined != 0 ? edgeSize * 2 : 0;
    int width = (maxCharWidth / factor + 4 + edge + 7) / 8 * 8;
    int height = textHeight / factor + 1 + edge;
    height += height & 1;
    *cellHeight = height;
    return height > width ? height : width;
}

void ComputeTextureCacheLayout(int cellSize, int wantedChars, int *width, int *height, int *slotCount)
{
    int count;
    if (wantedChars > 0) {
        int side = (static_cast<int>(std::sqrt(static_cast<double>(wantedChars))) + 1) * cellSize;
        int power = 8;
        while (power < side) {
            power *= 2;
        }
        *width = *height = power;
        count = (power / cellSize) * (power / cellSize);
    } else {
        *width = *height = 512;
        count = (512 / cellSize) * (512 / cellSize);
        while (count < 10) {
            if (*height < *width) {
                *height *= 2;
            } else {
                *width *= 2;
            }
            count = (*height / cellSize) * (*width / cellSize);
        }
    }
    *slotCount = count > kGlyphMaxSlots ? kGlyphMaxSlots : count;
}

int ComputeMemoryCacheSlotCount(int cellSize, int wantedChars)
{
    int count = wantedChars;
    if (count == 0) {
        count = 0x50000 / (cellSize * cellSize);
        if (count < 20) {
            count = 20;
        }
    }
    return count > kGlyphMaxSlots ? kGlyphMaxSlots : count;
}

void ResetGlyphTables(FontHandleRecord *record)
{
    std::memset(record->codes, 0, sizeof(record->codes));
    std::memset(record->slots, 0, sizeof(record->slots));
    for (int i = 0; i < record->slotCount; ++i) {
        record->slots[i].position = i;
    }
    record->slots[record->slotCount].position = -1;
    record->nextSlot = 0;
}

void GlyphCellOrigin(const FontHandleRecord *record, int position, int *x, int *y)
{
    *x = (position / record->cellsPerColumn) * record->cellSize;
    *y = (position % record->cellsPerColumn) * record->cellSize;
}

GlyphCacheSlot *TakeNextGlyphSlot(FontHandleRecord *record)
{
    GlyphCacheSlot *slot = &record->slots[record->nextSlot];
    if (slot->inUse != 0) {
        slot->code->cached = 0;
        slot->code->slot = nullptr;
        slot->code = nullptr;
        slot->inUse = 0;
    }
    record->nextSlot = record->nextSlot + 1 >= record->slotCount ? 0 : record->nextSlot + 1;
    return slot;
}

} // namespace Korvo
