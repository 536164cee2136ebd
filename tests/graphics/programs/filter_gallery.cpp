// One picture through every graph filter and a few blends, laid out in a grid
// and written as a PNG (the path on the command line, else graph_filters.png).
// Runs as a Windows program on the Direct3D road, so the filters read and write
// device-textured graphs.
//
// Cells, row by row: source, Mono, Mono tinted, Gauss 16 px, Gauss 32 px;
// DownScale 2, BrightClip, HSB hue shift, HSB fixed hue, HSB darker;
// Invert, Level, TwoColor, GradientMap, PremultipliedAlpha;
// blends Multiple, Screen, Overlay, Difference, RGBAMix (blue, red, green).

#include "korvo.h"
#include "graphics/filters/graph_filters.h"
#include "graphics/graphs/graph_record.h"
#include "image/pixel_access.h"
#include "tests/graphics/png_sheet.h"

#include <windows.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kCellW = 192;
constexpr int kCellH = 144;
constexpr int kColumns = 5;
constexpr int kRows = 4;
constexpr int kGap = 4;

// A small landscape: sky, sun, hills, a house and a checked field; alpha fades left to right.
uint32_t Landscape(int x, int y)
{
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    int r = 70 + y / 2, g = 130 + y / 2, b = 235;
    if ((fx - 140) * (fx - 140) + (fy - 35) * (fy - 35) < 18 * 18) { r = 255; g = 220; b = 60; }
    const float hill = 80 + 14 * std::sin(fx / 23.0f) + 8 * std::sin(fx / 7.0f);
    if (fy > hill) { r = 40 + y / 4; g = 150 - y / 4; b = 50; }
    if (x > 30 && x < 80 && y > 70 && y < 110) { r = 190; g = 50; b = 40; }
    if (x > 45 && x < 60 && y > 88 && y < 110) { r = 90; g = 60; b = 30; }
    if (y > 115) {
        const bool dark = ((x / 12) + (y / 6)) & 1;
        r = dark ? 200 : 240; g = dark ? 170 : 230; b = dark ? 90 : 150;
    }
    const uint32_t alpha = static_cast<uint32_t>(255 - x * 200 / kCellW);
    return alpha << 24 | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
}

uint32_t Rings(int x, int y)
{
    const float d = std::sqrt(static_cast<float>((x - 96) * (x - 96) + (y - 72) * (y - 72)));
    const int v = static_cast<int>(127 + 127 * std::cos(d / 6.0f));
    return 0xFF000000u | static_cast<uint32_t>(v) << 16 | static_cast<uint32_t>(255 - v) << 8 | 160u;
}

uint32_t Gradient(int x, int)
{
    const int t = x * 255 / 255;
    const int r = t < 128 ? t * 2 : 255, g = t < 128 ? t / 2 : 64 + (t - 128) * 3 / 2, b = t < 128 ? 140 - t : (t - 128) * 2;
    return 0xFF000000u | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
}

int GraphOf(int width, int height, uint32_t (*colour)(int, int))
{
    RasterImage image = {};
    AllocArgb32Image(width, height, &image);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t c = colour(x, y);
            std::memcpy(FilterPixelAt(image, x, y), &c, 4);
        }
    int handle = BuildGraphFromBaseImages(&image, nullptr, 0);
    FreeImageRecord(&image);
    return handle;
}

struct Cell {
    int blend;  // 0 filter, 1 blend over the rings
    int type;
    int params[5];
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    SetAppWindowTitle("KorvoFilterGallery");
    SetScreenResolutionAndDepth(640, 480, 32, 60);
    ChangeWindowMode(1);
    SetHardwareRenderingWanted(1);
    if (StartLibrary() != 0) {
        return 1;
    }
    const int gradient = GraphOf(256, 1, Gradient);
    const int rings = GraphOf(kCellW, kCellH, Rings);
    const Cell cells[kColumns * kRows] = {
        {0, -1, {}},
        {0, 0, {0, 0}},
        {0, 0, {-90, 70}},
        {0, 1, {16, 400}},
        {0, 1, {32, 1600}},
        {0, 2, {2}},
        {0, 3, {2, 110, 1, PackScreenColor(255, 0, 160), 255}},
        {0, 4, {0, 120, 0, 0}},
        {0, 4, {1, 30, 80, 0}},
        {0, 4, {0, 0, -120, -90}},
        {0, 5, {}},
        {0, 6, {40, 200, 160, 0, 255}},
        {0, 7, {110, PackScreenColor(30, 30, 90), 255, PackScreenColor(250, 240, 200), 255}},
        {0, 8, {gradient, 0}},
        {0, 9, {}},
        {1, 2, {}},
        {1, 5, {}},
        {1, 6, {}},
        {1, 3, {}},
        {1, 1, {2, 0, 1, 3}},
    };
    const int sheetW = kColumns * kCellW + (kColumns + 1) * kGap;
    const int sheetH = kRows * kCellH + (kRows + 1) * kGap;
    std::vector<uint32_t> sheet(static_cast<size_t>(sheetW) * sheetH, 0x303030u);
    int failures = 0;
    for (int i = 0; i < kColumns * kRows; ++i) {
        const Cell &c = cells[i];
        int graph = GraphOf(kCellW, kCellH, Landscape);
        int result = 0;
        if (c.type >= 0) {
            result = RunGraphFilterOrBlend(c.blend, graph, c.blend != 0 ? rings : -1, graph, 255, c.type, 0, 0, kCellW,
                                           kCellH, 0, 0, 0, 0, 0, c.params);
        }
        RasterImage image = {};
        if (result != 0 || ReadGraphRectToImage(graph, &image, nullptr) != 0) {
            ++failures;
            DestroyGraphHandle(graph, 0);
            continue;
        }
        const int left = kGap + (i % kColumns) * (kCellW + kGap);
        const int top = kGap + (i / kColumns) * (kCellH + kGap);
        for (int y = 0; y < kCellH; ++y)
            for (int x = 0; x < kCellW; ++x) {
                uint32_t v;
                std::memcpy(&v, FilterPixelAt(image, x, y), 4);
                sheet[static_cast<size_t>(top + y) * sheetW + left + x] = v & 0xFFFFFF;
            }
        FreeImageRecord(&image);
        DestroyGraphHandle(graph, 0);
    }
    const char *path = commandLine != nullptr && commandLine[0] != '\0' ? commandLine : "graph_filters.png";
    const bool written = GraphTest::WriteRgbPng(path, sheetW, sheetH, [&](int x, int y) {
        return sheet[static_cast<size_t>(y) * sheetW + x];
    });
    ShutdownLibrary();
    return written && failures == 0 ? 0 : 2;
}
