// The built-in shaders on Wine's device: a built-in pixel shader draws and its
// pixels are read back; the constant layers decide which value the shader sees;
// the embedded code disassembles to what its assembly source says; shader
// handles refuse code that fails the byte-code checks.

#include "tests/graphics/win32/device/library_session.h"
#include "tests/support/wait_backstop.h"

#include "core/threads/async_load.h"
#include "graphics/draw/buffer_handles.h"
#include "graphics/shading/builtin_shader_archives.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/state/shader_constants.h"
#include "graphics/shading/shader_handles.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/startup_entries.h"
#include "graphics/shading/user_shader_draw.h"

#include <d3dcompiler.h>

#include <cstring>
#include <string>
#include <vector>

using namespace Korvo;

namespace {

struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t colour;
};

constexpr DWORD kScreenVertexFormat = 0x4 | 0x40;  // XYZRHW | DIFFUSE

// The draw screen's pixel at (50, 50), inside the quads the tests draw.
uint32_t ReadCentrePixel()
{
    return GraphicsTest::ReadTargetPixel(50, 50);
}

// Draw a 100 x 100 quad at (10, 10) with the bound pixel shader; the pixel at (50, 50).
uint32_t DrawQuadAndReadCentre(uint32_t colour)
{
    G_D3D_BeginSceneIfNeeded();
    const ScreenVertex quad[4] = {{10, 10, 0, 1, colour}, {110, 10, 0, 1, colour}, {10, 110, 0, 1, colour},
                                  {110, 110, 0, 1, colour}};
    D3DDev_SetRenderState(K_D3DRS_ALPHABLENDENABLE, 0);
    D3DDev_SetVertexShader(nullptr);
    StateCache.vertexShader = nullptr;
    D3DDev_SetFVF(kScreenVertexFormat);
    D3DDev_DrawPrimitiveUP(K_D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
    return ReadCentrePixel();
}

void ExpectNear(uint32_t got, uint32_t want)
{
    for (int shift = 0; shift <= 16; shift += 8) {
        int a = static_cast<int>((got >> shift) & 0xFF);
        int b = static_cast<int>((want >> shift) & 0xFF);
        EXPECT_LE(std::abs(a - b), 1) << std::hex << "got " << got << " want " << want;
    }
}

std::string Disassemble(const void *code, int size)
{
    HMODULE compiler = LoadLibraryA("d3dcompiler_47.dll");
    EXPECT_NE(compiler, nullptr);
    auto disassemble =
        reinterpret_cast<pD3DDisassemble>(reinterpret_cast<void *>(GetProcAddress(compiler, "D3DDisassemble")));
    EXPECT_NE(disassemble, nullptr);
    ID3DBlob *text = nullptr;
    if (disassemble == nullptr || disassemble(code, static_cast<SIZE_T>(size), 0, nullptr, &text) < 0 || text == nullptr) {
        return "";
    }
    std::string result(static_cast<const char *>(text->GetBufferPointer()), text->GetBufferSize());
    text->Release();
    return result;
}

class ShaderDrawTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0); }
    void TearDown() override { EXPECT_EQ(ShutdownLibrary(), 0); }
};

TEST_F(ShaderDrawTest, ABuiltinPixelShaderDrawsTheComplementedColour)
{
    ASSERT_EQ(GraphicsState.programmableShader, 1);
    int shader = CreateShaderFromBuiltinArchive(0, "ps_nonetex_type2.pso");
    ASSERT_NE(shader, -1);
    ASSERT_EQ(BindPixelShaderHandle(shader), 0);
    ExpectNear(DrawQuadAndReadCentre(0xFF28C864), 0xD7379B);
    EXPECT_EQ(BindVertexShaderHandle(shader), -1) << "a pixel shader is no vertex shader";
    EXPECT_EQ(CreateShaderFromBuiltinArchive(0, "no_such.pso"), -1);
}

// ps_nonetex_type1 with a transparent diffuse colour shows pixel constant c5.
TEST_F(ShaderDrawTest, TheDeviceSeesTheHighestActiveLayersConstant)
{
    int shader = CreateShaderFromBuiltinArchive(0, "ps_nonetex_type1.pso");
    ASSERT_NE(shader, -1);
    ASSERT_EQ(BindPixelShaderHandle(shader), 0);
    const float red[4] = {1, 0, 0, 1}, green[4] = {0, 1, 0, 1}, blue[4] = {0, 0, 1, 1};
    struct Step {
        const char *what;
        int action;  // 0 store, 1 select layers, 2 clear
        int layer;
        const float *value;
        int mask;
        uint32_t expected;
    };
    const Step steps[] = {
        {"library layer", 0, 0, red, 0, 0xFF0000},
        {"caller layer while inactive", 0, 3, green, 0, 0xFF0000},
        {"caller layer selected", 1, 0, nullptr, 9, 0x00FF00},
        {"library layer hidden", 0, 0, blue, 0, 0x00FF00},
        {"caller layer cleared", 2, 3, nullptr, 0, 0x0000FF},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.what);
        if (s.action == 0) {
            ASSERT_EQ(StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, s.layer, 5, s.value, 1, 1), 0);
        } else if (s.action == 1) {
            ASSERT_EQ(SelectConstantLayers(s.mask), 0);
        } else {
            ASSERT_EQ(ClearShaderConstants(SHADER_FILE_PIXEL_FLOAT, s.layer, 5, 1), 0);
        }
        ExpectNear(DrawQuadAndReadCentre(0x00808080), s.expected);
    }
    SelectConstantLayers(1);
}

