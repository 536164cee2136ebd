// Triangles: scan conversion and texture mapping, the worked values of every
// blend mode, and every variant against the scalar reference.
#include <gtest/gtest.h>

#include <random>

#include "shape_test_image.h"
#include "shape_triangle_reference.h"
#include "softraster/shapes.h"

using namespace Korvo;
using namespace shape_test;

namespace {

// Draw the graphics subsystem's quad: corners c0..c3 over texel corners (0,0)..(w,h).
void DrawQuad(MEMIMG *dst, const MEMIMG *src, int x0, int y0, int x1, int y1, int key = 0,
              const MEMIMG *blend = nullptr, uint32_t color = 0)
{
    const int w = src ? src->width : 1, h = src ? src->height : 1;
    const MemImgTriangleVertex c[4] = {{x0, y0, 0, 0}, {x1, y0, w, 0}, {x0, y1, 0, h}, {x1, y1, w, h}};
    RasterTriangleMemImg(dst, src, &c[0], key, blend, color);
    RasterTriangleMemImg(dst, src, &c[1], key, blend, color);
}

// A 32-bit source whose texel (x, y) reads 0x80000000 | x << 12 | y.
void FillProbe(TestImage &src)
{
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            src.Set(x, y, 0x80000000u | static_cast<uint32_t>(x << 12) | static_cast<uint32_t>(y));
}

uint32_t Texel(int x, int y) { return 0x80000000u | static_cast<uint32_t>(x << 12) | static_cast<uint32_t>(y); }

// One pixel drawn by the quad of a 1x1 source onto a 1x1 destination.
uint32_t DrawOne(TexelCase c, uint32_t d)
{
    const int srcBytes = c.paletted ? 1 : (c.kind == 1 || c.alphaFlag) ? 4 : 2;
    TestImage src(1, 1, c.kind, srcBytes, c.alphaFlag, c.paletted);
    TestImage dst(1, 1, c.kind, c.kind == 1 ? 4 : 2);
    TestImage blend(1, 1, 2, 1);
    ResetDrawState(1, 1);
    SetMemImgBlendState(c.mode, c.p);
    SetMemImgBrightColor(c.bright);
    src.Set(0, 0, c.raw);
    src.body()->transparentColor = c.transparent;
    if (c.paletted)
        std::memcpy(src.palette() + (c.raw & 255) * (c.kind == 1 ? 4 : 2), &c.paletteEntry, c.kind == 1 ? 4 : 2);
    blend.Set(0, 0, static_cast<uint32_t>(c.gate));
    dst.Set(0, 0, d);
    DrawQuad(dst.image(), src.image(), 0, 0, 1, 1, c.key ? 1 : 0, c.blend ? blend.image() : nullptr);
    return dst.Get(0, 0);
}

uint32_t Rgb(int r, int g, int b) { return static_cast<uint32_t>(b | (g << 8) | (r << 16)); }
uint32_t Rgb565(int r, int g, int b) { return static_cast<uint32_t>(b | (g << 5) | (r << 11)); }

}  // namespace

TEST(ShapeTriangle, RightTriangleRowsAndColumns)
{
    TestImage dst(8, 8, 1, 4);
    ResetDrawState(8, 8);
    const MemImgTriangleVertex v[3] = {{0, 0, 0, 0}, {4, 0, 0, 0}, {0, 4, 0, 0}};
    RasterTriangleMemImg(dst.image(), nullptr, v, 0, nullptr, 1);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(dst.Get(x, 0), x <= 4 ? 1u : 0u) << x;
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(dst.Get(x, 4), 0u);
    EXPECT_EQ(dst.Get(0, 3), 1u);
}

