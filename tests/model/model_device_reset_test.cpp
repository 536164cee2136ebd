// The model kinds' start and end, and model buffers and textures around a
// device rebuild: released with the old device, made again on the new one.

#include "tests/model/model_test_records.h"

#include "graphics/device/device_rebuild_hooks.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "model/model_module.h"
#include "model/startup_entries.h"
#include "softraster/memimg.h"
#include "tests/core/log_capture.h"
#include "tests/graphics/recording_device.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Korvo;

namespace {

TEST(ModelKindsTest, KindsExistOnlyInDirect3DModeAndTheSineTableIsSinglePrecision)
{
    GraphicsState.direct3DModeActive = 0;
    ASSERT_EQ(InitModelHandleTypes(), 0);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_MODEL].registered, 0) << "software drawing has no models";
    EXPECT_EQ(RestoreModelTexturesAfterReset(), -1);
    EXPECT_EQ(CreateVertexBuffersOfAllModelBases(nullptr), -1);
    EXPECT_EQ(TermModelHandleTypes(), 0);

    GraphicsState.direct3DModeActive = 1;
    ASSERT_EQ(InitModelHandleTypes(), 0);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_MODEL_BASE].registered, 1);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_MODEL].maxCount, 32768);
    EXPECT_EQ(ModelModule.whiteTexture, -1);
    EXPECT_EQ(ModelModule.toonTexture, -1);
    EXPECT_FLOAT_EQ(ModelModule.nearRightAngle, 89.5f * 3.14159265f / 180.0f);
    struct Case {
        int index;
        float value;
    };
    // The angle is rounded to a float first: entry 32768 is the sine of the float nearest pi.
    const Case cases[] = {{0, 0.0f}, {8192, 0.70710677f}, {16384, 1.0f}, {32768, -8.742278e-08f}, {49152, -1.0f}, {65535, -9.566942e-05f}};
    for (const Case &c : cases) {
        EXPECT_FLOAT_EQ(ModelSineTable[c.index], c.value) << c.index;
    }
    ASSERT_EQ(TermModelHandleTypes(), 0);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_MODEL_BASE].registered, 0);
    GraphicsState.direct3DModeActive = 0;
}

using ModelDeviceResetTest = ModelTest::ModelKindsFixture;

TEST_F(ModelDeviceResetTest, BuffersAreReleasedAndMadeAgainFromTheBaseVertices)
{
    int base = ModelTest::CreateBase({{0, 0, 2, 3, 6, 1}, {1, 1, 0, 4, 3, 0}, {2, 0, 8, 2, 0, 1}}, 0, 0, 0);
    int model = ModelTest::CreateModel(base, 0, 0);
    ModelBaseHandleRecord *b = ModelTest::BaseRecord(base);
    ModelHandleRecord *m = ModelTest::ModelRecord(model);
    GraphicsState.direct3DModeActive = 1;
    for (int round = 0; round < 2; ++round) {
        // The second round goes through the routines the module installed for device rebuilds.
        SCOPED_TRACE(round == 0 ? "first device" : "after the rebuild");
        ASSERT_EQ(round == 0 ? CreateVertexBuffersOfAllModelBases(nullptr) : RunDeviceRestoreHooks(), 0);
        struct Case {
            const char *what;
            const void *buffer;
            uint32_t length, usage, format;
            const void *source;
        };
        const Case cases[] = {
            {"plain mesh, two coordinate sets", b->meshes[0].buffers->vertexBuffer, 3 * 64, 0x8, 0xA02D2, b->meshes[0].vertices},
            {"its indices", b->meshes[0].buffers->indexBuffer, 12, 0x8, 101, b->meshes[0].indices},
            {"four bones with tangents", b->meshes[1].buffers->vertexBuffer, 4 * 76, 0x8, 0, b->meshes[1].vertices},
            {"eight bones, eight sets", b->meshes[2].buffers->vertexBuffer, 2 * 200, 0x8, 0, b->meshes[2].vertices},
            {"the model's own buffer", m->meshes[0].vertexBuffer, 3 * 64, 0x208, 0xA02D2, b->meshes[0].vertices},
            {"the model's own buffer of eight bones", m->meshes[2].vertexBuffer, 2 * 200, 0x208, 0, b->meshes[2].vertices},
        };
        for (const Case &c : cases) {
            SCOPED_TRACE(c.what);
            const RecordingDevice::HandedOutBuffer *buffer = RecordingDevice::FindHandedOutBuffer(c.buffer);
            ASSERT_NE(buffer, nullptr);
            EXPECT_EQ(buffer->length, c.length);
            EXPECT_EQ(buffer->usage, c.usage);
            EXPECT_EQ(buffer->format, c.format);
            EXPECT_EQ(std::memcmp(buffer->bytes.data(), c.source, c.length), 0);
        }
        EXPECT_EQ(b->meshes[2].buffers->indexBuffer, nullptr) << "no indices, no index buffer";
        EXPECT_EQ(m->meshes[1].vertexBuffer, nullptr);
        EXPECT_EQ(b->bufferLists[1][1][0], b->meshes[1].buffers);

        RecordingDevice::ReleasedObjects.clear();
        if (round == 0) {
            ASSERT_EQ(ReleaseVertexBuffersOfAllModels(), 0);
        } else {
            RunDeviceReleaseHooks();
        }
        EXPECT_EQ(RecordingDevice::ReleasedObjects.size(), 7u);
        for (const Case &c : cases) {
            EXPECT_EQ(RecordingDevice::FindHandedOutBuffer(c.buffer), nullptr) << c.what;
        }
        EXPECT_EQ(b->meshes[0].buffers, nullptr);
        EXPECT_EQ(m->meshes[0].vertexBuffer, nullptr);
    }
    GraphicsState.direct3DModeActive = 0;
}

