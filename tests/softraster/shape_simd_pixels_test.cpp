// The four-pixel SSE2 forms against their one-pixel forms, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "softraster/simd_pixels.h"
#include "softraster/wide_vector_rows.h"
#include "vector_form_choice.h"

#if KORVO_SHAPES_SSE2

using namespace Korvo;

namespace {

class ShapeSimdPixels : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildMemImgLookupTables(); }
};

__m128i Load4(const uint32_t *words) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(words)); }

void Store4(uint32_t *words, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i *>(words), v); }

// Fourth bytes 0x00, 0xFF and random, with channel values at and near both ends.
uint32_t InterestingWord(std::mt19937 &rng)
{
    static const uint8_t edges[] = {0, 1, 2, 127, 128, 129, 253, 254, 255};
    uint32_t w = rng();
    for (int byte = 0; byte < 4; ++byte)
        if (rng() % 3 == 0)
            w = (w & ~(0xFFu << (byte * 8))) | (static_cast<uint32_t>(edges[rng() % 9]) << (byte * 8));
    return w;
}

}  // namespace

// n * p / 255 by the shift form equals the scale table for every entry.
TEST_F(ShapeSimdPixels, ScaleMatchesTheTableEverywhere)
{
    for (int p = 0; p < 256; ++p) {
        const short ps = static_cast<short>(p);
        const __m128i paramWords = _mm_setr_epi16(ps, ps, ps, 0, ps, ps, ps, 0);
        for (int m = 0; m < 256; m += 4) {
            uint32_t in[4], out[4];
            for (int i = 0; i < 4; ++i)
                in[i] = 0xA5000000u | static_cast<uint32_t>((m + i) * 0x010101);
            Store4(out, ScalePixels32x4(Load4(in), paramWords));
            for (int i = 0; i < 4; ++i) {
                const uint32_t s = static_cast<uint32_t>(MemImgProductTable[p][m + i]);
                ASSERT_EQ(out[i], s | (s << 8) | (s << 16)) << "p " << p << " m " << m + i;
            }
        }
    }
}

// Lerp, packed add/subtract and channel product on random and edge words.
TEST_F(ShapeSimdPixels, PixelRulesMatchOnePixelForms)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 20000; ++round) {
        uint32_t d[4], s[4], out[4];
        for (int i = 0; i < 4; ++i) {
            d[i] = InterestingWord(rng);
            s[i] = InterestingWord(rng);
        }
        const int p = static_cast<int>(rng() % 256);
        Store4(out, LerpPixels32x4(Load4(d), Load4(s), _mm_set1_epi16(static_cast<short>(p)),
                                   _mm_set1_epi16(static_cast<short>(256 - p))));
        for (int i = 0; i < 4; ++i)
            ASSERT_EQ(out[i], LerpPixel32(d[i], s[i], static_cast<uint32_t>(p)));
        Store4(out, PackedAddPixels32x4(Load4(d), Load4(s)));
        for (int i = 0; i < 4; ++i)
            ASSERT_EQ(out[i], PackedAddPixel32(d[i], s[i]));
        Store4(out, PackedSubtractPixels32x4(Load4(d), Load4(s)));
        for (int i = 0; i < 4; ++i)
            ASSERT_EQ(out[i], PackedSubtractPixel32(d[i], s[i]));
        int c[3];
        SplitChannels<1>(s[0], c);
        const __m128i colorWords = _mm_setr_epi16(static_cast<short>(c[0]), static_cast<short>(c[1]),
                                                  static_cast<short>(c[2]), 0, static_cast<short>(c[0]),
                                                  static_cast<short>(c[1]), static_cast<short>(c[2]), 0);
        Store4(out, MultiplyPixels32x4(Load4(d), colorWords));
        for (int i = 0; i < 4; ++i) {
            const uint32_t expected = (d[i] & 0xFF000000u) | ((d[i] & 0xFF) * c[0] >> 8) |
                                      ((((d[i] >> 8) & 0xFF) * c[1] >> 8) << 8) |
                                      ((((d[i] >> 16) & 0xFF) * c[2] >> 8) << 16);
            ASSERT_EQ(out[i], expected);
        }
    }
}

