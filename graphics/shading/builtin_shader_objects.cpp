// Making the built-in shader objects from the built-in archives.

#include "graphics/shading/builtin_shader_objects.h"

#include "core/log/error_log.h"
#include "graphics/shading/builtin_shader_archives.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/graphics_state.h"
#include "graphics/shading/shader_code_check.h"

#include <cstdio>

namespace Korvo {

BuiltinShaderObjects BuiltinShaders = {};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void ReleaseOne(void *&object)
{
    if (object != nullptr) {
        D3DRes_Release(object);
        object = nullptr;
    }
}

// The object of one archive member, checked first; null when absent or refused.
static void *MakeShader(int archive, const char *path, int vertex)
{
    const void *code = nullptr;
    int size = 0;
    ShaderCodeFacts facts;
    if (FindBuiltinShaderCode(archive, path, &code, &size) != 0 || CheckShaderByteCode(code, size, vertex, &facts) != 0) {
        return nullptr;
    }
    if (vertex != 0) {
        K_IDirect3DVertexShader9 *shader = nullptr;
        return D3DDev_CreateVertexShader(static_cast<const DWORD *>(code), &shader) < 0 ? nullptr : shader;
    }
    K_IDirect3DPixelShader9 *shader = nullptr;
    return D3DDev_CreatePixelShader(static_cast<const DWORD *>(code), &shader) < 0 ? nullptr : shader;
}

template <typename T> static bool MakeInto(T *&slot, int archive, const char *path, int vertex)
{
    slot = static_cast<T *>(MakeShader(archive, path, vertex));
    return slot != nullptr;
}

static bool MakeAll()
{
    if (OpenBuiltinShaderArchives() == 0) {
        AppendLogText("シェーダーコードを展開するメモリ領域の確保に失敗しました\n");
        return false;
    }
    if (!MakeInto(BuiltinShaders.vertex, 1, "vs_base.vso", 1)) {
        AppendLogText("頂点シェーダーオブジェクトの作成に失敗しました\n");
        return false;
    }
    if (!MakeInto(BuiltinShaders.plain, 1, "ps_plain.pso", 0)) {
        AppendLogText("ピクセルシェーダーオブジェクトの作成に失敗しました\n");
        return false;
    }
    char path[64];
    bool made = true;
    for (int type = 0; type < 4 && made; ++type) {
        std::snprintf(path, sizeof(path), "ps_nonetex_type%d.pso", type);
        made = MakeInto(BuiltinShaders.noTexture[type], 2, path, 0);
    }
    for (int i = 0; i < 64 && made; ++i) {
        std::snprintf(path, sizeof(path), "ps_blend%d_type%d_igcolor%d_igtalpha%d.pso", i >> 4, (i >> 2) & 3,
                      (i >> 1) & 1, i & 1);
        made = MakeInto(BuiltinShaders.blend[i], 2, path, 0);
    }
    if (!made) {
        AppendLogText("基本シェーダーオブジェクトの作成に失敗しました\n");
        return false;
    }
    if (!MakeInto(BuiltinShaders.mask, 2, "ps_mask_blend.pso", 0)) {
        AppendLogText("マスク処理用シェーダーオブジェクトの作成に失敗しました\n");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int CreateBuiltinShaderObjects()
{
    ReleaseBuiltinShaderObjects();
    GraphicsState.programmableShader = 0;
    if (DeviceSettings.vertexShader2 == 0 || DeviceSettings.pixelShader2 == 0 || G_D3D_HasDevice() == 0) {
        AppendLogText("プログラマブルシェーダーを使用しません\n");
        return 0;
    }
    if (!MakeAll()) {
        ReleaseBuiltinShaderObjects();
        AppendLogText("プログラマブルシェーダーを使用しません\n");
        return 0;
    }
    GraphicsState.programmableShader = 1;
    AppendLogText("プログラマブルシェーダーを使用します\n");
    return 0;
}

int ReleaseBuiltinShaderObjects()
{
    void **objects = reinterpret_cast<void **>(&BuiltinShaders);
    for (size_t i = 0; i < sizeof(BuiltinShaders) / sizeof(void *); ++i) {
        ReleaseOne(objects[i]);
    }
    return 0;
}

K_IDirect3DPixelShader9 *GetBuiltinBlendShader(int blend, int type, int ignoreColour, int ignoreAlpha)
{
    return BuiltinShaders.blend[((blend & 3) << 4) | ((type & 3) << 2) | ((ignoreColour & 1) << 1) | (ignoreAlpha & 1)];
}

} // namespace Korvo
