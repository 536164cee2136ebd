// Graph image sets: the pixels behind one or more graphs. In Direct3D mode a
// grid of power-of-two texture pieces covering the image, in software mode one
// MEMIMG. Graphs point into a set by their rectangle; sub-graphs share it.
#pragma once

#include "core/korvo_types.h"
#include "graphics/device/d3d9_types.h"
#include "softraster/memimg.h"

#include <cstdint>

namespace Korvo {

struct GraphCreateSettings;
struct GraphRecord;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// What kind of image a graph gets: 16 one-byte parameters, laid out as the
// TextureFormatRequest that picks its texture format.
struct GraphImageParams {
    uint8_t deviceTexture;     // 1 Direct3D textures, 0 MEMIMG
    uint8_t alpha;
    uint8_t drawable;          // can be a draw target
    uint8_t softwareImage;     // 1 in software mode
    uint8_t managedPool;
    uint8_t blockFormat;       // ImageBlockFormat of the source (a DXT image gets a DXT texture)
    uint8_t mipLevels;
    uint8_t alphaTest;         // from item 4 of the creation settings
    uint8_t floatFlag;         // from item 10
    uint8_t colorBits;
    uint8_t channels;          // from item 12
    uint8_t bitsPerChannel;    // from item 3
    uint8_t blendGraph;        // single channel
    uint8_t palette;
    uint8_t multiSampleCount;
    uint8_t multiSampleQuality;
};

// One texture of a Direct3D image set.
struct GraphTexturePiece {
    K_IDirect3DTexture9 *texture;
    K_IDirect3DSurface9 *surface;            // level 0
    K_IDirect3DSurface9 *multiSampleSurface; // or null
    K_IDirect3DSurface9 *depthSurface;       // or null
    int x;                                   // place in the image set
    int y;
    int usedWidth;                           // the part holding image pixels
    int usedHeight;
    int textureWidth;
    int textureHeight;
};

struct GraphImageSet {
    int useCount;             // graphs pointing to the set
    int formatSlot;           // TextureFormatSlot; always inside the slot table, -1 for none
    GraphImageParams params;
    uint32_t transparentColor; // 0x00RRGGBB
    int width;
    int height;
    int depthBuffer;          // a drawable Direct3D set has its own depth surfaces
    // Direct3D sets
    int mipLevelCount;
    int pieceCount;
    GraphTexturePiece *pieces; // pieceCount entries (inside the set's allocation)
    // Software sets
    MEMIMG memImg;
};

// One textured quad of a Direct3D graph: the part of one texture piece it shows.
struct GraphDrawVertex {
    float x;
    float y;
    float u;
    float v;
};

struct GraphDrawPiece {
    int destX;                 // inside the graph
    int destY;
    int sourceX;               // inside the texture
    int sourceY;
    int width;
    int height;
    GraphDrawVertex vertices[4]; // top-left, top-right, bottom-left, bottom-right
    uint8_t cornerFlags[4];      // on or above the graph's bottom-left to top-right diagonal
    GraphTexturePiece *piece;
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The image parameters of a new graph
void BuildGraphImageParams(int mipCount, GraphImageParams *params, const GraphCreateSettings *settings, int width,
                           int height, int alphaFlag, int paletteFlag, int blockFormat);
// Cut a side into texture sizes (max 0: the device's); the number of pieces, sizes written when given
int SplitTextureSize(int maxSize, int length, short *sizes, int mergeFlag, int forceFlag);
// Create the image set of a graph record; 0, or -1 (the handle deleted)
int SetupGraphImageSet(const GraphCreateSettings *settings, int handle, int width, int height, int callerFlag,
                       int alphaFlag, int paletteFlag, int blockFormat, int mipCount, void *asyncContext);
// SetupGraphImageSet for images (alpha may be null); 0 or -1
int SetupGraphForImages(const GraphCreateSettings *settings, int handle, const RasterImage *color,
                        const RasterImage *alpha, int callerFlag, void *asyncContext);
// Build the graph's MEMIMG view (software) or draw pieces (Direct3D); 0 or -1
int BuildGraphDrawPieces(int handle, int acceptLoading);
// Make the new record show a rectangle of the source graph; 0 or -1
int DeriveSubGraph(int newHandle, int x, int y, int width, int height, int sourceHandle, void *asyncContext);
// A new graph showing a rectangle of the source; its handle, or -1
int CreateSubGraphInContext(int x, int y, int width, int height, int sourceHandle, void *asyncContext);
int CreateSubGraph(int x, int y, int width, int height, int sourceHandle);
// Release every piece's surfaces and texture (nothing for a software set)
void ReleaseGraphImageTextures(GraphImageSet *set, void *asyncContext);
// Turn a Direct3D set into a software one (its textures released, an empty
// MEMIMG made): a device rebuild fell back to software; 0 or -1
int ConvertImageSetToSoftware(GraphImageSet *set);
// Lower the set's use count; at 0 its textures or MEMIMG go with it
void ReleaseGraphImageSet(GraphImageSet *set);

// Make the Direct3D objects of a set's pieces; 0 or -1
int CreateGraphImageTextures(void *asyncContext, GraphImageSet *set);
// Lend a system-memory texture of that description; the entry index, -2 while every
// texture that could serve is lent (wait and ask again), or -1 on failure
int AcquireSystemMemoryTexture(int width, int height, int levels, int formatSlot, void *asyncContext);
// The texture of a lent entry
K_IDirect3DTexture9 *GetSystemMemoryTexture(int entry);
// Give a lent entry back; 0
int ReleaseSystemMemoryTexture(int entry, void *asyncContext);
// Release every cached texture; 0
int ReleaseAllSystemMemoryTextures();

} // namespace Korvo