// Whole rows of every flat operation, lengths 0..11 (tails included), against
// the one-pixel ApplyFlatColor.
TEST_F(ShapeSimdPixels, FlatRowsMatchOnePixelForm)
{
    std::mt19937 rng(11);
    const int params[] = {0, 1, 2, 127, 128, 254, 255};
    for (int param : params) {
        SetMemImgBlendState(MEMIMG_BLEND_ALPHA, param);
        for (int round = 0; round < 40; ++round) {
            FlatColorOp op;
            PrepareFlatColorShifted(&op, 1, InterestingWord(rng));
            const int length = round % 12;
            std::vector<uint32_t> base(length), simd, scalar;
            for (uint32_t &w : base)
                w = InterestingWord(rng);
            auto check = [&]<int Op>() {
                simd = scalar = base;
                ApplyFlatColorRow32<Op>(op, WidenFlatColor32(op, Op), reinterpret_cast<uint8_t *>(simd.data()), length);
                for (int i = 0; i < length; ++i)
                    ApplyFlatColor<1, Op>(op, reinterpret_cast<uint8_t *>(scalar.data() + i));
                EXPECT_EQ(simd, scalar) << "op " << Op << " param " << param << " length " << length;
            };
            check.template operator()<FLAT_OP_COPY>();
            check.template operator()<FLAT_OP_ALPHA>();
            check.template operator()<FLAT_OP_ADD>();
            check.template operator()<FLAT_OP_SUBTRACT>();
            check.template operator()<FLAT_OP_MULTIPLY>();
            check.template operator()<FLAT_OP_INVERT>();
            check.template operator()<FLAT_OP_MULTIPLY_WEIGHTED>();
            // The R5G6B5 alpha row on the same random words, two pixels a word.
            FlatColorOp op16;
            PrepareFlatColorShifted(&op16, 0, InterestingWord(rng) & 0xFFFF);
            simd = scalar = base;
            FlatAlphaRow16(op16, reinterpret_cast<uint8_t *>(simd.data()), 2 * length);
            for (int i = 0; i < 2 * length; ++i)
                ApplyFlatColor<0, FLAT_OP_ALPHA>(op16, reinterpret_cast<uint8_t *>(scalar.data()) + 2 * i);
            EXPECT_EQ(simd, scalar) << "R5G6B5 alpha, param " << param << " length " << 2 * length;
        }
    }
    SetMemImgBlendState(MEMIMG_BLEND_COPY, 255);
}

// The packed add over whole rows in every vector form against the one-pixel
// rule: lengths 0..40 (every step size and tail), words at the channel edges.
TEST_F(ShapeSimdPixels, AddRowsMatchOnePixelFormInEveryVectorForm)
{
    std::mt19937 rng(13);
    vector_forms::ForEachVectorForm([&](int form) {
        for (int round = 0; round < 2000; ++round) {
            const int length = round % 41;
            const uint32_t addend = InterestingWord(rng);
            std::vector<uint32_t> row(length);
            for (uint32_t &w : row)
                w = InterestingWord(rng);
            std::vector<uint32_t> expected = row;
            for (uint32_t &w : expected)
                w = PackedAddPixel32(w, addend);
            uint8_t *bytes = reinterpret_cast<uint8_t *>(row.data());
#if KORVO_WIDE_VECTOR_FORMS
            if (form == MEMIMG_VECTOR_AVX2)
                PackedAddRow32Avx2(bytes, length, addend);
#endif
            if (form == MEMIMG_VECTOR_BASE) {
                FlatColorOp op{};
                op.addend = addend;
                ApplyFlatColorRow32<FLAT_OP_ADD>(op, WidenFlatColor32(op, FLAT_OP_ADD), bytes, length);
            }
            ASSERT_EQ(row, expected) << "length " << length << " addend " << std::hex << addend;
        }
    });
}

#endif  // KORVO_SHAPES_SSE2
