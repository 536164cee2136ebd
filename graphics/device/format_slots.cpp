// The 28 texture format slots: candidate lists, the adapter checks and the
// mapping of a wanted texture to its slot.

#include "graphics/device/format_slots.h"

#include "core/public_api.h"
#include "core/log/error_log.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/graphics_state.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and types
// ---------------------------------------------------------------------------

// How a slot is found.
enum SlotRule {
    RULE_TEXTURE,       // first supported plain texture format
    RULE_DRAW,          // first supported render-target texture format
    RULE_ELSE_SLOT,     // first supported texture format, else another slot's
};

struct SlotCandidates {
    SlotRule rule;
    int required;       // no format fails the start-up
    int fallbackSlot;
    K_D3DFORMAT formats[4];
    const char *label;  // log label
};

static const SlotCandidates kSlots[25] = {
    {RULE_TEXTURE, 1, -1, {K_D3DFMT_R5G6B5, K_D3DFMT_X1R5G5B5}, "16bit カラー"},
    {RULE_ELSE_SLOT, 0, 0, {K_D3DFMT_X8R8G8B8}, "32bit カラー"},
    {RULE_TEXTURE, 1, -1, {K_D3DFMT_A4R4G4B4, K_D3DFMT_A8R8G8B8}, "アルファ付き 16bit カラー"},
    {RULE_TEXTURE, 1, -1, {K_D3DFMT_A8R8G8B8, K_D3DFMT_A4R4G4B4}, "アルファ付き 32bit カラー"},
    {RULE_TEXTURE, 1, -1, {K_D3DFMT_A1R5G5B5, K_D3DFMT_A8R8G8B8, K_D3DFMT_A4R4G4B4}, "アルファテスト用 16bit カラー"},
    {RULE_TEXTURE, 1, -1, {K_D3DFMT_A8R8G8B8, K_D3DFMT_A1R5G5B5, K_D3DFMT_A4R4G4B4}, "アルファテスト用 32bit カラー"},
    {RULE_ELSE_SLOT, 0, 4, {K_D3DFMT_DXT1}, "ＤＸＴ１"},
    {RULE_ELSE_SLOT, 0, 3, {K_D3DFMT_DXT2}, "ＤＸＴ２"},
    {RULE_ELSE_SLOT, 0, 3, {K_D3DFMT_DXT3}, "ＤＸＴ３"},
    {RULE_ELSE_SLOT, 0, 3, {K_D3DFMT_DXT4}, "ＤＸＴ４"},
    {RULE_ELSE_SLOT, 0, 3, {K_D3DFMT_DXT5}, "ＤＸＴ５"},
    {RULE_DRAW, 0, -1, {0, 0, K_D3DFMT_X8R8G8B8}, "描画用 16bit カラー"},
    {RULE_DRAW, 0, -1, {K_D3DFMT_X8R8G8B8, K_D3DFMT_R5G6B5, K_D3DFMT_X1R5G5B5}, "描画用 32bit カラー"},
    {RULE_DRAW, 0, -1, {K_D3DFMT_A8R8G8B8, K_D3DFMT_A4R4G4B4}, "描画用アルファ付き 32bit カラー"},
    {RULE_DRAW, 0, -1, {K_D3DFMT_A16B16G16R16}, "描画用ABGR整数16ビット型"},
    {RULE_DRAW, 0, -1, {K_D3DFMT_A16B16G16R16F}, "描画用ABGR浮動小数点16ビット型"},
    {RULE_DRAW, 0, -1, {K_D3DFMT_A32B32G32R32F, K_D3DFMT_A16B16G16R16F}, "描画用ABGR浮動小数点32ビット型"},
    {RULE_DRAW, 0, -1, {K_D3DFMT_L8, K_D3DFMT_A8L8, K_D3DFMT_A8R8G8B8}, "描画用１チャンネル整数8ビット型"},
    {RULE_DRAW, 0, -1, {K_D3DFMT_L16, K_D3DFMT_G16R16, K_D3DFMT_A16B16G16R16}, "描画用１チャンネル整数16ビット型"},
    {RULE_DRAW, 0, -1, {K_D3DFMT_R16F, K_D3DFMT_G16R16F, K_D3DFMT_A16B16G16R16F, K_D3DFMT_A32B32G32R32F},
     "描画用１チャンネル浮動小数点16ビット型"},
    {RULE_DRAW, 0, -1, {K_D3DFMT_R32F, K_D3DFMT_G32R32F, K_D3DFMT_A32B32G32R32F, K_D3DFMT_A16B16G16R16F},
     "描画用１チャンネル浮動小数点32ビット型"},
    {RULE_DRAW, 0, -1, {K_D3DFMT_V8U8, K_D3DFMT_A8R8G8B8}, "描画用２チャンネル整数8ビット型"},
    {RULE_DRAW, 0, -1, {K_D3DFMT_G16R16, K_D3DFMT_A16B16G16R16}, "描画用２チャンネル整数16ビット型"},
    {RULE_DRAW, 0, -1, {K_D3DFMT_G16R16F, K_D3DFMT_A16B16G16R16F, K_D3DFMT_A32B32G32R32F},
     "描画用２チャンネル浮動小数点16ビット型"},
    {RULE_DRAW, 0, -1, {K_D3DFMT_G32R32F, K_D3DFMT_A32B32G32R32F, K_D3DFMT_A16B16G16R16F},
     "描画用２チャンネル浮動小数点32ビット型"},
};