// Graph pixel (x, y) as 0xRRGGBB.
uint32_t GraphPixel(int graph, int x, int y)
{
    MEMIMG *image = GetGraphMemImg(GetGraphRecord(graph, 0));
    uint32_t value = 0;
    std::memcpy(&value, image->pixels + static_cast<ptrdiff_t>(y) * image->body->pitch + x * 4, 4);
    return value & 0xFFFFFF;
}

TEST_F(ModelDeviceResetTest, TexturesAreMadeAgainFromTheirFiles)
{
    ASSERT_EQ(CreateBuiltinModelTextures(), 0);
    const int builtIn[3] = {ModelModule.whiteTexture, ModelModule.greyStepTexture, ModelModule.toonTexture};
    int base = ModelTest::CreateBase({}, 2, 0, 0);
    int model = ModelTest::CreateModel(base, 2, 1);
    ModelBaseHandleRecord *b = ModelTest::BaseRecord(base);
    ModelHandleRecord *m = ModelTest::ModelRecord(model);
    b->textures[1].bumpMap = 1;  // a white height map is flat
    // Paint every graph black, as a new device leaves textures.
    struct Painted {
        const char *what;
        int graph;
        uint32_t restored;  // pixel (1, 1) after the restore
    };
    const Painted painted[] = {
        {"built-in white", builtIn[0], 0xFFFFFF},
        {"built-in grey steps", builtIn[1], 0x000000},
        {"toon ramp", builtIn[2], 0x010101},
        {"base texture", b->textures[0].graph, 0xFFFFFF},
        {"base bump map", b->textures[1].graph, 0x7F7FFF},
        {"model texture", m->textures[0].graph, 0xFFFFFF},
    };
    for (const Painted &p : painted) {
        MEMIMG *image = GetGraphMemImg(GetGraphRecord(p.graph, 0));
        for (int y = 0; y < image->height; ++y) {
            std::memset(image->pixels + static_cast<ptrdiff_t>(y) * image->body->pitch, 0, static_cast<size_t>(image->width) * 4);
        }
    }
    ASSERT_EQ(RestoreModelTexturesAfterReset(), 0);
    for (const Painted &p : painted) {
        SCOPED_TRACE(p.what);
        EXPECT_EQ(GraphPixel(p.graph, 1, 1), p.restored);
    }
    EXPECT_EQ(ModelModule.whiteTexture, builtIn[0]) << "reloaded into the same handle";
    EXPECT_EQ(GraphPixel(builtIn[1], 200, 1), 0xFFFFFFu);
}

} // namespace
