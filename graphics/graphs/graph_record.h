// Graph records (handle kind 1): the drawable pictures of the library, the
// settings captured when one is created or loaded, what it was loaded from (for
// the restore after device loss), and the look-ups the draw code uses.
//
// Async context: null on the caller's thread; inside an asynchronous load job
// the job's pointer. With a context, a record whose load is pending is accepted
// and device calls go through the OnMainThread wrappers.
#pragma once

#include "graphics/public_api.h"

#include "core/memory/handle_manager.h"
#include "graphics/graphs/graph_image_set.h"
#include "image/image_file_load.h"
#include "softraster/memimg.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kGraphMaxCount = 32768;
constexpr int kGraphInlineDrawPieces = 4;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// What a graph was loaded from; shared between graphs by counting.
struct GraphRestoreSource {
    int reserved;
    char *fileName;            // full path, or null
    RasterImage *colorImage;   // private copy, pixels included, or null
    RasterImage *alphaImage;
    void *memoryImage;         // private copy of image-file bytes, or null
    int memoryImageSize;
    void *alphaMemoryImage;
    int alphaMemoryImageSize;
    int mirror;                // mirrored left to right at load
    int useCount;
};

// Creation options copied at call time (17 ints, in this order).
struct GraphCreateSettings {
    int transparentColor;      // 0x00RRGGBB
    int colorBits;             // 0 automatic
    int drawableParam3;
    int plainParam4;           // 1 after the reset
    int blankAlpha;            // alpha channel of blank graphs
    int blendGraph;            // single-channel graph
    int managedTexture;        // 1 after the reset
    int drawable;              // can be selected as a draw target
    int drawableAlpha;
    int drawableParam10;
    int drawableDepth;         // 1 after the reset
    int drawableParam12;
    int multiSampleCount;
    int multiSampleQuality;
    int mipLevels;             // -1 full chain, 0 one level, n levels
    int maxPieceSize;          // 0 the device's maximum
    int option17;
};

// Load options captured at call time.
struct GraphLoadSettings {
    ImageLoadParams imageParams;
    int movieLoadOption;
    GraphCreateSettings create;
    int noTransparentColor;    // do not key the transparent colour when uploading
    int transparentToAlpha;    // turn the transparent colour into alpha first
    int transparentFromTopLeft; // take the transparent colour from pixel (0, 0)
    int keepNoRestoreSource;
};

// One load: what to load from, into which graph(s), and how.
struct GraphLoadRequest {
    GraphLoadSettings settings;
    int reload;                // load into existing graph(s), create nothing
    int handle;                // -1: make a new one
    int baseHandle;            // hidden whole-image graph of a divided load, or -1
    const char *fileName;
    const void *memoryImage;
    int memoryImageSize;
    const void *alphaMemoryImage;
    int alphaMemoryImageSize;
    const RasterImage *colorImage; // the caller's
    const RasterImage *alphaImage;
    int divCount;
    int divColumns;
    int divRows;
    int divWidth;
    int divHeight;
    int *divHandles;
    int callerFlag;
    int mirror;
    int movieMode;
};

// The record of handle kind 1. The draw-piece array is last: the record grows
// to hold more than kGraphInlineDrawPieces of them.
struct GraphRecord {
    HandleRecordHeader header;
    int *deletedFlag;          // receives 1 at deletion
    int movieHandle;           // -1, or the movie whose frames the graph shows
    GraphRestoreSource *restoreSource;
    int sourceX;               // where in the loaded image the pixels came from
    int sourceY;
    GraphImageSet *imageSet;
    int x;                     // origin inside the image set
    int y;
    int width;
    int height;
    void *ownedBlock1;         // freed at deletion when set
    void *ownedBlock2;
    MEMIMG memImg;             // software: view of the set's MEMIMG at (x, y, width, height)
    int drawPieceCount;        // Direct3D
    GraphDrawPiece drawPieces[kGraphInlineDrawPieces];
};

// Told the handle of a graph being deleted (the draw targets drop it).
typedef void (*GraphDeleteListener)(int handle);

// ---------------------------------------------------------------------------
// Public functions: records and look-ups
// ---------------------------------------------------------------------------

