// Models on Wine's Direct3D device through the library's own start-up, device
// release, rebuild and shut-down: the kinds exist in Direct3D mode, buffers go
// with the device and come back with their vertices after a rebuild, and
// shut-down deletes the model with its Bullet world.

#include "tests/model/model_test_records.h"

#include "core/public_api.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/graphics_state.h"
#include "graphics/public_api.h"
#include "graphics/startup_entries.h"
#include "model/model_module.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Korvo;

namespace {

constexpr DWORD kReadOnlyLock = 0x10;

// Whether a device buffer holds the bytes.
bool BufferHolds(const void *buffer, const void *bytes, UINT size)
{
    void *at = nullptr;
    if (buffer == nullptr || D3DBuf_Lock(buffer, 0, size, &at, kReadOnlyLock) < 0 || at == nullptr) {
        return false;
    }
    bool same = std::memcmp(at, bytes, size) == 0;
    D3DBuf_Unlock(buffer);
    return same;
}

// Starts the library in a 640x480 window, asking for the Direct3D road.
int StartLibraryWindowedOnDirect3D()
{
    SetAppWindowTitle("KorvoModelRebuildTest");
    SetScreenResolutionAndDepth(640, 480, 32, 60);
    ChangeWindowMode(1);
    SetHardwareRenderingWanted(1);
    return StartLibrary();
}

TEST(ModelRebuild, BuffersComeBackAfterARebuildAndShutDownDeletesTheModel)
{
    ASSERT_EQ(StartLibraryWindowedOnDirect3D(), 0);
    if (GraphicsState.direct3DModeActive == 0) {
        ShutdownLibrary();
        GTEST_SKIP() << "no Direct3D device here";
    }
    ASSERT_EQ(HandleTypeTable[HANDLE_KIND_MODEL].registered, 1);
    int base = ModelTest::CreateBase({{0, 0, 1, 3, 6, 1}, {2, 1, 3, 2, 3, 0}}, 1, 3, 1);
    int model = ModelTest::CreateModel(base, 1, 1);
    ModelTest::BuildPhysics(model);
    ModelBaseHandleRecord *b = ModelTest::BaseRecord(base);
    ModelHandleRecord *m = ModelTest::ModelRecord(model);
    ASSERT_EQ(SetupModelBaseBuffers(b, nullptr), 0);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first device" : "after the rebuild");
        struct Case {
            const char *what;
            const void *buffer;
            const void *bytes;
            UINT size;
        };
        const Case cases[] = {
            {"plain mesh", b->meshes[0].buffers->vertexBuffer, b->meshes[0].vertices, 3 * 48},
            {"eight bones with tangents", b->meshes[1].buffers->vertexBuffer, b->meshes[1].vertices, 2 * 144},
            {"the model's own buffer", m->meshes[0].vertexBuffer, b->meshes[0].vertices, 3 * 48},
        };
        for (const Case &c : cases) {
            EXPECT_TRUE(BufferHolds(c.buffer, c.bytes, c.size)) << c.what;
        }
        if (round == 0) {
            // Full-screen deactivation: the buffers go with the device.
            ReleaseGraphicsDevice();
            EXPECT_EQ(b->meshes[0].buffers, nullptr);
            EXPECT_EQ(m->meshes[0].vertexBuffer, nullptr);
            ASSERT_EQ(RecreateGraphicsDevice(), 0);
            ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
        }
    }
    EXPECT_EQ(IsGraphHandleReady(b->textures[0].graph), 1);
    ModelTest::Events.clear();
    ASSERT_EQ(ShutdownLibrary(), 0);
    ASSERT_FALSE(ModelTest::Events.empty());
    EXPECT_EQ(ModelTest::Events.back(), "configuration") << "the world's objects went with the model";
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_MODEL].registered, 0);
}

// A screen-mode change ends graphics and starts it again: models hold graphs and
// buffers of the old device, so they go with it rather than outlive it.
TEST(ModelRebuild, AScreenModeChangeDeletesModelsBeforeTheirDeviceGoes)
{
    ASSERT_EQ(StartLibraryWindowedOnDirect3D(), 0);
    if (GraphicsState.direct3DModeActive == 0) {
        ShutdownLibrary();
        GTEST_SKIP() << "no Direct3D device here";
    }
    int base = ModelTest::CreateBase({{0, 0, 1, 3, 6, 1}}, 1, 1, 0);
    int model = ModelTest::CreateModel(base, 1, 1);
    ASSERT_EQ(SetupModelBaseBuffers(ModelTest::BaseRecord(base), nullptr), 0);
    ASSERT_NE(ModelTest::ModelRecord(model)->meshes[0].vertexBuffer, nullptr);
    ASSERT_EQ(SetScreenResolutionAndDepth(800, 600, 32, 0), 0);
    ASSERT_EQ(GraphicsState.mainWidth, 800);
    EXPECT_EQ(LookupHandleRecord(model), nullptr);
    EXPECT_EQ(LookupHandleRecord(base), nullptr);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_MODEL].registered, 1) << "the kinds stay for new models";
    ASSERT_EQ(ShutdownLibrary(), 0);
}

} // namespace

