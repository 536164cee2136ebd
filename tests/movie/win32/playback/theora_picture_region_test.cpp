// Ogg Theora movies whose picture is no whole number of the 16 x 16 blocks that
// Theora codes: two made by GStreamer's encoder (161x97 in the layout it picks,
// 4:4:4, and 91x51 in 4:2:0) and one by the theoramovie writer whose picture
// sits at an offset in the coded frame (50x30 at 10,6 of 64x48). Loaded as
// graphs on both roads, each has its picture's size, and drawn, its first frame
// matches GStreamer's own decode (tools/make_movie_fixtures.sh): on the software
// road within a few levels; through the YUV surface, which the device converts
// at full range under Wine, within the difference between the two ranges.

#include "tests/graphics/win32/device/library_session.h"

#include "graphics/graphs/graph_record.h"
#include "movie/movie_handle.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

using namespace Korvo;

namespace {

struct RegionCase {
    const char *movie; // fixture name without its extension
    int width, height;
};

const RegionCase kCases[] = {
    {"odd_size_444", 161, 97},
    {"odd_size_420", 91, 51},
    {"picture_offset", 50, 30},
};

// Levels by which a channel may differ from GStreamer's decode: its colour
// conversion rounds where the player's tables truncate, and its 4:2:0 chroma
// is interpolated where the player takes the nearest sample.
constexpr int kSoftwareLevels = 5;
// Full range against video range moves a channel by up to about 15 levels.
constexpr int kFullRangeLevels = 24;

std::string FixtureBytes(const std::string &name)
{
    std::ifstream in(std::string(KORVO_MOVIE_FIXTURE_DIR) + "/" + name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int Channel(uint32_t pixel, int shift)
{
    return static_cast<int>((pixel >> shift) & 0xFF);
}

TEST(TheoraPictureRegionTest, OddSizesAndOffsetPicturesShowTheirPictureOnBothRoads)
{
    for (bool direct3D : {false, true}) {
        SCOPED_TRACE(direct3D ? "Direct3D" : "software");
        ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(direct3D), 0);
        for (const RegionCase &c : kCases) {
            SCOPED_TRACE(c.movie);
            const std::string path = std::string(c.movie) + ".ogv";
            const std::string movieBytes = FixtureBytes(path);
            ASSERT_FALSE(movieBytes.empty());
            std::ofstream(path, std::ios::binary) << movieBytes;
            // GStreamer decodes frames of the picture's size.
            const std::string decoded = FixtureBytes(std::string(c.movie) + ".bgrx");
            const size_t frameBytes = static_cast<size_t>(c.width) * c.height * 4;
            ASSERT_FALSE(decoded.empty());
            ASSERT_EQ(decoded.size() % frameBytes, 0u) << "GStreamer's picture is not " << c.width << "x" << c.height;

            const int graph = CreateGraphFromImageFile(path.c_str(), 0);
            ASSERT_NE(graph, -1) << KorvoTest::ReadFileBytes("Log.txt");
            int width = 0, height = 0;
            ASSERT_EQ(GetGraphOrScreenSize(graph, &width, &height), 0);
            EXPECT_EQ(width, c.width);
            EXPECT_EQ(height, c.height);
            const MovieHandleRecord *record = GetMovieHandleRecord(GetGraphRecord(graph, 0)->movieHandle);
            ASSERT_NE(record, nullptr);
            ASSERT_EQ(record->theora, 1);
            EXPECT_EQ(record->currentImage->width, c.width);
            EXPECT_EQ(record->currentImage->height, c.height);
            const bool throughSurface = record->player->yuvSurface != nullptr;
            if (direct3D && c.movie != std::string("odd_size_444")) {
                EXPECT_TRUE(throughSurface) << "a 4:2:0 movie is drawn through the YUV surface";
            }

            ASSERT_EQ(ClearDrawScreen(), 0);
            ASSERT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
            const std::vector<uint32_t> shown = GraphicsTest::ReadScreenPixels(c.width, c.height, 0);
            const int levels = throughSurface ? kFullRangeLevels : kSoftwareLevels;
            int worst = 0, off = 0;
            for (int i = 0; i < c.width * c.height; ++i) {
                const uint8_t *bgrx = reinterpret_cast<const uint8_t *>(decoded.data()) + static_cast<size_t>(i) * 4;
                const int diff = std::max({std::abs(Channel(shown[i], 16) - bgrx[2]),
                                           std::abs(Channel(shown[i], 8) - bgrx[1]),
                                           std::abs(Channel(shown[i], 0) - bgrx[0])});
                worst = std::max(worst, diff);
                off += diff > levels ? 1 : 0;
            }
            EXPECT_EQ(off, 0) << "pixels more than " << levels << " levels off GStreamer's decode; the worst by "
                              << worst;
            EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
        }
        ASSERT_EQ(ShutdownLibrary(), 0);
    }
}

} // namespace
