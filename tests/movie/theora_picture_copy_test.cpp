// The picture of a Theora frame whose coded frame is larger (Theora codes whole
// 16 x 16 blocks): both copies of a frame, into the 32-bit image and into a YUV
// surface, take the picture from its place in the frame, at odd offsets and
// sizes too.

#include "movie/startup_entries.h"
#include "movie/theora_player.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Korvo;

namespace {

// An 8 x 4 frame (4:2:0) whose every sample differs; its picture is 5 x 3 at 3, 1.
struct SampleFrame {
    uint8_t y[4 * 8], u[2 * 4], v[2 * 4];
    TheoraFrameStockEntry entry{};
    SampleFrame()
    {
        for (int i = 0; i < 32; ++i) {
            y[i] = static_cast<uint8_t>(20 + i * 7);
        }
        for (int i = 0; i < 8; ++i) {
            u[i] = static_cast<uint8_t>(40 + i * 23);
            v[i] = static_cast<uint8_t>(230 - i * 19);
        }
        entry.planeY = y, entry.planeU = u, entry.planeV = v;
        entry.yWidth = 8, entry.yHeight = 4, entry.yStride = 8;
        entry.uvWidth = 4, entry.uvHeight = 2, entry.uvStride = 4;
    }
};
constexpr TheoraPictureRegion kPicture = {3, 1, 5, 3};

TEST(TheoraPictureCopy, TheImageIsThePictureConvertedInPlace)
{
    BuildTheoraYuvTables();
    SampleFrame frame;
    uint32_t whole[4 * 8], picture[3 * 5];
    ConvertTheoraFrameToXrgb(&frame.entry, 0, 0, reinterpret_cast<uint8_t *>(whole), 8 * 4, 8, 4);
    ConvertTheoraFrameToXrgb(&frame.entry, kPicture.x, kPicture.y, reinterpret_cast<uint8_t *>(picture), 5 * 4, 5,
                             3);
    for (int py = 0; py < 3; ++py) {
        for (int px = 0; px < 5; ++px) {
            EXPECT_EQ(picture[py * 5 + px], whole[(py + 1) * 8 + px + 3]) << px << "," << py;
        }
    }
}

// The surface is the frame's size, 8 x 4 at a pitch of 16; the picture lands in
// its top-left corner, each chroma pair (and YV12 row pair) taking the samples
// of its first pixel.
TEST(TheoraPictureCopy, TheSurfaceGetsThePictureInItsCorner)
{
    SampleFrame frame;
    const int pitch = 16, surfaceHeight = 4;
    auto lumaAt = [&](int px, int py) { return frame.y[(py + 1) * 8 + px + 3]; };
    auto chromaIndex = [](int px, int py) { return ((py + 1) >> 1) * 4 + ((px + 3) >> 1); };
    for (uint32_t fourcc : {kTheoraSurfaceYV12, kTheoraSurfaceYUY2, kTheoraSurfaceUYVY}) {
        SCOPED_TRACE(std::string(reinterpret_cast<const char *>(&fourcc), 4));
        std::vector<uint8_t> bits(static_cast<size_t>(pitch) * surfaceHeight * 2, 0xEE);
        ASSERT_EQ(CopyTheoraFrameToYuvBits(&frame.entry, kPicture, fourcc, bits.data(), pitch, surfaceHeight), 1);
        for (int py = 0; py < kPicture.height; ++py) {
            for (int px = 0; px < kPicture.width; ++px) {
                const uint8_t *row = bits.data() + py * pitch;
                const int pair = px & ~1;
                if (fourcc == kTheoraSurfaceYV12) {
                    const int c = chromaIndex(pair, py & ~1);
                    const uint8_t *planeV = bits.data() + pitch * surfaceHeight;
                    const uint8_t *planeU = planeV + pitch / 2 * (surfaceHeight / 2);
                    EXPECT_EQ(row[px], lumaAt(px, py)) << px << "," << py;
                    EXPECT_EQ(planeV[py / 2 * (pitch / 2) + px / 2], frame.v[c]) << px << "," << py;
                    EXPECT_EQ(planeU[py / 2 * (pitch / 2) + px / 2], frame.u[c]) << px << "," << py;
                } else {
                    const bool lumaFirst = fourcc == kTheoraSurfaceYUY2;
                    const uint8_t *packed = row + pair * 2;
                    const int c = chromaIndex(pair, py);
                    EXPECT_EQ(packed[lumaFirst ? (px & 1) * 2 : 1 + (px & 1) * 2], lumaAt(px, py)) << px << "," << py;
                    EXPECT_EQ(packed[lumaFirst ? 1 : 0], frame.u[c]) << px << "," << py;
                    EXPECT_EQ(packed[lumaFirst ? 3 : 2], frame.v[c]) << px << "," << py;
                }
            }
        }
    }
}

} // namespace
