// Text drawn through the library on Wine's Direct3D device and on the software
// road: the ink of a string stays inside its measured box, the measured width is
// the sum of the glyph advances, and a picture of it is written for a look.

#include "font/font_record.h"

#include "core/public_api.h"
#include "graphics/device/graphics_state.h"
#include "graphics/public_api.h"
#include "tests/graphics/win32/device/library_session.h"

#include <windows.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
const char kStageText[] = "ステージ1";

int StartLibraryAt800x600(bool direct3D)
{
    SetAppWindowTitle("KorvoFontTest");
    SetScreenResolutionAndDepth(kScreenWidth, kScreenHeight, 32, 60);
    EnableLogFileOutput(1);
    SetLogFolder(".");
    ChangeWindowMode(1);
    SetHardwareRenderingWanted(direct3D ? 1 : 0);
    GraphicsState.backgroundRed = 40;
    GraphicsState.backgroundGreen = 90;
    GraphicsState.backgroundBlue = 160;
    return StartLibrary();
}

std::vector<uint32_t> ReadScreen()
{
    return GraphicsTest::ReadScreenPixels(kScreenWidth, kScreenHeight, 0);
}

void PutChunk(std::vector<uint8_t> &file, const char *type, const std::vector<uint8_t> &data)
{
    auto put32 = [&](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            file.push_back(static_cast<uint8_t>(v >> shift));
        }
    };
    put32(static_cast<uint32_t>(data.size()));
    size_t start = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    put32(static_cast<uint32_t>(crc32(0, file.data() + start, static_cast<uInt>(file.size() - start))));
}

// A part of the screen, each pixel made scale x scale, as an RGB PNG file
void WritePng(const std::string &path, const std::vector<uint32_t> &screen, RECT part, int scale)
{
    int width = (part.right - part.left) * scale, height = (part.bottom - part.top) * scale;
    std::vector<uint8_t> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            uint32_t p = screen[(part.top + y / scale) * kScreenWidth + part.left + x / scale];
            raw.push_back(static_cast<uint8_t>(p >> 16));
            raw.push_back(static_cast<uint8_t>(p >> 8));
            raw.push_back(static_cast<uint8_t>(p));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(packedSize);
    std::vector<uint8_t> header = {0, 0, 0, 0, 0, 0, 0, 0, 8, 2, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<uint8_t>(width >> (24 - 8 * i));
        header[4 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
    }
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", packed);
    PutChunk(file, "IEND", {});
    FILE *out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
}

int SumOfAdvances(int fontHandle, const char *text)
{
    FontHandleRecord *font = LookupFontRecord(fontHandle);
    GlyphCharEntry entries[64];
    int count = 0;
    CacheStringGlyphsToHandle(-1, text, fontHandle, entries, &count);
    int sum = 0;
    for (int i = 0; i < count; ++i) {
        sum += font->codes[GlyphCodeOf(entries[i])].slot->advance + font->spacing;
    }
    return sum;
}

TEST(StageText, InkStaysInTheMeasuredBoxOnBothRoads)
{
    for (bool direct3D : {true, false}) {
        SCOPED_TRACE(direct3D ? "Direct3D" : "software");
        ASSERT_EQ(StartLibraryAt800x600(direct3D), 0);
        ASSERT_EQ(GraphicsState.direct3DModeActive != 0, direct3D);
        SelectDrawTarget(-2); // the back screen
        ClearDrawScreen();
        SetStandardFontPixelSize(30);
        int font = GetStandardFontHandle();
        ASSERT_EQ(GetFontPixelSizeToHandle(font), 30);
        EXPECT_EQ(LookupFontRecord(font)->textureCache, direct3D ? 1 : 0);

        ASSERT_EQ(DrawTextWithStandardFont(645, 110, kStageText, PackScreenColor(255, 255, 255), 0), 0);
        int box[2] = {0, 0};
        int width = RenderTextRun(0, 0, 0, 0, 1.0, 1.0, kStageText, 0, nullptr, nullptr, 1, font, 0, -1, 0, box);
        EXPECT_EQ(width, box[0]);
        EXPECT_EQ(width, SumOfAdvances(font, kStageText));
        EXPECT_GT(width, 4 * 30 - 10); // four full-width characters and a digit

        // The run starts half the font's top trim above y, where its box is.
        int top = 110 - LookupFontRecord(font)->topTrim / 2;
        std::vector<uint32_t> screen = ReadScreen();
        uint32_t background = (40u << 16) | (90u << 8) | 160u;
        int inside = 0, outside = 0;
        for (int y = 0; y < kScreenHeight; ++y) {
            for (int x = 0; x < kScreenWidth; ++x) {
                if (screen[y * kScreenWidth + x] == background) {
                    continue;
                }
                bool inBox = x >= 645 && x < 645 + box[0] && y >= top && y < top + box[1];
                (inBox ? inside : outside) += 1;
            }
        }
        EXPECT_GT(inside, 200);
        EXPECT_EQ(outside, 0);
        RECT part = {600, 90, 800, 160};
        WritePng(direct3D ? "stage_text_direct3d.png" : "stage_text_software.png", screen, part, 3);
        ASSERT_EQ(ShutdownLibrary(), 0);
    }
}

} // namespace
