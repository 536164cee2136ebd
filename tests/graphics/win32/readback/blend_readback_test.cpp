// Every blend mode drawn on the real device: a quad of a known texture colour
// over a known background, read back and compared with the blend equation,
// once through the built-in pixel shaders and once through the stage programmes.

#include "tests/graphics/win32/device/library_session.h"

#include "graphics/shading/blend_stages.h"
#include "graphics/shading/white_stage_texture.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

using namespace Korvo;

namespace {

struct Rgb {
    double r, g, b;
};

const Rgb kSource = {48, 20, 60};   // texture colour (four times it stays below 255)
const Rgb kDest = {100, 150, 200};  // background under the quad
const int kAlpha = 128;             // vertex alpha: the blend parameter
const uint32_t kSourceTexel = 0xFF000000u | (48u << 16) | (20u << 8) | 60u;

// One channel of the blend equation of a mode: s the colour the stages give,
// d the destination, a = alpha / 255.
double BlendChannel(int mode, double s, double d, double a, bool reverseSubtract)
{
    auto clamp = [](double v) { return std::min(255.0, std::max(0.0, v)); };
    switch (mode) {
    case 0:
    case 6:
    case 14:
        return s;
    case 1:
    case 10:
    case 12:
        return clamp(s * a + d * (1 - a));
    case 2:
    case 5:
    case 7: // keeps the factors of the mode before it (5, through 6, which sends none)
    case 13:
        return clamp(s * a + d);
    case 3:
        return reverseSubtract ? clamp(d - s * a) : clamp(s * (255 - d) / 255);
    case 4:
    case 11:
        return d * s / 255;
    case 8:
        return d;
    case 9:
        return s * (255 - d) / 255;
    case 15:
        return clamp(s + d * (1 - a));
    default:
        return clamp(d - s * a);
    }
}

// Whether the draws go through the built-in pixel shaders.
bool ShaderPath = false;

// The colour the stages give for a textured draw (texture t, white vertex colour).
double TexturedStageColour(int mode, double t, double a)
{
    if (mode == 11) {
        return t * a + 255 * (1 - a); // blended toward the white texture factor, as in software
    }
    if (mode == 10) {
        return 255 - t;
    }
    return mode == 12 || mode == 13 ? std::min(255.0, 4 * t) : t;
}

// The colour the stage gives for a draw without texture (vertex colour v, alpha a).
double UntexturedStageColour(int mode, double v, double a)
{
    if (mode == 11) {
        return v * a + 255 * (1 - a); // blended toward the white texture factor
    }
    if (mode == 12 || mode == 13) {
        return std::min(255.0, 4 * v); // the stages multiply by the white stage texture
    }
    return mode == 10 ? 255 - v : v;
}

K_IDirect3DTexture9 *CreateSolidTexture(uint32_t texel)
{
    K_IDirect3DTexture9 *staging = nullptr;
    K_IDirect3DTexture9 *texture = nullptr;
    if (D3DDev_CreateTexture(8, 8, 1, 0, K_D3DFMT_A8R8G8B8, K_D3DPOOL_SYSTEMMEM, &staging) < 0) {
        return nullptr;
    }
    if (D3DDev_CreateTexture(8, 8, 1, 0, K_D3DFMT_A8R8G8B8, K_D3DPOOL_DEFAULT, &texture) < 0) {
        D3DRes_Release(staging);
        return nullptr;
    }
    K_D3DLOCKED_RECT locked = {};
    D3DTex_LockRect(staging, 0, &locked, nullptr, 0);
    for (int y = 0; y < 8; ++y) {
        uint32_t *row = reinterpret_cast<uint32_t *>(static_cast<char *>(locked.pBits) + y * locked.Pitch);
        std::fill(row, row + 8, texel);
    }
    D3DTex_UnlockRect(staging, 0);
    D3DDev_UpdateTexture(reinterpret_cast<K_IDirect3DBaseTexture9 *>(staging),
                         reinterpret_cast<K_IDirect3DBaseTexture9 *>(texture));
    D3DRes_Release(staging);
    return texture;
}

// A 2-D textured quad (x, y, z, rhw, diffuse, u, v) as two triangles.
void StageQuad(float left, float top, float right, float bottom, uint32_t diffuse)
{
    struct Vertex {
        float x, y, z, rhw;
        uint32_t diffuse;
        float u, v;
    };
    const Vertex corners[6] = {
        {left, top, 0.2f, 1.0f, diffuse, 0, 0},     {right, top, 0.2f, 1.0f, diffuse, 1, 0},
        {left, bottom, 0.2f, 1.0f, diffuse, 0, 1},  {right, top, 0.2f, 1.0f, diffuse, 1, 0},
        {right, bottom, 0.2f, 1.0f, diffuse, 1, 1}, {left, bottom, 0.2f, 1.0f, diffuse, 0, 1},
    };
    void *room = ReserveStagedVertices(STAGING_2D_TEXTURED, K_D3DPT_TRIANGLELIST, 6);
    ASSERT_NE(room, nullptr);
    std::memcpy(room, corners, sizeof(corners));
}

// The back buffer pixel at (x, y) as 0x00RRGGBB.
uint32_t ReadBackPixel(int x, int y)
{
    K_IDirect3DSurface9 *copy = nullptr;
    uint32_t pixel = 0xDEADBEEF;
    if (D3DDev_CreateOffscreenPlainSurface(640, 480, K_D3DFMT_X8R8G8B8, K_D3DPOOL_SYSTEMMEM, &copy) < 0) {
        return pixel;
    }
    if (D3DDev_GetRenderTargetData(GetDrawTargetSurface(-2, 0), copy) >= 0) {
        K_D3DLOCKED_RECT locked = {};
        if (D3DSurf_LockRect(copy, &locked, nullptr, K_D3DLOCK_READONLY) >= 0) {
            pixel = reinterpret_cast<const uint32_t *>(static_cast<char *>(locked.pBits) + y * locked.Pitch)[x] &
                    0xFFFFFF;
            D3DSurf_UnlockRect(copy);
        }
    }
    D3DRes_Release(copy);
    return pixel;
}

// A quad without texture: (x, y, z, rhw, diffuse).
void StagePlainQuad(float left, float top, float right, float bottom, uint32_t diffuse)
{
    struct Vertex {
        float x, y, z, rhw;
        uint32_t diffuse;
    };
    const Vertex corners[6] = {
        {left, top, 0.2f, 1.0f, diffuse},  {right, top, 0.2f, 1.0f, diffuse},    {left, bottom, 0.2f, 1.0f, diffuse},
        {right, top, 0.2f, 1.0f, diffuse}, {right, bottom, 0.2f, 1.0f, diffuse}, {left, bottom, 0.2f, 1.0f, diffuse},
    };
    void *room = ReserveStagedVertices(STAGING_2D_PLAIN, K_D3DPT_TRIANGLELIST, 6);
    ASSERT_NE(room, nullptr);
    std::memcpy(room, corners, sizeof(corners));
}

struct DrawKind {
    const char *name;
    bool textured;
    double (*stageColour)(int mode, double colour, double a);
};

TEST(BlendReadbackTest, EachBlendModeMatchesItsEquationWithinOnePerChannel)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
    K_IDirect3DTexture9 *texture = CreateSolidTexture(kSourceTexel);
    ASSERT_NE(texture, nullptr);
    auto *base = reinterpret_cast<K_IDirect3DBaseTexture9 *>(texture);
    GraphicsState.backgroundRed = static_cast<int>(kDest.r);
    GraphicsState.backgroundGreen = static_cast<int>(kDest.g);
    GraphicsState.backgroundBlue = static_cast<int>(kDest.b);
    const double a = kAlpha / 255.0;
    const uint32_t white = (static_cast<uint32_t>(kAlpha) << 24) | 0xFFFFFF;
    const uint32_t coloured = (static_cast<uint32_t>(kAlpha) << 24) | (static_cast<uint32_t>(kSource.r) << 16) |
                              (static_cast<uint32_t>(kSource.g) << 8) | static_cast<uint32_t>(kSource.b);
    const DrawKind kinds[] = {{"textured", true, TexturedStageColour}, {"untextured", false, UntexturedStageColour}};
    ASSERT_EQ(GraphicsState.programmableShader, 1);
    int whiteGraph = -1;
    for (int programmable : {1, 0})
    for (const DrawKind &kind : kinds) {
        for (int mode = 0; mode < kBlendModeCount; ++mode) {
            SCOPED_TRACE(std::string(programmable != 0 ? "shaders, " : "stages, ") + kind.name + " mode " +
                         std::to_string(mode));
            GraphicsState.programmableShader = programmable;
            ShaderPath = programmable != 0;
            StateCache.stageSetupNeeded = 1;
            FillDrawTargetWithBackground(nullptr);
            Draw.blendMode = mode;
            Draw.blendParam = kAlpha;
            StateCache.drawStateDirty = 1;
            if (kind.textured) {
                PrepareDrawStatesIfNeeded(base, DRAW_FLAG_VERTEX_COLOR);
                StageQuad(100, 100, 200, 200, white);
            } else {
                PrepareDrawStatesIfNeeded(nullptr, DRAW_FLAG_VERTEX_COLOR);
                StagePlainQuad(100, 100, 200, 200, coloured);
            }
            EXPECT_EQ(StateCache.blendPixelShaderBound, programmable);
            if (!kind.textured && programmable == 0 && (mode == 12 || mode == 13)) {
                // One white stage texture, made at the first such draw and reused.
                EXPECT_NE(GetWhiteStageGraph(), -1);
                if (whiteGraph == -1) {
                    whiteGraph = GetWhiteStageGraph();
                }
                EXPECT_EQ(GetWhiteStageGraph(), whiteGraph);
            }
            FlushStagedVertices(0);
            G_D3D_EndSceneIfBegun();
            uint32_t got = ReadBackPixel(150, 150);
            const double channels[3][2] = {{kSource.r, kDest.r}, {kSource.g, kDest.g}, {kSource.b, kDest.b}};
            for (int c = 0; c < 3; ++c) {
                double stage = kind.stageColour(mode, channels[c][0], a);
                double expected = BlendChannel(mode, stage, channels[c][1], a, DeviceCaps.blendOp != 0);
                int actual = static_cast<int>((got >> (16 - 8 * c)) & 0xFF);
                EXPECT_NEAR(actual, expected, 1.0) << "channel " << c << " pixel " << std::hex << got;
            }
            EXPECT_EQ(ReadBackPixel(300, 300), 0x6496C8u) << "outside the quad the background stays";
        }
    }
    EXPECT_NE(whiteGraph, -1);
    GraphicsState.programmableShader = 1;
    Draw.blendMode = 0;
    D3DRes_Release(texture);
    EXPECT_EQ(ShutdownLibrary(), 0);
    EXPECT_EQ(GetWhiteStageGraph(), -1) << "deleted with the graphs";
    EXPECT_NE(KorvoTest::ReadLogFile().find("Alloc num:0"), std::string::npos);
}

