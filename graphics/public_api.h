// Public operations of graphics (included by korvo.h).
#pragma once

#include "core/korvo_types.h"
#include "image/public_api.h"

namespace Korvo {

// A 2-D vertex of DrawVertexList2D (28 bytes): position, rhw, A8R8G8B8 colour, texture coordinates.
struct Vertex2D {
    float x, y, z, rhw;
    uint32_t diffuse;
    float u, v;
};

// Four float channels.
struct FloatColor {
    float r, g, b, a;
};

// One display mode of the adapter.
struct DisplayModeEntry {
    int width;
    int height;
    int bitsPerPixel;
    int refreshRate;
};

// Routine that rebuilds graph contents after the device was lost.
typedef void (*GraphRestoreCallback)();

// Before start-up store the screen mode; after it change the screen; 0, -2 (fell back to 640x480) or -1.
// A change to another mode after start-up restarts graphics: every graph, mask, shader, vertex and index buffer
// and model is deleted (fonts are kept and make their glyph caches again at their next draw)
int SetScreenResolutionAndDepth(int width, int height, int bitsPerPixel, int refreshRate);
// Before start-up: 0 draws in software without Direct3D; 0, or -1 once started
int SetHardwareRenderingWanted(int wanted);
// Whether start-up tries Direct3D
int IsHardwareRenderingWanted();
// Whether presents wait for the vertical blank; 0
int SetWaitForVerticalBlank(int enable);
// The vertical-blank wait setting
int IsWaitForVerticalBlankOn();
// Before start-up: show a full-screen 320x240 mode as a doubled 640x480 screen (1); 0
int SetDoubled320x240Request(int flag);
// Store and apply the Direct3D dialog-box mode; 0
int SetMenuDialogBoxMode(int enable);
// The stored dialog-box mode
int GetMenuDialogBoxMode();
// The screen and the adapter's modes
// The screen size (320x240 in the doubled mode) and depth (null pointers skipped); 0
int GetScreenSizeAndDepth(int *width, int *height, int *bitsPerPixel);
// The drawn screen size (640x480 while none was set); 0
int GetVirtualScreenSize(int *width, int *height);
// The depth (16 while none was set)
int GetScreenBitsPerPixel();
// 1 when not in window mode
int IsFullScreenMode();
// Number of adapter modes with 16 bits or more
int CountDisplayModes();
// One display mode; all fields -1 when the index is out of range
DisplayModeEntry GetDisplayModeEntry(int index);
// 1 when the adapter has a mode of exactly that size and depth
int IsDisplayModeAvailable(int width, int height, int bitsPerPixel);
// Select the routine that rebuilds graph contents after the device was lost (null: the built-in one); 0
int SetGraphRestoreCallback(GraphRestoreCallback callback);

// Clear the draw target to the background colour; 0, or -1 before start-up
int ClearDrawScreen();
// Show what was drawn into the back screen; 0, or -1 before start-up or once the end was requested
int PresentBackScreen();
// The same with a rectangle of the window (null: all)
int PresentBackScreenRect(const RECT *rect);


// Draw targets
// Direct drawing to a screen (-2 back, -4 front, -3, -5) or a drawable graph; 0, or -1 for
// another value, a graph that cannot be drawn into, or before start-up
int SelectDrawTarget(int target);
// The current draw target
int GetSelectedDrawTarget();
// Slot 0 is SelectDrawTarget; slots 1..15 (devices with several render targets) take a drawable
// graph, or are emptied by any other value; 0 or -1
int SetRenderTargetSlot(int slot, int target);
// Draw with the depth surface of a drawable graph (another value: the default depth buffer); 0 or -1
int SetDrawZBufferGraph(int handle);
// Copy (x1, y1)-(x2, y2) of a screen or graph to (destX, destY) of a graph; 0 or -1
int CopyDrawTargetToGraph(int source, int x1, int y1, int x2, int y2, int destX, int destY, int destination);
// Copy (x1, y1)-(x2, y2) of the current draw target into a graph of exactly that size; 0 or -1
int CopyDrawTargetRectToGraph(int x1, int y1, int x2, int y2, int destination);
// Make a rectangle of the draw target (target -1: the current one) readable as an image; 0 or -1
int LockDrawScreenBuffer(const RECT *rect, RasterImage *out, int target, int readOnly, int piece);
// End the lock; 0
int UnlockDrawScreenBuffer();

// Draw state
// Blend mode (0 none, 1 alpha, 2 add, 3 subtract, ...) and its parameter 0..255; 0
int SetBlendModeAndParam(int mode, int param);
// Alpha-test mode and parameter; 0
int SetAlphaTestModeAndParam(int mode, int param);
// Bright (modulation) colour from three channels; 0
int SetDrawBrightRGB(int red, int green, int blue);
// Bright colour as 0x00RRGGBB; 0
int SetDrawBrightPackedRGB(unsigned int colour);
// Texture filter: 0 point, 1 bilinear, 2 anisotropic; 0
int SetDrawFilterMode(int mode);
// The texture filter
int GetDrawFilterMode();
// Clip area of drawing (right and bottom exclusive); 0, -1 for an invalid target
int SetDrawClipArea(int x1, int y1, int x2, int y2);
// Blend graph of later graph draws (handle <= 0: none), by type: 0 cross-fade (then one int,
// its weight), 1 threshold (then border and ramp), 2 alpha masking; 0, or -1 for an invalid graph
int SetBlendGraphByType(int handle, int type, ...);
// SetBlendGraphByType(handle, 1, border, ramp)
int SetBlendGraphThreshold(int handle, int border, int ramp);
// Four floats into a colour record; the record
FloatColor *BuildFloatColor(FloatColor *out, float red, float green, float blue, float alpha);

// Colours in the screen's pixel format
// Pack 8-bit channels into a screen colour
int PackScreenColor(int red, int green, int blue);
// Split a screen colour into 0..255 channels; 0
int UnpackScreenColor(int colour, int *red, int *green, int *blue);

// Graph draws (transparent: the graph's transparent colour or alpha lets the target through)
// Draw a graph with its top-left corner at (x, y)
int DrawGraphAtPoint(int x, int y, int handle, int transparent);
// Draw a graph stretched over a rectangle; x2 < x1 mirrors, y2 < y1 flips
int DrawGraphStretched(int x1, int y1, int x2, int y2, int handle, int transparent);
// The same with float corners
int DrawGraphStretchedF(float x1, float y1, float x2, float y2, int handle, int transparent);
// Draw a graph mirrored left to right
int DrawGraphMirrored(int x, int y, int handle, int transparent);
// Draw a part of a graph at (x, y), mirrored when asked
int DrawGraphSourceRect(int x, int y, int srcX, int srcY, int width, int height, int handle, int transparent,
                        int mirror);
// Draw a part of a graph stretched over a rectangle; 0, or -1 for an empty part, a part whose
// top-left corner lies outside the graph, an invalid handle or a refused draw. A part reaching
// past the graph's right or bottom edge is cut there, and the cut part fills the rectangle (0).
int DrawGraphSourceRectStretchedF(float x1, float y1, float x2, float y2, int srcX, int srcY, int width, int height,
                                  int handle, int transparent);
// Draw a graph onto a quadrilateral: top left, top right, bottom right, bottom left
int DrawGraphOnQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int handle,
                     int transparent);