// Kept as the walk defines it: when the left chain turns at its middle vertex
// the row goes back to that vertex's row, so a top vertex above row 0 (whose
// whole part rounds toward zero) makes that row come twice.
TEST(ShapeTriangle, LeftTurnBelowANegativeTopDrawsEachRowOnceWhereTheLoweredTriangleDoes)
{
    // Added with parameter 255, a row drawn twice would show 2. The same triangle
    // three rows lower lies wholly inside; its rows, moved back up, are the rows to draw.
    TestImage high(16, 12, 1, 4), low(16, 15, 1, 4);
    ResetDrawState(16, 15);
    SetMemImgBlendState(MEMIMG_BLEND_ADD, 255);
    const MemImgTriangleVertex v[3] = {{6, -3, 0, 0}, {0, 2, 0, 0}, {12, 8, 0, 0}};
    const MemImgTriangleVertex lowered[3] = {{6, 0, 0, 0}, {0, 5, 0, 0}, {12, 11, 0, 0}};
    RasterTriangleMemImg(low.image(), nullptr, lowered, 0, nullptr, 1);
    ResetDrawState(16, 12);
    SetMemImgBlendState(MEMIMG_BLEND_ADD, 255);
    RasterTriangleMemImg(high.image(), nullptr, v, 0, nullptr, 1);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(high.Get(x, y), low.Get(x, y + 3)) << x << "," << y;
    EXPECT_EQ(high.Get(0, 2), 1u);    // the middle vertex's row
    EXPECT_EQ(high.Get(11, 7), 1u);   // the last row, above the bottom vertex
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(high.Get(x, 8), 0u);
}

TEST(ShapeTriangle, CollinearVerticesDrawNothing)
{
    TestImage dst(8, 8, 0, 2);
    ResetDrawState(8, 8);
    const MemImgTriangleVertex line[3] = {{0, 0, 0, 0}, {3, 3, 0, 0}, {6, 6, 0, 0}};
    const MemImgTriangleVertex flat[3] = {{0, 2, 0, 0}, {5, 2, 0, 0}, {7, 2, 0, 0}};
    const MemImgTriangleVertex point[3] = {{4, 4, 0, 0}, {4, 4, 0, 0}, {4, 4, 0, 0}};
    RasterTriangleMemImg(dst.image(), nullptr, line, 0, nullptr, 0xFFFF);
    RasterTriangleMemImg(dst.image(), nullptr, flat, 0, nullptr, 0xFFFF);
    RasterTriangleMemImg(dst.image(), nullptr, point, 0, nullptr, 0xFFFF);
    for (uint32_t p : dst.Pixels())
        ASSERT_EQ(p, 0u);
}

TEST(ShapeTriangle, QuadMapsTexelsAndClipKeepsThem)
{
    TestImage src(4, 4, 1, 4);
    FillProbe(src);
    TestImage dst(12, 12, 1, 4);
    ResetDrawState(12, 12);
    DrawQuad(dst.image(), src.image(), 2, 2, 6, 6);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool in = x >= 2 && x <= 5 && y >= 2 && y <= 5;
            ASSERT_EQ(dst.Get(x, y), in ? Texel(x - 2, y - 2) : 0u) << x << "," << y;
        }

    dst.Fill(0);
    DrawQuad(dst.image(), src.image(), 2, 2, 10, 10);
    for (int y = 2; y < 10; ++y)
        for (int x = 2; x < 10; ++x)
            ASSERT_EQ(dst.Get(x, y), Texel((x - 2) / 2, (y - 2) / 2)) << x << "," << y;

    dst.Fill(0);
    RECT clip{3, 3, 5, 12};
    SetMemImgClipRect(&clip);
    DrawQuad(dst.image(), src.image(), 2, 2, 6, 6);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool in = x >= 3 && x <= 4 && y >= 3 && y <= 5;
            ASSERT_EQ(dst.Get(x, y), in ? Texel(x - 2, y - 2) : 0u) << x << "," << y;
        }

    // The flat quad fills the right column that the texture leaves.
    dst.Fill(0);
    ResetDrawState(12, 12);
    DrawQuad(dst.image(), nullptr, 2, 2, 6, 6, 0, nullptr, 9);
    EXPECT_EQ(dst.Get(6, 3), 9u);
    EXPECT_EQ(dst.Get(3, 6), 0u);
}

