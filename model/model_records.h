// Model bases (kind 13) and models (kind 14): the records of both kinds.
//
// A base holds what its models share: the texture files, the meshes with their
// vertex data and the device buffers made from them. A model is an instance of
// a base with its own textures, its own vertex buffers for the meshes that need
// them, and the physics objects of its rigid bodies and joints. Every block a
// record points to is a tracked allocation it owns, unless a flag says otherwise.
#pragma once

#include "core/memory/handle_manager.h"
#include "graphics/device/d3d9_types.h"
#include "image/raster_image.h"

#include <cstdint>

class btBroadphaseInterface;
class btCollisionConfiguration;
class btCollisionShape;
class btConstraintSolver;
class btDispatcher;
class btDynamicsWorld;
class btMotionState;
class btOverlappingPairCallback;
class btRigidBody;
class btTypedConstraint;

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kModelVertexKinds = 3;      // no skinning, four bone weights, eight
constexpr int kModelVertexVariants = 2;   // plain, with tangent space
constexpr int kModelTexCoordLayouts = 9;  // none, or one to eight sets of four floats

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct ModelHandleRecord;

// A block in a record's chain of extra blocks; the data follows the link.
struct ModelExtraBlock {
    ModelExtraBlock *next;
};

// One texture of a base: where its pixels come from and the graph they fill.
struct ModelBaseTexture {
    void *colorFile;          // image file bytes, or null
    int colorFileSize;
    void *alphaFile;          // alpha image file bytes, or null
    int alphaFileSize;
    int bumpMap;              // the colour image is a height map
    float bumpScale;
    int mirror;               // the images are stored bottom row first
    int graph;                // GraphHandle, -1 when none
    int ownsColorFile;        // the record frees colorFile
    int ownsAlphaFile;        // the record frees alphaFile
};

// The device buffers of one mesh of a base, a node of one of the base's buffer lists.
struct ModelBufferNode {
    ModelBufferNode *next;
    K_IDirect3DVertexBuffer9 *vertexBuffer;
    K_IDirect3DIndexBuffer9 *indexBuffer;
};

// One mesh of a base.
struct ModelBaseMesh {
    int vertexKind;           // 0..2: bone weights none, four, eight
    int variant;              // 0 plain, 1 with tangent space
    int texCoordSets;         // 0..8 sets of four floats
    int vertexCount;
    void *vertices;           // vertexCount vertices of the layout's stride
    int indexCount;
    uint16_t *indices;
    int ownVertexBuffer;      // each model draws it from a vertex buffer of its own
    int textureIndex;         // into the base's texture table, -1 none
    ModelBufferNode *buffers; // null while no device buffer exists
};

// ModelBaseHandleRecord: what the models of a base share.
struct ModelBaseHandleRecord {
    HandleRecordHeader header;
    int useCount;             // the base's own handle and each model of it
    ModelHandleRecord *firstModel;
    ModelHandleRecord *lastModel;
    int modelCount;
    int textureCount;
    ModelBaseTexture *textures;
    int meshCount;
    ModelBaseMesh *meshes;
    void *frames;             // frame data
    void *materials;          // material data
    ModelBufferNode *bufferLists[kModelVertexKinds][kModelVertexVariants][kModelTexCoordLayouts];
    int rigidBodyCount;
    int jointCount;
    ModelExtraBlock *extraBlocks;
};

// ModelPhysicsBundle: the Bullet objects a model owns, in the order they are made.
struct ModelPhysicsBundle {
    btCollisionConfiguration *collisionConfiguration;
    btDispatcher *dispatcher;
    btBroadphaseInterface *broadphase;
    btConstraintSolver *solver;
    btDynamicsWorld *world;
    btOverlappingPairCallback *pairCallback;
};

// One rigid body of a model: the shape it owns, and the body and motion state
// the world holds (deleted with the world's objects).
struct ModelRigidBodyState {
    btCollisionShape *shape;
    btRigidBody *body;
    btMotionState *motionState;
    int frameIndex;
};

// One joint: the constraint the world holds.
struct ModelJointState {
    btTypedConstraint *constraint;
    int bodyA;
    int bodyB;
};

// A texture of the model's own.
struct ModelTexture {
    RasterImage colorImage;   // decoded images while the texture is being made
    RasterImage alphaImage;
    void *colorFile;          // image blocks
    int colorFileSize;
    void *alphaFile;
    int alphaFileSize;
    int bumpMap;
    float bumpScale;
    int mirror;
    int graph;                // GraphHandle, -1 when none
    int inUse;
};

// What the model keeps per mesh of its base.
struct ModelMeshState {
    K_IDirect3DVertexBuffer9 *vertexBuffer; // its own dynamic buffer, or null
    int textureIndex;                       // a texture of the model used in place of the base's, -1 none
};

// ModelHandleRecord: one instance of a base.
struct ModelHandleRecord {
    HandleRecordHeader header;
    ModelBaseHandleRecord *base;
    int baseHandle;           // the base's handle, whose use this model holds
    ModelHandleRecord *previous;
    ModelHandleRecord *next;
    int textureCount;
    ModelTexture *textures;
    ModelMeshState *meshes;   // base->meshCount entries
    ModelRigidBodyState *rigidBodies; // base->rigidBodyCount entries
    ModelJointState *joints;  // base->jointCount entries
    ModelPhysicsBundle physics;
    ModelExtraBlock *workBlocks; // blocks for drawing (skinned vertices and the like)
    void *dataBlock;          // the block the arrays above live in
};

} // namespace Korvo