// Primitives (colours from PackScreenColor)
// Draw a colour-filled box (right and bottom exclusive)
int FillColorBox(int x1, int y1, int x2, int y2, int colour);
// Draw a one-pixel box outline
int DrawColorBoxOutline(int x1, int y1, int x2, int y2, int colour);
// Draw a box, filled (fill 1) or outlined
int DrawColorBox(int x1, int y1, int x2, int y2, int colour, int fill);
// Draw a circle, filled (fill 1) or outlined
int DrawColorCircle(int cx, int cy, int radius, int colour, int fill);
// Draw 2-D vertices of a D3DPRIMITIVETYPE with a graph's texture (graph -5: untextured); Direct3D only
int DrawVertexList2D(const Vertex2D *vertices, int count, int primitiveType, int graph, int transparent);

// Masks
// Switch masked drawing; -1 without a mask screen, else 0
int EnableMaskScreen(int enable);
// Whether masked drawing is on
int IsMaskScreenEnabled();

// Graphs: pictures loaded from image files, drawn through their handles
// A new graph from an image file (and its "_a" alpha image); its handle or -1.
// Loads in the background while background loading is on (the handle is returned at once)
int CreateGraphFromImageFile(const char *fileName, int flag);
// Load an image once and cut it into count cells of pieceWidth x pieceHeight, row by row,
// one graph each written to handles; 0 or -1
int CreateDivGraphFromImageFile(const char *fileName, int count, int columns, int rows, int pieceWidth,
                                int pieceHeight, int *handles, int flag);
