// Graph image sets against the recording device: texture division, the draw
// pieces of sub-graphs, format slots of software sets, the refused plain-into-DXT
// transfer, and the wait for a staging texture on a worker.

#include "tests/graphics/recording_device.h"
#include "core/system/message_pump_hooks.h"

#include "core/threads/async_load.h"
#include "core/threads/thread_event.h"
#include "core/threads/thread_record.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/graphs/graph_texture_copy.h"
#include "graphics/device/graphics_state.h"
#include "image/pixel_access.h"
#include "tests/core/log_capture.h"
#include "tests/support/wait_backstop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <vector>

using namespace Korvo;

namespace {

class GraphImageSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RecordingDevice::Reset();
        KorvoTest::StartFreshLog();
        GraphicsState.direct3DModeActive = 1;
        GraphicsState.bitsPerPixel = 32;
        DeviceCaps = DeviceCapabilities{};
        DeviceCaps.pow2Only = 1;
        DeviceCaps.maxTextureSize = 4096;
        for (K_D3DFORMAT &slot : TextureFormatSlots) {
            slot = K_D3DFMT_A8R8G8B8;
        }
        TextureFormatSlots[FORMAT_SLOT_DXT1] = K_D3DFMT_DXT1;
        ASSERT_EQ(InitGraphHandleType(), 0);
        CaptureGraphCreateSettings(&settings);
    }
    void TearDown() override
    {
        TermGraphHandleType();
        ReleaseAllSystemMemoryTextures();
        GraphicsState.direct3DModeActive = 0;
    }
    GraphCreateSettings settings;
};

TEST_F(GraphImageSetTest, SidesAreCutIntoPowerOfTwoPieces)
{
    struct Case {
        int maxSize, length, force, pow2Only;
        std::vector<short> sizes;
    };
    const Case cases[] = {
        {0, 800, 1, 1, {1024}},        // twice 512 fits the device's 4096
        {0, 1000, 1, 1, {1024}},
        {512, 1000, 1, 1, {512, 512}},
        {512, 800, 1, 1, {512, 256, 32}},
        {512, 700, 1, 1, {512, 128, 64}},
        {512, 512, 1, 1, {512}},
        {0, 700, 0, 0, {700}},         // any size where the device takes it and nothing forces a split
        {0, 700, 0, 1, {1024}},
        {0, 1, 1, 1, {1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.maxSize << " " << c.length);
        DeviceCaps.pow2Only = c.pow2Only;
        short sizes[16] = {};
        int count = SplitTextureSize(c.maxSize, c.length, sizes, 1, c.force);
        EXPECT_EQ(std::vector<short>(sizes, sizes + count), c.sizes);
        EXPECT_EQ(SplitTextureSize(c.maxSize, c.length, nullptr, 1, c.force), count);
    }
}

TEST_F(GraphImageSetTest, ABlankGraphIsCoveredByUsedPieceAreas)
{
    int whole = CreateBlankGraphFromSettings(&settings, 800, 600, 0, 0, nullptr);
    ASSERT_NE(whole, -1);
    GraphImageSet *set = GetGraphRecord(whole, 0)->imageSet;
    ASSERT_EQ(set->pieceCount, 1);
    EXPECT_EQ(set->pieces[0].textureWidth, 1024);
    EXPECT_EQ(set->pieces[0].usedWidth, 800);
    EXPECT_EQ(set->pieces[0].usedHeight, 600);
    int width = 0;
    int height = 0;
    EXPECT_EQ(GetGraphTexturePieceSize(whole, &width, &height), 0);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 1024);
}

