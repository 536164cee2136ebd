// Glyph cache bookkeeping, edges, oversampling, string splitting and measuring,
// on records and planes built by hand.

#include "font/font_record.h"

#include "core/text/dbcs_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

using namespace Korvo;

namespace {

std::unique_ptr<FontHandleRecord> MakeRecord(int slotCount)
{
    auto record = std::make_unique<FontHandleRecord>();
    std::memset(record.get(), 0, sizeof(FontHandleRecord));
    record->slotCount = slotCount;
    record->cellSize = 24;
    record->cellsPerColumn = 4;
    record->charSet = 1; // Shift-JIS
    ResetGlyphTables(record.get());
    return record;
}

// Put a code into the next slot as the rasteriser does
void CacheCode(FontHandleRecord *record, int code, int advance)
{
    GlyphCacheSlot *slot = TakeNextGlyphSlot(record);
    slot->advance = static_cast<int16_t>(advance);
    slot->code = &record->codes[code];
    slot->inUse = 1;
    record->codes[code].cached = 1;
    record->codes[code].slot = slot;
}

TEST(FontCacheLayout, CellAndCacheSizes)
{
    struct Case {
        int maxWidth, height, factor, edge, outlined, cell, cellHeight;
    } cases[] = {
        {16, 16, 1, 1, 0, 24, 18},   // width 20 -> 24, height 17 -> 18
        {16, 16, 1, 2, 1, 24, 22},   // edges add 4 to both
        {120, 64, 4, 1, 0, 40, 18},  // oversampled metrics are divided first
        {10, 40, 1, 1, 0, 42, 42},   // the taller side makes the square
    };
    for (const Case &c : cases) {
        int cellHeight = 0;
        EXPECT_EQ(ComputeFontCellSize(c.maxWidth, c.height, c.factor, c.edge, c.outlined, &cellHeight), c.cell);
        EXPECT_EQ(cellHeight, c.cellHeight);
    }
    struct Texture {
        int cell, wanted, width, height, slots;
    } textures[] = {
        {24, 0, 512, 512, 441},
        {200, 0, 1024, 512, 10},    // 4 cells: the width doubles once
        {300, 0, 2048, 1024, 18},   // 1 cell: width, height, width again
        {8, 0, 512, 512, 2024},      // never more than the slot table holds
        {16, 100, 256, 256, 256},    // (10 + 1) * 16 = 176 -> 256
    };
    for (const Texture &t : textures) {
        int width = 0, height = 0, slots = 0;
        ComputeTextureCacheLayout(t.cell, t.wanted, &width, &height, &slots);
        EXPECT_EQ(width, t.width);
        EXPECT_EQ(height, t.height);
        EXPECT_EQ(slots, t.slots);
    }
    EXPECT_EQ(ComputeMemoryCacheSlotCount(24, 0), 0x50000 / (24 * 24));
    EXPECT_EQ(ComputeMemoryCacheSlotCount(400, 0), 20);
    EXPECT_EQ(ComputeMemoryCacheSlotCount(4, 0), 2024);
    EXPECT_EQ(ComputeMemoryCacheSlotCount(24, 7), 7);
}

TEST(FontCacheLayout, BlocksPastWhatTheAllocatorHandsOutAreRefusedNotWrappedRound)
{
    // Past 2^31 - 1 a product in 32 bits wraps round (to what the comments give):
    // a block the cells would overrun. Every build refuses these as the 32-bit one must.
    struct Case {
        int32_t rows, pitch, bytes;
    } cases[] = {
        {512, 2048, 1 << 20},
        {1, INT32_MAX, INT32_MAX},  // the largest block there is
        {65536, 32768, 0},          // 2^31: negative
        {65537, 65536, 0},          // 2^32 + 65,536: 65,536
        {131072, 65536, 0},         // 2^33: nothing at all
        {1512 * 1879, 1512, 0},     // 1,879 cells of 1,512 pixels, 8 bits: 697,280
        {-65536, -65537, 0},        // positive, past 2^32: 65,536
        {0, 2048, 0},
        {512, -4, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(CacheBlockBytes(c.rows, c.pitch), c.bytes) << c.rows << " x " << c.pitch;
    }
}

TEST(FontGlyphSlots, RoundRobinReplacesTheOldestAndCellsFillColumns)
{
    auto record = MakeRecord(10);
    EXPECT_EQ(record->slots[10].position, -1);
    for (int code = 'A'; code < 'A' + 10; ++code) {
        CacheCode(record.get(), code, 8);
    }
    CacheCode(record.get(), 'Z', 8);
    EXPECT_EQ(record->codes['A'].cached, 0);
    EXPECT_EQ(record->codes['A'].slot, nullptr);
    EXPECT_EQ(record->codes['Z'].slot, &record->slots[0]);
    EXPECT_EQ(record->codes['B'].cached, 1);
    int x = 0, y = 0;
    GlyphCellOrigin(record.get(), 5, &x, &y);
    EXPECT_EQ(x, 24);
    EXPECT_EQ(y, 24);
}

TEST(FontTextRun, SplitListsEachMissingCodeOnceUpToTheSlotCount)
{
    SetCharSetCode(1);
    auto record = MakeRecord(3);
    CacheCode(record.get(), 'b', 7);
    // "ab" then the double-byte "ス" (0x83 0x58), "a" again and "cd"
    const char text[] = "ab\x83\x58" "acd";
    GlyphCharEntry entries[16], missing[16];
    int missingCount = 0;
    int count = SplitTextIntoEntries(record.get(), text, 7, entries, missing, &missingCount);
    ASSERT_EQ(count, 6);
    EXPECT_EQ(GlyphCodeOf(entries[2]), 0x5883);
    ASSERT_EQ(missingCount, 3); // a, ス, c: the slot count stops the list before d
    EXPECT_EQ(missing[0].first, 'a');
    EXPECT_EQ(missing[1].second, 0x58);
    EXPECT_EQ(missing[2].first, 'c');
    EXPECT_EQ(record->codes['a'].cached, 0); // the marks are cleared again
    // A lead byte cut off by the length stands alone.
    count = SplitTextIntoEntries(record.get(), text, 3, entries, missing, &missingCount);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(entries[2].second, 0);
}

TEST(FontTextRun, MeasureAddsAdvancesSpacingAndScale)
{
    auto record = MakeRecord(8);
    CacheCode(record.get(), 'a', 7);
    CacheCode(record.get(), ' ', 5);
    GlyphCharEntry entries[3] = {{'a', 0, 0}, {' ', 0, 0}, {'a', 0, 0}};
    EXPECT_EQ(MeasureTextEntries(record.get(), entries, 3, 1.0), 19.0);
    record->spacing = 2;
    EXPECT_EQ(MeasureTextEntries(record.get(), entries, 3, 1.0), 25.0);
    EXPECT_EQ(MeasureTextEntries(record.get(), entries, 3, 1.5), 37.5);
    EXPECT_TRUE(IsBlankGlyph(entries[1]));
    EXPECT_TRUE(IsBlankGlyph(GlyphCharEntry{0x81, 0x40, 0}));
}

// Count of edge positions around one lit pixel, and whether a corner is in
TEST(FontEdges, OnePixelGrowsTheMaskOfItsSize)
{
    struct Case {
        int edge, count;
        bool corner;
    } cases[] = {{1, 8, true}, {2, 20, false}, {3, 28, false}, {4, 68, false}, {5, 120, true}};
    for (const Case &c : cases) {
        uint8_t one = 1;
        int side = 1 + 2 * c.edge;
        std::vector<uint8_t> glyph(side * side), edge(side * side);
        GlyphPlanes planes = {0, 0, 0, glyph.data(), edge.data()};
        BuildGlyphPlanes(&one, 1, 1, 1, 1, c.edge, 0, &planes);
        ASSERT_EQ(planes.width, side);
        int count = 0;
        for (int i = 0; i < side * side; ++i) {
            count += edge[i] != 0 && glyph[i] == 0;
        }
        EXPECT_EQ(count, c.count) << "edge " << c.edge;
        EXPECT_EQ(edge[0] != 0, c.corner) << "edge " << c.edge;
        EXPECT_EQ(glyph[c.edge * side + c.edge], 1);
    }
}

TEST(FontEdges, GreyEdgesAccumulateOnTexturesAndKeepTheMaximumInMemory)
{
    uint8_t pair[2] = {8, 8}; // two half-covered pixels side by side, range 16
    std::vector<uint8_t> glyph(4 * 3), edge(4 * 3);
    GlyphPlanes planes = {0, 0, 0, glyph.data(), edge.data()};
    BuildGlyphPlanes(pair, 2, 2, 1, 16, 1, 0, &planes);
    EXPECT_EQ(edge[0], 8);            // one neighbour: 0 + 16 * 8 / 16
    EXPECT_EQ(edge[1], 12);           // two: 8 + 8 * 8 / 16
    BuildGlyphPlanes(pair, 2, 2, 1, 16, 1, 1, &planes);
    EXPECT_EQ(edge[1], 8);
}

TEST(FontEdges, MemoryCellFormats)
{
    // Glyph pixel at (1, 1) with edge around it (edge size 1)
    uint8_t lit = 16;
    std::vector<uint8_t> glyph(9), edge(9);
    GlyphPlanes planes = {0, 0, 0, glyph.data(), edge.data()};
    struct Case {
        int type, range;
        uint8_t centre, corner;
    } cases[] = {{1, 1, 1, 2}, {3, 16, 0xF0 | 15, 0xF0}, {2, 16, 15, 0}};
    for (const Case &c : cases) {
        uint8_t value = c.range == 1 ? 1 : lit;
        BuildGlyphPlanes(&value, 1, 1, 1, c.range, IsOutlinedType(c.type) ? 1 : 0, 1, &planes);
        uint8_t cell[3 * 4] = {};
        WriteGlyphPlanesToMemoryCell(&planes, c.type, c.range, cell, 4);
        int centre = IsOutlinedType(c.type) ? 1 * 4 + 1 : 0;
        EXPECT_EQ(cell[centre], c.centre) << "type " << c.type;
        if (IsOutlinedType(c.type)) {
            EXPECT_EQ(cell[0], c.corner) << "type " << c.type;
        }
    }
    // Type 0: bits, most significant first
    uint8_t bits[3] = {1, 0, 1};
    BuildGlyphPlanes(bits, 3, 3, 1, 1, 0, 1, &planes);
    uint8_t row[1] = {};
    WriteGlyphPlanesToMemoryCell(&planes, 0, 1, row, 1);
    EXPECT_EQ(row[0], 0xA0);
}

TEST(FontOversampling, BlocksBecomeCoverageInTheGreyRange)
{
    // 8x8 bits, rows of 4 bytes: the left 4x4 block full, the next one half full
    uint8_t source[8 * 4] = {};
    for (int y = 0; y < 4; ++y) {
        source[y * 4] = y < 2 ? 0xFC : 0xF0;
    }
    uint8_t out[2 * 2] = {};
    ReduceOversampledBitmap(source, 4, 8, 8, 4, 0, 16, out, 2, 2, 2);
    EXPECT_EQ(out[0], 16);
    EXPECT_EQ(out[1], 4);
    EXPECT_EQ(out[2], 0);
    ReduceOversampledBitmap(source, 4, 8, 8, 4, 0, 64, out, 2, 2, 2);
    EXPECT_EQ(out[0], 64);
    // Shifted down by two sub-rows: the full block straddles two output rows.
    ReduceOversampledBitmap(source, 4, 8, 8, 4, 2, 16, out, 2, 2, 2);
    EXPECT_EQ(out[0], 8);
    EXPECT_EQ(out[2], 8);
    // 8x: all 64 bits set gives 16 levels / 64 levels
    uint8_t full[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    ReduceOversampledBitmap(full, 1, 8, 8, 8, 0, 16, out, 1, 1, 1);
    EXPECT_EQ(out[0], 16);
    ReduceOversampledBitmap(full, 1, 8, 8, 8, 0, 64, out, 1, 1, 1);
    EXPECT_EQ(out[0], 64);
    EXPECT_EQ(CountSetBits(0xA5), 4);
}

} // namespace
