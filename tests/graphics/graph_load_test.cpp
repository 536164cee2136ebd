// Graph loading in software mode: pixels of a PNG in the graph's MEMIMG,
// divided sheets and their order, the shared restore source, missing files,
// background loads and stale handles.

#include "tests/graphics/png_sheet.h"
#include "tests/graphics/recording_device.h"

#include "core/public_api.h"
#include "core/streams/stream_table.h"
#include "core/system/window_state.h"
#include "core/threads/async_load.h"
#include "core/threads/thread_event.h"
#include "core/threads/thread_record.h"
#include "graphics/graphs/graph_movie_hooks.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "tests/core/log_capture.h"
#include "tests/support/wait_backstop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kCellW = 8;
constexpr int kCellH = 6;

// Cell (column, row) of the sheet: its own colour, with a marker in its left column.
uint32_t SheetColour(int x, int y)
{
    int column = x / kCellW;
    int row = y / kCellH;
    uint32_t base = 0x102030u + static_cast<uint32_t>(column) * 0x300000u + static_cast<uint32_t>(row) * 0x002800u;
    return x % kCellW == 0 ? base ^ 0x0000FFu : base;
}

uint32_t MemImgPixel(GraphRecord *record, int x, int y)
{
    MEMIMG *image = GetGraphMemImg(record);
    uint32_t value = 0;
    std::memcpy(&value, image->pixels + static_cast<ptrdiff_t>(y) * image->body->pitch + x * 4, 4);
    return value & 0xFFFFFF;
}

class GraphLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallStreamFunctionTable(nullptr);
        RecordingDevice::Reset();
        GraphicsState.direct3DModeActive = 0;
        GraphicsState.bitsPerPixel = 32;
        KorvoTest::StartFreshLog();
        ASSERT_EQ(InitGraphHandleType(), 0);
        ASSERT_TRUE(GraphTest::WriteRgbPng("sheet.png", kCellW * 3, kCellH * 4, SheetColour));
    }
    void TearDown() override
    {
        SetLoadInBackgroundFlag(0);
        TermGraphHandleType();
    }
};

std::vector<uint8_t> ReadBytes(const char *path)
{
    std::vector<uint8_t> bytes;
    if (std::FILE *file = std::fopen(path, "rb")) {
        int c = 0;
        while ((c = std::fgetc(file)) != EOF) {
            bytes.push_back(static_cast<uint8_t>(c));
        }
        std::fclose(file);
    }
    return bytes;
}

// A PNG's pixels reach the graph's MEMIMG from each kind of source, and each load
// keeps its own kind of restore source (a private copy, never the caller's data).
TEST_F(GraphLoadTest, APngGivesItsPixelsInTheGraphsMemImgFromEverySource)
{
    ASSERT_TRUE(GraphTest::WriteRgbPng("picture.png", 37, 21, GraphTest::DistinctColour));
    std::vector<uint8_t> bytes = ReadBytes("picture.png");
    RasterImage image = {};
    ASSERT_EQ(LoadImageRecord("picture.png", nullptr, 0, 0, &image, 0), 0);
    GraphLoadSettings settings;
    CaptureGraphLoadSettings(&settings);
    enum Kept { kFile, kBytes, kImage, kNothing };
    const struct {
        const char *name;
        Kept kept;
    } sources[] = {{"file", kFile}, {"bytes", kBytes}, {"image", kImage}, {"image, no source", kNothing}};
    for (const auto &source : sources) {
        SCOPED_TRACE(source.name);
        int handle = -1;
        switch (source.kept) {
        case kFile: handle = CreateGraphFromImageFile("picture.png", 0); break;
        case kBytes:
            handle = CreateGraphFromImageBytes(&settings, 0, -1, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                               0, 0, 0, 0);
            break;
        case kImage: handle = BuildGraphFromBaseImagesEx(&settings, 0, -1, &image, nullptr, 0, 0, 0, nullptr); break;
        case kNothing: handle = BuildGraphFromBaseImages(&image, nullptr, 0); break;
        }
        ASSERT_NE(handle, -1);
        int width = 0;
        int height = 0;
        EXPECT_EQ(GetGraphOrScreenSize(handle, &width, &height), 0);
        EXPECT_EQ(width, 37);
        EXPECT_EQ(height, 21);
        GraphRecord *record = GetGraphRecord(handle, 0);
        ASSERT_NE(GetGraphMemImg(record), nullptr);
        int wrong = 0;
        for (int y = 0; y < 21; ++y) {
            for (int x = 0; x < 37; ++x) {
                wrong += MemImgPixel(record, x, y) != GraphTest::DistinctColour(x, y) ? 1 : 0;
            }
        }
        EXPECT_EQ(wrong, 0);
        const GraphRestoreSource *kept = record->restoreSource;
        EXPECT_EQ(kept != nullptr && kept->fileName != nullptr, source.kept == kFile);
        EXPECT_EQ(kept != nullptr && kept->memoryImage != nullptr, source.kept == kBytes);
        EXPECT_EQ(kept != nullptr && kept->colorImage != nullptr, source.kept == kImage);
        if (source.kept == kBytes) {
            EXPECT_NE(kept->memoryImage, bytes.data());
            EXPECT_EQ(std::memcmp(kept->memoryImage, bytes.data(), bytes.size()), 0);
        }
        if (source.kept == kImage) {
            EXPECT_NE(kept->colorImage->pixels, image.pixels);
            EXPECT_EQ(std::memcmp(kept->colorImage->pixels, image.pixels,
                                  static_cast<size_t>(image.pitch) * image.height), 0);
        }
        EXPECT_EQ(DestroyGraphHandle(handle, 0), 0);
    }
    FreeImageRecord(&image);
}

