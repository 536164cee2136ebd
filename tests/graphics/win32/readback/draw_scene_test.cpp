// One scene (a PNG graph drawn whole, transparent and clipped; filled and
// outlined boxes; filled and outlined circles) drawn through the public entries
// in blend modes 0, 1 and 2 and read back through LockDrawScreenBuffer: on the
// software road it equals the rasteriser called directly, on the Direct3D road
// it equals the software frame (exactly in mode 0, within 1 per channel and
// blend in the blending modes).

#include "tests/graphics/win32/device/library_session.h"

#include "graphics/graphs/graph_record.h"
#include "softraster/draw_state.h"
#include "softraster/memimg_blit.h"
#include "softraster/shapes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr int kGraphWidth = 40;
constexpr int kGraphHeight = 30;

// ---------------------------------------------------------------------------
// A PNG file of stored (uncompressed) deflate blocks
// ---------------------------------------------------------------------------

uint32_t Crc32(const uint8_t *data, size_t size, uint32_t crc = 0xFFFFFFFFu)
{
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return crc;
}

void PutBigEndian(std::vector<uint8_t> &out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void PutChunk(std::vector<uint8_t> &file, const char *type, const std::vector<uint8_t> &data)
{
    PutBigEndian(file, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    file.insert(file.end(), body.begin(), body.end());
    PutBigEndian(file, Crc32(body.data(), body.size()) ^ 0xFFFFFFFFu);
}

// An RGB picture with black (the transparent colour) in its corners.
uint8_t GraphChannel(int x, int y, int c)
{
    bool corner = (x < 6 || x >= kGraphWidth - 6) && (y < 5 || y >= kGraphHeight - 5);
    if (corner) {
        return 0;
    }
    const int values[3] = {x * 6 + 10, y * 8 + 5, (x * 3 + y * 5) & 0xFF};
    return static_cast<uint8_t>(values[c]);
}

std::string WriteScenePng()
{
    std::vector<uint8_t> raw;
    for (int y = 0; y < kGraphHeight; ++y) {
        raw.push_back(0);
        for (int x = 0; x < kGraphWidth; ++x) {
            for (int c = 0; c < 3; ++c) {
                raw.push_back(GraphChannel(x, y, c));
            }
        }
    }
    std::vector<uint8_t> z = {0x78, 0x01, 0x01};
    z.push_back(static_cast<uint8_t>(raw.size()));
    z.push_back(static_cast<uint8_t>(raw.size() >> 8));
    z.push_back(static_cast<uint8_t>(~raw.size()));
    z.push_back(static_cast<uint8_t>(~raw.size() >> 8));
    z.insert(z.end(), raw.begin(), raw.end());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian(z, (b << 16) | a);
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    PutBigEndian(header, kGraphWidth);
    PutBigEndian(header, kGraphHeight);
    header.insert(header.end(), {8, 2, 0, 0, 0});
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", z);
    PutChunk(file, "IEND", {});
    const std::string path = "scene_sprite.png";
    FILE *out = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    return path;
}

// ---------------------------------------------------------------------------
// The scene
// ---------------------------------------------------------------------------

struct SceneColours {
    int red, green, blue, yellow;
};

SceneColours PackSceneColours()
{
    return {PackScreenColor(240, 40, 30), PackScreenColor(20, 230, 60), PackScreenColor(30, 60, 250),
            PackScreenColor(250, 240, 20)};
}

void DrawSceneThroughLibrary(int graph, int mode, int param)
{
    const SceneColours c = PackSceneColours();
    ASSERT_EQ(ClearDrawScreen(), 0);
    ASSERT_EQ(SetBlendModeAndParam(mode, param), 0);
    EXPECT_EQ(DrawGraphAtPoint(20, 30, graph, 1), 0);
    EXPECT_EQ(DrawGraphAtPoint(100, 40, graph, 0), 0);
    EXPECT_EQ(DrawGraphAtPoint(-10, 460, graph, 1), 0);
    EXPECT_EQ(FillColorBox(200, 50, 300, 120, c.red), 0);
    EXPECT_EQ(DrawColorBox(180, 140, 260, 220, c.green, 0), 0);
    EXPECT_EQ(DrawColorCircle(400, 200, 50, c.blue, 1), 0);
    EXPECT_EQ(DrawColorCircle(500, 100, 30, c.yellow, 0), 0);
    EXPECT_EQ(DrawGraphAtPoint(560, 300, graph, 1), 0);
    SetBlendModeAndParam(0, 0);
}

// The same scene straight through the rasteriser onto a screen-sized image.
std::vector<uint32_t> DrawSceneThroughRasteriser(const MEMIMG *sprite, int mode, int param)
{
    const SceneColours c = PackSceneColours();
    MEMIMG screen = {};
    EXPECT_EQ(CreateScreenMemImg(&screen, kScreenWidth, kScreenHeight, 1), 0);
    FillMemImgRectRaw(&screen, nullptr,
                      (GraphicsTest::kBackgroundRed << 16) | (GraphicsTest::kBackgroundGreen << 8) |
                          GraphicsTest::kBackgroundBlue);
    const RECT all = {0, 0, kScreenWidth, kScreenHeight};
    SetMemImgClipRect(&all);
    SetMemImgBlendState(mode, param);
    SetMemImgBrightColor(MEMIMG_BRIGHT_NONE);
    BlendBlitMemImg(&screen, sprite, 20, 30, 1, nullptr);
    BlendBlitMemImg(&screen, sprite, 100, 40, 0, nullptr);
    BlendBlitMemImg(&screen, sprite, -10, 460, 1, nullptr);
    const RECT box = {200, 50, 300, 120};
    FillBlendRectMemImg(&screen, &box, c.red);
    const MemImgLineRecord lines[4] = {{180, 140, 259, 140, c.green, 0},
                                       {259, 140, 259, 219, c.green, 0},
                                       {259, 219, 180, 219, c.green, 0},
                                       {180, 219, 180, 140, c.green, 0}};
    RasterLineListMemImg(&screen, lines, 4);
    RasterCircleMemImg(&screen, 400, 200, 50, c.blue, 1);
    RasterCircleMemImg(&screen, 500, 100, 30, c.yellow, 0);
    BlendBlitMemImg(&screen, sprite, 560, 300, 1, nullptr);
    std::vector<uint32_t> pixels(kScreenWidth * kScreenHeight);
    for (int y = 0; y < kScreenHeight; ++y) {
        const uint32_t *row = reinterpret_cast<const uint32_t *>(screen.pixels + y * screen.body->pitch);
        for (int x = 0; x < kScreenWidth; ++x) {
            pixels[y * kScreenWidth + x] = row[x] & 0xFFFFFF;
        }
    }
    DisposeMemImg(&screen);
    SetMemImgBlendState(0, 0);
    return pixels;
}

std::vector<uint32_t> ReadBackScreen()
{
    RasterImage image = {};
    const RECT all = {0, 0, kScreenWidth, kScreenHeight};
    std::vector<uint32_t> pixels(kScreenWidth * kScreenHeight);
    EXPECT_EQ(LockDrawScreenBuffer(&all, &image, -1, 1, 0), 0);
    if (image.pixels == nullptr) {
        return pixels;
    }
    EXPECT_EQ(image.format.bytesPerPixel, 4);
    for (int y = 0; y < kScreenHeight; ++y) {
        const uint32_t *row = reinterpret_cast<const uint32_t *>(static_cast<uint8_t *>(image.pixels) + y * image.pitch);
        for (int x = 0; x < kScreenWidth; ++x) {
            pixels[y * kScreenWidth + x] = row[x] & 0xFFFFFF;
        }
    }
    EXPECT_EQ(UnlockDrawScreenBuffer(), 0);
    return pixels;
}

// How often each pixel of the scene is blended: once, but twice where the outline
// circle's midpoint walk meets the diagonal and its eight-way symmetry repeats a
// point (both roads repeat it).
std::vector<int> BlendCounts()
{
    std::vector<int> out(kScreenWidth * kScreenHeight, 1);
    const int cx = 500;
    const int cy = 100;
    int x = 0;
    int y = 30;
    int d = 3 - 2 * y;
    while (x <= y) {
        if (x == y) {
            for (int sx : {-1, 1}) {
                for (int sy : {-1, 1}) {
                    out[(cy + sy * y) * kScreenWidth + cx + sx * x] = 2;
                }
            }
        }
        if (d < 0) {
            d += 4 * x + 6;
        } else {
            d += 4 * (x - y) + 10;
            --y;
        }
        ++x;
    }
    return out;
}

// Pixels whose channels differ by more than the tolerance times the pixel's blend
// count (no counts: once each); the first few described.
int CountDifferences(const std::vector<uint32_t> &got, const std::vector<uint32_t> &want, int tolerance,
                     std::string *first, const std::vector<int> *counts = nullptr)
{
    int count = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        const int allowed = tolerance * (counts != nullptr ? (*counts)[i] : 1);
        for (int shift = 0; shift < 24; shift += 8) {
            int d = static_cast<int>((got[i] >> shift) & 0xFF) - static_cast<int>((want[i] >> shift) & 0xFF);
            if (std::abs(d) > allowed) {
                if (count++ < 5) {
                    char line[96];
                    std::snprintf(line, sizeof(line), "(%d, %d): %06x for %06x; ", static_cast<int>(i % kScreenWidth),
                                  static_cast<int>(i / kScreenWidth), got[i], want[i]);
                    *first += line;
                }
                break;
            }
        }
    }
    return count;
}

TEST(DrawSceneTest, SoftwareFramesEqualTheRasteriserAndDirect3DFramesEqualTheSoftwareOnes)
{
    const std::string png = WriteScenePng();
    struct Blend {
        int mode;
        int param;
    };
    const Blend blends[] = {{0, 160}, {1, 64}, {1, 160}, {1, 250}, {2, 64}, {2, 160}, {2, 250}};
    std::vector<uint32_t> softwareFrames[std::size(blends)];
    const std::vector<int> counts = BlendCounts();
    for (bool direct3D : {false, true}) {
        SCOPED_TRACE(direct3D ? "Direct3D" : "software");
        ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(direct3D), 0);
        ASSERT_EQ(GraphicsState.direct3DModeActive != 0, direct3D);
        const int graph = CreateGraphFromImageFile(png.c_str(), 0);
        ASSERT_NE(graph, -1);
        for (size_t b = 0; b < std::size(blends); ++b) {
            const int mode = blends[b].mode;
            SCOPED_TRACE("mode " + std::to_string(mode) + ", param " + std::to_string(blends[b].param));
            DrawSceneThroughLibrary(graph, mode, blends[b].param);
            std::vector<uint32_t> frame = ReadBackScreen();
            std::string first;
            if (!direct3D) {
                const MEMIMG *sprite = GetGraphMemImg(GetGraphRecord(graph, 0));
                ASSERT_NE(sprite, nullptr);
                EXPECT_EQ(CountDifferences(frame, DrawSceneThroughRasteriser(sprite, mode, blends[b].param), 0, &first), 0) << first;
                softwareFrames[b] = frame;
            } else if (mode == 0) {
                EXPECT_EQ(CountDifferences(frame, softwareFrames[b], 0, &first), 0) << first;
            } else {
                // One blend on either road differs by one step per channel at most; an
                // alpha blend by two, as the device weighs it by param / 255 and the
                // rasteriser by param / 256.
                const int steps = mode == 1 ? 2 : 1;
                EXPECT_EQ(CountDifferences(frame, softwareFrames[b], steps, &first, &counts), 0) << first;
            }
            PresentBackScreen();
        }
        EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
        ASSERT_EQ(ShutdownLibrary(), 0);
    }
}

} // namespace
