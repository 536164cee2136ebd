// What the background font tests share: the library started in this process on
// the Direct3D or the software road, and the screen with a test text drawn in a
// font (or without it).
#pragma once

#include "tests/graphics/win32/device/library_session.h"

#include <cstdint>
#include <vector>

namespace AsyncFontTest {

// A title of its own: the second-instance check refuses a window title that is
// already on the desktop, which other tests' windows may hold meanwhile
inline int StartLibraryOnRoad(bool direct3D)
{
    return GraphicsTest::StartLibraryOnRoad(direct3D, "KorvoAsyncFontTest");
}

// The top-left width x height of the screen after drawing the test text in font
// (-1: nothing drawn)
inline std::vector<uint32_t> ScreenWithText(int font, int width = 640, int height = 480)
{
    Korvo::ClearDrawScreen();
    if (font != -1) {
        int edge = Korvo::PackScreenColor(20, 60, 10);
        EXPECT_EQ(Korvo::DrawTextToHandle(20, 30, "背景Ag字", Korvo::PackScreenColor(250, 220, 40), font, edge, 0), 0);
    }
    return GraphicsTest::ReadScreenPixels(width, height, 0);
}

} // namespace AsyncFontTest
