// The smoothed (4x, 8x), outlined and vertical forms of text on the software
// road: every pixel a glyph writes is worked out here from the system's own 1-bit
// glyph (f x f blocks counted into 16 levels, the edge grown by its mask) and
// turned into the target pixel by the cache-pixel rules; vertical text is the
// horizontal glyph turned a quarter clockwise, its top-left pixel at the top right.

#include "font/font_record.h"

#include "core/public_api.h"
#include "graphics/device/graphics_state.h"
#include "graphics/public_api.h"
#include "graphics/device/screen_request.h"
#include "softraster/memimg.h"
#include "software_road_session.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace Korvo;

namespace {

constexpr uint32_t kUntouched = 0x5A5A5A5A;
constexpr uint32_t kText = 0xF0C020;
constexpr uint32_t kEdge = 0x102040;
const char kGlyph[] = "字";

// Levels (0-16) of the glyph at the font's oversampling, from GDI's 1-bit bitmap
struct ExpectedGlyph {
    int width = 0, height = 0, offsetX = 0, offsetY = 0, advance = 0;
    std::vector<int> levels;
    int LevelAt(int x, int y) const
    {
        return x < 0 || y < 0 || x >= width || y >= height ? 0 : levels[y * width + x];
    }
};

ExpectedGlyph ExpectFromSystemGlyph(const FontHandleRecord *font)
{
    ExpectedGlyph out;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, static_cast<HFONT>(font->gdiFont));
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS glyph;
    UINT code = 0x8E9A; // 字
    DWORD size = GetGlyphOutlineA(dc, code, GGO_BITMAP, &glyph, 0, nullptr, &identity);
    std::vector<uint8_t> bits(size);
    GetGlyphOutlineA(dc, code, GGO_BITMAP, &glyph, size, bits.data(), &identity);
    SelectObject(dc, old);
    DeleteDC(dc);

    int f = OversampleFactor(font->type);
    int rowBytes = (static_cast<int>(glyph.gmBlackBoxX) + 31) / 32 * 4;
    int below = metrics.tmAscent - glyph.gmptGlyphOrigin.y;
    int shift = below % f;
    out.width = (static_cast<int>(glyph.gmBlackBoxX) + f - 1) / f;
    out.height = (shift + static_cast<int>(glyph.gmBlackBoxY) + f - 1) / f;
    out.offsetX = (glyph.gmptGlyphOrigin.x + f / 4) / f;
    out.offsetY = below / f;
    out.advance = (glyph.gmCellIncX + f / 4) / f;
    out.levels.assign(static_cast<size_t>(out.width) * out.height, 0);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            int count = 0;
            for (int sy = y * f - shift; sy < y * f - shift + f; ++sy) {
                for (int sx = x * f; sx < x * f + f; ++sx) {
                    if (sy >= 0 && sy < static_cast<int>(glyph.gmBlackBoxY) && sx < static_cast<int>(glyph.gmBlackBoxX)) {
                        count += (bits[sy * rowBytes + sx / 8] >> (7 - sx % 8)) & 1;
                    }
                }
            }
            out.levels[y * out.width + x] = f == 8 ? count / 4 : count;
        }
    }
    return out;
}

// The memory-cache value of plane pixel (x, y): the glyph e pixels in, the edge
// the strongest glyph level under the mask around it
int ExpectedCacheValue(const ExpectedGlyph &glyph, int type, int e, int x, int y)
{
    auto stored = [](int level) { return level > 0 ? std::min(level, 16) - 1 : 0; };
    int level = glyph.LevelAt(x - e, y - e);
    int edge = 0;
    bool edgeLit = false;
    for (int dy = -e; dy <= e && e > 0; ++dy) {
        for (int dx = -e; dx <= e; ++dx) {
            int around = glyph.LevelAt(x - e + dx, y - e + dy);
            if (EdgeMaskCovers(e, dx, dy) && around > 0) {
                edgeLit = true;
                edge = std::max(edge, stored(around));
            }
        }
    }
    switch (type) {
    case 1:
        return level > 0 ? 1 : (edgeLit ? 2 : 0);
    case 18:
    case 34:
        return stored(level);
    default:
        return stored(level) | (edge << 4);
    }
}

