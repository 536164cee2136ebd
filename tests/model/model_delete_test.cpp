// Deleting models and model bases: every object a model owns is released in its
// order (device buffers, Bullet objects, textures, then the base it held), and
// no tracked block is left.

#include "tests/model/model_test_records.h"

#include "core/public_api.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "model/model_module.h"
#include "model/startup_entries.h"
#include "tests/core/log_capture.h"
#include "tests/graphics/recording_device.h"

#include <BulletDynamics/Dynamics/btDynamicsWorld.h>
#include <gtest/gtest.h>

#include <map>

using namespace Korvo;
using ModelTest::Events;

namespace {

std::map<const void *, std::string> DeviceNames;
std::map<int, std::string> GraphNames;

class ModelDeleteTest : public ModelTest::ModelKindsFixture {
protected:
    void SetUp() override
    {
        ModelKindsFixture::SetUp();
        RecordingDevice::ReleaseListener = [](const void *object) { Events.push_back(DeviceNames[object]); };
        SetGraphDeleteListener([](int graph) { Events.push_back(GraphNames[graph]); });
        DeviceNames.clear();
        GraphNames.clear();
    }
    void TearDown() override
    {
        SetGraphDeleteListener(nullptr);
        RecordingDevice::ReleaseListener = nullptr;
        ModelKindsFixture::TearDown();
    }
    static void MakeBuffers(int baseHandle)
    {
        GraphicsState.direct3DModeActive = 1;
        ASSERT_EQ(SetupModelBaseBuffers(ModelTest::BaseRecord(baseHandle), nullptr), 0);
        GraphicsState.direct3DModeActive = 0;
    }
};

TEST_F(ModelDeleteTest, ModelWithTexturesBuffersAndWorldReleasesEverythingInOrder)
{
    const int blocksBefore = KorvoTest::LiveTrackedBlocks();
    int base = ModelTest::CreateBase({{0, 0, 2, 3, 6, 1}, {1, 1, 0, 4, 3, 0}}, 2, 3, 2);
    int model = ModelTest::CreateModel(base, 3, 2);
    ModelTest::BuildPhysics(model);
    MakeBuffers(base);
    ModelBaseHandleRecord *b = ModelTest::BaseRecord(base);
    ModelHandleRecord *m = ModelTest::ModelRecord(model);
    m->physics.world->stepSimulation(1.0f / 60.0f);
    DeviceNames[m->meshes[0].vertexBuffer] = "model vertex buffer";
    DeviceNames[b->meshes[0].buffers->vertexBuffer] = "base vertex buffer 0";
    DeviceNames[b->meshes[0].buffers->indexBuffer] = "base index buffer 0";
    DeviceNames[b->meshes[1].buffers->vertexBuffer] = "base vertex buffer 1";
    DeviceNames[b->meshes[1].buffers->indexBuffer] = "base index buffer 1";
    GraphNames[m->textures[0].graph] = "model texture 0";
    GraphNames[m->textures[1].graph] = "model texture 1";
    GraphNames[b->textures[0].graph] = "base texture 0";
    GraphNames[b->textures[1].graph] = "base texture 1";
    EXPECT_EQ(m->meshes[1].vertexBuffer, nullptr) << "mesh 1 draws from the base's buffer";

    // The base's own handle goes first: the model's use keeps it alive.
    ASSERT_EQ(DeleteHandleRecord(base), 0);
    ASSERT_EQ(ModelTest::BaseRecord(base), b);
    EXPECT_EQ(b->useCount, 1);
    EXPECT_TRUE(Events.empty());

    ASSERT_EQ(DeleteHandleRecord(model), 0);
    const std::vector<std::string> expected = {
        "model vertex buffer",
        "shape 0", "shape 1", "shape 2",
        "constraint 1", "constraint 0",
        "collision object", "body 2", "motion state 1", "body 1", "motion state 0", "body 0",
        "pair callback", "world", "solver", "broadphase", "dispatcher", "configuration",
        "model texture 0", "model texture 1",
        "base vertex buffer 0", "base index buffer 0", "base vertex buffer 1", "base index buffer 1",
        "base texture 0", "base texture 1",
    };
    EXPECT_EQ(Events, expected);
    EXPECT_EQ(ModelTest::ModelRecord(model), nullptr);
    EXPECT_EQ(ModelTest::BaseRecord(base), nullptr) << "the last use of the base went with the model";
    EXPECT_EQ(KorvoTest::LiveTrackedBlocks(), blocksBefore);
}

// A model gives back its use of the base through the base's handle kept beside
// the base pointer; its own handle is deleted once, by its caller.
TEST_F(ModelDeleteTest, DeletingAModelGivesBackOnlyItsUseOfTheBase)
{
    struct Case {
        const char *what;
        int models;
        bool deleteBaseFirst;
        int useCountAfter;  // 0: the base is gone
    };
    const Case cases[] = {
        {"creator still holds the base", 1, false, 1},
        {"base handle deleted first", 1, true, 0},
        {"a second model still holds the base", 2, false, 2},
        {"second model holds it after the creator let go", 2, true, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const int blocksBefore = KorvoTest::LiveTrackedBlocks();
        int base = ModelTest::CreateBase({{0, 0, 0, 3, 3, 0}}, 1, 0, 0);
        int first = ModelTest::CreateModel(base, 1, 1);
        int second = c.models == 2 ? ModelTest::CreateModel(base, 0, 0) : -1;
        if (c.deleteBaseFirst) {
            ASSERT_EQ(DeleteHandleRecord(base), 0);
        }
        ASSERT_EQ(DeleteHandleRecord(first), 0);
        EXPECT_EQ(DeleteHandleRecord(first), -1) << "already gone";
        ModelBaseHandleRecord *b = ModelTest::BaseRecord(base);
        if (c.useCountAfter == 0) {
            EXPECT_EQ(b, nullptr);
            continue;
        }
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->useCount, c.useCountAfter);
        EXPECT_EQ(b->modelCount, c.models - 1);
        EXPECT_EQ(b->firstModel, second != -1 ? ModelTest::ModelRecord(second) : nullptr);
        EXPECT_EQ(b->firstModel, b->lastModel);
        if (second != -1) {
            EXPECT_EQ(ModelTest::ModelRecord(second)->previous, nullptr);
            ASSERT_EQ(DeleteHandleRecord(second), 0);
        }
        if (!c.deleteBaseFirst) {
            ASSERT_EQ(DeleteHandleRecord(base), 0);
        }
        EXPECT_EQ(ModelTest::BaseRecord(base), nullptr);
        EXPECT_EQ(KorvoTest::LiveTrackedBlocks(), blocksBefore);
    }
}

} // namespace