TEST_F(GraphLoadTest, AMissingFileGivesMinusOneAndIsLogged)
{
    EXPECT_EQ(CreateGraphFromImageFile("absent.png", 0), -1);
    std::string log = KorvoTest::ReadLogFile();
    EXPECT_NE(log.find("画像ファイル "), std::string::npos) << log;
    EXPECT_NE(log.find("absent.png がありません"), std::string::npos) << log;
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_GRAPH].liveCount, 0);
}

// 12 cells of a 3 x 4 sheet in row order; mirrored, each row starts with its rightmost
// cell of the mirrored picture, which is the left cell of the file turned round.
TEST_F(GraphLoadTest, DividedSheetGivesCellsInRowOrder)
{
    for (int mirror = 0; mirror < 2; ++mirror) {
        SCOPED_TRACE(mirror);
        int handles[12];
        ASSERT_EQ(CreateDivGraphFromFileEx("sheet.png", 12, 3, 4, kCellW, kCellH, handles, 0, mirror), 0);
        for (int i = 0; i < 12; ++i) {
            GraphRecord *record = GetGraphRecord(handles[i], 0);
            ASSERT_NE(record, nullptr);
            EXPECT_EQ(record->width, kCellW);
            int fileX = (i % 3) * kCellW;
            int fileY = (i / 3) * kCellH;
            int markerX = mirror == 0 ? 0 : kCellW - 1;
            EXPECT_EQ(MemImgPixel(record, markerX, 0), SheetColour(fileX, fileY)) << i;
            EXPECT_EQ(MemImgPixel(record, kCellW - 1 - markerX, kCellH - 1), SheetColour(fileX + 1, fileY)) << i;
        }
        // The hidden whole-sheet graph is gone: 12 records live.
        EXPECT_EQ(HandleTypeTable[HANDLE_KIND_GRAPH].liveCount, 12);
        for (int handle : handles) {
            DestroyGraphHandle(handle, 0);
        }
    }
}

TEST_F(GraphLoadTest, CountsBelowTheGridStopMidRowAndAboveItAreRefused)
{
    int handles[7] = {};
    ASSERT_EQ(CreateDivGraphFromImageFile("sheet.png", 5, 3, 2, kCellW, kCellH, handles, 0), 0);
    EXPECT_EQ(GetGraphRecord(handles[4], 0)->sourceX, kCellW);
    EXPECT_EQ(GetGraphRecord(handles[4], 0)->sourceY, kCellH);
    EXPECT_EQ(CreateDivGraphFromImageFile("sheet.png", 7, 3, 2, kCellW, kCellH, handles, 0), -1);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_GRAPH].liveCount, 5);
}