TEST(TextForms, SmoothedOutlinedAndVerticalPixelsFollowTheCacheRules)
{
    ASSERT_EQ(StartSoftwareRoadSession("KorvoTextFormsTest"), 0);
    ASSERT_EQ(GetScreenBitsPerPixel(), 32);
    struct Form {
        const char *name;
        int type, edgeSize;
    };
    const Form forms[] = {
        {"smoothed 4x", FontSmoothed4x, -1}, {"smoothed 8x", FontSmoothed8x, -1}, {"outlined", FontEdge, 1},
        {"smoothed 4x, outlined", FontSmoothed4xEdge, 1}, {"smoothed 8x, edge of 2", FontSmoothed8xEdge, 2},
    };
    FontCacheSettings settings;
    CopyFontCacheSettings(&settings);
    for (const Form &form : forms) {
        SCOPED_TRACE(form.name);
        int handle = CreateFontHandleWithSettings(&settings, nullptr, 24, -1, form.type, -1, form.edgeSize, 0, -1, 0);
        ASSERT_NE(handle, -1);
        FontHandleRecord *font = LookupFontRecord(handle);
        ASSERT_EQ(font->textureCache, 0);
        ASSERT_EQ(font->type, form.type);
        int e = IsOutlinedType(form.type) ? font->edgeSize : 0;
        ExpectedGlyph glyph = ExpectFromSystemGlyph(font);
        ASSERT_GT(glyph.width, 4);

        MEMIMG target = {};
        ASSERT_EQ(AllocateMemImg(&target, 96, 96, -1, 0, MEMIMG_KIND_XRGB32, 0, 0, 0, nullptr), 0);
        RECT whole = {0, 0, 96, 96};
        for (int vertical : {0, 1}) {
            SCOPED_TRACE(vertical != 0 ? "vertical" : "horizontal");
            FillMemImgRectRaw(&target, &whole, kUntouched);
            int box[2] = {0, 0};
            int run = RenderTextRun(1, 30, 30, 0, 1.0, 1.0, kGlyph, PackScreenColor(0xF0, 0xC0, 0x20), &target,
                                    &whole, 1, handle, PackScreenColor(0x10, 0x20, 0x40), -1, vertical, box);
            EXPECT_EQ(run, glyph.advance + 2 * e);
            const GlyphCacheSlot *slot = font->codes[0x9A8E].slot;
            ASSERT_NE(slot, nullptr);
            EXPECT_EQ(slot->drawOffsetX, glyph.offsetX);
            EXPECT_EQ(slot->drawOffsetY, glyph.offsetY);

            // Where plane pixel (0, 0) lands and where its neighbours go from there
            int trim = font->topTrim / -2;
            int planeWidth = glyph.width + 2 * e, planeHeight = glyph.height + 2 * e;
            int originX = vertical != 0 ? 30 + trim + font->cellHeight - glyph.offsetY - 1 : 30 + glyph.offsetX;
            int originY = vertical != 0 ? 30 + glyph.offsetX : 30 + trim + glyph.offsetY;
            std::vector<uint32_t> expected(96 * 96, kUntouched);
            for (int py = 0; py < planeHeight; ++py) {
                for (int px = 0; px < planeWidth; ++px) {
                    int x = vertical != 0 ? originX - py : originX + px;
                    int y = vertical != 0 ? originY + px : originY + py;
                    uint32_t pixel = 0;
                    if (TargetPixelOfCacheValue(form.type, 32, ExpectedCacheValue(glyph, form.type, e, px, py), kText,
                                                kEdge, &pixel)) {
                        expected[y * 96 + x] = pixel;
                    }
                }
            }
            int wrong = 0, lit = 0;
            for (int y = 0; y < 96; ++y) {
                const uint32_t *row = reinterpret_cast<const uint32_t *>(target.pixels + y * target.body->pitch);
                for (int x = 0; x < 96; ++x) {
                    lit += row[x] != kUntouched ? 1 : 0;
                    if (row[x] != expected[y * 96 + x] && ++wrong <= 3) {
                        ADD_FAILURE() << "(" << x << ", " << y << ") " << std::hex << row[x] << " instead of "
                                      << expected[y * 96 + x];
                    }
                }
            }
            EXPECT_EQ(wrong, 0);
            EXPECT_GT(lit, 30);
        }
        DisposeMemImg(&target);
        DeleteHandleRecord(handle);
    }
    ASSERT_EQ(ShutdownLibrary(), 0);
}

} // namespace