// Whole parts round toward zero and the reference is the leftmost vertex.
TEST(ShapeTriangle, NegativeCornerQuadTakesTheseTexels)
{
    TestImage src(4, 4, 1, 4);
    FillProbe(src);
    TestImage dst(12, 12, 1, 4);
    ResetDrawState(12, 12);
    DrawQuad(dst.image(), src.image(), -2, -1, 2, 3);
    const struct { int x, y, u, v; } expected[] = {
        {0, 0, 1, 0}, {1, 0, 2, 0}, {2, 0, 3, 1}, {0, 1, 1, 1}, {1, 1, 2, 2},
        {2, 1, 3, 2}, {0, 2, 1, 3}, {1, 2, 2, 3}, {2, 2, 3, 3}, {0, 3, 1, 3},
    };
    int changed = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            changed += dst.Get(x, y) != 0;
    EXPECT_EQ(changed, 10);
    for (const auto &e : expected)
        EXPECT_EQ(dst.Get(e.x, e.y), Texel(e.u, e.v)) << e.x << "," << e.y;
}

TEST(ShapeTriangle, EntryChecksAndRefusals)
{
    TestImage src16(4, 4, 0, 2);
    TestImage src32(4, 4, 1, 4);
    src32.Fill(0x11223344);
    TestImage dst(8, 8, 1, 4);
    TestImage dstAlpha(8, 8, 1, 4, true);
    TestImage dstPalette(8, 8, 1, 1, false, true);
    ResetDrawState(8, 8);
    DrawQuad(dst.image(), src16.image(), 0, 0, 4, 4);
    DrawQuad(dstAlpha.image(), src32.image(), 0, 0, 4, 4);
    DrawQuad(dstPalette.image(), src32.image(), 0, 0, 4, 4);
    for (int mode : {5, 6, 7, 8, 9, 12, 100, -1}) {
        SetMemImgBlendState(mode, 128);
        DrawQuad(dst.image(), src32.image(), 0, 0, 4, 4);
        DrawQuad(dst.image(), nullptr, 0, 0, 4, 4, 0, nullptr, 5);
    }
    // Coordinates beyond the 14.18 range and a blend image smaller than the source.
    ResetDrawState(8, 8);
    const MemImgTriangleVertex beyondRange[3] = {{0, 0, 0, 0}, {9000, 0, 4, 0}, {0, 5, 0, 4}};
    RasterTriangleMemImg(dst.image(), src32.image(), beyondRange, 0, nullptr, 0);
    const MemImgTriangleVertex beyondTexelRange[3] = {{0, 0, 0, 0}, {5, 0, -9000, 0}, {0, 5, 0, 4}};
    RasterTriangleMemImg(dst.image(), src32.image(), beyondTexelRange, 0, nullptr, 0);
    TestImage smallBlend(2, 2, 2, 1);
    DrawQuad(dst.image(), src32.image(), 0, 0, 4, 4, 0, smallBlend.image());
    for (uint32_t p : dst.Pixels())
        ASSERT_EQ(p, 0u);
    for (uint32_t p : dstAlpha.Pixels())
        ASSERT_EQ(p, 0u);
    for (uint32_t p : dstPalette.Pixels())
        ASSERT_EQ(p, 0u);

    // A paletted source on a direct-colour destination of its kind is drawn.
    TestImage pal(2, 2, 1, 1, false, true);
    const uint32_t entry = 0xCAFEBABE;
    std::memcpy(pal.palette() + 4 * 0, &entry, 4);
    DrawQuad(dst.image(), pal.image(), 0, 0, 2, 2);
    EXPECT_EQ(dst.Get(1, 1), entry);
}

