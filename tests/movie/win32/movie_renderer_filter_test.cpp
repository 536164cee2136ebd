// The movie renderer filter without a graph: the media types it takes, the
// frame buffer's pitch, bottom-up rows stored top-down, YUV converted, and a
// frame buffer that outlives every release but the last.

#include "movie/win32/movie_renderer_filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace Korvo;

namespace {

HRESULT created = 0;

// Just enough of a media sample for the renderer: its bytes.
class BytesSample : public IMediaSample {
public:
    explicit BytesSample(std::vector<BYTE> bytes) : data(std::move(bytes)) {}
    STDMETHODIMP QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetPointer(BYTE **out) override { *out = data.data(); return S_OK; }
    STDMETHODIMP_(long) GetSize() override { return static_cast<long>(data.size()); }
    STDMETHODIMP GetTime(REFERENCE_TIME *, REFERENCE_TIME *) override { return VFW_E_SAMPLE_TIME_NOT_SET; }
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
};

const GUID kVideo = {0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kVideoInfo = {0x05589f80, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};
const GUID kRgb24 = {0xe436eb7d, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
const GUID kRgb32 = {0xe436eb7e, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
const GUID kYuy2 = {0x32595559, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
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

} // namespace
