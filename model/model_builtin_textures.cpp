// The model module's built-in textures: a white texture and a four-step grey
// texture kept as small run-length TGA files, and the toon gradation ramp.

#include "graphics/graphs/graph_record.h"
#include "graphics/graphs/run_length_tga.h"
#include "image/pixel_access.h"
#include "model/model_module.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kToonWidth = 256;
constexpr int kToonHeight = 8;

constexpr std::array<TgaRowRun, 4> kGreyStepRuns = {{{64, 0x000000u}, {64, 0x555555u}, {64, 0xAAAAAAu}, {64, 0xFFFFFFu}}};
constexpr auto kGreyStepTga = BuildRunLengthTga<RunLengthTgaBytes(8, 24, 4)>(256, 8, 24, kGreyStepRuns);
static_assert(kGreyStepTga.size() == 172, "built-in TGA size");

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int LoadTgaIntoGraph(int *graph, const unsigned char *bytes, int size)
{
    GraphLoadSettings settings;
    CaptureGraphLoadSettings(&settings);
    if (*graph != -1) {
        return CreateGraphFromImageBytes(&settings, 1, *graph, bytes, size, nullptr, 0, 1, 0, 0);
    }
    *graph = CreateGraphFromImageBytes(&settings, 0, -1, bytes, size, nullptr, 0, 1, 0, 0);
    return *graph == -1 ? -1 : 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

const unsigned char *GetWhiteTextureTga(int *size)
{
    *size = static_cast<int>(kWhiteTga.size());
    return kWhiteTga.data();
}

const unsigned char *GetGreyStepTextureTga(int *size)
{
    *size = static_cast<int>(kGreyStepTga.size());
    return kGreyStepTga.data();
}

// Pixel x of every row is grey x; -1 given, a new graph is made
int MakeToonGradationTexture(int graph)
{
    RasterImage ramp = {};
    if (AllocXrgb32Image(kToonWidth, kToonHeight, &ramp) != 0) {
        return -1;
    }
    for (int y = 0; y < kToonHeight; ++y) {
        uint32_t *row = reinterpret_cast<uint32_t *>(static_cast<unsigned char *>(ramp.pixels) +
                                                     static_cast<ptrdiff_t>(y) * ramp.pitch);
        for (int x = 0; x < kToonWidth; ++x) {
            row[x] = static_cast<uint32_t>(x) * 0x010101u;
        }
    }
    GraphLoadSettings settings;
    CaptureGraphLoadSettings(&settings);
    int reload = graph != -1 ? 1 : 0;
    int result = BuildGraphFromBaseImagesEx(&settings, reload, graph, &ramp, nullptr, 1, 0, 0, nullptr);
    FreeImageRecord(&ramp);
    if (result == -1) {
        return -1;
    }
    return reload != 0 ? graph : result;
}

// Load the built-in textures whose handle exists (existing) or is still -1 (!existing).
static int LoadBuiltinTextures(bool existing)
{
    int result = 0;
    struct StoredTexture {
        int *graph;
        const unsigned char *bytes;
        int size;
    };
    const StoredTexture stored[] = {
        {&ModelModule.whiteTexture, kWhiteTga.data(), static_cast<int>(kWhiteTga.size())},
        {&ModelModule.greyStepTexture, kGreyStepTga.data(), static_cast<int>(kGreyStepTga.size())},
    };
    for (const StoredTexture &texture : stored) {
        if ((*texture.graph != -1) == existing && LoadTgaIntoGraph(texture.graph, texture.bytes, texture.size) != 0) {
            result = -1;
        }
    }
    if ((ModelModule.toonTexture != -1) == existing) {
        int made = MakeToonGradationTexture(ModelModule.toonTexture);
        if (made == -1) {
            result = -1;
        } else {
            ModelModule.toonTexture = made;
        }
    }
    return result;
}

int CreateBuiltinModelTextures()
{
    return LoadBuiltinTextures(false);
}

int RestoreBuiltinModelTextures()
{
    return LoadBuiltinTextures(true);
}

} // namespace Korvo