TEST_F(GraphLoadTest, DividedPiecesShareOneRestoreSourceUntilTheLastGoes)
{
    int handles[12];
    ASSERT_EQ(CreateDivGraphFromImageFile("sheet.png", 12, 3, 4, kCellW, kCellH, handles, 0), 0);
    GraphRestoreSource *source = GetGraphRecord(handles[0], 0)->restoreSource;
    ASSERT_NE(source, nullptr);
    ASSERT_NE(source->fileName, nullptr);
    EXPECT_NE(std::string(source->fileName).find("sheet.png"), std::string::npos);
    GraphImageSet *set = GetGraphRecord(handles[0], 0)->imageSet;
    for (int handle : handles) {
        EXPECT_EQ(GetGraphRecord(handle, 0)->restoreSource, source);
        EXPECT_EQ(GetGraphRecord(handle, 0)->imageSet, set);
    }
    EXPECT_EQ(source->useCount, 12);
    for (int i = 0; i < 11; ++i) {
        DestroyGraphHandle(handles[i], 0);
    }
    EXPECT_EQ(source->useCount, 1);
    EXPECT_EQ(set->useCount, 1);
    // The last piece frees the source and the set (a second free would stop the process).
    EXPECT_EQ(DestroyGraphHandle(handles[11], 0), 0);
}

// Reloading writes a new sheet into the same cells (one pass over their shared set) and makes no handle.
TEST_F(GraphLoadTest, AReloadRefillsTheCellsOfADividedSheet)
{
    int handles[12];
    ASSERT_EQ(CreateDivGraphFromImageFile("sheet.png", 12, 3, 4, kCellW, kCellH, handles, 0), 0);
    ASSERT_TRUE(GraphTest::WriteRgbPng("sheet2.png", kCellW * 3, kCellH * 4,
                                       [](int x, int y) { return SheetColour(x, y) ^ 0xFFFFFFu; }));
    GraphLoadSettings settings;
    CaptureGraphLoadSettings(&settings);
    ASSERT_EQ(CreateDivGraphFromFileWithSettings(&settings, 1, "sheet2.png", 12, 3, 4, kCellW, kCellH, handles, 0,
                                                 0, 0), 0);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_GRAPH].liveCount, 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(MemImgPixel(GetGraphRecord(handles[i], 0), 0, 0),
                  SheetColour((i % 3) * kCellW, (i / 3) * kCellH) ^ 0xFFFFFFu) << i;
    }
    // A sheet too small for the grid is refused and leaves the handles.
    ASSERT_TRUE(GraphTest::WriteRgbPng("small.png", kCellW, kCellH, SheetColour));
    EXPECT_EQ(CreateDivGraphFromFileWithSettings(&settings, 1, "small.png", 12, 3, 4, kCellW, kCellH, handles, 0,
                                                 0, 0), -1);
    EXPECT_EQ(IsGraphHandleReady(handles[11]), 1);
}

TEST_F(GraphLoadTest, ADeletedGraphsHandleStaysInvalidWhenItsSlotIsReused)
{
    int first = CreateGraphFromImageFile("sheet.png", 0);
    ASSERT_NE(first, -1);
    ASSERT_EQ(DestroyGraphHandle(first, 0), 0);
    int second = CreateGraphFromImageFile("sheet.png", 1);
    ASSERT_NE(second, -1);
    EXPECT_EQ(HandleSlotOf(second), HandleSlotOf(first));
    EXPECT_NE(second, first);
    EXPECT_EQ(GetGraphRecord(first, 1), nullptr);
    EXPECT_EQ(IsGraphHandleReady(first), 0);
    EXPECT_EQ(GetGraphOrScreenSize(first, nullptr, nullptr), -1);
    EXPECT_EQ(DestroyGraphHandle(first, 0), -1);
    EXPECT_EQ(IsGraphHandleReady(second), 1);
}

// A movie module that opens any file as a 16 x 8 movie numbered 5.
std::vector<int> DeletedMovies;

int OpenAnyMovie(const char *, int, void *)
{
    return 5;
}

int SixteenByEight(int, int *width, int *height, int *, int *)
{
    *width = 16;
    *height = 8;
    return 0;
}

int ForgetMovie(int movie)
{
    DeletedMovies.push_back(movie);
    return 0;
}

TEST_F(GraphLoadTest, AnUndecodableFileIsRetriedAsAMovie)
{
    std::FILE *junk = std::fopen("clip.dat", "wb");
    ASSERT_NE(junk, nullptr);
    std::fputs("not an image of any kind", junk);
    std::fclose(junk);
    // Without a movie module the retry fails and says so.
    EXPECT_EQ(CreateGraphFromImageFile("clip.dat", 0), -1);
    EXPECT_NE(KorvoTest::ReadLogFile().find("右記のグラフィックファイルのロードに失敗しました："), std::string::npos);
    GraphMovieHooks hooks = {};
    hooks.createMovieHandleFromFile = OpenAnyMovie;
    hooks.getMovieLayout = SixteenByEight;
    hooks.deleteMovieHandle = ForgetMovie;
    SetGraphMovieHooks(&hooks);
    DeletedMovies.clear();
    int handle = CreateGraphFromImageFile("clip.dat", 0);
    ASSERT_NE(handle, -1);
    int width = 0;
    int height = 0;
    GetGraphOrScreenSize(handle, &width, &height);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 8);
    EXPECT_EQ(GetGraphRecord(handle, 0)->movieHandle, 5);
    DestroyGraphHandle(handle, 0);
    EXPECT_EQ(DeletedMovies, std::vector<int>{5});
    SetGraphMovieHooks(nullptr);
}

