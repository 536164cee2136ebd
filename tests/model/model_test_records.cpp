// Building model records for the tests, with Bullet objects that report their deletion.

#include "tests/model/model_test_records.h"

#include "core/memory/tracked_alloc.h"
#include "graphics/graphs/graph_record.h"
#include "model/model_module.h"

#include <BulletCollision/BroadphaseCollision/btDbvtBroadphase.h>
#include <BulletCollision/CollisionDispatch/btCollisionDispatcher.h>
#include <BulletCollision/CollisionDispatch/btDefaultCollisionConfiguration.h>
#include <BulletCollision/CollisionDispatch/btGhostObject.h>
#include <BulletCollision/CollisionShapes/btSphereShape.h>
#include <BulletDynamics/ConstraintSolver/btPoint2PointConstraint.h>
#include <BulletDynamics/ConstraintSolver/btSequentialImpulseConstraintSolver.h>
#include <BulletDynamics/Dynamics/btDiscreteDynamicsWorld.h>
#include <LinearMath/btDefaultMotionState.h>

#include <cstring>

using namespace Korvo;

namespace ModelTest {

std::vector<std::string> Events;

namespace {

template <typename Base> struct Named : Base {
    template <typename... Args> explicit Named(std::string name, Args &&...args)
        : Base(std::forward<Args>(args)...), label(std::move(name))
    {
    }
    ~Named() override { Events.push_back(label); }
    std::string label;
};

void *CopyBlock(const void *bytes, int size)
{
    void *block = KORVO_TRACKED_ALLOC(static_cast<size_t>(size));
    std::memcpy(block, bytes, static_cast<size_t>(size));
    return block;
}

int WhiteGraph()
{
    int size = 0;
    const unsigned char *bytes = GetWhiteTextureTga(&size);
    GraphLoadSettings settings;
    CaptureGraphLoadSettings(&settings);
    return CreateGraphFromImageBytes(&settings, 0, -1, bytes, size, nullptr, 0, 1, 0, 0);
}

} // namespace

ModelBaseHandleRecord *BaseRecord(int handle)
{
    return static_cast<ModelBaseHandleRecord *>(LookupHandleRecord(handle));
}

ModelHandleRecord *ModelRecord(int handle)
{
    return static_cast<ModelHandleRecord *>(LookupHandleRecord(handle));
}

int CreateBase(const std::vector<MeshRecipe> &meshes, int textureCount, int rigidBodyCount, int jointCount)
{
    int handle = CreateHandleRecord(HANDLE_KIND_MODEL_BASE, -1);
    ModelBaseHandleRecord *base = BaseRecord(handle);
    base->useCount = 1;
    base->meshCount = static_cast<int>(meshes.size());
    base->meshes = static_cast<ModelBaseMesh *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(ModelBaseMesh) * meshes.size()));
    for (size_t m = 0; m < meshes.size(); ++m) {
        ModelBaseMesh &mesh = base->meshes[m];
        mesh.vertexKind = meshes[m].vertexKind;
        mesh.variant = meshes[m].variant;
        mesh.texCoordSets = meshes[m].texCoordSets;
        mesh.vertexCount = meshes[m].vertexCount;
        mesh.indexCount = meshes[m].indexCount;
        mesh.ownVertexBuffer = meshes[m].ownVertexBuffer;
        mesh.textureIndex = -1;
        // Vertex bytes count up from the mesh number, so a copied buffer shows where it came from.
        size_t vertexBytes = static_cast<size_t>(mesh.vertexCount) * 256;
        mesh.vertices = KORVO_TRACKED_ALLOC(vertexBytes);
        for (size_t i = 0; i < vertexBytes; ++i) {
            static_cast<unsigned char *>(mesh.vertices)[i] = static_cast<unsigned char>(m * 16 + i);
        }
        mesh.indices = static_cast<uint16_t *>(KORVO_TRACKED_ALLOC_ZEROED(2u * static_cast<size_t>(mesh.indexCount)));
        for (int i = 0; i < mesh.indexCount; ++i) {
            mesh.indices[i] = static_cast<uint16_t>(i + 100 * m);
        }
    }
    int size = 0;
    const unsigned char *white = GetWhiteTextureTga(&size);
    base->textureCount = textureCount;
    base->textures =
        static_cast<ModelBaseTexture *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(ModelBaseTexture) * textureCount));
    for (int t = 0; t < textureCount; ++t) {
        base->textures[t].colorFile = CopyBlock(white, size);
        base->textures[t].colorFileSize = size;
        base->textures[t].ownsColorFile = 1;
        base->textures[t].graph = WhiteGraph();
    }
    base->frames = KORVO_TRACKED_ALLOC(64);
    base->materials = KORVO_TRACKED_ALLOC(64);
    for (int i = 0; i < 2; ++i) {
        ModelExtraBlock *block = static_cast<ModelExtraBlock *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(ModelExtraBlock) + 16));
        block->next = base->extraBlocks;
        base->extraBlocks = block;
    }
    base->rigidBodyCount = rigidBodyCount;
    base->jointCount = jointCount;
    return handle;
}

