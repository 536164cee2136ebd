// The model module: its state and the operations the rest of the library and
// the module's own files call (deleting records, device buffers, textures,
// physics).
#pragma once

#include "model/model_records.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kModelSineTableSize = 65536;
constexpr int kMaxModelHandles = 32768;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct ModelModuleState {
    int initialised;
    float nearRightAngle;     // 89.5 degrees in radians
    void *workBuffer;         // shared scratch of the module
    int workBufferSize;
    int whiteTexture;         // built-in textures (GraphHandle), -1 when absent
    int greyStepTexture;
    int toonTexture;
};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

extern ModelModuleState ModelModule;
// Entry i holds sin(2 pi i / 65536).
extern float ModelSineTable[kModelSineTableSize];

// Visit every live record of a model kind (none while the kind is not registered).
template <typename Record, typename Visit> void ForEachModelRecord(int kind, Visit visit)
{
    HandleTypeEntry &entry = HandleTypeTable[kind];
    for (HandleChainNode *node = entry.chainHead.next; entry.registered != 0 && node != &entry.chainTail;
         node = node->next) {
        visit(static_cast<Record *>(node->data));
    }
}

// ---------------------------------------------------------------------------
// Operations
// ---------------------------------------------------------------------------

// Fill the sine table
void FillModelSineTable();

// Delete callbacks of kinds 14 and 13; 0, or 1 when the base stays for its other users
int DeleteModelRecord(void *record);
int DeleteModelBaseRecord(void *record);
// Delete every model or model base; DeleteHandlesOfType's result
int DeleteAllModelHandles();
int DeleteAllModelBaseHandles();
// Remove and delete the model's Bullet objects in their teardown order; 0, -1 without a world
int TeardownModelPhysics(ModelHandleRecord *model);

// Make the device buffers of a base and of its models that need their own; 0, -1 when one failed
int SetupModelBaseBuffers(ModelBaseHandleRecord *base, void *asyncContext);
// Make a model's own vertex buffers; 0, -1 when one failed
int SetupModelBuffers(ModelHandleRecord *model, void *asyncContext);
// Release the device buffers of a base, then those of its models
void ReleaseModelBaseBuffers(ModelBaseHandleRecord *base);
// Release a model's own vertex buffers
void ReleaseModelBuffers(ModelHandleRecord *model);
// Buffers of every base (and its models); -1 when the model-base kind is not set up, else 0
int CreateVertexBuffersOfAllModelBases(void *asyncContext);
// Release the buffers of every base, then of every model; 0
int ReleaseVertexBuffersOfAllModels();

// The built-in textures as run-length TGA files (the byte count through size)
const unsigned char *GetWhiteTextureTga(int *size);
const unsigned char *GetGreyStepTextureTga(int *size);
// Make the built-in textures that do not exist yet; 0, -1 when one failed
int CreateBuiltinModelTextures();
// Reload the built-in textures that exist into their handles; 0, -1 when one failed
int RestoreBuiltinModelTextures();
// Build the 256 x 8 grey ramp into a graph handle; the handle, or -1
int MakeToonGradationTexture(int graph);

// Turn a height map (red channel) into a normal map in place; 0 or -1
int ConvertHeightMapToNormalMap(RasterImage *image, float scale);
// Decode one texture's images and make them ready for a texture; 0 or -1
int PrepareModelTextureImages(RasterImage *colorOut, RasterImage *alphaOut, const void *colorFile, int colorSize,
                              const void *alphaFile, int alphaSize, int bumpMap, float bumpScale, int mirror);
// Rebuild the built-in textures and every texture of every base and model;
// -1 when the model-base kind is not set up, else 0
int RestoreModelTexturesAfterReset();

} // namespace Korvo