// A clip larger than the destination never writes outside it.
TEST(ShapeTriangle, OversizedClipStaysInside)
{
    TestImage src(4, 4, 0, 2);
    src.Fill(0x1234);
    TestImage dst(10, 6, 0, 2);
    ResetDrawState(10, 6);
    RECT clip{-50, -50, 500, 500};
    SetMemImgClipRect(&clip);
    DrawQuad(dst.image(), src.image(), -20, -20, 40, 40);
    DrawQuad(dst.image(), nullptr, -20, -20, 40, 40, 0, nullptr, 0x4321);
    EXPECT_TRUE(dst.GuardIntact());
    EXPECT_EQ(dst.Get(9, 5), 0x4321u);
}

TEST(ShapeTriangle, CopyWorkedValues)
{
    TexelCase c;
    c.raw = 0x7A102030;
    EXPECT_EQ(DrawOne(c, 0xFF000000), 0x7A102030u);                 // fourth byte copied
    c.bright = 0xFFFFFE;
    EXPECT_EQ(DrawOne(c, 0xFF000000) >> 24, 0xFFu);                 // kept with bright
    c = TexelCase{};
    c.alphaFlag = true;
    c.raw = 0xFF0000FF;
    EXPECT_EQ(DrawOne(c, 0) & 0xFF, 254u);                          // Lerp by 255
    c.key = true;
    EXPECT_EQ(DrawOne(c, 0) & 0xFF, 255u);
    c.raw = 0x000000FF;
    EXPECT_EQ(DrawOne(c, 0x12345678), 0x12345678u);
    c.key = false;
    c.blend = true;
    c.raw = 0xFF0000FF;
    EXPECT_EQ(DrawOne(c, 0) & 0xFF, 253u);                          // g and a 255: 253
    c.key = true;
    EXPECT_EQ(DrawOne(c, 0) & 0xFF, 254u);
    c = TexelCase{};
    c.kind = 0;
    c.alphaFlag = true;
    c.raw = 0x00FF0000u | Rgb565(31, 0, 0);
    EXPECT_EQ(DrawOne(c, 0), Rgb565(30, 0, 0));
    c = TexelCase{};
    c.paletted = true;
    c.key = true;
    c.raw = 3;
    c.transparent = 3;
    c.paletteEntry = 0x00ABCDEF;
    EXPECT_EQ(DrawOne(c, 0x55), 0x55u);                             // keyed on the index
    c.transparent = 0x00ABCDEF;
    EXPECT_EQ(DrawOne(c, 0x55), 0x00ABCDEFu);
}

TEST(ShapeTriangle, AlphaBlendWorkedValues)
{
    TexelCase c;
    c.mode = 1;
    c.p = 254;
    c.raw = Rgb(255, 0, 255);
    EXPECT_EQ(DrawOne(c, Rgb(0, 255, 0)), Rgb(253, 1, 253));
    c.p = 1;
    EXPECT_EQ(DrawOne(c, Rgb(0, 255, 0)), Rgb(0, 254, 0));
    c.kind = 0;
    c.p = 254;
    c.raw = Rgb565(31, 0, 31);
    EXPECT_EQ(DrawOne(c, Rgb565(0, 63, 0)), Rgb565(30, 1, 30));
    c.alphaFlag = true;
    c.raw = (100u << 16) | Rgb565(0, 63, 0);
    EXPECT_EQ(DrawOne(c, 0), Rgb565(0, 24, 0));
    c.raw = (100u << 16) | Rgb565(0, 0, 0);
    EXPECT_EQ(DrawOne(c, Rgb565(0, 63, 0)), Rgb565(0, 38, 0));
    c = TexelCase{};
    c.mode = 1;
    c.p = 254;
    c.alphaFlag = true;
    c.raw = 0xFF0000FF;
    EXPECT_EQ(DrawOne(c, 0) & 0xFF, 252u);
    c.key = true;
    EXPECT_EQ(DrawOne(c, 0) & 0xFF, 253u);
    c = TexelCase{};
    c.mode = 1;
    c.p = 254;
    c.blend = true;
    c.gate = 255;
    c.raw = 0xFF;
    EXPECT_EQ(DrawOne(c, 0) & 0xFF, 252u);
    c.gate = 0;
    EXPECT_EQ(DrawOne(c, 0x77777777), 0x77777777u);
}

