// The value-maximising volume texture, filled in system memory and sent to a
// default-pool texture.

#include "graphics/draw/value_max_volume.h"

#include "core/public_api.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/draw/full_value_colour.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and module globals
// ---------------------------------------------------------------------------

constexpr int kVolumeSide = 128;
constexpr int kWhiteCorner = 8;  // texels with all three coordinates below this are white

static K_IDirect3DVolumeTexture9 *ValueMaxVolume = nullptr;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void ReleaseVolume(K_IDirect3DVolumeTexture9 *&texture)
{
    if (texture != nullptr) {
        D3DRes_Release(texture);
        texture = nullptr;
    }
}

static void FillVolume(const K_D3DLOCKED_BOX &box)
{
    auto *bytes = static_cast<uint8_t *>(box.pBits);
    for (int z = 0; z < kVolumeSide; ++z) {
        for (int y = 0; y < kVolumeSide; ++y) {
            uint8_t *texel = bytes + static_cast<intptr_t>(z) * box.SlicePitch + static_cast<intptr_t>(y) * box.RowPitch;
            for (int x = 0; x < kVolumeSide; ++x, texel += 4) {
                int r = 255, g = 255, b = 255;
                if (x >= kWhiteCorner || y >= kWhiteCorner || z >= kWhiteCorner) {
                    ConvertRgbToFullValueRgb(x * 2, y * 2, z * 2, &r, &g, &b);
                }
                texel[0] = static_cast<uint8_t>(b);
                texel[1] = static_cast<uint8_t>(g);
                texel[2] = static_cast<uint8_t>(r);
                texel[3] = 255;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int BuildValueMaxVolumeTexture()
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    ReleaseVolume(ValueMaxVolume);
    const UINT side = kVolumeSide;
    K_IDirect3DVolumeTexture9 *target = nullptr;
    K_IDirect3DVolumeTexture9 *source = nullptr;
    const char *failure = nullptr;
    if (D3DDev_CreateVolumeTexture(side, side, side, 1, 0, K_D3DFMT_X8R8G8B8, K_D3DPOOL_DEFAULT, &target) < 0 ||
        target == nullptr) {
        failure = "RGBカラーを輝度を最大にしたRGB値に変換するためのボリュームテクスチャの作成に失敗しました\n";
    } else if (D3DDev_CreateVolumeTexture(side, side, side, 1, 0, K_D3DFMT_X8R8G8B8, K_D3DPOOL_SYSTEMMEM,
                                          &source) < 0 ||
               source == nullptr) {
        failure = "RGBカラーを輝度を最大にしたRGB値に変換するための転送元用ボリュームテクスチャの作成に失敗しました\n";
    } else {
        K_D3DLOCKED_BOX box = {};
        if (D3DVolTex_LockBox(source, 0, &box, nullptr, 0) < 0 || box.pBits == nullptr) {
            failure = "RGBカラーを輝度を最大にしたRGB値に変換するための転送元用ボリュームテクスチャのロックに失敗しました\n";
        } else {
            FillVolume(box);
            D3DVolTex_UnlockBox(source, 0);
            D3DDev_UpdateTexture(reinterpret_cast<K_IDirect3DBaseTexture9 *>(source),
                                 reinterpret_cast<K_IDirect3DBaseTexture9 *>(target));
        }
    }
    ReleaseVolume(source);
    if (failure != nullptr) {
        ReleaseVolume(target);
        AppendLogText(failure);
        return -1;
    }
    ValueMaxVolume = target;
    return 0;
}

void ReleaseValueMaxVolumeTexture()
{
    ReleaseVolume(ValueMaxVolume);
}

int HasValueMaxVolumeTexture()
{
    return ValueMaxVolume != nullptr ? 1 : 0;
}

} // namespace Korvo