// 1000 x 700 in pieces of at most 512: columns 512, 512; rows 512, 128, 64.
TEST_F(GraphImageSetTest, SubGraphsDrawFromEveryPieceTheyOverlap)
{
    settings.maxPieceSize = 512;
    int sheet = CreateBlankGraphFromSettings(&settings, 1000, 700, 0, 0, nullptr);
    ASSERT_NE(sheet, -1);
    EXPECT_EQ(GetGraphRecord(sheet, 0)->imageSet->pieceCount, 6);
    int outer = CreateSubGraph(490, 490, 40, 40, sheet);
    int inner = CreateSubGraph(10, 10, 20, 20, outer);
    ASSERT_NE(inner, -1);
    struct Expected {
        int destX, destY, sourceX, sourceY, width, height;
    };
    // The inner graph sits at (500, 500) of the set: 12 pixels before the piece edge.
    const Expected expected[4] = {
        {0, 0, 500, 500, 12, 12}, {12, 0, 0, 500, 8, 12}, {0, 12, 500, 0, 12, 8}, {12, 12, 0, 0, 8, 8}};
    GraphRecord *record = GetGraphRecord(inner, 0);
    EXPECT_EQ(record->x, 500);
    EXPECT_EQ(record->sourceX, 500);
    int count = 0;
    GraphDrawPiece *pieces = GetGraphDrawPieces(record, &count);
    ASSERT_EQ(count, 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pieces[i].destX, expected[i].destX);
        EXPECT_EQ(pieces[i].destY, expected[i].destY);
        EXPECT_EQ(pieces[i].sourceX, expected[i].sourceX);
        EXPECT_EQ(pieces[i].sourceY, expected[i].sourceY);
        EXPECT_EQ(pieces[i].width, expected[i].width);
        EXPECT_EQ(pieces[i].height, expected[i].height);
        float textureHeight = static_cast<float>(pieces[i].piece->textureHeight);
        EXPECT_FLOAT_EQ(pieces[i].vertices[3].v, (expected[i].sourceY + expected[i].height) / textureHeight);
    }
    // Top-left lies above the bottom-left to top-right diagonal, bottom-right below it.
    EXPECT_EQ(pieces[0].cornerFlags[0], 1);
    EXPECT_EQ(pieces[3].cornerFlags[3], 0);
    // The sheet and the outer graph go; the set lives on for the inner one.
    GraphImageSet *set = record->imageSet;
    DestroyGraphHandle(sheet, 0);
    DestroyGraphHandle(outer, 0);
    EXPECT_EQ(set->useCount, 1);
    EXPECT_EQ(GetGraphRecord(inner, 0)->imageSet, set);
    // A graph over all six pieces grows its record past the four it holds itself.
    int wide = CreateBlankGraphFromSettings(&settings, 1000, 700, 0, 0, nullptr);
    int copy = CreateSubGraph(0, 0, 1000, 700, wide);
    GetGraphDrawPieces(GetGraphRecord(copy, 0), &count);
    EXPECT_EQ(count, 6);
}

// Software sets record the slot of the texture kind with their layout, never one past the table.
TEST_F(GraphImageSetTest, SoftwareSetsStoreFormatSlotsInsideTheTable)
{
    GraphicsState.direct3DModeActive = 0;
    struct Case {
        int bits, alpha, slot;
    };
    const Case cases[] = {{16, 0, FORMAT_SLOT_COLOR16}, {16, 1, FORMAT_SLOT_ALPHA16}, {32, 0, FORMAT_SLOT_COLOR32},
                          {32, 1, FORMAT_SLOT_ALPHA32}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " " << c.alpha);
        settings.colorBits = c.bits;
        settings.blankAlpha = c.alpha;
        int handle = CreateBlankGraphFromSettings(&settings, 16, 16, 0, 0, nullptr);
        ASSERT_NE(handle, -1);
        GraphImageSet *set = GetGraphRecord(handle, 0)->imageSet;
        EXPECT_EQ(set->formatSlot, c.slot);
        EXPECT_LT(set->formatSlot, kFormatSlotCount);
        DestroyGraphHandle(handle, 0);
    }
}

TEST_F(GraphImageSetTest, APlainImageIntoADxtTextureFails)
{
    int handle = NewGraphHandle();
    ASSERT_EQ(SetupGraphImageSet(&settings, handle, 8, 8, 0, 0, 0, kBlockDxt1, -1, nullptr), 0);
    ASSERT_EQ(GetGraphRecord(handle, 0)->imageSet->formatSlot, FORMAT_SLOT_DXT1);
    RasterImage plain = {};
    ASSERT_EQ(AllocArgb32Image(8, 8, &plain), 0);
    RECT all = {0, 0, 8, 8};
    EXPECT_EQ(TransferImageRectToGraph(handle, &all, 0, 0, &plain, nullptr, 0, 1, 0, nullptr), -1);
    EXPECT_NE(KorvoTest::ReadLogFile().find("DXTフォーマットのテクスチャに標準形式のイメージを転送することはできません"),
              std::string::npos);
    FreeImageRecord(&plain);
}

// The level-0 bytes of each texture a DXT transfer locks, at the texture's pitch.
const GraphImageSet *LockedSet = nullptr;
std::map<const void *, std::vector<uint8_t>> LockedLevels;

void *LockDxtLevel(const void *texture, unsigned level, int *pitch)
{
    for (int i = 0; LockedSet != nullptr && i < LockedSet->pieceCount && level == 0; ++i) {
        const GraphTexturePiece &piece = LockedSet->pieces[i];
        if (piece.texture == texture) {
            *pitch = (piece.textureWidth + 3) / 4 * 8;
            std::vector<uint8_t> &bytes = LockedLevels[texture];
            bytes.resize(static_cast<size_t>(*pitch) * static_cast<size_t>((piece.textureHeight + 3) / 4));
            return bytes.data();
        }
    }
    return nullptr;
}

