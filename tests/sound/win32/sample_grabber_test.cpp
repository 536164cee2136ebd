// The sample grabber on its own: which media types its input takes, and the
// delivery buffer that its input's allocator hands out.

#include "sound/win32/delivery_allocator.h"
#include "sound/win32/sample_grabber.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

AM_MEDIA_TYPE Type(const GUID &major, const GUID &sub, const GUID &format = GUID_NULL)
{
    AM_MEDIA_TYPE type{};
    type.majortype = major;
    type.subtype = sub;
    type.formattype = format;
    return type;
}

const GUID OtherSubtype = {0x12345678, 0, 0x10, {0x80, 0, 0, 0xaa, 0, 0x38, 0x9b, 0x71}};

} // namespace

TEST(SampleGrabberTest, InputTakesTheAcceptedTypeOnly)
{
    struct Case {
        const char *name;
        AM_MEDIA_TYPE accepted;
        AM_MEDIA_TYPE offered;
        HRESULT result;
    } cases[] = {
        {"nothing chosen takes everything", Type(GUID_NULL, GUID_NULL), Type(K_MEDIATYPE_Stream, OtherSubtype), S_OK},
        {"same major and subtype", Type(K_MEDIATYPE_Audio, K_MEDIASUBTYPE_PCM),
         Type(K_MEDIATYPE_Audio, K_MEDIASUBTYPE_PCM, K_FORMAT_WaveFormatEx), S_OK},
        {"other subtype", Type(K_MEDIATYPE_Audio, K_MEDIASUBTYPE_PCM), Type(K_MEDIATYPE_Audio, OtherSubtype),
         static_cast<HRESULT>(0x80040248)},
        {"null subtype takes any", Type(K_MEDIATYPE_Audio, GUID_NULL), Type(K_MEDIATYPE_Audio, OtherSubtype), S_OK},
        {"other major type", Type(K_MEDIATYPE_Audio, GUID_NULL), Type(K_MEDIATYPE_Stream, OtherSubtype),
         static_cast<HRESULT>(0x80040248)},
        {"other format type", Type(K_MEDIATYPE_Audio, K_MEDIASUBTYPE_PCM, K_FORMAT_WaveFormatEx),
         Type(K_MEDIATYPE_Audio, K_MEDIASUBTYPE_PCM, OtherSubtype), static_cast<HRESULT>(0x80040248)},
    };
    for (Case &c : cases) {
        K_CSampleGrabber *grabber = new K_CSampleGrabber();
        ASSERT_EQ(grabber->ChooseAcceptedType(&c.accepted), S_OK) << c.name;
        EXPECT_EQ(grabber->input.CheckMediaType(&c.offered), c.result) << c.name;
        grabber->Release();
    }
}

TEST(SampleGrabberTest, DeliveryBufferIsTheOneSampleOfTheInputsAllocator)
{
    BYTE buffer[4096];
    struct Case {
        const char *name;
        long buffers;
        BYTE *memory;
        HRESULT result;
    } cases[] = {
        {"two buffers", 2, buffer, E_INVALIDARG},
        {"no buffer", 1, nullptr, E_POINTER},
        {"one buffer", 1, buffer, S_OK},
    };
    for (const Case &c : cases) {
        K_CSampleGrabber *grabber = new K_CSampleGrabber();
        ALLOCATOR_PROPERTIES shape = {c.buffers, 4000, 1, 16};
        ASSERT_EQ(grabber->AssignDeliveryBuffer(&shape, c.memory), c.result) << c.name;
        if (c.result == S_OK) {
            IMemAllocator *allocator = nullptr;
            ASSERT_EQ(grabber->input.GetAllocator(&allocator), S_OK);
            ALLOCATOR_PROPERTIES other = {1, 8000, 1, 16}, granted{};
            EXPECT_NE(allocator->SetProperties(&other, &granted), S_OK);
            EXPECT_EQ(allocator->SetProperties(&shape, &granted), S_OK);
            EXPECT_EQ(allocator->Commit(), S_OK);
            IMediaSample *sample = nullptr;
            ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
            BYTE *pointer = nullptr;
            sample->GetPointer(&pointer);
            EXPECT_EQ(pointer, buffer + 16);
            EXPECT_EQ(sample->GetSize(), 4000);
            IMediaSample *second = nullptr;
            EXPECT_EQ(allocator->GetBuffer(&second, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
            sample->Release(); // back to the allocator: out again
            ASSERT_EQ(allocator->GetBuffer(&second, nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
            second->Release();
            allocator->Decommit();
            allocator->Release();
        }
        grabber->Release();
    }
}