TEST(ShapeTriangle, AddAndSubtractWorkedValues)
{
    TexelCase c;
    c.mode = 2;
    c.blend = true;
    c.raw = 0xFF;
    EXPECT_EQ(DrawOne(c, 0) & 0xFF, 253u);
    c.alphaFlag = true;
    c.raw = 0xFF0000FF;
    EXPECT_EQ(DrawOne(c, 0) & 0xFF, 252u);
    c.key = true;
    EXPECT_EQ(DrawOne(c, 0) & 0xFF, 253u);
    c.blend = false;
    EXPECT_EQ(DrawOne(c, 0) & 0xFF, 255u);
    c.key = false;
    EXPECT_EQ(DrawOne(c, 0) & 0xFF, 253u);
    c = TexelCase{};
    c.mode = 2;
    c.kind = 0;
    c.blend = true;
    c.raw = Rgb565(31, 0, 0);
    EXPECT_EQ(DrawOne(c, 0), Rgb565(30, 0, 0));

    c = TexelCase{};
    c.mode = 3;
    c.raw = Rgb(64, 64, 64);
    EXPECT_EQ(DrawOne(c, Rgb(128, 128, 128)), Rgb(65, 65, 64));
    c.alphaFlag = true;
    c.raw = 0x00FFFFFF;
    EXPECT_EQ(DrawOne(c, 0xFF000000u | Rgb(128, 128, 128)), Rgb(129, 129, 128));   // a = 0 still writes
    c.key = true;
    c.raw = 0xFEFFFFFF;
    EXPECT_EQ(DrawOne(c, 0xFFFFFFFF), Rgb(3, 3, 3) | 0u);
    c = TexelCase{};
    c.mode = 3;
    c.kind = 0;
    c.alphaFlag = true;
    c.raw = 0x00FF0000u | 0xFFFF;
    EXPECT_EQ(DrawOne(c, 0xFFFF), Rgb565(1, 0, 1));
    c.key = true;
    EXPECT_EQ(DrawOne(c, 0xFFFF), Rgb565(1, 0, 0));
    // Parameter 0: a paletted source still rewrites the pixel with a zero source.
    c = TexelCase{};
    c.mode = 3;
    c.p = 0;
    c.paletted = true;
    c.paletteEntry = 0xFFFFFF;
    EXPECT_EQ(DrawOne(c, 0xFF000000u | Rgb(128, 128, 128)), Rgb(129, 129, 128));
    c.paletted = false;
    c.raw = 0xFFFFFF;
    EXPECT_EQ(DrawOne(c, 0xFF000000u | Rgb(128, 128, 128)), 0xFF000000u | Rgb(128, 128, 128));
}

