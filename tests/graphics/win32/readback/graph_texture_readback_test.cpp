// A PNG loaded into a graph on the Direct3D road, on the caller's thread and as
// a background job: its texture read back equals the image, and the spare
// column and row of the texture repeat the image's last ones.

#include "tests/graphics/win32/device/library_session.h"
#include "tests/support/wait_backstop.h"

#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/graphs/graph_record.h"
#include "tests/graphics/png_sheet.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kWidth = 37;
constexpr int kHeight = 21;

// A texture level's surface as 0x00RRGGBB rows: locked directly when the pool
// allows it, else through a render target and a system-memory copy.
std::vector<uint32_t> ReadSurface(K_IDirect3DSurface9 *surface, int width, int height)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    K_IDirect3DSurface9 *target = nullptr;
    K_IDirect3DSurface9 *copy = nullptr;
    K_D3DLOCKED_RECT locked = {};
    K_IDirect3DSurface9 *readFrom = surface;
    if (D3DSurf_LockRect(surface, &locked, nullptr, K_D3DLOCK_READONLY) < 0) {
        UINT w = static_cast<UINT>(width);
        UINT h = static_cast<UINT>(height);
        EXPECT_GE(D3DDev_CreateRenderTarget(w, h, K_D3DFMT_A8R8G8B8, 0, 0, FALSE, &target), 0);
        EXPECT_GE(D3DDev_CreateOffscreenPlainSurface(w, h, K_D3DFMT_A8R8G8B8, K_D3DPOOL_SYSTEMMEM, &copy), 0);
        EXPECT_GE(D3DDev_StretchRect(surface, nullptr, target, nullptr, K_D3DTEXF_POINT), 0);
        EXPECT_GE(D3DDev_GetRenderTargetData(target, copy), 0);
        readFrom = copy;
        EXPECT_GE(D3DSurf_LockRect(copy, &locked, nullptr, K_D3DLOCK_READONLY), 0);
    }
    for (int y = 0; y < height && locked.pBits != nullptr; ++y) {
        const uint32_t *row = reinterpret_cast<const uint32_t *>(static_cast<const uint8_t *>(locked.pBits) +
                                                                 static_cast<ptrdiff_t>(y) * locked.Pitch);
        for (int x = 0; x < width; ++x) {
            pixels[static_cast<size_t>(y) * width + x] = row[x] & 0xFFFFFF;
        }
    }
    D3DSurf_UnlockRect(readFrom);
    if (target != nullptr) {
        D3DRes_Release(target);
    }
    if (copy != nullptr) {
        D3DRes_Release(copy);
    }
    return pixels;
}

TEST(GraphTextureReadbackTest, ALoadedPngsTextureEqualsTheImage)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
    ASSERT_TRUE(GraphTest::WriteRgbPng("texture.png", kWidth, kHeight, GraphTest::DistinctColour));
    for (int background = 0; background < 2; ++background) {
        SCOPED_TRACE(background);
        SetLoadInBackgroundFlag(background);
        int handle = CreateGraphFromImageFile("texture.png", 0);
        ASSERT_NE(handle, -1);
        KorvoTest::Backstop backstop("the graph's load", KorvoTest::kWaitBackstopSeconds);
        while (IsGraphHandleReady(handle) == 0 && !backstop.Passed()) {
            ServiceMessageQueue();
            Sleep(1);
        }
        ASSERT_EQ(IsGraphHandleReady(handle), 1) << backstop.Report();
        GraphRecord *record = GetGraphRecord(handle, 0);
        ASSERT_EQ(IsGraphDeviceTextured(record), 1);
        ASSERT_EQ(record->imageSet->pieceCount, 1);
        const GraphTexturePiece &piece = record->imageSet->pieces[0];
        EXPECT_EQ(piece.textureWidth, 64);
        EXPECT_EQ(piece.textureHeight, 32);
        std::vector<uint32_t> pixels = ReadSurface(piece.surface, piece.textureWidth, piece.textureHeight);
        auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * piece.textureWidth + x]; };
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                wrong += at(x, y) != GraphTest::DistinctColour(x, y) ? 1 : 0;
            }
            EXPECT_EQ(at(kWidth, y), at(kWidth - 1, y)) << y;
        }
        EXPECT_EQ(wrong, 0);
        for (int x = 0; x <= kWidth; ++x) {
            EXPECT_EQ(at(x, kHeight), at(x, kHeight - 1)) << x;
        }
        EXPECT_EQ(DestroyGraphHandle(handle, 0), 0);
    }
    SetLoadInBackgroundFlag(0);
    EXPECT_EQ(ShutdownLibrary(), 0);
}

// With a full mip chain, level 1 holds the 2 x 2 means of the image.
TEST(GraphTextureReadbackTest, MipLevelsAreBoxFilteredHalves)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_TRUE(GraphTest::WriteRgbPng("mips.png", kWidth, kHeight, GraphTest::DistinctColour));
    RasterImage image = {};
    ASSERT_EQ(LoadImageRecord("mips.png", nullptr, 0, 0, &image, 0), 0);
    GraphLoadSettings settings;
    CaptureGraphLoadSettings(&settings);
    settings.create.mipLevels = -1;
    int handle = NewGraphHandle();
    ASSERT_EQ(BuildGraphFromImagesCore(&settings, 0, handle, &image, nullptr, 0, nullptr), 0);
    const GraphImageSet *set = GetGraphRecord(handle, 0)->imageSet;
    EXPECT_EQ(set->mipLevelCount, 6);
    K_IDirect3DSurface9 *level1 = nullptr;
    ASSERT_GE(D3DTex_GetSurfaceLevel(set->pieces[0].texture, 1, &level1), 0);
    std::vector<uint32_t> pixels = ReadSurface(level1, 32, 16);
    D3DRes_Release(level1);
    int worst = 0;
    for (int y = 0; y < kHeight / 2; ++y) {
        for (int x = 0; x < kWidth / 2; ++x) {
            for (int shift = 0; shift < 24; shift += 8) {
                int sum = 0;
                for (int i = 0; i < 4; ++i) {
                    sum += static_cast<int>(GraphTest::DistinctColour(2 * x + i % 2, 2 * y + i / 2) >> shift) & 0xFF;
                }
                int got = static_cast<int>(pixels[static_cast<size_t>(y) * 32 + x] >> shift) & 0xFF;
                worst = std::max(worst, std::abs(got - sum / 4));
            }
        }
    }
    EXPECT_LE(worst, 1);
    FreeImageRecord(&image);
    DestroyGraphHandle(handle, 0);
    EXPECT_EQ(ShutdownLibrary(), 0);
}

} // namespace