struct FormatName {
    K_D3DFORMAT format;
    const char *name;
};

static const FormatName kFormatNames[] = {
    {K_D3DFMT_R8G8B8, "D3DFMT_R8G8B8"},       {K_D3DFMT_A8R8G8B8, "D3DFMT_A8R8G8B8"},
    {K_D3DFMT_X8R8G8B8, "D3DFMT_X8R8G8B8"},   {K_D3DFMT_R5G6B5, "D3DFMT_R5G6B5"},
    {K_D3DFMT_X1R5G5B5, "D3DFMT_X1R5G5B5"},   {K_D3DFMT_A1R5G5B5, "D3DFMT_A1R5G5B5"},
    {K_D3DFMT_A4R4G4B4, "D3DFMT_A4R4G4B4"},   {K_D3DFMT_A16B16G16R16, "D3DFMT_A16B16G16R16"},
    {K_D3DFMT_A16B16G16R16F, "D3DFMT_A16B16G16R16F"}, {K_D3DFMT_A32B32G32R32F, "D3DFMT_A32B32G32R32F"},
    {K_D3DFMT_L8, "D3DFMT_L8"},               {K_D3DFMT_A8L8, "D3DFMT_A8L8"},
    {K_D3DFMT_L16, "D3DFMT_L16"},             {K_D3DFMT_G16R16, "D3DFMT_G16R16"},
    {K_D3DFMT_R16F, "D3DFMT_R16F"},           {K_D3DFMT_G16R16F, "D3DFMT_G16R16F"},
    {K_D3DFMT_R32F, "D3DFMT_R32F"},           {K_D3DFMT_G32R32F, "D3DFMT_G32R32F"},
    {K_D3DFMT_V8U8, "D3DFMT_V8U8"},           {K_D3DFMT_D16, "D3DFMT_D16"},
    {K_D3DFMT_D24X8, "D3DFMT_D24X8"},         {K_D3DFMT_D32, "D3DFMT_D32"},
    {K_D3DFMT_DXT1, "D3DFMT_DXT1"},           {K_D3DFMT_DXT2, "D3DFMT_DXT2"},
    {K_D3DFMT_DXT3, "D3DFMT_DXT3"},           {K_D3DFMT_DXT4, "D3DFMT_DXT4"},
    {K_D3DFMT_DXT5, "D3DFMT_DXT5"},
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool IsSupported(K_D3DFORMAT backBuffer, DWORD usage, K_D3DFORMAT candidate)
{
    return candidate != 0 && D3D_CheckDeviceFormat(GetSelectedAdapter(), K_D3DDEVTYPE_HAL, backBuffer, usage,
                                                   K_D3DRTYPE_TEXTURE, candidate) >= 0;
}

static K_D3DFORMAT FirstSupported(K_D3DFORMAT backBuffer, DWORD usage, const K_D3DFORMAT *candidates)
{
    for (int i = 0; i < 4; ++i) {
        if (IsSupported(backBuffer, usage, candidates[i])) {
            return candidates[i];
        }
    }
    return 0;
}

// "<label>フォーマットは <name> です", DXT slots in their own form.
static void LogFoundSlot(int slot, K_D3DFORMAT format)
{
    const char *name = GetD3DFormatName(format);
    if (slot >= 6 && slot <= 10) {
        bool own = format == kSlots[slot].formats[0];
        AppendLogLineFormat("%sテクスチャフォーマットは%s%s", kSlots[slot].label, own ? name : "使えません",
                            own ? " です" : "");
        return;
    }
    AppendLogLineFormat("%sフォーマットは %s です", kSlots[slot].label, name != nullptr ? name : "?");
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int FillFormatSlots(K_D3DFORMAT backBuffer, int screenBits)
{
    static const K_D3DFORMAT kDepthCandidates[3] = {K_D3DFMT_D16, K_D3DFMT_D24X8, K_D3DFMT_D32};
    TextureFormatSlots[FORMAT_SLOT_ZBUFFER] = 0;
    for (K_D3DFORMAT candidate : kDepthCandidates) {
        if (D3D_CheckDepthStencilMatch(GetSelectedAdapter(), K_D3DDEVTYPE_HAL, backBuffer, backBuffer, candidate) >= 0) {
            TextureFormatSlots[FORMAT_SLOT_ZBUFFER] = candidate;
            break;
        }
    }
    if (TextureFormatSlots[FORMAT_SLOT_ZBUFFER] == 0) {
        return AppendLogText("使用できる Zバッファフォーマットが見つかりませんでした\n");
    }
    AppendLogLineFormat("Ｚバッファのフォーマットは %s です", GetD3DFormatName(TextureFormatSlots[FORMAT_SLOT_ZBUFFER]));

    for (int slot = 0; slot < 25; ++slot) {
        const SlotCandidates &entry = kSlots[slot];
        K_D3DFORMAT candidates[4] = {entry.formats[0], entry.formats[1], entry.formats[2], entry.formats[3]};
        if (slot == FORMAT_SLOT_DRAW16) {
            // The back buffer's own 16-bit format first, then the other one.
            bool x1 = backBuffer == K_D3DFMT_X1R5G5B5;
            candidates[0] = x1 ? K_D3DFMT_X1R5G5B5 : K_D3DFMT_R5G6B5;
            candidates[1] = x1 ? K_D3DFMT_R5G6B5 : K_D3DFMT_X1R5G5B5;
        }
        DWORD usage = entry.rule == RULE_DRAW ? static_cast<DWORD>(K_D3DUSAGE_RENDERTARGET) : 0u;
        K_D3DFORMAT found = FirstSupported(backBuffer, usage, candidates);
        if (found == 0 && entry.rule == RULE_ELSE_SLOT) {
            found = TextureFormatSlots[entry.fallbackSlot];
        }
        TextureFormatSlots[slot] = found;
        if (found == 0) {
            if (entry.required != 0) {
                // A label of letters and digits stands apart from the words before it.
                const char *gap = static_cast<unsigned char>(entry.label[0]) < 0x80 ? " " : "";
                return AppendLogLineFormat("使用できる%s%sフォーマットが見つかりませんでした", gap, entry.label);
            }
            AppendLogLineFormat("使用できる%sフォーマットがありませんでした", entry.label);
            continue;
        }
        LogFoundSlot(slot, found);
    }
    bool screen32 = screenBits == 32;
    TextureFormatSlots[FORMAT_SLOT_SCREEN_DRAW] = TextureFormatSlots[screen32 ? FORMAT_SLOT_DRAW32 : FORMAT_SLOT_DRAW16];
    TextureFormatSlots[FORMAT_SLOT_SCREEN_ALPHA_TEST] =
        TextureFormatSlots[screen32 ? FORMAT_SLOT_ALPHA_TEST32 : FORMAT_SLOT_ALPHA_TEST16];
    return 0;
}

int ChooseFormatSlot(const TextureFormatRequest *r)
{
    if (r->blockFormat >= 1 && r->blockFormat <= 5) {
        return FORMAT_SLOT_DXT1 + r->blockFormat - 1;
    }
    int perChannel = r->bitsPerChannel;
    if (r->channels == 1) {
        int bits = perChannel != 0 ? perChannel : r->colorBits;
        if (r->floatFlag != 0) {
            return bits < 32 ? 19 : 20;
        }
        return bits < 16 ? 17 : 18;
    }
    if (r->channels == 2) {
        if (r->floatFlag != 0) {
            return (perChannel != 0 ? perChannel < 32 : r->colorBits < 64) ? 23 : 24;
        }
        return (perChannel != 0 ? perChannel < 16 : r->colorBits < 32) ? 21 : 22;
    }
    if (r->floatFlag != 0) {
        if (perChannel != 0) {
            return perChannel < 32 ? 15 : 16;
        }
        return r->colorBits >= 128 ? 16 : 15;
    }
    if (perChannel > 8) {
        return 14;
    }
    bool bits16 = r->colorBits == 16;
    if (r->draw != 0) {
        if (r->alpha == 0 && r->alphaTest == 0) {
            return bits16 ? FORMAT_SLOT_DRAW16 : FORMAT_SLOT_DRAW32;
        }
        return FORMAT_SLOT_DRAW_ALPHA32;
    }
    if (r->alpha != 0) {
        return bits16 ? FORMAT_SLOT_ALPHA16 : FORMAT_SLOT_ALPHA32;
    }
    if (r->alphaTest != 0) {
        return bits16 ? FORMAT_SLOT_ALPHA_TEST16 : FORMAT_SLOT_ALPHA_TEST32;
    }
    return bits16 ? FORMAT_SLOT_COLOR16 : FORMAT_SLOT_COLOR32;
}

const char *GetD3DFormatName(K_D3DFORMAT format)
{
    for (const FormatName &entry : kFormatNames) {
        if (entry.format == format) {
            return entry.name;
        }
    }
    return nullptr;
}

} // namespace Korvo