TEST(ShapeTriangle, MultiplyInvertAndWeightedWorkedValues)
{
    TexelCase c;
    c.mode = 4;
    c.p = 0;
    c.raw = 0xFFFFFF;
    EXPECT_EQ(DrawOne(c, 0x42FF0001), 0x42FE0000u);
    c.kind = 0;
    c.raw = 0xFFFF;
    EXPECT_EQ(DrawOne(c, 0xFFFF), Rgb565(30, 62, 30));
    c.blend = true;
    c.alphaFlag = true;
    c.raw = 0x00FF0000u | 0xFFFF;
    EXPECT_EQ(DrawOne(c, 0xFFFF), Rgb565(29, 61, 29));
    c = TexelCase{};
    c.mode = 4;
    c.alphaFlag = true;
    c.key = true;
    c.raw = 0x00FFFFFF;
    EXPECT_EQ(DrawOne(c, 0x11FFFFFF), 0x11000000u);                 // alpha 0 blackens

    c = TexelCase{};
    c.mode = 10;
    c.raw = 0;
    EXPECT_EQ(DrawOne(c, 0), Rgb(254, 254, 254));
    c.p = 128;
    EXPECT_EQ(DrawOne(c, 0) & 0xFF, 127u);
    c.kind = 0;
    EXPECT_EQ(DrawOne(c, 0), Rgb565(15, 31, 15));
    c.p = 255;
    EXPECT_EQ(DrawOne(c, 0), 0xFFFFu);
    c = TexelCase{};
    c.mode = 10;
    c.bright = 0x808080;
    c.raw = 0xFFFFFF;
    EXPECT_EQ(DrawOne(c, 0x00FFFFFF), 0u);                          // target S[128][0] = 0

    c = TexelCase{};
    c.mode = 11;
    c.raw = 0xFF;
    EXPECT_EQ(DrawOne(c, 200) & 0xFF, 199u);
    c.blend = true;
    c.raw = 0;
    EXPECT_EQ(DrawOne(c, 255) & 0xFF, 1u);
    c.alphaFlag = true;
    c.raw = 0xFF000000;
    EXPECT_EQ(DrawOne(c, 255) & 0xFF, 2u);
    c.key = true;
    EXPECT_EQ(DrawOne(c, 255) & 0xFF, 1u);
    c = TexelCase{};
    c.mode = 11;
    c.kind = 0;
    c.alphaFlag = true;
    c.raw = (200u << 16) | Rgb565(0, 50, 0);
    EXPECT_EQ(DrawOne(c, Rgb565(0, 40, 0)), Rgb565(0, 33, 0));      // fine green
    c.bright = 0xFFFFFE;
    EXPECT_EQ(DrawOne(c, Rgb565(0, 40, 0)), Rgb565(0, 32, 0));
    c = TexelCase{};
    c.mode = 11;
    c.kind = 0;
    c.p = 128;
    c.raw = 0;
    EXPECT_EQ(DrawOne(c, Rgb565(31, 0, 0)), Rgb565(16, 0, 0));
}

// Alpha blend at 255 is the copy; at 0 nothing changes; the same for flat triangles.
TEST(ShapeTriangle, AlphaBlendEndsMatchCopy)
{
    std::mt19937 rng(3);
    TestImage src(6, 5, 1, 4, true);
    src.FillRandom(rng);
    TestImage a(20, 20, 1, 4), b(20, 20, 1, 4);
    a.FillRandom(rng);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            b.Set(x, y, a.Get(x, y));
    const std::vector<uint32_t> before = a.Pixels();
    ResetDrawState(20, 20);
    SetMemImgBlendState(MEMIMG_BLEND_ALPHA, 0);
    DrawQuad(a.image(), src.image(), 1, 2, 17, 19, 1);
    DrawQuad(a.image(), nullptr, 1, 2, 17, 19, 0, nullptr, 0x123456);
    EXPECT_EQ(a.Pixels(), before);
    SetMemImgBlendState(MEMIMG_BLEND_ALPHA, 255);
    DrawQuad(a.image(), src.image(), 1, 2, 17, 19, 1);
    DrawQuad(a.image(), nullptr, 3, 1, 9, 9, 0, nullptr, 0x123456);
    SetMemImgBlendState(MEMIMG_BLEND_COPY, 17);
    DrawQuad(b.image(), src.image(), 1, 2, 17, 19, 1);
    DrawQuad(b.image(), nullptr, 3, 1, 9, 9, 0, nullptr, 0x123456);
    EXPECT_EQ(a.Pixels(), b.Pixels());
}