// A quad with two textures: (x, y, z, rhw, diffuse, specular, u0, v0, u1, v1).
void StageTwoTextureQuad(float left, float top, float right, float bottom, uint32_t diffuse)
{
    struct Vertex {
        float x, y, z, rhw;
        uint32_t diffuse, specular;
        float u0, v0, u1, v1;
    };
    auto at = [&](float x, float y, float u, float v) {
        return Vertex{x, y, 0.2f, 1.0f, diffuse, 0xFFFFFFFF, u, v, u, v};
    };
    const Vertex corners[6] = {at(left, top, 0, 0),     at(right, top, 1, 0),    at(left, bottom, 0, 1),
                               at(right, top, 1, 0),    at(right, bottom, 1, 1), at(left, bottom, 0, 1)};
    void *room = ReserveStagedVertices(STAGING_2D_BLEND, K_D3DPT_TRIANGLELIST, 6);
    ASSERT_NE(room, nullptr);
    std::memcpy(room, corners, sizeof(corners));
}

TEST(BlendReadbackTest, BlendGraphsCrossFadeMaskAndCutAtTheirBorder)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
    GraphicsState.backgroundRed = static_cast<int>(kDest.r);
    GraphicsState.backgroundGreen = static_cast<int>(kDest.g);
    GraphicsState.backgroundBlue = static_cast<int>(kDest.b);
    K_IDirect3DTexture9 *drawn = CreateSolidTexture(kSourceTexel);
    ASSERT_NE(drawn, nullptr);
    const Rgb blendColour = {200, 100, 0};
    struct Case {
        const char *name;
        int kind;
        int values[2];
        int mode;
        uint32_t blendAlpha;
        // Expected channel from drawn s, blend b and destination d.
        double (*expected)(double s, double b, double d);
        uint32_t diffuse = 0xFFFFFFFF;
    };
    // The vertex colour of the masked cases below: grey 128, applied once.
    constexpr uint32_t kGreyVertex = 0xFF808080;
    const Case cases[] = {
        {"cross-fade 64", 0, {64, 0}, 0, 255,
         [](double s, double b, double) { return b * 64 / 255 + s * (1 - 64.0 / 255); }},
        {"masked by alpha 128", 2, {0, 0}, 1, 128,
         [](double s, double, double d) { return s * 128 / 255 + d * (1 - 128.0 / 255); }},
        {"hard border 128 over 200", 1, {128, 0}, 0, 200, [](double s, double, double) { return s; }},
        {"hard border 128 over 50", 1, {128, 0}, 0, 50, [](double, double, double d) { return d; }},
        {"border 255 draws nothing", 1, {255, 0}, 0, 255, [](double, double, double d) { return d; }},
        {"soft border 128, ramp 200, over 200", 1, {128, 200}, 0, 200,
         [](double s, double, double d) { return s * 199 / 255 + d * (1 - 199.0 / 255); }},
        {"masked, mode 12, grey vertices", 2, {0, 0}, 12, 255,
         [](double s, double, double) { return std::min(255.0, 4 * s * 128 / 255); }, kGreyVertex},
        {"masked, mode 13, grey vertices", 2, {0, 0}, 13, 255,
         [](double s, double, double d) { return std::min(255.0, 4 * s * 128 / 255 + d); }, kGreyVertex},
        {"masked, mode 10, grey vertices", 2, {0, 0}, 10, 255,
         [](double s, double, double) { return (255 - s) * 128 / 255; }, kGreyVertex},
    };
    for (int programmable : {1, 0})
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(programmable != 0 ? "shaders, " : "stages, ") + c.name);
        GraphicsState.programmableShader = programmable;
        StateCache.stageSetupNeeded = 1;
        uint32_t blendTexel = (c.blendAlpha << 24) | (static_cast<uint32_t>(blendColour.r) << 16) |
                              (static_cast<uint32_t>(blendColour.g) << 8) | static_cast<uint32_t>(blendColour.b);
        K_IDirect3DTexture9 *blend = CreateSolidTexture(blendTexel);
        ASSERT_NE(blend, nullptr);
        FillDrawTargetWithBackground(nullptr);
        Draw.blendMode = c.mode;
        StoreBlendTextureKey(reinterpret_cast<K_IDirect3DBaseTexture9 *>(blend), 8, 8);
        StoreBlendTextureMode(c.values, c.kind);
        StateCache.drawStateDirty = 1;
        PrepareDrawStatesIfNeeded(reinterpret_cast<K_IDirect3DBaseTexture9 *>(drawn), DRAW_FLAG_VERTEX_COLOR);
        StageTwoTextureQuad(100, 100, 200, 200, c.diffuse);
        EXPECT_EQ(StateCache.blendPixelShaderBound, programmable);
        FlushStagedVertices(0);
        G_D3D_EndSceneIfBegun();
        uint32_t got = ReadBackPixel(150, 150);
        const double channels[3][3] = {{kSource.r, blendColour.r, kDest.r},
                                       {kSource.g, blendColour.g, kDest.g},
                                       {kSource.b, blendColour.b, kDest.b}};
        for (int ch = 0; ch < 3; ++ch) {
            int actual = static_cast<int>((got >> (16 - 8 * ch)) & 0xFF);
            EXPECT_NEAR(actual, c.expected(channels[ch][0], channels[ch][1], channels[ch][2]), 1.0)
                << "channel " << ch << " pixel " << std::hex << got;
        }
        StoreBlendTextureKey(nullptr, 0, 0);
        D3DRes_Release(blend);
    }
    GraphicsState.programmableShader = 1;
    Draw.blendMode = 0;
    D3DRes_Release(drawn);
    EXPECT_EQ(ShutdownLibrary(), 0);
    EXPECT_NE(KorvoTest::ReadLogFile().find("Alloc num:0"), std::string::npos);
}

} // namespace
