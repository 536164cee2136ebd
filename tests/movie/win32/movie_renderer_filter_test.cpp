// The movie renderer filter without a graph: the media types it takes, the
// frame buffer's pitch, bottom-up rows stored top-down, YUV converted at each
// layout's own frame size, samples stored only once due, the end of its stream
// reported to the graph, and a frame buffer that outlives every release but the
// last and a change to a larger size.

#include "movie/win32/movie_renderer_filter.h"

#include "core/memory/tracked_alloc.h"
#include "core/memory/tracked_block_index.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace Korvo;

namespace {

HRESULT created = 0;

// Just enough of a media sample for the renderer: its bytes, and a start time
// when one is given (with a stop time, or without as VFW_S_NO_STOP_TIME says).
class BytesSample : public IMediaSample {
public:
    explicit BytesSample(std::vector<BYTE> bytes, REFERENCE_TIME startTime = -1, bool withStop = true)
        : data(std::move(bytes)), start(startTime), stopGiven(withStop) {}
    STDMETHODIMP QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetPointer(BYTE **out) override { *out = data.data(); return S_OK; }
    STDMETHODIMP_(long) GetSize() override { return static_cast<long>(data.size()); }
    STDMETHODIMP GetTime(REFERENCE_TIME *from, REFERENCE_TIME *to) override
    {
        if (start < 0) {
            return VFW_E_SAMPLE_TIME_NOT_SET;
        }
        *from = start;
        *to = start + (stopGiven ? 1000 : 1);
        return stopGiven ? S_OK : VFW_S_NO_STOP_TIME;
    }
    STDMETHODIMP SetTime(REFERENCE_TIME *, REFERENCE_TIME *) override { return S_OK; }
    STDMETHODIMP IsSyncPoint() override { return S_OK; }
    STDMETHODIMP SetSyncPoint(BOOL) override { return S_OK; }
    STDMETHODIMP IsPreroll() override { return S_FALSE; }
    STDMETHODIMP SetPreroll(BOOL) override { return S_OK; }
    STDMETHODIMP_(long) GetActualDataLength() override { return static_cast<long>(data.size()); }
    STDMETHODIMP SetActualDataLength(long) override { return S_OK; }
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE **) override { return S_FALSE; }
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE *) override { return S_OK; }
    STDMETHODIMP IsDiscontinuity() override { return S_FALSE; }
    STDMETHODIMP SetDiscontinuity(BOOL) override { return S_OK; }
    STDMETHODIMP GetMediaTime(LONGLONG *, LONGLONG *) override { return E_NOTIMPL; }
    STDMETHODIMP SetMediaTime(LONGLONG *, LONGLONG *) override { return E_NOTIMPL; }
    std::vector<BYTE> data;
    REFERENCE_TIME start;
    bool stopGiven;
};

// A graph clock that moves on by a fixed step each time it is read (or every
// few readings, answering S_FALSE to a time read again, as the platform's
// clocks do), noting whether the renderer had already stored a frame at each reading.
class SteppingClock : public IReferenceClock {
public:
    SteppingClock(MovieRendererFilter *watched, REFERENCE_TIME step, int readingsPerStep = 1)
        : filter(watched), step(step), perStep(readingsPerStep) {}
    STDMETHODIMP QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTime(REFERENCE_TIME *out) override
    {
        readings.push_back({now, filter->newFrame.load()});
        *out = now;
        const bool again = readings.size() % perStep != 1 % perStep;
        if (readings.size() % perStep == 0) {
            now += step;
        }
        return again ? S_FALSE : S_OK;
    }
    STDMETHODIMP AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR *) override { return E_NOTIMPL; }
    STDMETHODIMP AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR *) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP Unadvise(DWORD_PTR) override { return E_NOTIMPL; }
    struct Reading {
        REFERENCE_TIME time;
        int frameStored;
    };
    std::vector<Reading> readings;

private:
    MovieRendererFilter *filter;
    REFERENCE_TIME step;
    size_t perStep;
    REFERENCE_TIME now = 0;
};

