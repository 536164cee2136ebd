// LZ blocks: the decoder's token forms, its refusal of corrupt blocks, and the
// kvapack encoder's blocks decoding back to their input.
#include "core/streams/kva_lz.h"
#include "tools/kvapack/kva_lz_encode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using namespace Korvo;

namespace {

std::vector<uint8_t> Block(uint32_t decodedSize, uint8_t escape, std::vector<uint8_t> tokens)
{
    std::vector<uint8_t> b(9);
    uint32_t blockSize = (uint32_t)(9 + tokens.size());
    std::memcpy(&b[0], &decodedSize, 4);
    std::memcpy(&b[4], &blockSize, 4);
    b[8] = escape;
    b.insert(b.end(), tokens.begin(), tokens.end());
    return b;
}

std::vector<uint8_t> Decode(const std::vector<uint8_t> &block, int *result)
{
    int size = ExpandKvaLzData(block.data(), nullptr);
    std::vector<uint8_t> out(size > 0 ? size : 0);
    *result = ExpandKvaLzDataBounded(block.data(), block.size(), out.data(), out.size());
    return out;
}

// Token forms seen in a block: [0..2] distance bytes 1-3, [3] repeat, [4] extended
// length, [5] overlapping copy, [6] doubled escape literal.
std::vector<int> CountForms(const std::vector<uint8_t> &block)
{
    std::vector<int> forms(7, 0);
    uint8_t e = block[8];
    size_t i = 9, previous = 0;
    while (i < block.size()) {
        if (block[i] != e) { i++; continue; }
        uint8_t k = block[i + 1];
        i += 2;
        if (k == e) { forms[6]++; continue; }
        unsigned d = k > e ? k - 1u : k;
        size_t length = d >> 3;
        if (d & 4) { length |= (size_t)block[i++] << 5; forms[4]++; }
        length += 4;
        size_t distance = 0;
        int form = d & 3;
        if (form == 3) { distance = previous + 1; forms[3]++; }
        else {
            for (int b = 0; b <= form; b++) distance |= (size_t)block[i + b] << (8 * b);
            distance++;
            i += form + 1;
            forms[form]++;
        }
        if (distance < length) forms[5]++;
        previous = distance;
    }
    return forms;
}

}  // namespace