// Every variant of every mode on random triangles: the covered pixels and
// their texels come from a probe drawing (copy of a coordinate texture); each
// covered pixel must hold the reference result, every other pixel its old value.
TEST(ShapeTriangle, EveryVariantMatchesReference)
{
    std::mt19937 rng(1234);
    const int modes[] = {0, 1, 2, 3, 4, 10, 11};
    const int W = 24, H = 20, SW = 7, SH = 6;
    for (int kind = 0; kind <= 1; ++kind) {
        for (int form = 0; form < 3; ++form) {        // direct, direct with alpha, paletted
            const bool paletted = form == 2, alphaFlag = form == 1;
            const int srcBytes = paletted ? 1 : (kind == 1 || alphaFlag) ? 4 : 2;
            TestImage src(SW, SH, kind, srcBytes, alphaFlag, paletted);
            TestImage blend(SW + 1, SH, 2, 1);
            TestImage probeSrc(SW, SH, 1, 4);
            FillProbe(probeSrc);
            TestImage probe(W, H, 1, 4);
            TestImage dst(W, H, kind, kind == 1 ? 4 : 2);
            for (int combo = 0; combo < 8 * 7 * 4; ++combo) {
                const int mode = modes[combo % 7];
                const bool blendOn = combo & 8, brightOn = combo & 16, key = combo & 32;
                const int pChoice = (combo >> 6) & 3;
                const int p = pChoice == 0 ? 0 : pChoice == 1 ? 255 : 1 + static_cast<int>(rng() % 254);
                const uint32_t bright = brightOn ? (rng() & 0xFFFFFF) : 0xFFFFFF;

                src.FillRandom(rng);
                if (kind == 0 && !alphaFlag && !paletted)
                    for (int y = 0; y < SH; ++y)
                        for (int x = 0; x < SW; ++x)
                            src.Set(x, y, src.Get(x, y) & 0xFFFF);
                if (alphaFlag)   // many alpha 0 and 255 texels
                    for (int y = 0; y < SH; ++y)
                        for (int x = 0; x < SW; x += 2)
                            src.Set(x, y, (src.Get(x, y) & 0x00FFFFFF) | ((rng() & 1) ? 0xFF000000u : 0u));
                if (paletted)
                    for (int i = 0; i < 1024; ++i)
                        src.palette()[i] = static_cast<uint8_t>(rng());
                // A transparent colour that some texels hold.
                src.body()->transparentColor = src.Get(static_cast<int>(rng() % SW), static_cast<int>(rng() % SH));
                blend.FillRandom(rng);
                dst.FillRandom(rng);
                if (kind == 0)
                    for (int y = 0; y < H; ++y)
                        for (int x = 0; x < W; ++x)
                            dst.Set(x, y, dst.Get(x, y) & 0xFFFF);
                const std::vector<uint32_t> before = dst.Pixels();

                MemImgTriangleVertex v[3];
                // Rows from 0 down: a top vertex above row 0 makes the left chain's
                // middle row come twice, which the probe cannot show.
                for (auto &vx : v)
                    vx = {static_cast<int>(rng() % (W + 16)) - 8, static_cast<int>(rng() % (H + 8)),
                          static_cast<int>(rng() % (SW + 4)) - 2, static_cast<int>(rng() % (SH + 4)) - 2};
                if (combo & 1) {
                    // Half of an upright quad: the texel row is constant along each span.
                    v[1].y = v[0].y;
                    v[1].v = v[0].v;
                    v[2].x = v[0].x;
                    v[2].u = v[0].u;
                }
                RECT clip{static_cast<LONG>(rng() % 5), static_cast<LONG>(rng() % 5), static_cast<LONG>(W - rng() % 5),
                          static_cast<LONG>(H - rng() % 5)};

                ResetDrawState(W, H);
                SetMemImgClipRect(&clip);
                probe.Fill(0);
                RasterTriangleMemImg(probe.image(), probeSrc.image(), v, 0, nullptr, 0);

                SetMemImgBlendState(mode, p);
                SetMemImgBrightColor(bright);
                RasterTriangleMemImg(dst.image(), src.image(), v, key ? 1 : 0, blendOn ? blend.image() : nullptr, 0);

                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x) {
                        const uint32_t d = before[y * W + x];
                        uint32_t expected = d;
                        const uint32_t hit = probe.Get(x, y);
                        if (hit != 0) {
                            const int tu = static_cast<int>((hit >> 12) & 0xFFF), tv = static_cast<int>(hit & 0xFFF);
                            TexelCase c;
                            c.kind = kind;
                            c.mode = mode;
                            c.p = p;
                            c.bright = bright;
                            c.paletted = paletted;
                            c.alphaFlag = alphaFlag;
                            c.key = key;
                            c.blend = blendOn;
                            c.gate = static_cast<int>(blend.Get(tu, tv) & 0xFF);
                            c.raw = src.Get(tu, tv);
                            if (paletted)
                                std::memcpy(&c.paletteEntry, src.palette() + c.raw * (kind == 1 ? 4 : 2),
                                            kind == 1 ? 4 : 2);
                            c.transparent = src.body()->transparentColor;
                            expected = ReferenceTexelPixel(c, d).value_or(d);
                        }
                        ASSERT_EQ(dst.Get(x, y), expected)
                            << "kind " << kind << " form " << form << " mode " << mode << " p " << p << " blend "
                            << blendOn << " bright " << brightOn << " key " << key << " at " << x << "," << y;
                    }
                ASSERT_TRUE(dst.GuardIntact());
            }
        }
    }
}