TEST_F(ShaderDrawTest, EmbeddedCodeDisassemblesToItsSource)
{
    struct Case {
        int archive;
        const char *path;
        std::vector<const char *> expected;
    };
    const Case cases[] = {
        {1, "vs_base.vso", {"vs_2_0", "m4x4", "c94", "oPos"}},
        {2, "ps_blend1_type0_igcolor0_igtalpha1.pso", {"ps_2_0", "texld", "lrp r0.xyzw, c6.x, r2", "mov r0.w, c0.z"}},
        {2, "ps_nonetex_type3.pso", {"ps_2_0", "add r0.xyz, v0", "add r0.xyz, r0", "mov r0.w, v0.w"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        const void *code = nullptr;
        int size = 0;
        ASSERT_EQ(FindBuiltinShaderCode(c.archive, c.path, &code, &size), 0);
        std::string text = Disassemble(code, size);
        for (const char *piece : c.expected) {
            EXPECT_NE(text.find(piece), std::string::npos) << piece << " in\n" << text;
        }
    }
}

TEST_F(ShaderDrawTest, CodeFailingTheChecksMakesNoHandle)
{
    const void *code = nullptr;
    int size = 0;
    ASSERT_EQ(FindBuiltinShaderCode(2, "ps_mask_blend.pso", &code, &size), 0);
    std::vector<uint8_t> good(static_cast<const uint8_t *>(code), static_cast<const uint8_t *>(code) + size);
    int before = HandleTypeTable[HANDLE_KIND_SHADER].liveCount;
    std::vector<uint8_t> wrongKind = good;
    wrongKind[2] = 0xFE;  // a vertex shader's version token
    EXPECT_EQ(CreatePixelShaderHandle(wrongKind.data(), size), -1);
    // A constant-table comment claiming more words than the code holds.
    std::vector<uint8_t> longComment(good.begin(), good.begin() + 4);
    const uint32_t comment[2] = {0xFFFEu | (1000u << 16), 0x42415443u};
    longComment.insert(longComment.end(), reinterpret_cast<const uint8_t *>(comment),
                       reinterpret_cast<const uint8_t *>(comment) + sizeof(comment));
    longComment.insert(longComment.end(), good.begin() + 4, good.end());
    EXPECT_EQ(CreatePixelShaderHandle(longComment.data(), static_cast<int>(longComment.size())), -1);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_SHADER].liveCount, before);
    int handle = CreatePixelShaderHandle(good.data(), size);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(DeleteShaderHandle(handle), 0);
    EXPECT_EQ(DeleteShaderHandle(handle), -1);

    // In the background: the handle comes at once and is usable once its job ends;
    // code the checks refuse takes its handle away.
    SetLoadInBackgroundFlag(1);
    int loaded = CreatePixelShaderHandle(good.data(), size);
    int refused = CreatePixelShaderHandle(wrongKind.data(), size);
    SetLoadInBackgroundFlag(0);
    ASSERT_NE(loaded, -1);
    ASSERT_NE(refused, -1);
    KorvoTest::Backstop backstop("the shaders' background loads", KorvoTest::kWaitBackstopSeconds);
    while (GetQueuedAsyncJobCount() > 0 && !backstop.Passed()) {
        RunMainThreadRequests();
        Sleep(1);
    }
    EXPECT_EQ(BindPixelShaderHandle(loaded), 0) << backstop.Report();
    EXPECT_EQ(LookupShaderRecord(refused), nullptr);
    EXPECT_EQ(HandleTypeTable[HANDLE_KIND_SHADER].liveCount, before + 1);
    EXPECT_EQ(DeleteShaderHandle(loaded), 0);
}

} // namespace

