// Tiny files whose headers claim huge images are refused before anything large
// is allocated (the sanitizer build watches every allocation), and libjpeg and
// libpng print nothing while other formats pass through the decoder walk.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "image/image_loaders.h"
#include "image_samples.h"

using namespace Korvo;
using namespace ImageSamples;

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void *, size_t),
                                                         void (*free_hook)(const volatile void *));
#define KORVO_WATCH_ALLOCATIONS 1
#endif

namespace {

std::atomic<size_t> LargestRequest{0};
std::atomic<bool> Watching{false};

#if KORVO_WATCH_ALLOCATIONS
void NoteAllocation(const volatile void *, size_t size)
{
    if (Watching && size > LargestRequest)
        LargestRequest = size;
}
void NoteFree(const volatile void *) {}
#endif

// Result of the decoder walk, and the largest single allocation made during it.
int DecodeWatched(const Bytes &file, size_t *largest)
{
#if KORVO_WATCH_ALLOCATIONS
    static const int installed = __sanitizer_install_malloc_and_free_hooks(NoteAllocation, NoteFree);
    (void)installed;
#endif
    LargestRequest = 0;
    Watching = true;
    MemorySource source(file);
    RasterImage image;
    int result = RunImageLoadersWith(nullptr, source.get(), &image);
    Watching = false;
    FreeImageRecord(&image);
    *largest = LargestRequest;
    return result;
}

void PutBe16(Bytes &b, size_t at, int v)
{
    b[at] = (uint8_t)(v >> 8);
    b[at + 1] = (uint8_t)v;
}

// A progressive JPEG whose frame header claims width x height pixels.
Bytes HugeProgressiveJpeg(int components = 3, int width = 25644, int height = 11168)
{
    Bytes b = MakeJpeg(16, 8, components, 75, true);
    for (size_t i = 0; i + 8 < b.size(); i++)
        if (b[i] == 0xFF && b[i + 1] == 0xC2) {
            PutBe16(b, i + 5, height);
            PutBe16(b, i + 7, width);
            break;
        }
    return b;
}

// An 8192 x 8192 TGA in 32 bits of the given type whose data end within 4,000 bytes.
Bytes ShortTga(uint8_t type)
{
    const bool mapped = type == 1 || type == 9;
    uint8_t h[18] = {0, (uint8_t)(mapped ? 1 : 0), type, 0, 0, 0, 1, 32, 0, 0, 0, 0, 0, 0x20, 0, 0x20,
                     (uint8_t)(mapped ? 8 : 32), 0x20};
    const Bytes map = mapped ? Bytes(256 * 4, 0x40) : Bytes();
    return MakeTga(h, Bytes(), map, Bytes(4000 - 18 - map.size(), 0x81), false);
}

// A small PNG with an ancillary chunk of the given type claiming 1,009,237,101 bytes.
Bytes PngWithHugeChunk(const char *type)
{
    Bytes png = MakePng(PngRecipe());
    Bytes chunk = {0x3C, 0x27, 0x5A, 0x6D, (uint8_t)type[0], (uint8_t)type[1], (uint8_t)type[2], (uint8_t)type[3]};
    chunk.resize(chunk.size() + 400, 0x41);
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());   // right after IHDR
    return png;
}

TEST(ImageMemoryLimits, TinyFilesClaimingHugeImagesAllocateLittle)
{
    const Bytes table(16 * 4, 0x40);
    const Bytes rle = {2, 0x12, 0, 0, 0, 1};
    const Bytes wideBgra = MakeBgra(8193, 8192, false, Bytes(64, 0));
    PngRecipe rgba8192;
    rgba8192.width = rgba8192.height = 8192;
    rgba8192.colorType = 6;  // RGBA
    struct Case {
        std::string name;
        Bytes file;
    } cases[] = {
        {"progressive JPEG 25644x11168", HugeProgressiveJpeg()},
        {"PNG tEXt", PngWithHugeChunk("tEXt")},
        {"PNG zTXt", PngWithHugeChunk("zTXt")},
        {"PNG iTXt", PngWithHugeChunk("iTXt")},
        {"PNG sPLT", PngWithHugeChunk("sPLT")},
        {"PNG eXIf", PngWithHugeChunk("eXIf")},
        {"RLE4 BMP 16405x32777", MakeBmp(16405, 32777, 4, 2, table, rle, 16)},
        {"BGRA 8193x8192", wideBgra},
        // Its pixel block just fits; its coefficients (2 bytes a sample) would not.
        {"progressive grey JPEG 16384x16384", HugeProgressiveJpeg(1, 16384, 16384)},
        {"PNG 8192x8192 RGBA with 20 bytes of rows", MakePngClaiming(rgba8192, Bytes(20, 0x78))},
        {"mapped TGA 8192x8192", ShortTga(1)},
        {"true-colour TGA 8192x8192", ShortTga(2)},
        {"RLE mapped TGA 8192x8192", ShortTga(9)},
        {"RLE true-colour TGA 8192x8192", ShortTga(10)},
    };
    for (const Case &c : cases) {
        size_t largest = 0;
        EXPECT_LT(c.file.size(), 4096u) << c.name;
        EXPECT_EQ(-1, DecodeWatched(c.file, &largest)) << c.name;
#if KORVO_WATCH_ALLOCATIONS
        EXPECT_LT(largest, (size_t)16 << 20) << c.name << " (" << c.file.size() << " bytes)";
#endif
    }
    // The limit sits at 256 MB of pixels, not below: 8192 x 8192 in 32 bits is allowed.
    EXPECT_EQ(kMaxImagePixelBytes, CheckedImageBytes(8192 * 4, 8192));
    EXPECT_EQ(-1, CheckedImageBytes(8192 * 4 + 4, 8192));
}

// The bounds refuse only what the data cannot hold: a blank PNG at zlib's best
// ratio still fills its rows.
TEST(ImageMemoryLimits, HighlyCompressedFilesStillDecode)
{
    PngRecipe blank;
    blank.width = blank.height = 4096;
    blank.blank = true;
    const Bytes png = MakePng(blank);
    Decoded d(png);
    EXPECT_EQ(0, d.result) << png.size() << " bytes";
    EXPECT_EQ(4096, d.image.height);
}

TEST(ImageMemoryLimits, DecodersPrintNothingWhileOtherFilesPassThrough)
{
    Bytes truncated = MakeJpeg(16, 16, 3, 90);
    truncated.resize(truncated.size() / 2);
    const Bytes files[] = {MakePng(PngRecipe()), Bytes(100, 0x11), truncated, HugeProgressiveJpeg()};
    ::testing::internal::CaptureStderr();
    for (const Bytes &file : files) {
        size_t largest = 0;
        DecodeWatched(file, &largest);
    }
    EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
}

} // namespace
