// Deleting models and model bases (the delete callbacks of kinds 14 and 13).

#include "core/memory/tracked_alloc.h"
#include "graphics/public_api.h"
#include "image/raster_image.h"
#include "model/model_module.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void FreeExtraBlockChain(ModelExtraBlock **chain)
{
    ModelExtraBlock *block = *chain;
    while (block != nullptr) {
        ModelExtraBlock *next = block->next;
        TrackedFree(block);
        block = next;
    }
    *chain = nullptr;
}

static void DeleteGraphIfAny(int *graph)
{
    if (*graph != -1) {
        DestroyGraphHandle(*graph, 0);
        *graph = -1;
    }
}

// Decoded images of the model's textures go, and no mesh draws with them any more.
static void ReleaseModelTextureImages(ModelHandleRecord *model)
{
    for (int t = 0; t < model->textureCount; ++t) {
        FreeImageRecord(&model->textures[t].colorImage);
        FreeImageRecord(&model->textures[t].alphaImage);
        for (int m = 0; model->meshes != nullptr && m < model->base->meshCount; ++m) {
            if (model->meshes[m].textureIndex == t) {
                model->meshes[m].textureIndex = -1;
            }
        }
    }
}

static void DeleteModelTextures(ModelHandleRecord *model)
{
    for (int t = 0; t < model->textureCount; ++t) {
        ModelTexture &texture = model->textures[t];
        if (texture.inUse == 0) {
            continue;
        }
        TrackedFree(texture.colorFile);
        TrackedFree(texture.alphaFile);
        texture.colorFile = nullptr;
        texture.alphaFile = nullptr;
        DeleteGraphIfAny(&texture.graph);
        texture.inUse = 0;
    }
}

static void UnlinkModelFromBase(ModelHandleRecord *model)
{
    ModelBaseHandleRecord *base = model->base;
    if (model->previous != nullptr) {
        model->previous->next = model->next;
    } else {
        base->firstModel = model->next;
    }
    if (model->next != nullptr) {
        model->next->previous = model->previous;
    } else {
        base->lastModel = model->previous;
    }
    model->previous = nullptr;
    model->next = nullptr;
    base->modelCount -= 1;
}

static void FreeBaseTextures(ModelBaseHandleRecord *base)
{
    for (int t = 0; base->textures != nullptr && t < base->textureCount; ++t) {
        ModelBaseTexture &texture = base->textures[t];
        if (texture.ownsColorFile != 0) {
            TrackedFree(texture.colorFile);
        }
        if (texture.ownsAlphaFile != 0) {
            TrackedFree(texture.alphaFile);
        }
        texture.colorFile = nullptr;
        texture.alphaFile = nullptr;
        DeleteGraphIfAny(&texture.graph);
    }
    TrackedFree(base->textures);
    base->textures = nullptr;
    base->textureCount = 0;
}

static void FreeBaseMeshes(ModelBaseHandleRecord *base)
{
    for (int m = 0; base->meshes != nullptr && m < base->meshCount; ++m) {
        TrackedFree(base->meshes[m].vertices);
        TrackedFree(base->meshes[m].indices);
    }
    TrackedFree(base->meshes);
    base->meshes = nullptr;
    base->meshCount = 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The model gives back the use it holds on its base by deleting the base's
// handle kept beside the base pointer. Its own handle is being deleted by the
// caller already and is never deleted again from here.
int DeleteModelRecord(void *record)
{
    ModelHandleRecord *model = static_cast<ModelHandleRecord *>(record);
    if (model->base != nullptr) {
        ReleaseModelTextureImages(model);
        ReleaseModelBuffers(model);
        FreeExtraBlockChain(&model->workBlocks);
        if (model->base->rigidBodyCount > 0) {
            TeardownModelPhysics(model);
        }
        DeleteModelTextures(model);
        UnlinkModelFromBase(model);
        int baseHandle = model->baseHandle;
        model->base = nullptr;
        model->baseHandle = -1;
        DeleteHandleRecord(baseHandle);
    }
    TrackedFree(model->dataBlock);
    model->dataBlock = nullptr;
    return 0;
}

// Kept (1) while other users hold the base
int DeleteModelBaseRecord(void *record)
{
    ModelBaseHandleRecord *base = static_cast<ModelBaseHandleRecord *>(record);
    base->useCount -= 1;
    if (base->useCount > 0) {
        return 1;
    }
    ReleaseModelBaseBuffers(base);
    FreeBaseTextures(base);
    FreeBaseMeshes(base);
    TrackedFree(base->frames);
    TrackedFree(base->materials);
    base->frames = nullptr;
    base->materials = nullptr;
    FreeExtraBlockChain(&base->extraBlocks);
    return 0;
}

} // namespace Korvo
