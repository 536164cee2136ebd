// Fonts rebuilt after a device rebuild keep the standard font's owner, so
// rebuilding never leaves fonts behind nor fills the kind; the standard font's
// kept sizes never take a program's room in the kind. (A process of its
// own: a third device start in one process has faulted inside Wine's Direct3D.)

#include "font/font_record.h"

#include "core/public_api.h"
#include "graphics/public_api.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Korvo;

namespace {

TEST(FontRebuild, RebuiltFontsKeepTheStandardFontOwnerAndNeverFillTheKind)
{
    SetAppWindowTitle("KorvoFontRebuildTest");
    SetScreenResolutionAndDepth(800, 600, 32, 60);
    ChangeWindowMode(1);
    SetHardwareRenderingWanted(1);
    ASSERT_EQ(StartLibrary(), 0);
    SetStandardFontPixelSize(24);
    int standard = GetStandardFontHandle();
    int live = HandleTypeTable[HANDLE_KIND_FONT].liveCount;
    for (int round = 0; round < kFontMaxCount + 5; ++round) {
        ASSERT_EQ(RecreateAllFontHandles(), 0);
    }
    EXPECT_EQ(GetStandardFontHandle(), standard);
    EXPECT_EQ(IsFontHandleValid(standard), 1);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_FONT].liveCount, live);
    // The owner is bound again: a size change keeps the font as a recent size, and
    // changing back brings the same font back instead of making another.
    SetStandardFontPixelSize(20);
    EXPECT_NE(GetStandardFontHandle(), standard);
    EXPECT_EQ(GetStandardFontPixelSize(), 20);
    SetStandardFontPixelSize(24);
    EXPECT_EQ(GetStandardFontHandle(), standard);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_FONT].liveCount, live + 1);

    // Kept sizes give way: a program still makes as many fonts as the kind has room
    // for beside the library's own, and the standard font stays.
    for (int size : {20, 30, 18, 24}) {
        SetStandardFontPixelSize(size);
    }
    FontCacheSettings settings;
    CopyFontCacheSettings(&settings);
    std::vector<int> made;
    for (int i = 0; i < kFontMaxCount; ++i) {
        int font = CreateFontHandleWithSettings(&settings, nullptr, 12, -1, 0, -1, -1, 0, -1, 0);
        if (font == -1) {
            break;
        }
        made.push_back(font);
    }
    const int libraryFonts = 2; // the standard font and the on-screen log's
    EXPECT_EQ(static_cast<int>(made.size()), kFontMaxCount - libraryFonts);
    EXPECT_EQ(GetStandardFontHandle(), standard);
    EXPECT_EQ(GetStandardFontPixelSize(), 24);
    for (int font : made) {
        DeleteHandleRecord(font);
    }
    ASSERT_EQ(ShutdownLibrary(), 0);
}

} // namespace
