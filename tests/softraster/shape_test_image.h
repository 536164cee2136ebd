// Test images for the shape routines: a MEMIMG over a buffer with a guard band
// around the pixels (bytes before and after, and beyond each row) that no
// drawing may touch, and a reset of the global draw state.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "softraster/draw_state.h"
#include "softraster/memimg.h"

namespace shape_test {

constexpr uint8_t kGuardByte = 0xA5;
constexpr int kGuardBytes = 64;        // before the first and after the last row
constexpr int kRowGuardBytes = 12;     // beyond each row's pixels

// Make the tables and reset the draw state: copy, no bright, clip = the image,
// identity blend-image weights.
inline void ResetDrawState(int width, int height)
{
    static bool tablesBuilt = false;
    if (!tablesBuilt) {
        Korvo::BuildMemImgLookupTables();
        tablesBuilt = true;
    }
    // Identity gate table: a blend image byte is its own weight.
    for (int i = 0; i < 256; ++i)
        Korvo::MemImgBlendThresholdTable[i] = static_cast<uint8_t>(i);
    RECT clip{0, 0, width, height};
    Korvo::SetMemImgClipRect(&clip);
    Korvo::SetMemImgBlendState(Korvo::MEMIMG_BLEND_COPY, 255);
    Korvo::SetMemImgBrightColor(0xFFFFFF);
}

class TestImage {
public:
    TestImage(int width, int height, int kind, int bytesPerPixel, bool alpha = false, bool palette = false)
        : bytesPerPixel_(bytesPerPixel)
    {
        body_.width = width;
        body_.height = height;
        body_.pitch = width * bytesPerPixel + kRowGuardBytes;
        body_.pixelKind = kind;
        body_.hasAlpha = alpha ? 1 : 0;
        body_.hasPalette = palette ? 1 : 0;
        body_.referenceCount = 1;
        storage_.assign(static_cast<size_t>(kGuardBytes * 2 + body_.pitch * height), kGuardByte);
        if (palette) {
            paletteBlock_.assign(Korvo::MEMIMG_PALETTE_BLOCK_SIZE, 0);
            body_.paletteBlock = paletteBlock_.data();
            body_.paletteCopy = paletteBlock_.data() + 1024;
        }
        body_.pixels = storage_.data() + kGuardBytes;
        view_.validMark = Korvo::MEMIMG_VALID_MARK;
        view_.width = width;
        view_.height = height;
        view_.pixels = body_.pixels;
        view_.body = &body_;
        Fill(0);
    }
    TestImage(const TestImage &) = delete;
    TestImage &operator=(const TestImage &) = delete;

    Korvo::MEMIMG *image() { return &view_; }
    Korvo::MemImgBody *body() { return &body_; }
    int width() const { return body_.width; }
    int height() const { return body_.height; }
    uint8_t *palette() { return paletteBlock_.data(); }

    uint8_t *At(int x, int y) { return body_.pixels + y * body_.pitch + x * bytesPerPixel_; }

    uint32_t Get(int x, int y)
    {
        uint32_t v = 0;
        std::memcpy(&v, At(x, y), bytesPerPixel_);
        return v;
    }
    void Set(int x, int y, uint32_t v) { std::memcpy(At(x, y), &v, bytesPerPixel_); }

    void Fill(uint32_t v)
    {
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                Set(x, y, v);
    }
    void FillRandom(std::mt19937 &rng)
    {
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                Set(x, y, static_cast<uint32_t>(rng()));
    }

    // Every pixel value, row by row.
    std::vector<uint32_t> Pixels()
    {
        std::vector<uint32_t> out;
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                out.push_back(Get(x, y));
        return out;
    }

    // True while no byte outside the pixels has changed.
    bool GuardIntact() const
    {
        const uint8_t *base = storage_.data();
        for (int i = 0; i < kGuardBytes; ++i)
            if (base[i] != kGuardByte || base[storage_.size() - 1 - i] != kGuardByte)
                return false;
        for (int y = 0; y < body_.height; ++y) {
            const uint8_t *rowEnd = body_.pixels + y * body_.pitch + body_.width * bytesPerPixel_;
            for (int i = 0; i < kRowGuardBytes; ++i)
                if (rowEnd[i] != kGuardByte)
                    return false;
        }
        return true;
    }

private:
    int bytesPerPixel_;
    Korvo::MemImgBody body_{};
    Korvo::MEMIMG view_{};
    std::vector<uint8_t> storage_;
    std::vector<uint8_t> paletteBlock_;
};

}  // namespace shape_test
