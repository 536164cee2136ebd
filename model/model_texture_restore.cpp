// Model textures after a device rebuild: the built-in textures and every
// texture of every base and model are made again from the files they keep.

#include "graphics/graphs/graph_record.h"
#include "model/model_module.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Decode a texture's files and load the images into its graph; a texture whose
// files cannot be made into images keeps what the new device gave its graph.
static void RebuildTextureGraph(int graph, const void *colorFile, int colorSize, const void *alphaFile, int alphaSize,
                                int bumpMap, float bumpScale, int mirror)
{
    if (graph == -1) {
        return;
    }
    RasterImage color;
    RasterImage alpha;
    if (PrepareModelTextureImages(&color, &alpha, colorFile, colorSize, alphaFile, alphaSize, bumpMap, bumpScale,
                                  mirror) != 0) {
        return;
    }
    GraphLoadSettings settings;
    CaptureGraphLoadSettings(&settings);
    BuildGraphFromBaseImagesEx(&settings, 1, graph, &color, alpha.pixels != nullptr ? &alpha : nullptr, 1, 0, 0,
                               nullptr);
    FreeImageRecord(&color);
    FreeImageRecord(&alpha);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int RestoreModelTexturesAfterReset()
{
    if (HandleTypeTable[HANDLE_KIND_MODEL_BASE].registered == 0) {
        return -1;
    }
    RestoreBuiltinModelTextures();
    ForEachModelRecord<ModelBaseHandleRecord>(HANDLE_KIND_MODEL_BASE, [](ModelBaseHandleRecord *base) {
        for (int t = 0; base->textures != nullptr && t < base->textureCount; ++t) {
            const ModelBaseTexture &texture = base->textures[t];
            RebuildTextureGraph(texture.graph, texture.colorFile, texture.colorFileSize, texture.alphaFile,
                                texture.alphaFileSize, texture.bumpMap, texture.bumpScale, texture.mirror);
        }
    });
    ForEachModelRecord<ModelHandleRecord>(HANDLE_KIND_MODEL, [](ModelHandleRecord *model) {
        for (int t = 0; model->textures != nullptr && t < model->textureCount; ++t) {
            const ModelTexture &texture = model->textures[t];
            if (texture.inUse != 0) {
                RebuildTextureGraph(texture.graph, texture.colorFile, texture.colorFileSize, texture.alphaFile,
                                    texture.alphaFileSize, texture.bumpMap, texture.bumpScale, texture.mirror);
            }
        }
    });
    return 0;
}

} // namespace Korvo
