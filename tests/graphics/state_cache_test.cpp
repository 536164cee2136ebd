// The device state cache against a recording device: what a setter sends, when
// staged vertices are drawn, and the blend states of every blend mode.

#include "tests/graphics/recording_device.h"

#include "graphics/shading/blend_stages.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/device/graphics_state.h"

#include <gtest/gtest.h>

using namespace Korvo;
using RecordingDevice::Call;
using RecordingDevice::Calls;

namespace {

K_IDirect3DBaseTexture9 *const kTexture = reinterpret_cast<K_IDirect3DBaseTexture9 *>(0x1000);

// The cache as the device start-up leaves it: blending off, ONE/ZERO/ADD.
void ResetToStartedDevice()
{
    RecordingDevice::Reset();
    StateCache = DeviceStateCache{};
    StateCache.srcBlend = K_D3DBLEND_ONE;
    StateCache.destBlend = K_D3DBLEND_ZERO;
    StateCache.blendOp = K_D3DBLENDOP_ADD;
    StateCache.alphaFunc = 8;
    StateCache.textureFactor = 0xFFFFFFFF;
    StateCache.stageSetupNeeded = 1;
    StateCache.filterMode = 3;
    StateCache.alphaTestMode = -1;
    Draw = DrawSettings{};
    Draw.brightColor = 0xFFFFFF;
    Draw.alphaTestMode = -1;
    Draw.fillMode = 3;
    Draw.maxAnisotropy = 1;
    for (int s = 0; s < 8; ++s) {
        Draw.addressU[s] = Draw.addressV[s] = Draw.addressW[s] = 3;
        StateCache.samplers[s].addressU = StateCache.samplers[s].addressV = StateCache.samplers[s].addressW = 3;
    }
    DeviceCaps.blendOp = 1;
    FlushStagedVertices(0);
    Calls.clear();
}

// The last value sent for a state, or -1 when it was not sent.
long LastSent(const char *kind, uint32_t state)
{
    long value = -1;
    for (const Call &call : Calls) {
        if (call.kind == kind && call.state == state) {
            value = static_cast<long>(call.value);
        }
    }
    return value;
}

size_t CountKind(const char *kind)
{
    size_t n = 0;
    for (const Call &call : Calls) {
        n += call.kind == kind ? 1 : 0;
    }
    return n;
}

TEST(StateCacheTest, ARepeatedSettingSendsNothingAndAChangeDrawsTheStagedVerticesFirst)
{
    ResetToStartedDevice();
    EXPECT_EQ(ApplyZFunc(5), 0);
    ASSERT_EQ(Calls, (std::vector<Call>{{"RS", K_D3DRS_ZFUNC, 5}}));

    ASSERT_NE(ReserveStagedVertices(STAGING_2D_PLAIN, K_D3DPT_TRIANGLELIST, 3), nullptr);
    Calls.clear();
    EXPECT_EQ(ApplyZFunc(5), 0);
    EXPECT_TRUE(Calls.empty());
    EXPECT_EQ(GetStagedVertexCount(), 3);

    EXPECT_EQ(ApplyZFunc(7), 0);
    ASSERT_GE(Calls.size(), 2u);
    EXPECT_EQ(Calls.back(), (Call{"RS", K_D3DRS_ZFUNC, 7}));
    EXPECT_EQ(LastSent("DRAW", K_D3DPT_TRIANGLELIST), 1) << "the staged triangle is drawn before the change";
    EXPECT_EQ(GetStagedVertexCount(), 0);
}

TEST(StateCacheTest, SettersFollowTheirMappingsAndRefuseBadValues)
{
    ResetToStartedDevice();
    ApplyCullMode(5);
    EXPECT_EQ(LastSent("RS", K_D3DRS_CULLMODE), K_D3DCULL_CCW);
    ApplyCullMode(2);
    EXPECT_EQ(LastSent("RS", K_D3DRS_CULLMODE), K_D3DCULL_CW);
    Calls.clear();
    EXPECT_EQ(ApplySamplerFilter(3), -1);
    EXPECT_TRUE(Calls.empty());
    EXPECT_EQ(ApplySamplerFilter(1), 0);
    EXPECT_EQ(CountKind("SAMP"), 8u) << "magnification and minification on four samplers; mip NONE is in force";
    RecordingDevice::Present = false;
    EXPECT_EQ(ApplyZFunc(3), -1);
    EXPECT_EQ(FlushStagedVertices(0), -1);
}

TEST(StateCacheTest, StagedPointsOfAnUnknownPrimitiveTypeAreDroppedWithoutADraw)
{
    ResetToStartedDevice();
    ASSERT_NE(ReserveStagedVertices(STAGING_2D_PLAIN, 7, 3), nullptr);
    EXPECT_EQ(FlushStagedVertices(0), 0);
    EXPECT_EQ(CountKind("DRAW"), 0u);
    EXPECT_EQ(GetStagedVertexCount(), 0);
}

// Final device values of one textured, vertex-coloured draw per blend mode
// (-1: the state is not sent, the device keeps ONE/ZERO).
struct BlendExpectation {
    int mode;
    long alphaBlend;
    long srcBlend;
    long destBlend;
    long blendOp;
    long alphaTest;
    long colorOp;
    long colorArg1;
};

const BlendExpectation kBlendModes[] = {
    {0, -1, -1, -1, -1, -1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
    {1, 1, K_D3DBLEND_SRCALPHA, K_D3DBLEND_INVSRCALPHA, -1, 1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
    {2, 1, K_D3DBLEND_SRCALPHA, K_D3DBLEND_ONE, -1, 1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
    {3, 1, K_D3DBLEND_SRCALPHA, K_D3DBLEND_ONE, K_D3DBLENDOP_REVSUBTRACT, 1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
    {4, 1, K_D3DBLEND_ZERO, K_D3DBLEND_SRCCOLOR, -1, 1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
    {5, 1, K_D3DBLEND_SRCALPHA, K_D3DBLEND_ONE, -1, 1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
    {6, -1, -1, -1, -1, -1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
    {7, 1, -1, -1, -1, 1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
    {8, 1, K_D3DBLEND_ZERO, K_D3DBLEND_ONE, -1, 1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
    {9, 1, K_D3DBLEND_INVDESTCOLOR, -1, -1, 1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
    {10, 1, K_D3DBLEND_SRCALPHA, K_D3DBLEND_INVSRCALPHA, -1, 1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE | K_D3DTA_COMPLEMENT},
    {11, 1, K_D3DBLEND_ZERO, K_D3DBLEND_SRCCOLOR, -1, 1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
    {12, 1, K_D3DBLEND_SRCALPHA, K_D3DBLEND_INVSRCALPHA, -1, 1, K_D3DTOP_MODULATE4X, K_D3DTA_TEXTURE},
    {13, 1, K_D3DBLEND_SRCALPHA, K_D3DBLEND_ONE, -1, 1, K_D3DTOP_MODULATE4X, K_D3DTA_TEXTURE},
    {14, 1, -1, -1, -1, 1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
    {15, 1, -1, K_D3DBLEND_INVSRCALPHA, -1, 1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
    {16, 1, K_D3DBLEND_SRCALPHA, K_D3DBLEND_ONE, K_D3DBLENDOP_REVSUBTRACT, 1, K_D3DTOP_MODULATE, K_D3DTA_TEXTURE},
};

TEST(StateCacheTest, PrepareDrawStatesSendsTheBlendStatesOfEachBlendMode)
{
    for (const BlendExpectation &e : kBlendModes) {
        SCOPED_TRACE(e.mode);
        ResetToStartedDevice();
        Draw.blendMode = e.mode;
        ASSERT_EQ(PrepareDrawStates(kTexture, DRAW_FLAG_VERTEX_COLOR), 0);
        EXPECT_EQ(LastSent("RS", K_D3DRS_ALPHABLENDENABLE), e.alphaBlend);
        EXPECT_EQ(LastSent("RS", K_D3DRS_SRCBLEND), e.srcBlend);
        EXPECT_EQ(LastSent("RS", K_D3DRS_DESTBLEND), e.destBlend);
        EXPECT_EQ(LastSent("RS", K_D3DRS_BLENDOP), e.blendOp);
        EXPECT_EQ(LastSent("RS", K_D3DRS_ALPHATESTENABLE), e.alphaTest);
        if (e.alphaTest == 1) {
            EXPECT_EQ(LastSent("RS", K_D3DRS_ALPHAFUNC), K_D3DCMP_GREATER);
            EXPECT_EQ(StateCache.alphaRef, 0);
        }
        EXPECT_EQ(LastSent("TSS", K_D3DTSS_COLOROP), e.colorOp);
        EXPECT_EQ(LastSent("TSS", K_D3DTSS_COLORARG1), e.colorArg1);
        EXPECT_EQ(LastSent("TSS", K_D3DTSS_ALPHAOP), K_D3DTOP_SELECTARG2);
        // Mode 11 weighs its colour toward the white factor by the vertex alpha in a second stage.
        EXPECT_EQ(LastSent("TSS", 1000 + K_D3DTSS_COLOROP),
                  e.mode == 11 ? K_D3DTOP_BLENDDIFFUSEALPHA : K_D3DTOP_DISABLE);
        EXPECT_EQ(LastSent("TEX", 0), 1);
        EXPECT_EQ(LastSent("RS", K_D3DRS_TEXTUREFACTOR), -1) << "the factor stays white";

        // The same draw again finds everything in place.
        Calls.clear();
        PrepareDrawStatesIfNeeded(kTexture, DRAW_FLAG_VERTEX_COLOR);
        EXPECT_EQ(CountKind("RS") + CountKind("TSS"), 0u);
    }
}

TEST(StateCacheTest, ATransparentTextureWithAlphaUsesTheAlphaTestAndTheColourKeyUsesReference16)
{
    struct Case {
        int mode;
        uint32_t flags;
        long alphaRef;
        long srcBlend;
    };
    const Case cases[] = {
        {0, DRAW_FLAG_TRANSPARENT | DRAW_FLAG_TEXTURE_ALPHA, 0, K_D3DBLEND_SRCALPHA},
        {1, DRAW_FLAG_TRANSPARENT | DRAW_FLAG_TEXTURE_ALPHA, 0, K_D3DBLEND_SRCALPHA},
        {0, DRAW_FLAG_TRANSPARENT | DRAW_FLAG_COLOR_KEY_ALPHA, 16, -1},
    };
    for (const Case &c : cases) {
        ResetToStartedDevice();
        Draw.blendMode = c.mode;
        PrepareDrawStates(kTexture, c.flags);
        EXPECT_EQ(LastSent("RS", K_D3DRS_ALPHATESTENABLE), 1);
        EXPECT_EQ(StateCache.alphaRef, c.alphaRef);
        EXPECT_EQ(LastSent("RS", K_D3DRS_SRCBLEND), c.srcBlend);
    }
    // Without a texture the transparency tests stay off.
    ResetToStartedDevice();
    PrepareDrawStates(nullptr, DRAW_FLAG_TRANSPARENT | DRAW_FLAG_TEXTURE_ALPHA);
    EXPECT_EQ(StateCache.alphaTestKey, 0);
    EXPECT_EQ(StateCache.colorKeyKey, 0);
}

} // namespace

#include "graphics/state/transforms.h"

namespace {

TEST(StateCacheTest, AVertexGridIsDrawnAsJoinedStripsInPiecesOfAtMost1000Indices)
{
    ResetToStartedDevice();
    static const unsigned char vertices[28 * 100 * 10] = {};
    EXPECT_EQ(DrawVertexGridStrips(3, vertices, 1), -1);
    EXPECT_EQ(DrawVertexGridStrips(501, vertices, 2), -1) << "a row pair longer than a piece";
    ASSERT_EQ(DrawVertexGridStrips(3, vertices, 3), 0);
    EXPECT_EQ(RecordingDevice::StripIndices,
              (std::vector<uint16_t>{3, 0, 4, 1, 5, 2, 2, 6, 6, 3, 7, 4, 8, 5}));
    Calls.clear();
    ASSERT_EQ(DrawVertexGridStrips(100, vertices, 10), 0);
    std::vector<Call> draws;
    for (const Call &call : Calls) {
        if (call.kind == "DIP") {
            draws.push_back(call);
        }
    }
    EXPECT_EQ(draws, (std::vector<Call>{{"DIP", 500, 804}, {"DIP", 500, 804}, {"DIP", 200, 198}}));
    // 80,000 vertices: the last index still names the last row pair's last vertex.
    std::vector<unsigned char> tall(28 * 2 * 40000);
    ASSERT_EQ(DrawVertexGridStrips(2, tall.data(), 40000), 0);
    size_t firstVertex = static_cast<size_t>(static_cast<const unsigned char *>(RecordingDevice::StripVertices) - tall.data()) / 28;
    EXPECT_EQ(firstVertex + RecordingDevice::StripIndices.back(), 39998u * 2 + 1);
}

} // namespace

namespace {

CustomStageRecord TwoStageRecord()
{
    CustomStageRecord record = {};
    record.alphaTestEnable = 1;
    record.alphaRef = 8;
    record.alphaFunc = K_D3DCMP_GREATER;
    record.alphaBlendEnable = 1;
    record.textureFactor = 0x80FFFFFF;
    record.srcBlend = K_D3DBLEND_SRCALPHA;
    record.destBlend = K_D3DBLEND_INVSRCALPHA;
    record.blendOp = K_D3DBLENDOP_ADD;
    record.stageCount = 2;
    record.stages[0] = CustomStage{0x1000, 0, 0, K_D3DTA_TEXTURE, K_D3DTA_DIFFUSE, K_D3DTOP_MODULATE,
                                   K_D3DTA_TEXTURE, K_D3DTA_DIFFUSE, K_D3DTOP_MODULATE};
    record.stages[1] = CustomStage{0x2000, 1, 0, -1, -1, K_D3DTOP_SELECTARG1, K_D3DTA_CURRENT, -1, K_D3DTOP_ADD};
    return record;
}

TEST(StateCacheTest, ACallersStageRecordIsSentAsGivenOrOnlyItsTexturesBound)
{
    struct Case {
        int texturesOnly;
        int alphaTestMode;
        long alphaFunc;
        size_t stageStates;
    };
    const Case cases[] = {
        {0, -1, K_D3DCMP_GREATER, 7 + 4 + 6 * 2}, // two stages sent (fields of -1 left), six switched off
        {1, -1, K_D3DCMP_GREATER, 0},
        {0, K_D3DCMP_GREATEREQUAL, K_D3DCMP_GREATEREQUAL, 7 + 4 + 6 * 2},
    };
    for (const Case &c : cases) {
        ResetToStartedDevice();
        Draw.alphaTestMode = c.alphaTestMode;
        CustomStageRecord record = TwoStageRecord();
        ASSERT_EQ(ApplyCustomBlendStages(&record, c.texturesOnly, 0), 0);
        EXPECT_EQ(LastSent("RS", K_D3DRS_ALPHAFUNC), c.alphaFunc);
        EXPECT_EQ(LastSent("RS", K_D3DRS_ALPHATESTENABLE), 1);
        EXPECT_EQ(LastSent("RS", K_D3DRS_DESTBLEND), K_D3DBLEND_INVSRCALPHA);
        EXPECT_EQ(LastSent("RS", K_D3DRS_TEXTUREFACTOR), 0x80FFFFFF);
        EXPECT_EQ(LastSent("TEX", 1), 1);
        EXPECT_EQ(CountKind("TSS"), c.stageStates);
        if (c.texturesOnly == 0) {
            EXPECT_EQ(LastSent("TSS", 1000 + K_D3DTSS_COLOROP), K_D3DTOP_ADD);
            EXPECT_EQ(LastSent("TSS", 1000 + K_D3DTSS_COLORARG2), -1) << "a field of -1 is left alone";
        }
    }
}

TEST(StateCacheTest, AnOverrideRecordServesLaterSetUpsUntilSwitchedOff)
{
    ResetToStartedDevice();
    CustomStageRecord record = TwoStageRecord();
    SetBlendStageOverride(&record, 0);
    Calls.clear();
    Draw.blendMode = 2;
    PrepareDrawStates(kTexture, DRAW_FLAG_VERTEX_COLOR);
    EXPECT_EQ(LastSent("RS", K_D3DRS_DESTBLEND), -1) << "the record's factors stay";
    SetBlendStageOverride(nullptr, 0);
    PrepareDrawStates(kTexture, DRAW_FLAG_VERTEX_COLOR);
    EXPECT_EQ(LastSent("RS", K_D3DRS_DESTBLEND), K_D3DBLEND_ONE);
}

// A new device starts with no texture bound, whatever the last draw on an earlier
// device left in the cache (its texture is gone with that device).
TEST(StateCacheTest, ANewDeviceBindsNoTextureOfAnEarlierOne)
{
    ResetToStartedDevice();
    StateCache.drawTexture = kTexture;
    StateCache.blendTexture = kTexture;
    StateCache.lastTexture = kTexture;
    StateCache.stages[0].texture = kTexture;
    InitDeviceStates();
    for (const Call &call : Calls) {
        EXPECT_FALSE(call.kind == "TEX" && call.value != 0) << "stage " << call.state;
    }
    EXPECT_GT(CountKind("TEX"), 0u);
    EXPECT_EQ(StateCache.drawTexture, nullptr);
}

} // namespace