// Background loads: the one worker is held by a gate job, so the load must wait behind it.
std::atomic<int> GateOpen{0};
std::atomic<int> GateEntered{0};

int GateJob(AsyncLoadJob *)
{
    GateEntered = 1;
    while (GateOpen.load() == 0) {
        SleepMilliseconds(1);
    }
    return 0;
}

TEST_F(GraphLoadTest, ABackgroundLoadReturnsAtOnceAndBecomesReady)
{
    ASSERT_EQ(InitAsyncLoadLock(GetCurrentThreadIdentifier()), 0);
    ASSERT_EQ(StartAsyncLoadWorkers(2), 0);
    GateOpen = 0;
    GateEntered = 0;
    AsyncLoadJob *gate = AllocAsyncLoadJob(0);
    gate->callback = GateJob;
    QueueAsyncLoadJob(gate);
    // A worker takes the oldest job, the later one of two queued in the same
    // millisecond: the loads are queued once the gate holds the worker.
    KorvoTest::Backstop gateBackstop("the gate job's start", KorvoTest::kWaitBackstopSeconds);
    while (GateEntered.load() == 0 && !gateBackstop.Passed()) {
        SleepMilliseconds(1);
    }
    ASSERT_EQ(GateEntered.load(), 1) << gateBackstop.Report();
    SetLoadInBackgroundFlag(1);
    int good = CreateGraphFromImageFile("sheet.png", 0);
    int missing = CreateGraphFromImageFile("absent.png", 0);
    int cells[12];
    ASSERT_EQ(CreateDivGraphFromFileEx("sheet.png", 12, 3, 4, kCellW, kCellH, cells, 0, 0), 0);
    GraphCreateSettings settings;
    CaptureGraphCreateSettings(&settings);
    int blank = CreateBlankGraphFromSettings(&settings, 10, 7, 0, 1, nullptr);
    ASSERT_NE(good, -1);
    ASSERT_NE(blank, -1);
    EXPECT_EQ(IsGraphHandleReady(blank), 0);
    ASSERT_NE(missing, -1);
    EXPECT_EQ(IsGraphHandleReady(good), 0);
    EXPECT_EQ(IsGraphHandleReady(cells[11]), 0);
    EXPECT_NE(GetGraphRecord(good, 1), nullptr);
    EXPECT_EQ(GetGraphOrScreenSize(good, nullptr, nullptr), 0);
    GateOpen = 1;
    KorvoTest::Backstop backstop("the background loads behind the gate", KorvoTest::kWaitBackstopSeconds);
    while (GetQueuedAsyncJobCount() > 0 && !backstop.Passed()) {
        RunMainThreadRequests();
        SleepMilliseconds(1);
    }
    // The images below are read only once their loads are over.
    ASSERT_EQ(GetQueuedAsyncJobCount(), 0) << backstop.Report();
    ASSERT_EQ(IsGraphHandleReady(good), 1) << backstop.Report();
    EXPECT_EQ(MemImgPixel(GetGraphRecord(good, 0), 0, 0), SheetColour(0, 0));
    // A failed job deletes its graph.
    EXPECT_EQ(GetGraphRecord(missing, 1), nullptr);
    EXPECT_EQ(MemImgPixel(GetGraphRecord(cells[11], 0), 1, 0), SheetColour(2 * kCellW + 1, 3 * kCellH));
    // The whole-sheet graph of the divided load went with its job.
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_GRAPH].liveCount, 14);
    ASSERT_EQ(IsGraphHandleReady(blank), 1);
    EXPECT_EQ(GetGraphMemImg(GetGraphRecord(blank, 0))->height, 7);
    DestroyGraphHandle(blank, 0);
    for (int cell : cells) {
        DestroyGraphHandle(cell, 0);
    }
    DestroyGraphHandle(good, 0);
    StopAsyncLoadWorkers();
    DeleteAsyncLoadLock();
}

} // namespace
