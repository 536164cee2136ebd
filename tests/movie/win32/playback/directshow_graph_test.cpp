// The DirectShow road: a Motion-JPEG AVI of one flat colour, made by the Debian
// encoder, loaded as a graph and played; its frames reach the graph through the
// library's renderer. A file no filter reads fails with its log lines and -1.

#include "tests/graphics/win32/device/library_session.h"
#include "tests/support/wait_backstop.h"

#include "graphics/graphs/graph_record.h"
#include "movie/movie_handle.h"

#include <fstream>
#include <iterator>
#include <string>

using namespace Korvo;

namespace {

// The fixture copied into the working folder, where the library looks for it.
std::string CopyFixture(const char *name)
{
    std::ifstream in(std::string(KORVO_MOVIE_FIXTURE_DIR) + "/" + name, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty());
    std::ofstream(name, std::ios::binary) << bytes;
    return name;
}

class DirectShowGraphTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(false), 0); }
    void TearDown() override { ASSERT_EQ(ShutdownLibrary(), 0); }
};

TEST_F(DirectShowGraphTest, AnEncodedMovieReachesTheGraph)
{
    const std::string path = CopyFixture("flat_colour.avi");
    const int graph = CreateGraphFromImageFile(path.c_str(), 0);
    ASSERT_NE(graph, -1) << KorvoTest::ReadFileBytes("Log.txt");
    const int movie = GetGraphRecord(graph, 0)->movieHandle;
    MovieHandleRecord *record = GetMovieHandleRecord(movie);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->theora, 0);
    EXPECT_EQ(record->width, 64);
    EXPECT_EQ(record->height, 48);
    ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
    KorvoTest::Backstop firstFrame("the movie's first frame", KorvoTest::kWaitBackstopSeconds);
    while (!record->frameDelivered && !firstFrame.Passed()) {
        ASSERT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
        ServiceMessageQueue();
        Sleep(10);
    }
    ASSERT_EQ(record->frameDelivered, 1) << firstFrame.Report();
    ASSERT_EQ(ClearDrawScreen(), 0);
    ASSERT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
    RasterImage image = {};
    const RECT area = {0, 0, 64, 48};
    ASSERT_EQ(LockDrawScreenBuffer(&area, &image, -1, 1, 0), 0);
    uint32_t centre = *reinterpret_cast<const uint32_t *>(static_cast<uint8_t *>(image.pixels) + 24 * image.pitch + 32 * 4);
    EXPECT_EQ(UnlockDrawScreenBuffer(), 0);
    EXPECT_NEAR(static_cast<int>((centre >> 16) & 0xFF), 0x30, 12);
    EXPECT_NEAR(static_cast<int>((centre >> 8) & 0xFF), 0x60, 12);
    EXPECT_NEAR(static_cast<int>(centre & 0xFF), 0xa0, 12);
    // Played once to its end, it stops.
    KorvoTest::Backstop end("the one-second movie's play to its end", KorvoTest::kWaitBackstopSeconds);
    while (!record->stopped && !end.Passed()) {
        ASSERT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
        ServiceMessageQueue();
        Sleep(10);
    }
    EXPECT_EQ(record->stopped, 1) << end.Report();
    EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
}

TEST_F(DirectShowGraphTest, AFileNoFilterReadsFailsWithItsMessages)
{
    std::ofstream("noise.bin", std::ios::binary) << std::string(4096, '\x5a');
    EXPECT_EQ(CreateGraphFromImageFile("noise.bin", 0), -1);
    const std::string log = KorvoTest::ReadFileBytes("Log.txt");
    // The sources are compiled to cp932, as the log is written.
    EXPECT_NE(log.find("noise.bin が開けませんでした"), std::string::npos);
    EXPECT_NE(log.find("ムービーファイルオープン処理時にエラーが発生しました"), std::string::npos);
}

} // namespace