// The same with a mirror flag (1: the image mirrored left to right, cells taken from the right)
int CreateDivGraphFromFileEx(const char *fileName, int count, int columns, int rows, int pieceWidth,
                             int pieceHeight, int *handles, int callerFlag, int mirror);
// Delete a graph (its pending load is cancelled or awaited; a piece of a divided load
// still loading waits for that load, which the other pieces share); 0 or -1
int DestroyGraphHandle(int handle, int unused);
// 1 for a valid graph whose load has finished, else 0
int IsGraphHandleReady(int handle);
// A graph's size, or the screen size for -2 and -4 (null pointers skipped); 0 or -1
int GetGraphOrScreenSize(int handle, int *width, int *height);
// Direct3D graphs: the texture size of the first piece; software graphs: the graph's size; 0 or -1
int GetGraphTexturePieceSize(int handle, int *width, int *height);
// 1 for a Direct3D graph with multisampled surfaces, else 0
int IsGraphMultisampled(int handle);
// Bind an int that receives 1 when the graph is deleted (0 written now); 0 or -1
int AttachGraphDeletedFlag(int handle, int *flag);
// A new graph from images the program holds (they stay the program's); its handle or -1
int BuildGraphFromBaseImages(const RasterImage *color, const RasterImage *alpha, int callerFlag);
// A new graph showing a rectangle of another graph; its handle or -1
int CreateSubGraph(int x, int y, int width, int height, int sourceHandle);
// Write the rectangle of the images at (x, y), the graph's size, into the whole graph and keep a
// copy of the images to rebuild it after a device loss; 0 or -1
int UploadImagesToGraphKeepSource(const RasterImage *color, const RasterImage *alpha, int x, int y, int handle);
// Write a rectangle of the images (null: all) to (x, y) of the graph; 0 or -1
int UploadImageRectToGraph(const RasterImage *color, const RasterImage *alpha, const RECT *sourceRect, int x, int y,
                           int handle);

// Movies: a graph loaded from a movie file shows the movie's frames
// The movie handle whose frames the graph shows (for StartMoviePlayback and the other movie
// calls), or -1 for a graph without a movie or an invalid graph
int GetGraphMovieHandle(int graph);

// Graph filters
// Filter a whole graph in place: type 0 Mono (Cb, Cr), 1 Gauss (width, blur * 100),
// 2 DownScale (divisor), 3 BrightClip (comparison, clip, fill flag[, colour, alpha]),
// 4 HSB (mode, hue, saturation, brightness), 5 Invert, 6 Level (min, max, gamma * 100,
// output min, output max), 7 TwoColor (threshold, colour, alpha, colour, alpha),
// 8 GradientMap (gradient graph, reverse), 9 PremultipliedAlpha; 0 or -1
int ApplyGraphFilter(int graph, int type, ...);

} // namespace Korvo
