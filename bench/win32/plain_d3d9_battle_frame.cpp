// A plain Direct3D 9 program drawing one Velmora battle frame's calls.
//
// The frame below was taken from the library's own calls in a battle frame
// (a recording run of bench_velmora_battle_frame with six enemies and ten
// Searchers): 56 draw calls of pre-transformed vertices, in this order: the
// background and the map picture, the panel's text and picture, route marks
// (line lists) and two range circles (point lists) alpha-blended without a
// texture, the selected unit's picture and text, the three deploy buttons each
// dimmed by an untextured quad, then the units and enemies. Textures keep the
// library's sizes (power-of-two textures holding the pictures) and formats.
#include "bench/win32/plain_d3d9_battle_frame.h"
#include "bench/win32/plain_d3d9_setup.h"

#include <d3d9.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace KorvoBench {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr DWORD kTexturedFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD kColouredFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr int kPointsPerCall = 40;

enum Texture { kBackground, kMap, kGlyphs, kWideGlyphs, kPanel, kButton1, kButton2, kButton3, kUnit, kEnemyA,
               kEnemyB, kTextureCount, kNoTexture = -1 };

struct TextureSize {
    UINT width, height;
    D3DFORMAT format;
};
static const TextureSize kTextureSizes[kTextureCount] = {
    {1024, 1024, D3DFMT_A8R8G8B8}, {1024, 512, D3DFMT_A8R8G8B8}, {512, 512, D3DFMT_A1R5G5B5},
    {512, 512, D3DFMT_A1R5G5B5},   {256, 256, D3DFMT_A8R8G8B8},  {128, 128, D3DFMT_A8R8G8B8},
    {128, 128, D3DFMT_A8R8G8B8},   {128, 128, D3DFMT_A8R8G8B8},  {128, 128, D3DFMT_A8R8G8B8},
    {128, 128, D3DFMT_A8R8G8B8},   {128, 128, D3DFMT_A8R8G8B8},
};

// A row of textured quads: `quads` of w x h from (x, y), `perRow` to a row,
// dx and dy apart; the texture's top-left u x v part drawn on each.
struct QuadRun {
    int texture;
    int quads, perRow;
    float x, y, w, h, dx, dy, u, v;
    DWORD colour;
    int alphaTest, alphaBlend, alphaRef;
};

// Small route marks: a line list of five lines in a 5x4 box, one call each.
struct MarkRow {
    int calls;
    float x, y, dx;
};

// A range circle drawn as points, kPointsPerCall to a call.
struct PointCircle {
    int points;
    float cx, cy, radius;
    DWORD colour;
};

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct TexturedVertex {
    float x, y, z, rhw;
    DWORD colour;
    float u, v;
};
struct ColouredVertex {
    float x, y, z, rhw;
    DWORD colour;
};

// One draw call with the states it needs.
struct DrawCall {
    int texture;  // kNoTexture: coloured vertices
    D3DPRIMITIVETYPE type;
    UINT primitives;
    size_t first;  // into the textured or the coloured vertices
    int alphaTest, alphaBlend, alphaRef;
};

struct PlainD3D9BattleFrame::Objects {
    PlainD3D9Setup setup;
    IDirect3DDevice9 *device = nullptr;
    IDirect3DTexture9 *textures[kTextureCount] = {};
    std::vector<TexturedVertex> textured;
    std::vector<ColouredVertex> coloured;
    std::vector<DrawCall> calls;
};

// ---------------------------------------------------------------------------
// Module globals: the frame
// ---------------------------------------------------------------------------

