// Fonts rebuilt after a device rebuild keep the standard font's owner, so
// rebuilding never leaves fonts behind nor fills the kind. (A process of its
// own: a third device start in one process has faulted inside Wine's Direct3D.)

#include "font/font_record.h"

#include "core/public_api.h"
#include "graphics/public_api.h"

#include <gtest/gtest.h>

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
    // The owner is bound again: a size change replaces the font instead of adding
    // one, and no earlier size is kept alive.
    for (int size : {20, 30, 24, 20}) {
        SetStandardFontPixelSize(size);
        EXPECT_EQ(GetStandardFontPixelSize(), size);
        EXPECT_EQ(HandleTypeTable[HANDLE_KIND_FONT].liveCount, live) << "size " << size;
    }
    EXPECT_EQ(IsFontHandleValid(standard), 0);
    ASSERT_EQ(ShutdownLibrary(), 0);
}

} // namespace
