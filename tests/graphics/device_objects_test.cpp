// Device objects on the recording device, made and refused: the value-maximising
// volume texture, the copy road of a draw-target lock, and the device buffers of
// vertex and index buffer handles made again after a rebuild.

#include "tests/graphics/graph_road_fixture.h"

#include "graphics/draw/buffer_handles.h"
#include "graphics/draw/draw_target.h"
#include "graphics/draw/full_value_colour.h"
#include "graphics/draw/value_max_volume.h"
#include "tests/core/log_capture.h"

#include <string>
#include <vector>

using namespace Korvo;

namespace {

bool LogHas(const std::string &text)
{
    return KorvoTest::ReadLogFile().find(text) != std::string::npos;
}

TEST(ValueMaxVolumeTest, TexelsHoldFullValueColoursOfTwiceTheirCoordinatesInTheDefaultPool)
{
    RecordingDevice::Reset();
    ASSERT_EQ(BuildValueMaxVolumeTexture(), 0);
    const std::vector<const RecordingDevice::HandedOutVolume *> live = RecordingDevice::LiveVolumes();
    ASSERT_EQ(live.size(), 1u) << "the system-memory copy is released";
    const RecordingDevice::HandedOutVolume &volume = *live[0];
    EXPECT_EQ(volume.pool, static_cast<uint32_t>(K_D3DPOOL_DEFAULT));
    EXPECT_EQ(volume.width * volume.height * volume.depth, 128u * 128u * 128u);
    struct Case {
        int x, y, z;
        bool white;
    };
    const Case cases[] = {{0, 0, 0, true},      {7, 7, 7, true},        {8, 0, 0, false},  {0, 9, 3, false},
                          {100, 50, 20, false}, {127, 127, 127, false}, {3, 64, 127, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << "," << c.z);
        int r = 255, g = 255, b = 255;
        if (!c.white) {
            ConvertRgbToFullValueRgb(c.x * 2, c.y * 2, c.z * 2, &r, &g, &b);
        }
        const uint8_t *texel = volume.bytes.data() + ((c.z * 128 + c.y) * 128 + c.x) * 4;
        EXPECT_EQ((std::vector<int>{texel[0], texel[1], texel[2], texel[3]}), (std::vector<int>{b, g, r, 255}));
    }
    ReleaseValueMaxVolumeTexture();
    EXPECT_TRUE(RecordingDevice::LiveVolumes().empty());
    EXPECT_EQ(HasValueMaxVolumeTexture(), 0);
}

TEST(ValueMaxVolumeTest, EachRefusalLogsItsLineAndLeavesNoTexture)
{
    struct Case {
        const char *failing;
        const char *line;
    };
    const Case cases[] = {
        {"D3DDev_CreateVolumeTexture:0", "ボリュームテクスチャの作成に失敗しました"},
        {"D3DDev_CreateVolumeTexture:2", "転送元用ボリュームテクスチャの作成に失敗しました"},
        {"D3DVolTex_LockBox", "転送元用ボリュームテクスチャのロックに失敗しました"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.failing);
        KorvoTest::StartFreshLog();
        RecordingDevice::Reset();
        RecordingDevice::FailingCalls.insert(c.failing);
        EXPECT_EQ(BuildValueMaxVolumeTexture(), -1);
        EXPECT_TRUE(LogHas(std::string("RGBカラーを輝度を最大にしたRGB値に変換するための") + c.line));
        EXPECT_TRUE(RecordingDevice::LiveVolumes().empty());
        EXPECT_EQ(HasValueMaxVolumeTexture(), 0);
    }
    RecordingDevice::Reset();
    RecordingDevice::Present = false;
    EXPECT_EQ(BuildValueMaxVolumeTexture(), -1) << "no device";
    RecordingDevice::Reset();
}

class ScreenLockCopyTest : public GraphicsTest::GraphRoadTest {
protected:
    static constexpr int kGraphWidth = 100;
    static constexpr int kGraphHeight = 70;