TEST(KvaLzDecode, TokenForms)
{
    int r;
    // No escape byte among the tokens: the tokens are the output.
    EXPECT_EQ(Decode(Block(3, 0xEE, {1, 2, 3}), &r), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(r, 3);
    // E, E is one literal E.
    EXPECT_EQ(Decode(Block(2, 0xEE, {0xEE, 0xEE, 7}), &r), (std::vector<uint8_t>{0xEE, 7}));
    EXPECT_EQ(r, 2);
    // 'x' then a match of length 10 at distance 1: code D = (6 << 3) | 0, one distance byte 0.
    std::vector<uint8_t> tens = Decode(Block(11, 0xEE, {'x', 0xEE, 6 << 3, 0}), &r);
    EXPECT_EQ(r, 11);
    EXPECT_EQ(tens, std::vector<uint8_t>(11, 'x'));
    // Codes above the escape are one higher: escape 0x10, D = 0x18 (length 7, one byte) is written 0x19.
    std::vector<uint8_t> shifted = Decode(Block(9, 0x10, {'a', 'b', 0x10, 0x19, 1}), &r);
    EXPECT_EQ(r, 9);
    EXPECT_EQ(std::string(shifted.begin(), shifted.end()), "abababab" "a");
}

TEST(KvaLzDecode, ExtendedLengthTwoByteDistanceAndRepeatCode)
{
    int r;
    // 300 distinct-ish bytes, then a 260-byte match at distance 300 (two distance bytes,
    // extended length 256 = 8 << 5), then a repeat code: distance 301, length 4.
    std::vector<uint8_t> tokens;
    std::vector<uint8_t> expect;
    for (int i = 0; i < 300; i++) {
        uint8_t b = (uint8_t)(i % 200);
        tokens.push_back(b);
        expect.push_back(b);
    }
    unsigned d = (0 << 3) | 4 | 1;  // length bits low 0, extended, two distance bytes
    tokens.insert(tokens.end(), {0xFF, (uint8_t)d, 8, (uint8_t)(299 & 0xFF), (uint8_t)(299 >> 8)});
    for (int i = 0; i < 260; i++) expect.push_back(expect[expect.size() - 300]);
    tokens.insert(tokens.end(), {0xFF, (uint8_t)(0 | 3)});
    for (int i = 0; i < 4; i++) expect.push_back(expect[expect.size() - 301]);
    std::vector<uint8_t> out = Decode(Block((uint32_t)expect.size(), 0xFF, tokens), &r);
    EXPECT_EQ(r, (int)expect.size());
    EXPECT_EQ(out, expect);
}

TEST(KvaLzDecode, SizingWithoutOutput)
{
    std::vector<uint8_t> b = Block(1234, 0xEE, {1});
    EXPECT_EQ(ExpandKvaLzData(b.data(), nullptr), 1234);
}

TEST(KvaLzDecode, RefusesCorruptBlocks)
{
    int r;
    // Match reaching before the output start.
    Decode(Block(8, 0xEE, {'x', 0xEE, 0, 5}), &r);
    EXPECT_EQ(r, -1);
    // Tokens that would write past the declared size: literal, then a match of 10.
    Decode(Block(5, 0xEE, {'x', 0xEE, 6 << 3, 0}), &r);
    EXPECT_EQ(r, -1);
    // Literals past the declared size.
    Decode(Block(1, 0xEE, {1, 2}), &r);
    EXPECT_EQ(r, -1);
    // A token cut off by the block end (escape without code, distance bytes missing).
    Decode(Block(1, 0xEE, {1, 0xEE}), &r);
    EXPECT_EQ(r, -1);
    Decode(Block(8, 0xEE, {'x', 0xEE, 1}), &r);
    EXPECT_EQ(r, -1);
    // Output shorter than declared.
    Decode(Block(4, 0xEE, {1, 2}), &r);
    EXPECT_EQ(r, -1);
    // Block size beyond the bytes given, or below the header.
    std::vector<uint8_t> b = Block(1, 0xEE, {1});
    uint8_t out[4];
    EXPECT_EQ(ExpandKvaLzDataBounded(b.data(), b.size() - 1, out, sizeof out), -1);
    uint32_t tiny = 3;
    std::memcpy(&b[4], &tiny, 4);
    EXPECT_EQ(ExpandKvaLzDataBounded(b.data(), b.size(), out, sizeof out), -1);
    // Declared size larger than the output buffer.
    b = Block(100, 0xEE, {1});
    EXPECT_EQ(ExpandKvaLzDataBounded(b.data(), b.size(), out, sizeof out), -1);
}

TEST(KvaLzEncode, RoundTripsAndUsesEveryTokenForm)
{
    std::mt19937 rng(1234);
    // A mix that calls for every token form: text with near and far repeats,
    // long runs (overlapping copies, extended lengths), random bytes (escapes)
    // and a copy placed more than 64 KB back (three distance bytes).
    std::vector<uint8_t> data;
    const char *words[] = {"alpha ", "beta ", "gamma ", "delta ", "epsilon "};
    for (int i = 0; i < 4000; i++) {
        const char *w = words[rng() % 5];
        data.insert(data.end(), w, w + std::strlen(w));
    }
    data.insert(data.end(), 5000, 'z');
    std::vector<uint8_t> noise(70000);
    for (auto &b : noise) b = (uint8_t)rng();
    data.insert(data.end(), noise.begin(), noise.end());
    data.insert(data.end(), noise.begin(), noise.begin() + 3000);
    // Evenly spaced copies: each at one more than the previous distance.
    for (int i = 0; i < 50; i++) {
        size_t at = data.size();
        data.insert(data.end(), data.begin() + (at - 1000 - i), data.begin() + (at - 1000 - i) + 6);
        data.push_back((uint8_t)rng());
    }

    std::vector<uint8_t> block = EncodeKvaLzBlock(data.data(), data.size());
    EXPECT_LT(block.size(), data.size());
    std::vector<uint8_t> out(data.size());
    ASSERT_EQ(ExpandKvaLzDataBounded(block.data(), block.size(), out.data(), out.size()), (int)data.size());
    EXPECT_EQ(out, data);
    EXPECT_EQ(ExpandKvaLzData(block.data(), out.data()), (int)data.size());

    std::vector<int> forms = CountForms(block);
    for (int f = 0; f < 7; f++) EXPECT_GT(forms[f], 0) << "token form " << f;
}

TEST(KvaLzEncode, RoundTripsEdgeInputs)
{
    std::vector<std::vector<uint8_t>> inputs = {
        {},
        {42},
        std::vector<uint8_t>(9000, 0),        // one run longer than the longest match
        std::vector<uint8_t>(256 * 40),       // every byte value: the escape byte is not rare
    };
    for (size_t i = 0; i < inputs[3].size(); i++) inputs[3][i] = (uint8_t)(i * 7 + i / 256);
    for (const auto &data : inputs) {
        std::vector<uint8_t> block = EncodeKvaLzBlock(data.data(), data.size());
        std::vector<uint8_t> out(data.size() + 1);
        EXPECT_EQ(ExpandKvaLzDataBounded(block.data(), block.size(), out.data(), data.size()), (int)data.size());
        out.resize(data.size());
        EXPECT_EQ(out, data);
    }
}