// Flat triangles in every mode: the same coverage as a textured probe with
// the right column included, and the flat operations on a table-scaled colour.
TEST(ShapeTriangle, FlatEveryModeMatchesReference)
{
    std::mt19937 rng(77);
    const int modes[] = {0, 1, 2, 3, 4, 10, 11, 8};
    const int W = 20, H = 16;
    for (int kind = 0; kind <= 1; ++kind) {
        TestImage probe(W, H, 1, 4);
        TestImage dst(W, H, kind, kind == 1 ? 4 : 2);
        for (int trial = 0; trial < 400; ++trial) {
            const int mode = modes[trial % 8];
            const int p = trial % 7 == 0 ? 0 : trial % 7 == 1 ? 255 : static_cast<int>(rng() % 256);
            const uint32_t bright = trial % 2 ? 0xFFFFFF : (rng() & 0xFFFFFF);
            MemImgTriangleVertex v[3];
            for (auto &vx : v)
                vx = {static_cast<int>(rng() % (W + 10)) - 5, static_cast<int>(rng() % (H + 5)), 0, 0};
            ResetDrawState(W, H);
            probe.Fill(0);
            RasterTriangleMemImg(probe.image(), nullptr, v, 0, nullptr, 1);
            dst.FillRandom(rng);
            if (kind == 0)
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x)
                        dst.Set(x, y, dst.Get(x, y) & 0xFFFF);
            const std::vector<uint32_t> before = dst.Pixels();
            const uint32_t color = kind == 1 ? rng() : (rng() & 0xFFFF);
            SetMemImgBlendState(mode, p);
            SetMemImgBrightColor(bright);
            TestImage blend(4, 4, 2, 1);
            RasterTriangleMemImg(dst.image(), nullptr, v, 1, blend.image(), color);   // both ignored
            Channels cc = SplitPixel(kind, color);
            cc.b = ScaleEntry(static_cast<int>(bright & 255), cc.b);
            cc.g = ScaleEntry(static_cast<int>((bright >> 8) & 255), cc.g);
            cc.r = ScaleEntry(static_cast<int>((bright >> 16) & 255), cc.r);
            const uint32_t prepared = JoinPixel(kind, cc, color);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    const uint32_t d = before[y * W + x];
                    const uint32_t expected = probe.Get(x, y) ? ReferenceFlatPixel(kind, mode, p, prepared, d) : d;
                    ASSERT_EQ(dst.Get(x, y), expected) << "kind " << kind << " mode " << mode << " p " << p << " d " << d << " c " << prepared << " at " << x << "," << y;
                }
        }
    }
}
