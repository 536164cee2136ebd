// Graph filter speed on the CPU road: the Gauss blur (pixel widths 8, 16 and
// 32) and HSB on an 800 x 600 ARGB image, against pixman's convolution filter
// (one horizontal and one vertical pass with the same taps) and a plain
// separable reference written the obvious way.
//
// Run from a Release build without sanitizers. Prints nanoseconds per pixel and
// Korvo's time over the fastest peer's (below 1 is faster).
#include "bench/support/interleaved_timing.h"
#include "graphics/filters/filter_pixels.h"
#include "image/pixel_access.h"

#ifdef KORVO_HAVE_PIXMAN
#include <pixman.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr float kBlur = 4.0f;  // the caller's 400

// The kernel the filter applies along one direction, as weights of offsets -reach..reach.
std::vector<double> LineKernel(int widthClass)
{
    UpdateGaussWeights(widthClass, kBlur);
    const int taps = widthClass / 2;
    const int reach = 2 * (taps - 1);
    std::vector<double> kernel(2 * reach + 1, 0.0);
    kernel[reach] = GaussWeights.weights[0];
    for (int j = 1; j < taps; ++j) {
        for (int d : {2 * j - 1, 2 * j}) {
            kernel[reach - d] += GaussWeights.weights[j] / 2;
            kernel[reach + d] += GaussWeights.weights[j] / 2;
        }
    }
    return kernel;
}

// The plain separable blur: per pixel, per channel, clamped taps, float sums.
void PlainSeparableBlur(const RasterImage &src, RasterImage &temp, RasterImage &out, const std::vector<double> &k)
{
    const int reach = static_cast<int>(k.size() / 2);
    std::vector<float> kf(k.begin(), k.end());
    auto pass = [&](const RasterImage &from, RasterImage &to, bool horizontal) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                for (int c = 0; c < 4; ++c) {
                    float sum = 0;
                    for (int t = -reach; t <= reach; ++t) {
                        int sx = horizontal ? std::clamp(x + t, 0, kWidth - 1) : x;
                        int sy = horizontal ? y : std::clamp(y + t, 0, kHeight - 1);
                        sum += kf[t + reach] * FilterPixelAt(from, sx, sy)[c];
                    }
                    FilterPixelAt(to, x, y)[c] = static_cast<uint8_t>(sum);
                }
    };
    pass(src, temp, true);
    pass(temp, out, false);
}

// HSB written the plain way: floats through hue, saturation and lightness and back.
void PlainHsb(const RasterImage &src, RasterImage &out, float hueShift, float satScale, float bright)
{
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t *s = FilterPixelAt(src, x, y);
            uint8_t *d = FilterPixelAt(out, x, y);
            float c[3];
            for (int i = 0; i < 3; ++i) {
                float v = s[2 - i] / 255.0f;
                c[i] = bright < 0 ? v * (1 + bright) : v + (1 - v) * bright;
            }
            float mx = std::max({c[0], c[1], c[2]}), mn = std::min({c[0], c[1], c[2]});
            float l = (mx + mn) / 2, h = 0, sat = 0;
            if (mx > mn) {
                float dl = mx - mn;
                sat = l > 0.5f ? dl / (2 - mx - mn) : dl / (mx + mn);
                h = mx == c[0] ? (c[1] - c[2]) / dl : (mx == c[1] ? (c[2] - c[0]) / dl + 2 : (c[0] - c[1]) / dl + 4);
            }
            h = std::fmod(h / 6 + hueShift + 1.0f, 1.0f);
            sat = std::min(sat * satScale, 1.0f);
            float q = l < 0.5f ? l * (1 + sat) : l + sat - l * sat, p = 2 * l - q;
            for (int i = 0; i < 3; ++i) {
                float t = std::fmod(h + (1 - i) / 3.0f + 1.0f, 1.0f);
                float v = t < 1 / 6.0f ? p + (q - p) * 6 * t
                                       : (t < 0.5f ? q : (t < 2 / 3.0f ? p + (q - p) * (2 / 3.0f - t) * 6 : p));
                d[2 - i] = static_cast<uint8_t>(v * 255);
            }
            d[3] = s[3];
        }
}