TEST_F(GraphImageSetTest, DxtBlocksLandRowByRowInsideEachPiece)
{
    struct Case {
        const char *name;
        int width, height, maxPieceSize;
    };
    const Case cases[] = {{"narrower than its texture", 12, 8, 0}, {"two pieces", 24, 8, 16}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int columns = c.width / 4;
        const int rows = c.height / 4;
        // Every byte of block (x, y) holds its number + 1.
        std::vector<uint8_t> blocks(static_cast<size_t>(columns * rows * 8));
        for (size_t i = 0; i < blocks.size(); ++i) {
            blocks[i] = static_cast<uint8_t>(i / 8 + 1);
        }
        RasterImage image = {};
        image.format.blockFormat = kBlockDxt1;
        image.width = c.width;
        image.height = c.height;
        image.pitch = columns * 8;
        image.pixels = blocks.data();
        settings.maxPieceSize = c.maxPieceSize;
        int handle = NewGraphHandle();
        ASSERT_EQ(SetupGraphImageSet(&settings, handle, c.width, c.height, 0, 0, 0, kBlockDxt1, -1, nullptr), 0);
        LockedSet = GetGraphRecord(handle, 0)->imageSet;
        LockedLevels.clear();
        RecordingDevice::TextureLockHook = LockDxtLevel;
        RECT all = {0, 0, c.width, c.height};
        EXPECT_EQ(TransferImageRectToGraph(handle, &all, 0, 0, &image, nullptr, 0, 0, 0, nullptr), 0);
        RecordingDevice::TextureLockHook = nullptr;
        EXPECT_EQ(LockedSet->pieceCount, c.maxPieceSize == 0 ? 1 : 2);
        for (int i = 0; i < LockedSet->pieceCount; ++i) {
            const GraphTexturePiece &piece = LockedSet->pieces[i];
            const std::vector<uint8_t> &level = LockedLevels[piece.texture];
            const int pitch = (piece.textureWidth + 3) / 4 * 8;
            ASSERT_EQ(level.size(), static_cast<size_t>(pitch * ((piece.textureHeight + 3) / 4))) << "piece " << i;
            for (int y = 0; y < piece.textureHeight / 4; ++y) {
                for (int x = 0; x < piece.textureWidth / 4; ++x) {
                    const bool used = x < piece.usedWidth / 4 && y < piece.usedHeight / 4;
                    const int want = used ? (piece.y / 4 + y) * columns + piece.x / 4 + x + 1 : 0;
                    EXPECT_EQ(level[static_cast<size_t>(y * pitch + x * 8)], want)
                        << "piece " << i << " block " << x << ", " << y;
                }
            }
        }
        LockedSet = nullptr;
        DestroyGraphHandle(handle, 0);
    }
}

// Which threads pumped the message queue while a staging texture was awaited.
std::atomic<int> PumpsOffMainThread{0};
std::atomic<int> PumpsOnMainThread{0};
DWORD MainThread = 0;
std::atomic<int> WorkerResult{-3};

int CountingPump()
{
    (GetCurrentThreadIdentifier() == MainThread ? PumpsOnMainThread : PumpsOffMainThread) += 1;
    return 0;
}

int WaitingJob(AsyncLoadJob *job)
{
    WorkerResult = WaitForSystemMemoryTexture(64, 64, 1, FORMAT_SLOT_COLOR32, job);
    return 0;
}

TEST_F(GraphImageSetTest, AWorkerAwaitingAStagingTextureNeverPumpsMessages)
{
    MainThread = GetCurrentThreadIdentifier();
    SetMessagePumpHandlers(CountingPump, nullptr);
    ASSERT_EQ(InitAsyncLoadLock(MainThread), 0);
    ASSERT_EQ(StartAsyncLoadWorkers(2), 0);
    // All sixteen textures of the description are lent.
    int lent[16];
    for (int &entry : lent) {
        entry = AcquireSystemMemoryTexture(64, 64, 1, FORMAT_SLOT_COLOR32, nullptr);
        ASSERT_GE(entry, 0);
    }
    EXPECT_EQ(AcquireSystemMemoryTexture(64, 64, 1, FORMAT_SLOT_COLOR32, nullptr), -2);
    AsyncLoadJob *job = AllocAsyncLoadJob(0);
    job->callback = WaitingJob;
    QueueAsyncLoadJob(job);
    KorvoTest::Backstop backstop("the job waiting for a lent texture", KorvoTest::kWaitBackstopSeconds);
    for (int i = 0; GetQueuedAsyncJobCount() > 0 && !backstop.Passed(); ++i) {
        RunMainThreadRequests();
        if (i == 30) {
            ReleaseSystemMemoryTexture(lent[5], nullptr);
        }
        SleepMilliseconds(1);
    }
    EXPECT_EQ(WorkerResult.load(), lent[5]) << backstop.Report();
    EXPECT_EQ(PumpsOffMainThread.load(), 0);
    StopAsyncLoadWorkers();
    DeleteAsyncLoadLock();
    // On the main thread the wait pumps, and gives up when the pump reports the end.
    SetMessagePumpHandlers([] { return -1; }, nullptr);
    EXPECT_EQ(WaitForSystemMemoryTexture(64, 64, 1, FORMAT_SLOT_COLOR32, nullptr), -1);
    SetMessagePumpHandlers(nullptr, nullptr);
}

} // namespace
