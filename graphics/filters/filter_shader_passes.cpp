// The shader pass of each graph filter and graph-blend type: which built-in
// pixel shader it draws with and the constants it passes (from register 0).

#include "graphics/filters/filter_device_passes.h"

#include "core/memory/handle_manager.h"
#include "graphics/graphs/graph_record.h"
#include "image/pixel_access.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

// The Level filter's gamma table as a 256 x 1 graph, and the gamma it holds.
static int LevelTableGraph = -1;
static float LevelTableGamma = -10000000.0f;

static const char *const kBlendShaders[GRAPH_BLEND_TYPE_COUNT] = {
    "BasBF_Normal.pso",    nullptr,                  "BasBF_Multiple.pso",    "BasBF_Difference.pso",
    "BasBF_Add.pso",       "BasBF_Screen.pso",       "BasBF_Overlay.pso",     "BasBF_Dodge.pso",
    "BasBF_Burn.pso",      "BasBF_Darken.pso",       "BasBF_Lighten.pso",     "BasBF_SoftLight.pso",
    "BasBF_HardLight.pso", "BasBF_Exclusion.pso",    "BasBF_Normal_AlphaCh.pso", "BasBF_Add_AlphaCh.pso",
    "BasBF_Multiple_AOnly.pso",
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void SetRegister(float *registers, int index, float x, float y, float z, float w)
{
    registers[index * 4 + 0] = x;
    registers[index * 4 + 1] = y;
    registers[index * 4 + 2] = z;
    registers[index * 4 + 3] = w;
}

static void SetLumaRegister(float *registers, int index, float w)
{
    SetRegister(registers, index, 0.299f, 0.587f, 0.114f, w);
}

static int DrawWith(const GraphFilterPass &pass, const char *shader, const float *constants, int count,
                    int pointSampling)
{
    FilterShaderDraw draw = {shader, constants, count, -1, 0, 1, pointSampling, 0, nullptr};
    return DrawFilterShaderPass(pass, draw);
}

// The gamma table graph, made and filled when missing or when the gamma moved; -1 on failure
static int LevelTable(float gamma)
{
    if (LevelTableGraph <= 0 || GetGraphRecord(LevelTableGraph, 0) == nullptr) {
        GraphCreateSettings settings;
        CaptureGraphCreateSettings(&settings);
        settings.drawable = 0;
        settings.colorBits = 32;
        LevelTableGraph = CreateBlankGraphFromSettings(&settings, 256, 1, 0, 0, nullptr);
        if (LevelTableGraph <= 0) {
            LevelTableGraph = -1;
            return -1;
        }
        BindHandleOwnerVariable(LevelTableGraph, &LevelTableGraph);
        LevelTableGamma = -10000000.0f;
    }
    if (std::fabs(LevelTableGamma - gamma) > 0.0001f) {
        RasterImage image = {};
        if (AllocXrgb32Image(256, 1, &image) == 0) {
            int32_t entries[256];
            BuildLevelGammaEntries(gamma, entries);
            for (int i = 0; i < 256; ++i) {
                const uint32_t v = static_cast<uint32_t>(entries[i]) * 0x01010101u;
                std::memcpy(static_cast<uint8_t *>(image.pixels) + i * 4, &v, 4);
            }
            RECT whole = {0, 0, 256, 1};
            TransferImageRectToGraph(LevelTableGraph, &whole, 0, 0, &image, nullptr, 0, 0, 0, nullptr);
            FreeImageRecord(&image);
            LevelTableGamma = gamma;
        }
    }
    return LevelTableGraph;
}

static int GaussPass(const GraphFilterPass &pass)
{
    const float p = pass.params.floats[0];
    if (p < 1e-7f) {
        return DrawWith(pass, "FilterCopy.pso", nullptr, 0, 1);
    }
    int tw = 0, th = 0;
    if (GetGraphTextureSize(pass.source, &tw, &th) != 0) {
        return -1;
    }
    const int widthClass = GaussWidthClass(pass.params.ints[0]);
    UpdateGaussWeights(widthClass, p);
    float c[21 * 4] = {};
    SetRegister(c, 0, static_cast<float>(tw), static_cast<float>(th), 0, 0);
    std::memcpy(&c[4], GaussWeights.weights, sizeof(GaussWeights.weights));
    for (int k = 0; k < 16; ++k) {
        const float o = k == 0 ? 0.0f : 2.0f * k - 0.5f;
        if (pass.passIndex == 0) {
            SetRegister(c, 5 + k, o / static_cast<float>(tw), 0, 0, 0);
        } else {
            SetRegister(c, 5 + k, 0, o / static_cast<float>(th), 0, 0);
        }
    }
    static const char *const kNames[3] = {"Gauss_08Pixel_PS.pso", "Gauss_16Pixel_PS.pso", "Gauss_32Pixel_PS.pso"};
    FilterShaderDraw draw = {kNames[widthClass == 8 ? 0 : (widthClass == 16 ? 1 : 2)], c, 21, -1, 0, 1, 0,
                             pass.passIndex == 0 ? 1 : 0, nullptr};
    return DrawFilterShaderPass(pass, draw);
}

static int DownScalePass(const GraphFilterPass &pass)
{
    int tw = 0, th = 0;
    if (GetGraphTextureSize(pass.source, &tw, &th) != 0) {
        return -1;
    }
    const int d = pass.params.ints[0];
    const float sx = 1.0f / static_cast<float>(tw);
    const float sy = 1.0f / static_cast<float>(th);
    float c[16 * 4] = {};
    int count = 1;
    if (d == 4) {
        const int offsets[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
        for (int i = 0; i < 4; ++i) SetRegister(c, i, offsets[i][0] * sx, offsets[i][1] * sy, 0, 0);
        count = 4;
    } else if (d == 8) {
        for (int i = 0; i < 16; ++i) SetRegister(c, i, (2 * (i % 4) - 3) * sx, (2 * (i / 4) - 3) * sy, 0, 0);
        count = 16;
    }
    const char *name = d == 2 ? "DownScaleX2.pso" : (d == 4 ? "DownScaleX4.pso" : "DownScaleX8.pso");
    FilterShaderDraw draw = {name, c, count, -1, 0, d, 0, 0, nullptr};
    return DrawFilterShaderPass(pass, draw);
}

static int BrightClipPass(const GraphFilterPass &pass)
{
    const int comparison = pass.params.ints[0];
    const int fill = pass.params.ints[1];
    if (comparison != 2 && comparison != 5) {
        return -1;
    }
    const float b = std::clamp(pass.params.floats[0] / 255.0f, 0.0f, 1.0f);
    float c[3 * 4] = {};
    SetRegister(c, 0, b, b, b, b);
    SetLumaRegister(c, 1, 0);
    if (fill != 0) {
        std::memcpy(&c[8], &pass.params.floats[1], 4 * sizeof(float));
    }
    const char *name = comparison == 2 ? (fill != 0 ? "BrightClipFillLess.pso" : "BrightClipLess.pso")
                                       : (fill != 0 ? "BrightClipFillGreater.pso" : "BrightClipGreater.pso");
    return DrawWith(pass, name, c, 3, 1);
}

static int LevelPass(const GraphFilterPass &pass)
{
    const float *f = pass.params.floats;
    float fmin = std::clamp(f[0] / 255.0f, 0.0f, 1.0f);
    const float fmax = std::clamp(f[1] / 255.0f, 0.0f, 1.0f);
    const float gamma = std::max(f[2], 0.001f);
    float omin = std::clamp(f[3] / 255.0f, 0.0f, 1.0f);
    const float omax = std::clamp(f[4] / 255.0f, 0.0f, 1.0f);
    fmin = std::min(fmin, fmax);
    omin = std::min(omin, omax);
    const int table = LevelTable(gamma);
    int tw = 0, th = 0;
    if (table < 0 || GetGraphTextureSize(table, &tw, &th) != 0) {
        return -1;
    }
    // An empty input range is a step just above its one value rather than an infinite scale.
    const bool empty = !(fmax > fmin);
    const float scale = empty ? 1.0e6f : 1.0f / (fmax - fmin);
    float c[2 * 4] = {};
    SetRegister(c, 0, empty ? fmin + 0.5f / 255.0f : fmin, scale, omin, omax);
    // Table entry t * 256, as the integer routine takes it, read at its texel centre.
    SetRegister(c, 1, 256.0f, 0.01f, 0.5f / static_cast<float>(th), 1.0f / static_cast<float>(tw));
    // Bilinear, as the filter draw state leaves it: the quad samples the source at
    // texel centres, and the shader reads the table at the centre of its entry.
    FilterShaderDraw draw = {"Level.pso", c, 2, table, 0, 1, 0, 0, nullptr};
    return DrawFilterShaderPass(pass, draw);
}

static int GradientMapPass(const GraphFilterPass &pass)
{
    const int gradient = pass.params.ints[0];
    GraphRecord *record = GetGraphRecord(gradient, 0);
    int tw = 0, th = 0;
    if (record == nullptr || GetGraphTextureSize(gradient, &tw, &th) != 0) {
        return -1;
    }
    // Luminance index i = Y * 255 takes the gradient pixel (i * width) / 256.
    const float span = 255.0f * static_cast<float>(record->width) / 256.0f / static_cast<float>(tw);
    const float nudge = 0.01f / static_cast<float>(tw);
    float c[2 * 4] = {};
    SetLumaRegister(c, 0, 0);
    if (pass.params.ints[1] != 0) {
        SetRegister(c, 1, -span, span + nudge, 0.5f / static_cast<float>(th), 0);
    } else {
        SetRegister(c, 1, span, nudge, 0.5f / static_cast<float>(th), 0);
    }
    FilterShaderDraw draw = {pass.params.ints[1] != 0 ? "GradientMapRev.pso" : "GradientMap.pso", c, 2, gradient, 0,
                             1, 1, 0, nullptr};
    return DrawFilterShaderPass(pass, draw);
}

// RGBAMix: a named shader for the common picks (the colour from one source
// channel or all three, alpha from a blend channel; source and blend graph
// exchanged for the mirror-image picks), the general shader otherwise.
static int RgbaMixPass(const GraphFilterPass &pass)
{
    int sel[4];
    for (int c = 0; c < 4; ++c) {
        sel[c] = pass.params.ints[c];
        if (sel[c] < 0 || sel[c] > 7) {
            return -1;
        }
    }
    static const char kLetters[4] = {'R', 'G', 'B', 'A'};
    const bool exchange = RgbaMixDrawExchangesGraphs(sel) != 0;
    if (exchange) {
        // The shader sees the blend graph as its source: every pick changes side.
        for (int &v : sel) v = v >= 4 ? v - 4 : v + 4;
    }
    char name[40];
    std::snprintf(name, sizeof(name), "RGBAMix_Base.pso");
    // The one-graph picks and the named shaders have lines of their own.
    const char *failureLine = nullptr;
    if (sel[0] < 4 && sel[1] < 4 && sel[2] < 4 && sel[3] < 4) {
        failureLine = "RGBAMixS フィルター用シェーダーの作成に失敗しました\n";
    } else {
        const bool sameColour = sel[0] == sel[1] && sel[1] == sel[2] && sel[0] < 3;
        const bool ownColours = sel[0] == 0 && sel[1] == 1 && sel[2] == 2;
        if (sameColour || ownColours) {
            failureLine = "RGBAMixS フィルター用シェーダーの作成に失敗しました %s\n";
            if (sameColour) {
                std::snprintf(name, sizeof(name), "RGBAMix_S%cS%cS%cB%c.pso", kLetters[sel[0]], kLetters[sel[0]],
                              kLetters[sel[0]], kLetters[sel[3] - 4]);
            } else {
                std::snprintf(name, sizeof(name), "RGBAMix_SRSGSBB%c.pso", kLetters[sel[3] - 4]);
            }
        }
    }
    float c[2 * 4] = {};
    SetRegister(c, 0, pass.ratio, pass.ratio, pass.ratio, pass.ratio);
    SetRegister(c, 1, sel[0] + 0.5f, sel[1] + 0.5f, sel[2] + 0.5f, sel[3] + 0.5f);
    GraphFilterPass drawn = pass;
    if (exchange) {
        drawn.source = pass.blendGraph;
        drawn.blendGraph = pass.source;
    }
    FilterShaderDraw draw = {name, c, 2, drawn.blendGraph, 1, 1, 1, 0, failureLine};
    return DrawFilterShaderPass(drawn, draw);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int RunFilterShaderPass(GraphFilterPass *pass)
{
    const FilterParameters &params = pass->params;
    float c[3 * 4] = {};
    if (pass->blendFlag != 0 && pass->type == GRAPH_BLEND_RGBA_MIX) {
        return RgbaMixPass(*pass);
    }
    if (pass->blendFlag != 0) {
        const char *name = pass->type >= 0 && pass->type < GRAPH_BLEND_TYPE_COUNT ? kBlendShaders[pass->type] : nullptr;
        if (name == nullptr) {
            return -1;
        }
        SetRegister(c, 0, pass->ratio, pass->ratio, pass->ratio, pass->ratio);
        SetRegister(c, 1, 1, 1, 1, 1);
        FilterShaderDraw draw = {name, c, 2, pass->blendGraph, 1, 1, 0, 0, nullptr};
        return DrawFilterShaderPass(*pass, draw);
    }
    switch (pass->type) {
    case GRAPH_FILTER_MONO: {
        const float cb = std::clamp(params.floats[0] / 200.0f, -0.5f, 0.5f);
        const float cr = std::clamp(params.floats[1] / 200.0f, -0.5f, 0.5f);
        SetLumaRegister(c, 0, 0);
        SetRegister(c, 1, 1.402f * cr, -0.34414f * cb - 0.71414f * cr, 1.772f * cb, 0);
        return DrawWith(*pass, "Mono.pso", c, 2, 1);
    }
    case GRAPH_FILTER_GAUSS: return GaussPass(*pass);
    case GRAPH_FILTER_DOWN_SCALE: return DownScalePass(*pass);
    case GRAPH_FILTER_BRIGHT_CLIP: return BrightClipPass(*pass);
    case GRAPH_FILTER_HSB: {
        const int mode = params.ints[0];
        const float e = mode == 1 ? std::clamp(params.floats[0] / 360.0f, 0.0f, 1.0f)
                                  : std::clamp(params.floats[0] / 360.0f, -0.5f, 0.5f);
        const float g = std::clamp(params.floats[1] / 100.0f, -1.0f, 1.0f);
        SetRegister(c, 0, 6.0f * e, g > 0.0f ? 5.0f * g : g, params.floats[2] / 100.0f, 0);
        SetRegister(c, 1, 0.5f, 0.5f, 0.5f, 0.5f);
        SetRegister(c, 2, 1, 1, 1, 1);
        const char *name = mode == 1 ? "Hsb_HSB_HLOCK.pso"
                                     : (pass->passIndex == 0 ? "Hsb_RGB_TO_HSB.pso" : "Hsb_HSB_TO_RGB.pso");
        return DrawWith(*pass, name, c, 3, 1);
    }
    case GRAPH_FILTER_INVERT: return DrawWith(*pass, "Invert.pso", nullptr, 0, 1);
    case GRAPH_FILTER_LEVEL: return LevelPass(*pass);
    case GRAPH_FILTER_TWO_COLOR:
        SetLumaRegister(c, 0, params.floats[0] / 255.0f);
        std::memcpy(&c[4], &params.floats[1], 8 * sizeof(float));
        return DrawWith(*pass, "TwoColor.pso", c, 3, 1);
    case GRAPH_FILTER_GRADIENT_MAP: return GradientMapPass(*pass);
    case GRAPH_FILTER_PREMUL_ALPHA: return DrawWith(*pass, "PremultipliedAlpha.pso", nullptr, 0, 1);
    default: return -1;
    }
}

// Forget the Level table graph (graphics shut-down)
void ClearFilterTableGraph()
{
    LevelTableGraph = -1;
    LevelTableGamma = -10000000.0f;
}

} // namespace Korvo