int CreateModel(int baseHandle, int textureCount, int usedTextures)
{
    ModelBaseHandleRecord *base = BaseRecord(baseHandle);
    int handle = CreateHandleRecord(HANDLE_KIND_MODEL, -1);
    ModelHandleRecord *model = ModelRecord(handle);
    model->base = base;
    model->baseHandle = baseHandle;
    base->useCount += 1;
    model->previous = base->lastModel;
    if (base->lastModel != nullptr) {
        base->lastModel->next = model;
    } else {
        base->firstModel = model;
    }
    base->lastModel = model;
    base->modelCount += 1;

    size_t textureBytes = sizeof(ModelTexture) * static_cast<size_t>(textureCount);
    size_t meshBytes = sizeof(ModelMeshState) * static_cast<size_t>(base->meshCount);
    size_t bodyBytes = sizeof(ModelRigidBodyState) * static_cast<size_t>(base->rigidBodyCount);
    size_t jointBytes = sizeof(ModelJointState) * static_cast<size_t>(base->jointCount);
    unsigned char *data =
        static_cast<unsigned char *>(KORVO_TRACKED_ALLOC_ZEROED(textureBytes + meshBytes + bodyBytes + jointBytes));
    model->dataBlock = data;
    model->textureCount = textureCount;
    model->textures = reinterpret_cast<ModelTexture *>(data);
    model->meshes = reinterpret_cast<ModelMeshState *>(data + textureBytes);
    model->rigidBodies = reinterpret_cast<ModelRigidBodyState *>(data + textureBytes + meshBytes);
    model->joints = reinterpret_cast<ModelJointState *>(data + textureBytes + meshBytes + bodyBytes);
    int size = 0;
    const unsigned char *white = GetWhiteTextureTga(&size);
    for (int t = 0; t < textureCount; ++t) {
        model->textures[t].graph = -1;
        if (t < usedTextures) {
            model->textures[t].colorFile = CopyBlock(white, size);
            model->textures[t].colorFileSize = size;
            model->textures[t].graph = WhiteGraph();
            model->textures[t].inUse = 1;
        }
    }
    for (int m = 0; m < base->meshCount; ++m) {
        model->meshes[m].textureIndex = m < usedTextures ? m : -1;
    }
    model->workBlocks = static_cast<ModelExtraBlock *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(ModelExtraBlock) + 32));
    return handle;
}

void BuildPhysics(int modelHandle)
{
    ModelHandleRecord *model = ModelRecord(modelHandle);
    ModelPhysicsBundle &physics = model->physics;
    auto *configuration = new Named<btDefaultCollisionConfiguration>("configuration");
    physics.collisionConfiguration = configuration;
    physics.dispatcher = new Named<btCollisionDispatcher>("dispatcher", configuration);
    physics.broadphase = new Named<btDbvtBroadphase>("broadphase");
    physics.solver = new Named<btSequentialImpulseConstraintSolver>("solver");
    auto *world = new Named<btDiscreteDynamicsWorld>("world", physics.dispatcher, physics.broadphase, physics.solver,
                                                     configuration);
    physics.world = world;
    auto *pairs = new Named<btGhostPairCallback>("pair callback");
    physics.pairCallback = pairs;
    world->getPairCache()->setInternalGhostPairCallback(pairs);

    int bodies = model->base->rigidBodyCount;
    for (int i = 0; i < bodies; ++i) {
        std::string n = std::to_string(i);
        ModelRigidBodyState &state = model->rigidBodies[i];
        state.shape = new Named<btSphereShape>("shape " + n, 0.5f);
        btTransform at(btQuaternion::getIdentity(), btVector3(static_cast<float>(i), 0, 0));
        bool last = i == bodies - 1;
        state.motionState = last ? nullptr : new Named<btDefaultMotionState>("motion state " + n, at);
        state.body = new Named<btRigidBody>("body " + n, last ? 0.0f : 1.0f, state.motionState, state.shape);
        world->addRigidBody(state.body);
    }
    auto *trigger = new Named<btCollisionObject>("collision object");
    trigger->setCollisionShape(model->rigidBodies[bodies - 1].shape);
    world->addCollisionObject(trigger);
    for (int j = 0; j < model->base->jointCount; ++j) {
        ModelJointState &joint = model->joints[j];
        joint.bodyA = j % (bodies - 1);
        joint.bodyB = joint.bodyA + 1;
        joint.constraint =
            new Named<btPoint2PointConstraint>("constraint " + std::to_string(j), *model->rigidBodies[joint.bodyA].body,
                                               *model->rigidBodies[joint.bodyB].body, btVector3(0.5f, 0, 0),
                                               btVector3(-0.5f, 0, 0));
        world->addConstraint(joint.constraint);
    }
}

} // namespace ModelTest