    void PrepareSurfaces()
    {
        RecordingDevice::Reset();
        RecordingDevice::SurfaceFormat = K_D3DFMT_X8R8G8B8;
        RecordingDevice::SurfaceWidth = kGraphWidth;
        RecordingDevice::SurfaceHeight = kGraphHeight;
        RecordingDevice::HandOutSurfaces = true;
    }
    // The sizes of the surfaces made since the last Reset, as "WxH" in order
    static std::vector<std::string> MadeSizes()
    {
        std::vector<std::string> sizes;
        for (const RecordingDevice::Call &c : RecordingDevice::Calls) {
            if (c.kind == "D3DDev_CreateRenderTarget" || c.kind == "D3DDev_CreateOffscreenPlainSurface") {
                sizes.push_back(std::to_string(c.state) + "x" + std::to_string(c.value));
            }
        }
        return sizes;
    }
};

// A graph target is read through a system-memory copy that is kept for the next
// read (making surfaces costs far more than reading); a copy the device refused
// would hand out undefined pixels. Whatever happened, the surfaces the reads made
// are released with the device.
TEST_P(ScreenLockCopyTest, ARefusedCopyFailsTheLockAndTheKeptSurfacesGoWithTheDevice)
{
    const int graph = MakeGraph(kGraphWidth, kGraphHeight, true);
    ASSERT_NE(graph, -1);
    const char *const failing[] = {"", "D3DDev_StretchRect", "D3DDev_GetRenderTargetData"};
    for (const RECT &rect : {RECT{0, 0, 8, 8}, RECT{0, 0, kGraphWidth, kGraphHeight}}) {
        for (const char *name : failing) {
            SCOPED_TRACE(testing::Message() << name << " " << rect.right << "x" << rect.bottom);
            PrepareSurfaces();
            RecordingDevice::FailingCalls.insert(name);
            RasterImage image = {};
            const bool refused = name[0] != '\0';
            EXPECT_EQ(LockDrawScreenBuffer(&rect, &image, graph, 1, 0), refused ? -1 : 0);
            EXPECT_EQ(UnlockDrawScreenBuffer(), 0);
            const int made = CountCalls("D3DDev_CreateRenderTarget") + CountCalls("D3DDev_CreateOffscreenPlainSurface");
            EXPECT_EQ(made, 2) << "a render target the graph's texture is copied into, and the system copy";
            if (!refused) {
                EXPECT_EQ(LockDrawScreenBuffer(&rect, &image, graph, 1, 0), 0);
                EXPECT_EQ(UnlockDrawScreenBuffer(), 0);
                EXPECT_EQ(CountCalls("D3DDev_CreateRenderTarget") + CountCalls("D3DDev_CreateOffscreenPlainSurface"),
                          made)
                    << "the second read makes no surface";
            }
            EXPECT_EQ(CountCalls("D3DRes_Release"), 0);
            ReleaseScreenReadCopies();
            EXPECT_EQ(CountCalls("D3DRes_Release"), made);
        }
    }
    RecordingDevice::Reset();
}

// A rectangle smaller than its surface is copied into surfaces of about its own
// size (not the surface's), kept in a few sizes so that reads of changing
// rectangles make none; the least recently used size goes when a fifth comes
// (here the 8x4, then the 100x70 rectangle copies).
TEST_P(ScreenLockCopyTest, ARectangleIsReadThroughKeptCopiesOfAboutItsSize)
{
    const int graph = MakeGraph(kGraphWidth, kGraphHeight, true);
    ASSERT_NE(graph, -1);
    struct Read {
        RECT rect;
        ScreenReadRoad road;
        const char *made;  // the size of the surfaces the read makes, "" for none
        int released;
    };
    const Read reads[] = {
        {{0, 0, kGraphWidth, kGraphHeight}, kScreenReadWholeCopy, "100x70", 0},
        {{10, 20, 11, 21}, kScreenReadRectCopy, "1x1", 0},
        {{99, 69, 100, 70}, kScreenReadRectCopy, "", 0},
        {{0, 0, 5, 3}, kScreenReadRectCopy, "8x4", 0},
        {{40, 60, 48, 64}, kScreenReadRectCopy, "", 0},
        {{0, 0, 70, 65}, kScreenReadRectCopy, "100x70", 0},
        {{30, 0, 95, 1}, kScreenReadRectCopy, "100x1", 0},
        {{10, 20, 11, 21}, kScreenReadRectCopy, "", 0},
        {{0, 0, 2, 2}, kScreenReadRectCopy, "2x2", 2},
        {{1, 2, 7, 6}, kScreenReadRectCopy, "8x4", 2},
        {{5, 5, 6, 6}, kScreenReadRectCopy, "", 0},
    };
    PrepareSurfaces();
    for (const Read &read : reads) {
        SCOPED_TRACE(testing::Message() << read.rect.left << "," << read.rect.top << "-" << read.rect.right << ","
                                        << read.rect.bottom);
        RecordingDevice::Calls.clear();
        RasterImage image = {};
        EXPECT_EQ(LockDrawScreenBuffer(&read.rect, &image, graph, 1, 0), 0);
        EXPECT_EQ(UnlockDrawScreenBuffer(), 0);
        EXPECT_EQ(LastScreenReadRoad(), read.road);
        const std::vector<std::string> want =
            read.made[0] == '\0' ? std::vector<std::string>{} : std::vector<std::string>{read.made, read.made};
        EXPECT_EQ(MadeSizes(), want);
        EXPECT_EQ(CountCalls("D3DRes_Release"), read.released);
    }
    const RECT outside = {0, 0, kGraphWidth, kGraphHeight};
    RecordingDevice::SurfaceHeight = kGraphHeight - 1;
    RasterImage image = {};
    EXPECT_EQ(LockDrawScreenBuffer(&outside, &image, graph, 1, 0), -1) << "a rectangle beyond the surface";
    EXPECT_EQ(LastScreenReadRoad(), kScreenReadNone);
    RecordingDevice::Calls.clear();
    ReleaseScreenReadCopies();
    EXPECT_EQ(CountCalls("D3DRes_Release"), 2 + 4 * 2) << "the whole copy and the four rectangle copies";
    RecordingDevice::Reset();
}

INSTANTIATE_TEST_SUITE_P(Roads, ScreenLockCopyTest, ::testing::Values(true), GraphicsTest::RoadName);

// After a rebuild each buffer is made again and filled from its kept copy; one the
// device refuses is logged, and one that cannot be filled is not kept.
TEST(BufferRebuildTest, RefusedBuffersAreLoggedAndAnUnfilledBufferIsNotKept)
{
    RecordingDevice::Reset();
    RecordingDevice::HandOutBuffers = true;
    ASSERT_EQ(InitBufferHandleTypes(), 0);
    const int vertices = CreateVertexBufferHandle(3);
    const int indices = CreateIndexBufferHandle(6);
    ASSERT_NE(vertices, -1);
    ASSERT_NE(indices, -1);
    const uint16_t data[6] = {0, 1, 2, 2, 1, 0};
    ASSERT_EQ(SetIndexBufferData(0, data, 6, indices), 0);
    struct Case {
        const char *failing;
        const char *line;
    };
    const Case cases[] = {
        {"D3DDev_CreateVertexBuffer", "頂点バッファの作成に失敗しました"},
        {"D3DDev_CreateIndexBuffer", "インデックスバッファの作成に失敗しました"},
        {"D3DBuf_Lock", "頂点バッファのロックに失敗しました"},
        {"D3DBuf_Lock", "インデックスバッファのロックに失敗しました"},
        {"", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line != nullptr ? c.line : "none refused");
        ASSERT_EQ(ReleaseBufferDeviceObjects(), 0);
        KorvoTest::StartFreshLog();
        RecordingDevice::FailingCalls = {c.failing};
        const int result = RestoreBufferDeviceObjects();
        RecordingDevice::FailingCalls.clear();
        EXPECT_EQ(result, c.line != nullptr ? -1 : 0);
        if (c.line != nullptr) {
            EXPECT_TRUE(LogHas(c.line));
        }
        const BufferRecord *v = LookupBufferRecord(HANDLE_KIND_VERTEX_BUFFER, vertices);
        const BufferRecord *i = LookupBufferRecord(HANDLE_KIND_INDEX_BUFFER, indices);
        const bool vertexRefused = c.failing == std::string("D3DDev_CreateVertexBuffer") || c.failing == std::string("D3DBuf_Lock");
        const bool indexRefused = c.failing == std::string("D3DDev_CreateIndexBuffer") || c.failing == std::string("D3DBuf_Lock");
        EXPECT_EQ(v->device == nullptr, vertexRefused);
        EXPECT_EQ(i->device == nullptr, indexRefused);
        if (!indexRefused) {
            const RecordingDevice::HandedOutBuffer *buffer = RecordingDevice::FindHandedOutBuffer(i->device);
            ASSERT_NE(buffer, nullptr);
            EXPECT_EQ(std::vector<uint8_t>(buffer->bytes.begin(), buffer->bytes.end()),
                      std::vector<uint8_t>(reinterpret_cast<const uint8_t *>(data), reinterpret_cast<const uint8_t *>(data) + 12));
        }
    }
    EXPECT_EQ(DeleteVertexBufferHandle(vertices), 0);
    EXPECT_EQ(DeleteIndexBufferHandle(indices), 0);
    TermBufferHandleTypes();
    RecordingDevice::Reset();
    RecordingDevice::HandOutBuffers = false;
}

} // namespace
