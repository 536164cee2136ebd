// Small built-in pictures kept as run-length TGA files, built at compile time:
// every row holds the same runs, one packet per run, so no packet crosses a row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Korvo {

constexpr int kTgaHeaderBytes = 18;
constexpr int kTgaFooterBytes = 26;

// A run of one pixel value (0xAARRGGBB) in every row.
struct TgaRowRun {
    int length;
    uint32_t value;
};

constexpr size_t RunLengthTgaBytes(int height, int bits, int runsPerRow)
{
    return static_cast<size_t>(kTgaHeaderBytes + height * runsPerRow * (1 + bits / 8) + kTgaFooterBytes);
}

// A type-10 TGA with the TGA 2.0 footer and no extension area.
template <size_t Size, size_t RunCount>
constexpr std::array<unsigned char, Size> BuildRunLengthTga(int width, int height, int bits,
                                                            const std::array<TgaRowRun, RunCount> &runs)
{
    std::array<unsigned char, Size> out{};
    out[2] = 10;
    out[12] = static_cast<unsigned char>(width & 0xFF);
    out[13] = static_cast<unsigned char>(width >> 8);
    out[14] = static_cast<unsigned char>(height & 0xFF);
    out[15] = static_cast<unsigned char>(height >> 8);
    out[16] = static_cast<unsigned char>(bits);
    out[17] = static_cast<unsigned char>(bits == 32 ? 8 : 0);  // alpha bits
    size_t at = kTgaHeaderBytes;
    for (int row = 0; row < height; ++row) {
        for (const TgaRowRun &run : runs) {
            out[at++] = static_cast<unsigned char>(0x80 | (run.length - 1));
            for (int byte = 0; byte < bits / 8; ++byte) {
                out[at++] = static_cast<unsigned char>(run.value >> (8 * byte));
            }
        }
    }
    at += 8;  // extension and developer area offsets: none
    const char signature[] = "TRUEVISION-XFILE.";
    for (char c : signature) {
        out[at++] = static_cast<unsigned char>(c);
    }
    return out;
}

// 8 x 8 opaque white, 32 bits: 84 bytes.
constexpr std::array<TgaRowRun, 1> kWhiteTgaRuns = {{{8, 0xFFFFFFFFu}}};
constexpr auto kWhiteTga = BuildRunLengthTga<RunLengthTgaBytes(8, 32, 1)>(8, 8, 32, kWhiteTgaRuns);
static_assert(kWhiteTga.size() == 84, "built-in white TGA size");

} // namespace Korvo