struct Image {
    RasterImage image = {};
    Image() { AllocArgb32Image(kWidth, kHeight, &image); }
    ~Image() { FreeImageRecord(&image); }
};

void PrintRow(const char *name, double korvo, double pixmanNs, double plain)
{
    double fastest = plain;
    if (pixmanNs > 0) fastest = std::min(fastest, pixmanNs);
    auto cell = [](double v) {
        static char text[4][16];
        static int at = 0;
        char *t = text[at++ & 3];
        if (v < 0) std::snprintf(t, 16, "%9s", "-");
        else std::snprintf(t, 16, "%9.2f", v);
        return t;
    };
    std::printf("%-22s %s %s %s %9.2f\n", name, cell(korvo), cell(pixmanNs), cell(plain), korvo / fastest);
}

} // namespace

int main()
{
    Image src, temp, out;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t *p = FilterPixelAt(src.image, x, y);
            p[0] = static_cast<uint8_t>(x * 7 + y);
            p[1] = static_cast<uint8_t>((x ^ y) * 3);
            p[2] = static_cast<uint8_t>(y * 5 - x);
            p[3] = static_cast<uint8_t>(255 - (x + y) / 8);
        }
    const double pixels = static_cast<double>(kWidth) * kHeight;
    std::printf("800x600 ARGB, ns/pixel; ratio = Korvo / fastest peer\n");
    std::printf("%-22s %9s %9s %9s %9s\n", "case", "korvo", "pixman", "plain", "ratio");
    for (int widthClass : {8, 16, 32}) {
        const std::vector<double> kernel = LineKernel(widthClass);
        std::vector<std::function<void()>> ops = {
            [&] { GaussBlurPixels(src.image, out.image, widthClass, kBlur); },
            [&] { PlainSeparableBlur(src.image, temp.image, out.image, kernel); },
        };
#ifdef KORVO_HAVE_PIXMAN
        const int taps = static_cast<int>(kernel.size());
        std::vector<pixman_fixed_t> horizontal(2 + taps), vertical(2 + taps);
        horizontal[0] = pixman_int_to_fixed(taps);
        horizontal[1] = pixman_int_to_fixed(1);
        vertical[0] = pixman_int_to_fixed(1);
        vertical[1] = pixman_int_to_fixed(taps);
        for (int i = 0; i < taps; ++i)
            horizontal[2 + i] = vertical[2 + i] = pixman_double_to_fixed(kernel[i]);
        auto wrap = [](RasterImage &r) {
            return pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, static_cast<uint32_t *>(r.pixels),
                                            r.pitch);
        };
        pixman_image_t *ps = wrap(src.image), *pt = wrap(temp.image), *po = wrap(out.image);
        pixman_image_set_repeat(ps, PIXMAN_REPEAT_PAD);
        pixman_image_set_repeat(pt, PIXMAN_REPEAT_PAD);
        ops.push_back([&] {
            pixman_image_set_filter(ps, PIXMAN_FILTER_CONVOLUTION, horizontal.data(), 2 + taps);
            pixman_image_composite32(PIXMAN_OP_SRC, ps, nullptr, pt, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
            pixman_image_set_filter(pt, PIXMAN_FILTER_CONVOLUTION, vertical.data(), 2 + taps);
            pixman_image_composite32(PIXMAN_OP_SRC, pt, nullptr, po, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
        });
#endif
        std::vector<double> ns = KorvoBench::BestNanosecondsInTurns(ops, pixels, 5, 0.05);
        char name[32];
        std::snprintf(name, sizeof name, "gauss %d px", widthClass);
        PrintRow(name, ns[0], ns.size() > 2 ? ns[2] : -1, ns[1]);
#ifdef KORVO_HAVE_PIXMAN
        pixman_image_unref(ps);
        pixman_image_unref(pt);
        pixman_image_unref(po);
#endif
    }
    std::vector<std::function<void()>> hsb = {
        [&] { HsbPixels(src.image, out.image, 0, 40, 30, -10); },
        [&] { PlainHsb(src.image, out.image, 40.0f / 360, 1.3f, -0.1f); },
    };
    std::vector<double> ns = KorvoBench::BestNanosecondsInTurns(hsb, pixels, 5, 0.05);
    PrintRow("hsb shift", ns[0], -1, ns[1]);
    return 0;
}