// Textured runs before the marks and circles.
static const QuadRun kFirstRuns[] = {
    {kBackground, 1, 1, 0, 0, 800, 600, 0, 0, 800.f / 1024, 600.f / 1024, 0xFFFFFFFF, 1, 0, 16},
    {kMap, 1, 1, 0, 0, 640, 480, 0, 0, 0.625f, 0.9375f, 0xFFFFFFFF, 0, 0, 16},
    {kGlyphs, 14, 7, 650, 49, 12, 16, 16, 32, 12.f / 512, 16.f / 512, 0xFF000000, 1, 0, 16},  // panel text
    {kPanel, 1, 1, 640, 150, 160, 250, 0, 0, 0.625f, 0.977f, 0xFFFFFFFF, 1, 0, 16},
};
static const MarkRow kMarkRows[] = {{11, 46, 334, 32}, {5, 366, 302, 32}};
static const PointCircle kCircles[] = {{495, 94, 373, 140, 0x8000FF00}, {351, 69, 373, 90, 0x80FF0000}};
// Textured runs after them; a run with kNoTexture is an untextured quad.
static const QuadRun kLastRuns[] = {
    {kUnit, 1, 1, 650, 186, 24, 32, 0, 0, 0.1875f, 0.25f, 0xFFFFFFFF, 1, 0, 16},  // the selected unit
    {kGlyphs, 38, 9, 650, 225, 12, 15, 12, 18, 12.f / 512, 15.f / 512, 0xFF000000, 1, 0, 16},
    {kWideGlyphs, 2, 2, 692, 443, 28, 28, 30, 0, 28.f / 512, 28.f / 512, 0xFF000000, 1, 0, 16},
    {kButton1, 1, 1, 10, 490, 80, 100, 0, 0, 0.625f, 0.78f, 0xFFFFFFFF, 0, 0, 16},
    {kNoTexture, 1, 1, 10, 490, 80, 100, 0, 0, 0, 0, 0x80000000, 0, 1, 16},
    {kButton2, 1, 1, 100, 490, 80, 100, 0, 0, 0.625f, 0.78f, 0xFFFFFFFF, 0, 0, 16},
    {kNoTexture, 1, 1, 100, 490, 80, 100, 0, 0, 0, 0, 0x80000000, 0, 1, 16},
    {kButton3, 1, 1, 190, 490, 80, 100, 0, 0, 0.625f, 0.78f, 0xFFFFFFFF, 0, 0, 16},
    {kNoTexture, 1, 1, 190, 490, 80, 100, 0, 0, 0, 0, 0x80000000, 0, 1, 16},
    {kUnit, 10, 3, 36, 356, 24, 32, 16, 30, 0.1875f, 0.25f, 0xFFFFFFFF, 1, 0, 0},  // the ten Searchers
    {kEnemyA, 1, 1, 356, 224, 24, 32, 0, 0, 0.1875f, 0.25f, 0xFFFFFFFF, 1, 0, 0},
    {kEnemyB, 2, 2, 164, 90, 24, 32, 356, 230, 0.1875f, 0.25f, 0xFFFFFFFF, 1, 0, 0},
    {kEnemyA, 2, 2, 228, 96, 24, 32, 224, 288, 0.1875f, 0.25f, 0xFFFFFFFF, 1, 0, 0},
    {kEnemyB, 1, 1, 580, 32, 24, 32, 0, 0, 0.1875f, 0.25f, 0xFFFFFFFF, 1, 0, 0},
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// A picture with transparent and opaque parts, so the alpha test has work.
static bool FillTexture(IDirect3DTexture9 *texture, const TextureSize &size)
{
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
        return false;
    }
    for (UINT y = 0; y < size.height; ++y) {
        unsigned char *row = static_cast<unsigned char *>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        for (UINT x = 0; x < size.width; ++x) {
            const bool opaque = ((x / 3) + (y / 5)) % 4 != 0;
            const uint32_t argb = (opaque ? 0xFF000000u : 0u) | ((x * 7) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 | 0x40;
            if (size.format == D3DFMT_A1R5G5B5) {
                const uint16_t pixel = static_cast<uint16_t>((opaque ? 0x8000 : 0) | ((argb >> 19) & 0x1F) << 10 |
                                                             ((argb >> 11) & 0x1F) << 5 | ((argb >> 3) & 0x1F));
                reinterpret_cast<uint16_t *>(row)[x] = pixel;
            } else {
                reinterpret_cast<uint32_t *>(row)[x] = argb;
            }
        }
    }
    texture->UnlockRect(0);
    return true;
}

static void AddQuadRun(PlainD3D9BattleFrame::Objects &o, const QuadRun &run);

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int PlainD3D9BattleFrame::DrawCallsPerFrame()
{
    int calls = 0;
    for (const QuadRun &run : kFirstRuns) {
        calls += run.quads > 0 ? 1 : 0;
    }
    for (const MarkRow &row : kMarkRows) {
        calls += row.calls;
    }
    for (const PointCircle &circle : kCircles) {
        calls += (circle.points + kPointsPerCall - 1) / kPointsPerCall;
    }
    for (const QuadRun &run : kLastRuns) {
        calls += run.quads > 0 ? 1 : 0;
    }
    return calls;
}

// Window, device (the library's windowed settings) and textures
bool PlainD3D9BattleFrame::Start(bool waitForVerticalBlank)
{
    objects_ = new Objects;
    Objects &o = *objects_;
    if (!StartPlainD3D9("plain Direct3D 9 battle frame", kWidth, kHeight, waitForVerticalBlank, &o.setup)) {
        return false;
    }
    o.device = o.setup.device;
    for (int i = 0; i < kTextureCount; ++i) {
        const TextureSize &size = kTextureSizes[i];
        if (FAILED(o.device->CreateTexture(size.width, size.height, 1, 0, size.format, D3DPOOL_MANAGED,
                                           &o.textures[i], nullptr)) ||
            !FillTexture(o.textures[i], size)) {
            return false;
        }
    }
    for (const QuadRun &run : kFirstRuns) {
        AddQuadRun(o, run);
    }
    for (const MarkRow &row : kMarkRows) {
        for (int c = 0; c < row.calls; ++c) {
            o.calls.push_back({kNoTexture, D3DPT_LINELIST, 5, o.coloured.size(), 0, 1, 16});
            const float x = row.x + row.dx * static_cast<float>(c);
            for (int line = 0; line < 5; ++line) {
                const float step = static_cast<float>(line);
                o.coloured.push_back({x + step, row.y, 0, 1, 0x8000FFFF});
                o.coloured.push_back({x + 5 - step, row.y + 4, 0, 1, 0x8000FFFF});
            }
        }
    }
    for (const PointCircle &circle : kCircles) {
        for (int first = 0; first < circle.points; first += kPointsPerCall) {
            const int count = circle.points - first < kPointsPerCall ? circle.points - first : kPointsPerCall;
            o.calls.push_back({kNoTexture, D3DPT_POINTLIST, static_cast<UINT>(count), o.coloured.size(), 0, 1, 16});
            for (int p = first; p < first + count; ++p) {
                const float angle = 6.2831853f * static_cast<float>(p) / static_cast<float>(circle.points);
                o.coloured.push_back({circle.cx + circle.radius * std::cos(angle),
                                      circle.cy + circle.radius * std::sin(angle), 0, 1, circle.colour});
            }
        }
    }
    for (const QuadRun &run : kLastRuns) {
        AddQuadRun(o, run);
    }
    IDirect3DDevice9 *device = o.device;
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    return true;
}

// The frame's calls, the present and this window's messages
void PlainD3D9BattleFrame::DrawFrame()
{
    Objects &o = *objects_;
    IDirect3DDevice9 *device = o.device;
    device->BeginScene();
    int texture = kNoTexture, alphaTest = -1, alphaBlend = -1, alphaRef = -1;
    bool first = true;
    for (const DrawCall &call : o.calls) {
        if (call.alphaTest != alphaTest) {
            device->SetRenderState(D3DRS_ALPHATESTENABLE, static_cast<DWORD>(alphaTest = call.alphaTest));
        }
        if (call.alphaBlend != alphaBlend) {
            device->SetRenderState(D3DRS_ALPHABLENDENABLE, static_cast<DWORD>(alphaBlend = call.alphaBlend));
        }
        if (call.alphaRef != alphaRef) {
            device->SetRenderState(D3DRS_ALPHAREF, static_cast<DWORD>(alphaRef = call.alphaRef));
        }
        if (call.texture != texture || first) {
            const bool wasTextured = texture >= 0;
            texture = call.texture;
            device->SetTexture(0, texture >= 0 ? o.textures[texture] : nullptr);
            if (wasTextured != (texture >= 0) || first) {
                const DWORD argument = texture >= 0 ? D3DTOP_MODULATE : D3DTOP_SELECTARG2;
                device->SetTextureStageState(0, D3DTSS_COLOROP, argument);
                device->SetTextureStageState(0, D3DTSS_ALPHAOP, argument);
                device->SetFVF(texture >= 0 ? kTexturedFvf : kColouredFvf);
            }
        }
        if (call.texture >= 0) {
            device->DrawPrimitiveUP(call.type, call.primitives, &o.textured[call.first], sizeof(TexturedVertex));
        } else {
            device->DrawPrimitiveUP(call.type, call.primitives, &o.coloured[call.first], sizeof(ColouredVertex));
        }
        first = false;
    }
    device->EndScene();
    const RECT whole = {0, 0, kWidth, kHeight};
    device->Present(&whole, &whole, o.setup.window, nullptr);
    MSG message;
    while (PeekMessageA(&message, o.setup.window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void PlainD3D9BattleFrame::Stop()
{
    if (objects_ == nullptr) {
        return;
    }
    Objects &o = *objects_;
    for (IDirect3DTexture9 *texture : o.textures) {
        if (texture != nullptr) {
            texture->Release();
        }
    }
    StopPlainD3D9(&o.setup);
    delete objects_;
    objects_ = nullptr;
}

// One draw call of textured quads (or one untextured quad)
static void AddQuadRun(PlainD3D9BattleFrame::Objects &o, const QuadRun &run)
{
    const bool textured = run.texture != kNoTexture;
    o.calls.push_back({run.texture, D3DPT_TRIANGLELIST, static_cast<UINT>(2 * run.quads),
                       textured ? o.textured.size() : o.coloured.size(), run.alphaTest, run.alphaBlend, run.alphaRef});
    for (int q = 0; q < run.quads; ++q) {
        const float x = run.x + run.dx * static_cast<float>(q % run.perRow);
        const float y = run.y + run.dy * static_cast<float>(q / run.perRow);
        const float corners[6][4] = {{x, y, 0, 0},
                                     {x + run.w, y, run.u, 0},
                                     {x, y + run.h, 0, run.v},
                                     {x + run.w, y, run.u, 0},
                                     {x + run.w, y + run.h, run.u, run.v},
                                     {x, y + run.h, 0, run.v}};
        for (const auto &c : corners) {
            if (textured) {
                o.textured.push_back({c[0], c[1], 0, 1, run.colour, c[2], c[3]});
            } else {
                o.coloured.push_back({c[0], c[1], 0, 1, run.colour});
            }
        }
    }
}

}  // namespace KorvoBench