// Just enough of a filter graph for the renderer: the ends of streams it is told.
class EventGraph : public IFilterGraph, public IMediaEventSink {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void **out) override
    {
        *out = iid == __uuidof(IMediaEventSink) ? static_cast<IMediaEventSink *>(this) : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP AddFilter(IBaseFilter *, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveFilter(IBaseFilter *) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFilters(IEnumFilters **) override { return E_NOTIMPL; }
    STDMETHODIMP FindFilterByName(LPCWSTR, IBaseFilter **) override { return E_NOTIMPL; }
    STDMETHODIMP ConnectDirect(IPin *, IPin *, const AM_MEDIA_TYPE *) override { return E_NOTIMPL; }
    STDMETHODIMP Reconnect(IPin *) override { return E_NOTIMPL; }
    STDMETHODIMP Disconnect(IPin *) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultSyncSource() override { return E_NOTIMPL; }
    STDMETHODIMP Notify(LONG code, LONG_PTR, LONG_PTR) override
    {
        completes += code == EC_COMPLETE ? 1 : 0;
        return S_OK;
    }
    int completes = 0;
};

const GUID kVideo = {0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kVideoInfo = {0x05589f80, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};
const GUID kRgb24 = {0xe436eb7d, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
const GUID kRgb32 = {0xe436eb7e, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
const GUID kYuy2 = {0x32595559, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kUyvy = {0x59565955, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kYvyu = {0x55595659, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kYv12 = {0x32315659, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kNv12 = {0x3231564e, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kNv11 = {0x3131564e, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kMpeg4 = {0x3334504d, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

struct VideoType {
    AM_MEDIA_TYPE type = {};
    VIDEOINFOHEADER info = {};
    VideoType(const GUID &major, const GUID &subtype, const GUID &format, int width, int height)
    {
        type.majortype = major;
        type.subtype = subtype;
        type.formattype = format;
        type.cbFormat = sizeof(info);
        type.pbFormat = reinterpret_cast<BYTE *>(&info);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
    }
};

TEST(MovieRendererFilter, TakesVideoInfoOfTheTableSubtypesOnly)
{
    MovieRendererFilter *filter = CreateMovieRendererFilter(nullptr, &created);
    ASSERT_NE(filter, nullptr);
    const struct {
        GUID major, subtype, format;
        HRESULT expected;
    } cases[] = {
        {kVideo, kRgb24, kVideoInfo, S_OK},      {kVideo, kRgb32, kVideoInfo, S_OK},
        {kVideo, kYuy2, kVideoInfo, S_OK},       {kVideo, kMpeg4, kVideoInfo, E_FAIL},
        {kVideoInfo, kRgb32, kVideoInfo, E_FAIL}, {kVideo, kRgb32, kVideo, E_INVALIDARG},
    };
    for (const auto &c : cases) {
        VideoType type(c.major, c.subtype, c.format, 8, 8);
        EXPECT_EQ(filter->input.CheckMediaType(&type.type), c.expected);
    }
    EXPECT_EQ(filter->input.CheckMediaType(nullptr), E_POINTER);
    filter->Release();
}

TEST(MovieRendererFilter, StoresFramesTopDownAtTheirPitch)
{
    const struct {
        GUID subtype;
        int width, height, pitch, bytesPerPixel;
    } cases[] = {{kRgb24, 5, 3, 16, 3}, {kRgb32, 4, 3, 16, 4}, {kRgb24, 4, -3, 12, 3}};
    for (const auto &c : cases) {
        MovieRendererFilter *filter = CreateMovieRendererFilter(nullptr, &created);
        VideoType type(kVideo, c.subtype, kVideoInfo, c.width, c.height);
        ASSERT_EQ(filter->SetMediaType(&type.type), S_OK);
        EXPECT_EQ(filter->pitch, c.pitch);
        int rows = std::abs(c.height);
        std::vector<BYTE> bytes(static_cast<size_t>(c.pitch) * rows);
        for (int y = 0; y < rows; ++y) {
            std::memset(bytes.data() + y * c.pitch, 10 + y, c.pitch);
        }
        BytesSample sample(bytes);
        ASSERT_EQ(filter->DoRenderSample(&sample), S_OK);
        EXPECT_EQ(filter->newFrame.load(), 1);
        for (int y = 0; y < rows; ++y) {
            int sourceRow = c.height > 0 ? rows - 1 - y : y; // positive heights arrive bottom-up
            EXPECT_EQ(filter->frameBuffer[y * c.pitch], 10 + sourceRow) << c.height << " row " << y;
        }
        filter->Release();
    }
}

TEST(MovieRendererFilter, ConvertsYuvAndKeepsItsFrameBufferUntilTheLastRelease)
{
    MovieRendererFilter *filter = CreateMovieRendererFilter(nullptr, &created);
    VideoType type(kVideo, kYuy2, kVideoInfo, 4, 2);
    ASSERT_EQ(filter->SetMediaType(&type.type), S_OK);
    EXPECT_EQ(filter->pitch, 16);
    // Y0 U Y1 V: white-ish luma 235 with neutral chroma.
    std::vector<BYTE> bytes;
    for (int i = 0; i < 8; ++i) {
        bytes.insert(bytes.end(), {235, 128, 235, 128});
    }
    BytesSample sample(bytes);
    ASSERT_EQ(filter->DoRenderSample(&sample), S_OK);
    BYTE *borrowed = filter->frameBuffer;
    // Bright neutral grey, whichever luma range the converter takes.
    EXPECT_GE(borrowed[0], 235);
    EXPECT_EQ(borrowed[0], borrowed[2]);
    EXPECT_EQ(borrowed[3], 255);
    // The graph and the movie hold the filter: releases short of the last keep the buffer.
    filter->AddRef();
    filter->AddRef();
    filter->Release();
    filter->Release();
    EXPECT_EQ(filter->frameBuffer, borrowed);
    EXPECT_GE(borrowed[0], 235);
    filter->Release();
}

// A frame of each YUV layout, luma 235 and neutral chroma, at the size its
// planes take: stored as bright grey. One byte short, it is dropped.
TEST(MovieRendererFilter, TakesEachYuvLayoutAtItsOwnFrameSize)
{
    const int width = 8, height = 2;
    // Planar: the 16 luma bytes, then chroma bytes (V and U planes of 4 x 1,
    // pairs over 8 bytes for 1 row, pairs over 4 bytes for 2 rows). Packed:
    // one 4-byte group repeated over the 8 x 2 pixels.
    auto planar = [] { std::vector<BYTE> f(16, 235); f.resize(24, 128); return f; };
    auto packed = [](std::vector<BYTE> group) {
        std::vector<BYTE> f;
        for (int i = 0; i < 8; ++i) {
            f.insert(f.end(), group.begin(), group.end());
        }
        return f;
    };
    const struct {
        const char *name;
        GUID subtype;
        std::vector<BYTE> frame;
    } cases[] = {
        {"YV12", kYv12, planar()}, {"NV12", kNv12, planar()}, {"NV11", kNv11, planar()},
        {"YUY2", kYuy2, packed({235, 128, 235, 128})}, {"UYVY", kUyvy, packed({128, 235, 128, 235})},
        {"YVYU", kYvyu, packed({235, 128, 235, 128})},
    };
    for (const auto &c : cases) {
        for (bool cut : {false, true}) {
            MovieRendererFilter *filter = CreateMovieRendererFilter(nullptr, &created);
            VideoType type(kVideo, c.subtype, kVideoInfo, width, height);
            ASSERT_EQ(filter->input.CheckMediaType(&type.type), S_OK) << c.name;
            ASSERT_EQ(filter->SetMediaType(&type.type), S_OK);
            std::vector<BYTE> bytes = c.frame;
            if (cut) {
                bytes.pop_back();
            }
            BytesSample sample(bytes);
            ASSERT_EQ(filter->DoRenderSample(&sample), S_OK);
            EXPECT_EQ(filter->newFrame.load(), cut ? 0 : 1) << c.name << (cut ? " one byte short" : "");
            if (!cut && filter->newFrame) {
                for (int at : {0, (width * height - 1) * 4}) {
                    EXPECT_GE(filter->frameBuffer[at], 235) << c.name;
                    EXPECT_EQ(filter->frameBuffer[at], filter->frameBuffer[at + 2]) << c.name;
                }
            }
            filter->Release();
        }
    }
}

// A running graph: the sample is stored once the clock reaches its start
// time, not when it arrives (which is about a frame earlier); also when the
// clock answers a time read again with S_FALSE, and for a sample with a start
// time only.
TEST(MovieRendererFilter, StoresASampleOnlyOnceItIsDue)
{
    const struct {
        const char *name;
        int readingsPerStep;
        bool withStop;
    } cases[] = {{"a clock moving at every reading", 1, true},
                 {"a clock read twice a step", 2, true},
                 {"a sample without a stop time", 1, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MovieRendererFilter *filter = CreateMovieRendererFilter(nullptr, &created);
        VideoType type(kVideo, kRgb32, kVideoInfo, 4, 2);
        ASSERT_EQ(filter->SetMediaType(&type.type), S_OK);
        SteppingClock clock(filter, 400, c.readingsPerStep);
        ASSERT_EQ(filter->SetSyncSource(&clock), S_OK);
        ASSERT_EQ(filter->Run(0), S_OK);
        BytesSample sample(std::vector<BYTE>(32, 0x40), 1000, c.withStop);
        EXPECT_EQ(filter->input.Receive(&sample), S_OK);
        EXPECT_EQ(filter->newFrame.load(), 1);
        EXPECT_GE(clock.readings.size(), 3u); // 0, 400 and 800 come before the start time
        for (const auto &reading : clock.readings) {
            if (reading.time < 1000) {
                EXPECT_EQ(reading.frameStored, 0) << "stored before it was due, clock at " << reading.time;
            }
        }
        filter->Stop();
        filter->SetSyncSource(nullptr);
        filter->Release();
    }
}

// The end of the stream reaches the graph once, as EC_COMPLETE: at once while
// the graph runs, at the next run when it came while paused, and not at all
// when a stop came between; after a flush (a seek) its next end counts again.
TEST(MovieRendererFilter, ReportsTheEndOfItsStreamToTheGraphOnceItRuns)
{
    MovieRendererFilter *filter = CreateMovieRendererFilter(nullptr, &created);
    EventGraph graph;
    ASSERT_EQ(filter->JoinFilterGraph(&graph, L"MovieRenderer"), S_OK);
    ASSERT_EQ(filter->Run(0), S_OK);
    filter->input.EndOfStream();
    filter->input.EndOfStream();
    EXPECT_EQ(graph.completes, 1) << "running";
    filter->input.BeginFlush();
    filter->input.EndFlush();
    filter->input.EndOfStream();
    EXPECT_EQ(graph.completes, 2) << "after a flush";

    ASSERT_EQ(filter->Stop(), S_OK);
    ASSERT_EQ(filter->Pause(), S_OK);
    filter->input.EndOfStream();
    EXPECT_EQ(graph.completes, 2) << "paused";
    ASSERT_EQ(filter->Run(0), S_OK);
    EXPECT_EQ(graph.completes, 3) << "run after the pause";

    ASSERT_EQ(filter->Stop(), S_OK);
    ASSERT_EQ(filter->Pause(), S_OK);
    filter->input.EndOfStream();
    ASSERT_EQ(filter->Stop(), S_OK);
    filter->input.EndOfStream(); // stopped: no stream to end
    ASSERT_EQ(filter->Run(0), S_OK);
    EXPECT_EQ(graph.completes, 3) << "stopped in between";
    filter->Stop();
    filter->JoinFilterGraph(nullptr, nullptr);
    filter->Release();
}

// The movie shows frames straight from the frame buffer; a new connection of
// a larger size replaces the buffer but keeps the old one alive (the movie's
// frame image still points into it) until the filter goes.
TEST(MovieRendererFilter, KeepsAReplacedFrameBufferWhileTheFilterLives)
{
    auto live = [](const BYTE *pixels) {
        return IsLiveTrackedBlock(pixels - sizeof(TrackedBlockHeader));
    };
    MovieRendererFilter *filter = CreateMovieRendererFilter(nullptr, &created);
    VideoType small(kVideo, kRgb32, kVideoInfo, 4, -2);
    ASSERT_EQ(filter->SetMediaType(&small.type), S_OK);
    BytesSample smallFrame(std::vector<BYTE>(32, 0x11));
    ASSERT_EQ(filter->DoRenderSample(&smallFrame), S_OK);
    BYTE *borrowed = filter->frameBuffer;
    ASSERT_NE(borrowed, nullptr);

    VideoType large(kVideo, kRgb32, kVideoInfo, 8, -4);
    ASSERT_EQ(filter->SetMediaType(&large.type), S_OK);
    BytesSample largeFrame(std::vector<BYTE>(128, 0x22));
    ASSERT_EQ(filter->DoRenderSample(&largeFrame), S_OK);
    EXPECT_NE(filter->frameBuffer, borrowed);
    EXPECT_EQ(filter->frameBuffer[127], 0x22);
    EXPECT_TRUE(live(borrowed));
    EXPECT_EQ(borrowed[31], 0x11);
    filter->Release();
    EXPECT_FALSE(live(borrowed));
}

} // namespace
