// Test images for the blit tests: MEMIMGs over caller buffers with a guard band
// around the view, and random contents that exercise keys, alpha and palettes.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "softraster/memimg.h"

namespace BlitTest {

// Source layouts the blits draw.
enum class Layout { Palette32, Direct32, Alpha32, Palette16, Direct16, Alpha16 };

inline const char *LayoutName(Layout l)
{
    static const char *names[] = {"Palette32", "Direct32", "Alpha32", "Palette16", "Direct16", "Alpha16"};
    return names[static_cast<int>(l)];
}

inline bool IsWide(Layout l) { return l == Layout::Palette32 || l == Layout::Direct32 || l == Layout::Alpha32; }

// A MEMIMG whose view sits inside a larger buffer; the rest is a guard band.
class GuardedImage {
public:
    static constexpr int kGuard = 3;
    static constexpr uint8_t kFill = 0xA5;

    GuardedImage(int width, int height, Korvo::MemImgPixelKind kind, int palette, int alpha, int extras)
    {
        Korvo::MEMIMG probe{};
        Korvo::AllocateMemImg(&probe, 1, 1, -1, 0, kind, palette, alpha, 0, nullptr);
        bytes_ = Korvo::MemImgBytesPerPixel(probe.body);
        Korvo::DisposeMemImg(&probe);
        pitch_ = (width + 2 * kGuard) * bytes_ + 4;
        storage_.assign(static_cast<size_t>(pitch_ * (height + 2 * kGuard)), kFill);
        offset_ = kGuard * pitch_ + kGuard * bytes_;
        Korvo::AllocateMemImg(&image, width, height, pitch_, 0, kind, palette, alpha, extras,
                              storage_.data() + offset_);
    }
    ~GuardedImage() { Korvo::DisposeMemImg(&image); }
    GuardedImage(const GuardedImage &) = delete;
    GuardedImage &operator=(const GuardedImage &) = delete;

    // Remember the whole buffer, guard included.
    void Snapshot() { snapshot_ = storage_; }
    void Restore() { storage_ = snapshot_; }

    // True when no byte outside the view differs from the snapshot.
    bool GuardIntact() const
    {
        for (size_t i = 0; i < storage_.size(); ++i) {
            const int pos = static_cast<int>(i) - offset_;
            const int row = pos >= 0 ? pos / pitch_ : -1;
            const int col = pos >= 0 ? pos % pitch_ : -1;
            const bool inside = pos >= 0 && row < image.height && col < image.width * bytes_;
            if (!inside && storage_[i] != snapshot_[i])
                return false;
        }
        return true;
    }

    uint8_t *Pixel(int x, int y) { return image.pixels + y * pitch_ + x * bytes_; }
    int BytesPerPixel() const { return bytes_; }

    Korvo::MEMIMG image{};

private:
    int bytes_ = 0;
    int pitch_ = 0;
    int offset_ = 0;
    std::vector<uint8_t> storage_;
    std::vector<uint8_t> snapshot_;
};

// Source image of a layout with random pixels; a third of them hit the key.
inline void FillRandomSource(GuardedImage &g, Layout layout, std::mt19937 &rng)
{
    Korvo::MemImgBody *body = g.image.body;
    std::uniform_int_distribution<uint32_t> any(0, 0xFFFFFFFF);
    const bool palette = layout == Layout::Palette32 || layout == Layout::Palette16;
    if (palette) {
        for (int i = 0; i < 256; ++i) {
            uint32_t v = any(rng);
            if (layout == Layout::Palette16)
                std::memcpy(body->paletteBlock + 2 * i, &v, 2);
            else
                std::memcpy(body->paletteBlock + 4 * i, &v, 4);
        }
        body->paletteCount = 256;
        body->transparentColor = 3;
    }
    uint32_t key = 0;
    if (layout == Layout::Direct32)
        key = any(rng);
    if (layout == Layout::Direct16)
        key = any(rng) & 0xFFFF;
    if (!palette && layout != Layout::Alpha32 && layout != Layout::Alpha16)
        body->transparentColor = key;
    for (int y = 0; y < g.image.height; ++y)
        for (int x = 0; x < g.image.width; ++x) {
            uint8_t *p = g.Pixel(x, y);
            const uint32_t r = any(rng);
            const int pick = static_cast<int>(any(rng) % 3);
            switch (layout) {
            case Layout::Palette32:
            case Layout::Palette16: p[0] = static_cast<uint8_t>(pick == 0 ? 3 : r % 16); break;
            case Layout::Direct32: {
                uint32_t v = pick == 0 ? key : pick == 1 ? (key ^ 0x01000000) : r;
                std::memcpy(p, &v, 4);
                break;
            }
            case Layout::Direct16: {
                uint16_t v = static_cast<uint16_t>(pick == 0 ? key : r);
                std::memcpy(p, &v, 2);
                break;
            }
            case Layout::Alpha32:
            case Layout::Alpha16: {
                std::memcpy(p, &r, 4);
                const uint8_t alpha = pick == 0 ? 0 : pick == 1 ? 255 : static_cast<uint8_t>(any(rng));
                p[IsWide(layout) ? 3 : 2] = alpha;
                break;
            }
            }
        }
}

// Random bytes over the whole view.
inline void FillRandomBytes(GuardedImage &g, std::mt19937 &rng)
{
    std::uniform_int_distribution<int> byte(0, 255);
    for (int y = 0; y < g.image.height; ++y)
        for (int x = 0; x < g.image.width * g.BytesPerPixel(); ++x)
            g.image.pixels[y * g.image.body->pitch + x] = static_cast<uint8_t>(byte(rng));
}

inline Korvo::MemImgPixelKind KindOf(Layout l) { return IsWide(l) ? Korvo::MEMIMG_KIND_XRGB32 : Korvo::MEMIMG_KIND_RGB565; }
inline int PaletteOf(Layout l) { return l == Layout::Palette32 || l == Layout::Palette16; }
inline int AlphaOf(Layout l) { return l == Layout::Alpha32 || l == Layout::Alpha16; }

}  // namespace BlitTest