// Register and end handle kind 1 (graphics start-up and shut-down); 0 or -1
int InitGraphHandleType();
int TermGraphHandleType();
// A new, empty graph record; its handle or -1
int NewGraphHandle();
// The record, or null for an invalid handle or (without acceptLoading) a still loading one
GraphRecord *GetGraphRecord(int handle, int acceptLoading);
// GetGraphRecord accepting a loading record only inside a load job (context non-null)
GraphRecord *GetGraphRecordInContext(int handle, void *asyncContext);
// The software image of a graph, or null when it draws through Direct3D
MEMIMG *GetGraphMemImg(GraphRecord *record);
// The Direct3D draw pieces of a graph (count written), or null for a software graph
GraphDrawPiece *GetGraphDrawPieces(GraphRecord *record, int *count);
// 1 when the graph has device textures (drawn by Direct3D)
int IsGraphDeviceTextured(const GraphRecord *record);
// The screen depth graphs are made for (16 while none is set)
int ScreenDepthForGraphs();
// Install the routine told about deleted graphs (null: none); 0
int SetGraphDeleteListener(GraphDeleteListener listener);

// Settings capture
void CaptureGraphCreateSettings(GraphCreateSettings *settings);
void CaptureGraphLoadSettings(GraphLoadSettings *settings);
// The creation settings as the draw-settings reset leaves them
void ResetGraphCreateSettings();
// Replace the creation settings that later graphs take
void StoreGraphCreateSettings(const GraphCreateSettings *settings);
// The load settings of a reset library, whatever is stored now: for the graphs
// the library makes for itself
void CaptureDefaultGraphLoadSettings(GraphLoadSettings *settings);
// KeepNoRestoreSource of the current settings
int GetGraphNoRestoreFlag();

// Restore sources
int SetGraphRestoreSource(const int *noRestoreFlag, int handle, const char *fileName, const void *memoryImage,
                          int memoryImageSize, const void *alphaMemoryImage, int alphaMemoryImageSize,
                          const RasterImage *colorImage, const RasterImage *alphaImage, int mirror,
                          int shareFromHandle, void *asyncContext);
int ShareGraphRestoreSource(int handle, const char *fileName, int mirror, int shareFromHandle, void *asyncContext);
// Drop one use of a source; freed at 0
void ReleaseGraphRestoreSource(GraphRestoreSource *source);

// Loading
int StartGraphLoadRequest(GraphLoadRequest *request, int backgroundFlag, void *asyncContext);
int RunGraphLoadRequest(GraphLoadRequest *request, void *asyncContext);
int BuildGraphFromImagesCore(const GraphLoadSettings *settings, int reload, int handle, const RasterImage *color,
                             const RasterImage *alpha, int callerFlag, void *asyncContext);
int CreateGraphFromImageBytes(const GraphLoadSettings *settings, int reload, int handle, const void *image,
                              int imageSize, const void *alphaImage, int alphaImageSize, int callerFlag,
                              int mirror, int backgroundFlag);
int BuildGraphFromBaseImagesEx(const GraphLoadSettings *settings, int reload, int handle, const RasterImage *color,
                               const RasterImage *alpha, int callerFlag, int mirror, int backgroundFlag,
                               void *asyncContext);
int CreateBlankGraphFromSettings(const GraphCreateSettings *settings, int width, int height, int flag,
                                 int backgroundFlag, void *asyncContext);

// Transfers into graphs
int TransferImageRectToGraph(int handle, const RECT *sourceRect, int destX, int destY, const RasterImage *color,
                             const RasterImage *alpha, int conversionParam, int transparentFlag, int wholeSet,
                             void *asyncContext);
int UploadImagesToGraph(const RasterImage *color, const RasterImage *alpha, int x, int y, int handle,
                        int transparentFlag, void *asyncContext);
int UploadImagesToDivGraphs(const RasterImage *color, const RasterImage *alpha, int count, int columns, int rows,
                            int pieceWidth, int pieceHeight, const int *handles, int mirror, int transparentFlag,
                            void *asyncContext);
int FillGraphWithColor(int handle, int r, int g, int b, int a, void *asyncContext);

// Divided loading
int CreateDivGraphFromGraphImage(const GraphLoadSettings *settings, int reload, int baseHandle,
                                 const RasterImage *color, const RasterImage *alpha, int count, int columns, int rows,
                                 int pieceWidth, int pieceHeight, int *handles, int callerFlag, int mirror,
                                 void *asyncContext);
int CreateDivGraphFromFileWithSettings(const GraphLoadSettings *settings, int reload, const char *fileName,
                                       int count, int columns, int rows, int pieceWidth, int pieceHeight,
                                       int *handles, int callerFlag, int mirror, int backgroundFlag);

} // namespace Korvo
