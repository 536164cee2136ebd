// Public operations of graphics (included by korvo.h).
#pragma once

#include "core/korvo_types.h"

namespace Korvo {

// Before start-up store the screen mode; after it change the screen; 0, -2 (fell back to 640x480) or -1
int SetScreenResolutionAndDepth(int width, int height, int bitsPerPixel, int refreshRate);
// Before start-up: 0 draws in software without Direct3D; 0, or -1 once started
int SetHardwareRenderingWanted(int wanted);
// Whether start-up tries Direct3D
int IsHardwareRenderingWanted();
// Whether presents wait for the vertical blank; 0
int SetWaitForVerticalBlank(int enable);
// The vertical-blank wait setting
int IsWaitForVerticalBlankOn();
// Clear the draw target to the background colour; 0, or -1 before start-up
int ClearDrawScreen();
// Show what was drawn into the back screen; 0, or -1 before start-up or once the end was requested
int PresentBackScreen();
// The same with a rectangle of the window (null: all)
int PresentBackScreenRect(const RECT *rect);

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
// Delete a graph (its pending load is cancelled or awaited); 0 or -1
int DestroyGraphHandle(int handle, int unused);
// 1 for a valid graph whose load has finished, else 0
int IsGraphHandleReady(int handle);
// A graph's size, or the screen size for -2 and -4 (null pointers skipped); 0 or -1
int GetGraphOrScreenSize(int handle, int *width, int *height);

} // namespace Korvo
