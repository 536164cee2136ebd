// ConvertPixelBlock throughput in pixels per second for 24->32, 32->565,
// palette->32 and a dithered 8888->4444 conversion.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "image/pixel_convert.h"

using namespace Korvo;

namespace {

double Seconds()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

ColorFormatDesc Format(int kind)
{
    ColorFormatDesc f;
    std::memset(&f, 0, sizeof(f));
    switch (kind) {
    case 24:
        InitRgb24Format(&f);
        break;
    case 32:
        InitXrgb32Format(&f);
        break;
    case 8888:
        InitArgb32Format(&f);
        break;
    case 565:
        InitColorFormatFromMasks(&f, 16, 0xf800, 0x7e0, 0x1f, 0, 0, 0, 0);
        break;
    case 555:
        InitColorFormatFromMasks(&f, 16, 0x7c00, 0x3e0, 0x1f, 0, 0, 0, 0);
        break;
    case 4444:
        InitColorFormatFromMasks(&f, 16, 0xf00, 0xf0, 0xf, 0xf000, 0, 0, 0);
        break;
    default:
        InitPaletteFormat(&f);
        for (int i = 0; i < 256; i++)
            f.palette[i] = PaletteEntry{(uint8_t)i, (uint8_t)(i * 3), (uint8_t)(255 - i), 0};
        break;
    }
    return f;
}

void Measure(const char *name, int srcKind, int dstKind, int dither)
{
    const int width = 1024, height = 1024;
    ColorFormatDesc src = Format(srcKind), dst = Format(dstKind);
    int srcPitch = width * (src.bytesPerPixel), dstPitch = width * dst.bytesPerPixel;
    std::vector<unsigned char> in((size_t)srcPitch * height), out((size_t)dstPitch * height);
    for (size_t i = 0; i < in.size(); i++)
        in[i] = (unsigned char)(i * 2654435761u >> 13);
    RECT rect = {0, 0, width, height};
    double best = 1e9;
    for (int pass = 0; pass < 5; pass++) {
        double start = Seconds();
        for (int i = 0; i < 10; i++)
            ConvertPixelBlock(out.data(), dstPitch, &dst, in.data(), srcPitch, &src, nullptr, 0, nullptr, 0, 0, &rect,
                              0, 0, 0, dither, 0, 0, 0, 0);
        double t = (Seconds() - start) / 10;
        best = t < best ? t : best;
    }
    std::printf("%-28s %8.1f Mpixel/s\n", name, width * (double)height / best / 1e6);
}

} // namespace

int main()
{
    Measure("24 -> 32 (XRGB)", 24, 32, 0);
    Measure("32 (XRGB) -> 565", 32, 565, 0);
    Measure("palette -> 32 (XRGB)", 8, 32, 0);
    Measure("8888 -> 4444, ordered dither", 8888, 4444, 1);
    Measure("8888 -> 4444, carried dither", 8888, 4444, 2);
    SetPixelConvertMmxMode(0);
    Measure("565 -> 555, plain form", 565, 555, 0);
    SetPixelConvertMmxMode(1);
    Measure("565 -> 555, MMX form", 565, 555, 0);
    return 0;
}
