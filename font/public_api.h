// Public font and text operations: font handles built on system fonts, the
// standard font used by the text calls without a font handle, string drawing
// and string width.
#pragma once

namespace Korvo {

// The font-cache creation settings (library internal); a program passes null.
struct FontCacheSettings;

// Font types: 0 plain, 1 outlined (edge), 2 smoothed, 3 smoothed and outlined;
// 18/19 smoothed from 4x rasterised glyphs, 34/35 from 8x (19 and 35 outlined).
enum FontRenderMode {
    FontPlain = 0,
    FontEdge = 1,
    FontSmoothed = 2,
    FontSmoothedEdge = 3,
    FontSmoothed4x = 18,
    FontSmoothed4xEdge = 19,
    FontSmoothed8x = 34,
    FontSmoothed8xEdge = 35,
};

// A new font on a system font: settings (null: the library's current ones), face (null or
// empty: the default face), size in pixels (-1 = 16), thickness (-1 = 6), FontRenderMode
// (-1 = plain), character set (-1: the system's), edge size (-1 = 1), italic flag, the
// handle to re-create or -1 for a new one, asynchronous flag. The handle or -1. With the
// asynchronous flag the font is built on a load worker and the handle returned at once:
// font calls refuse it until the build has ended (GetQueuedAsyncJobCount), and a build
// that fails deletes it.
// The library has no call that deletes a font: fonts live until the library shuts down
// (AttachFontDeleteFlagToHandle reports it); a change of screen or window mode keeps them.
int CreateFontHandleWithSettings(const FontCacheSettings *settings, const char *face, int size, int thickness,
                                 int type, int charSet, int edgeSize, int italic, int wantedHandle, int async);
// 1 for a live font handle, else 0
int IsFontHandleValid(int handle);
// The font's size in pixels, or -1
int GetFontPixelSizeToHandle(int handle);
// Extra pixels after each character; 0 or -1
int SetFontCharSpacingToHandle(int spacing, int handle);
// Face, size and thickness of a font (null outputs skipped); 0 or -1
int QueryFontAttributesToHandle(char *face, int *size, int *thickness, int handle);
// Bind an int that receives 1 when the font is deleted (0 written now); 0 or -1
int AttachFontDeleteFlagToHandle(int handle, int *flag);

// The standard font
int GetStandardFontHandle();
// Face (null = default), size (-1 = 16) and thickness (-1 = 6); 0 or -1
int ConfigureStandardFont(const char *face, int size, int thickness);
// Size in pixels (-1 = 16); 0
int SetStandardFontPixelSize(int size);
// The standard font's size in pixels, or -1
int GetStandardFontPixelSize();

// Draw a string at (x, y) in a colour (PackScreenColor) with an edge colour,
// vertical when asked; 0 or -1
int DrawTextToHandle(int x, int y, const char *text, int colour, int fontHandle, int edgeColour, int vertical);
// The same with the standard font, horizontal
int DrawTextWithStandardFont(int x, int y, const char *text, int colour, int edgeColour);

// Names of the installed faces (64 bytes each; buffer null: only counted); the count
int ListFontFaceNames(char *buffer, int maxCount, const char *faceFilter, int charSetIndex);

} // namespace Korvo
