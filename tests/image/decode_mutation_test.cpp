// Damaged input: valid files of every format, mutated with a fixed seed, go
// through the whole decoder walk. Each must be refused or decoded into an image
// whose pixel block is as large as its size says; the sanitizers catch any
// access outside the data.
#include <gtest/gtest.h>

#include <ctime>
#include <cstdio>
#include <cstring>
#include <random>

#include "image/image_loaders.h"
#include "image_samples.h"

using namespace Korvo;
using namespace ImageSamples;

namespace {

constexpr int kMutationsPerFormat = 2000;

// Touch both ends of the block the image claims to own (the sanitizers report
// a block smaller than its size says).
uint32_t TouchPixelBlockEnds(const RasterImage &image)
{
    int bytes = CalcImagePixelDataBytes(&image);
    EXPECT_GT(bytes, 0);
    const uint8_t *p = (const uint8_t *)image.pixels;
    return bytes > 0 ? (uint32_t)p[0] + p[bytes - 1] : 0;
}

Bytes Mutate(const Bytes &original, std::mt19937 &rng)
{
    Bytes b = original;
    int kind = (int)(rng() % 8);
    if (kind == 0 && b.size() > 1) {
        b.resize(rng() % b.size());  // truncation
        return b;
    }
    int edits = 1 + (int)(rng() % 3);
    for (int i = 0; i < edits && !b.empty(); i++) {
        size_t at = rng() % b.size();
        switch (rng() % 4) {
        case 0:
            b[at] = (uint8_t)rng();
            break;
        case 1:
            b[at] ^= (uint8_t)(1u << (rng() % 8));
            break;
        case 2:
            b[at] = (rng() & 1) ? 0xff : 0x00;
            break;
        default:
            b[at] = (uint8_t)(b[at] + 1);
            break;
        }
    }
    return b;
}

TEST(DecodeMutation, EveryFormatSurvivesTwoThousandDamagedFiles)
{
    std::mt19937 rng(20261209);
    for (const auto &sample : SampleFilesOfEveryFormat()) {
        std::clock_t started = std::clock();
        int decoded = 0, refused = 0;
        {
            MemorySource original(sample.second);
            RasterImage image;
            ASSERT_EQ(0, RunImageLoadersWith(nullptr, original.get(), &image)) << sample.first;
            FreeImageRecord(&image);
        }
        for (int i = 0; i < kMutationsPerFormat; i++) {
            Bytes damaged = Mutate(sample.second, rng);
            MemorySource source(damaged);
            RasterImage image;
            if (RunImageLoadersWith(nullptr, source.get(), &image) == 0) {
                decoded++;
                ASSERT_NE(nullptr, image.pixels) << sample.first << " case " << i;
                TouchPixelBlockEnds(image);
                if (image.format.blockFormat != kBlockPlain) {
                    ASSERT_EQ(0, ExpandDxtImageToArgb32(&image));
                }
                FreeImageRecord(&image);
            } else {
                refused++;
                ASSERT_EQ(nullptr, image.pixels);
            }
        }
        EXPECT_EQ(kMutationsPerFormat, decoded + refused);
        // Both outcomes occur for every format: the mutations reach the checks.
        EXPECT_GT(refused, 0) << sample.first;
        EXPECT_GT(decoded, 0) << sample.first;
        std::fprintf(stdout, "%s: %d decoded, %d refused, %lld ms of processor time\n", sample.first.c_str(), decoded, refused,
                     (long long)((std::clock() - started) * 1000 / CLOCKS_PER_SEC));
    }
}

} // namespace