namespace {

// A rebuild of the device through the library keeps shader and buffer handles:
// the shader draws again and the buffers' device copies hold their data.
TEST_F(ShaderDrawTest, ShaderAndBufferHandlesSurviveADeviceRebuild)
{
    int shader = CreateShaderFromBuiltinArchive(0, "ps_nonetex_type2.pso");
    int vertices = CreateVertexBufferHandle(3);
    int indices = CreateIndexBufferHandle(6);
    ASSERT_NE(shader, -1);
    ASSERT_NE(vertices, -1);
    ASSERT_NE(indices, -1);
    std::vector<uint8_t> vertexData(3 * kBufferVertexBytes);
    for (size_t i = 0; i < vertexData.size(); ++i) {
        vertexData[i] = static_cast<uint8_t>(i * 7);
    }
    const uint16_t indexData[6] = {0, 1, 2, 2, 1, 0};
    ASSERT_EQ(SetVertexBufferData(0, vertexData.data(), 3, vertices), 0);
    ASSERT_EQ(SetIndexBufferData(0, indexData, 6, indices), 0);
    ASSERT_EQ(RecreateGraphicsDevice(), 0);
    ASSERT_EQ(BindPixelShaderHandle(shader), 0);
    ExpectNear(DrawQuadAndReadCentre(0xFF28C864), 0xD7379B);
    struct Case {
        int kind;
        int handle;
        const void *data;
        size_t bytes;
    };
    const Case cases[] = {{HANDLE_KIND_VERTEX_BUFFER, vertices, vertexData.data(), vertexData.size()},
                          {HANDLE_KIND_INDEX_BUFFER, indices, indexData, sizeof(indexData)}};
    for (const Case &c : cases) {
        BufferRecord *record = LookupBufferRecord(c.kind, c.handle);
        ASSERT_NE(record, nullptr);
        ASSERT_NE(record->device, nullptr);
        void *at = nullptr;
        ASSERT_GE(D3DBuf_Lock(record->device, 0, static_cast<UINT>(c.bytes), &at, 0x10), 0);  // read only
        EXPECT_EQ(std::memcmp(at, c.data, c.bytes), 0);
        D3DBuf_Unlock(record->device);
    }
}

} // namespace

namespace {

// The caller's own pixel shader over a graph selected as its texture: the
// complement of the graph's colour, drawn with the fixed 2-D vertex format.
TEST_F(ShaderDrawTest, AUserPixelShaderDrawsTheSelectedGraph)
{
    GraphCreateSettings settings;
    CaptureGraphCreateSettings(&settings);
    settings.drawable = 1;  // a colour fill reaches the device only in a drawable graph
    int graph = CreateBlankGraphFromSettings(&settings, 16, 16, 0, 0, nullptr);
    ASSERT_NE(graph, -1);
    ASSERT_EQ(FillGraphWithColor(graph, 0x28, 0xC8, 0x64, 255, nullptr), 0);
    int shader = CreateShaderFromBuiltinArchive(0, "ps_blend0_type2_igcolor0_igtalpha1.pso");
    ASSERT_NE(shader, -1);
    EXPECT_EQ(PrepareUserShaderDraw(0, 1, 0, -1), -1) << "no pixel shader selected";
    ASSERT_EQ(SelectShaderTexture(0, graph), 0);
    EXPECT_EQ(SelectShaderTexture(16, graph), -1);
    ASSERT_EQ(SelectUserPixelShader(shader), 0);
    ASSERT_EQ(PrepareUserShaderDraw(0, 1, 0, -1), 0);
    EXPECT_EQ(StateCache.fvf, 0x2C4u);
    EXPECT_EQ(StateCache.blendPixelShaderBound, 0);
    struct UserVertex {
        float x, y, z, rhw;
        uint32_t diffuse, specular;
        float u0, v0, u1, v1;
    };
    const UserVertex quad[4] = {{10, 10, 0, 1, 0xFFFFFFFF, 0, 0, 0, 0, 0}, {110, 10, 0, 1, 0xFFFFFFFF, 0, 1, 0, 1, 0},
                                {10, 110, 0, 1, 0xFFFFFFFF, 0, 0, 1, 0, 1}, {110, 110, 0, 1, 0xFFFFFFFF, 0, 1, 1, 1, 1}};
    D3DDev_DrawPrimitiveUP(K_D3DPT_TRIANGLESTRIP, 2, quad, sizeof(UserVertex));
    ExpectNear(ReadCentrePixel(), 0xD7379B);

    // A selection kept across other work comes back; a shader deleted meanwhile does not.
    int other = CreateShaderFromBuiltinArchive(0, "ps_nonetex_type0.pso");
    ASSERT_NE(other, -1);
    SavedShaderSelection saved;
    SaveShaderSelection(&saved, 1);
    ASSERT_EQ(SelectUserPixelShader(other), 0);
    ASSERT_EQ(SelectShaderTexture(0, -1), 0);
    RestoreShaderSelection(&saved);
    EXPECT_EQ(UserShaders.pixelShader, shader);
    EXPECT_EQ(UserShaders.textures[0], graph);
    ASSERT_EQ(SelectUserPixelShader(other), 0);
    SaveShaderSelection(&saved, 1);
    ASSERT_EQ(SelectUserPixelShader(shader), 0);
    ASSERT_EQ(DeleteShaderHandle(other), 0);
    RestoreShaderSelection(&saved);
    EXPECT_EQ(UserShaders.pixelShader, 0);
    SelectUserPixelShader(0);
    SelectShaderTexture(0, -1);
}

} // namespace
