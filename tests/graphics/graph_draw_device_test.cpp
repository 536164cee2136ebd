// Graph draws that need more than one texture coordinate set or more than two
// triangles: the blend graph selection on both roads, blend-graph quads with their
// clipped coordinates, bent quads drawn as a grid, vertex lists with a graph.

#include "tests/graphics/graph_road_fixture.h"

#include "graphics/draw/draw_front_end.h"

#include <cstring>
#include <vector>

using namespace Korvo;

namespace {

class GraphDrawTest : public GraphicsTest::GraphRoadTest {
};

struct BlendVertex {
    float x, y, z, rhw;
    uint32_t diffuse, specular;
    float blendU, blendV, u, v;
};

template <typename Vertex> std::vector<Vertex> VerticesOf(const std::vector<uint8_t> &bytes)
{
    std::vector<Vertex> out(bytes.size() / sizeof(Vertex));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(Vertex));
    return out;
}

TEST_P(GraphDrawTest, ABlendGraphIsSelectedClampedAndDroppedOnBothRoads)
{
    const bool direct3D = GetParam();
    const int blend = MakeGraph(32, 32, false);
    const int gone = MakeGraph(32, 32, false);
    ASSERT_NE(blend, -1);
    ASSERT_EQ(DestroyGraphHandle(gone, 0), 0);
    GraphRecord *record = GetGraphRecord(blend, 0);
    struct Case {
        const char *name;
        int handle;
        int type;
        int border, ramp;
        int result;
        bool selected;
    };
    const Case cases[] = {{"threshold clamped", blend, 1, 300, -5, 0, true},
                          {"none", 0, 1, 10, 10, 0, false},
                          {"cross-fade", blend, 0, 77, 0, 0, true},
                          {"deleted graph", gone, 1, 10, 10, -1, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ApplyBlendGraphSelection(0, 0, nullptr);
        int result = c.type == 1 ? SetBlendGraphThreshold(c.handle, c.border, c.ramp)
                                 : SetBlendGraphByType(c.handle, c.type, c.border);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(Draw.blendGraph, c.selected ? blend : -1);
        if (direct3D) {
            K_IDirect3DBaseTexture9 *texture =
                reinterpret_cast<K_IDirect3DBaseTexture9 *>(record->imageSet->pieces[0].texture);
            EXPECT_EQ(StateCache.blendTexture, c.selected ? texture : nullptr);
            ASSERT_NE(texture, nullptr);
        } else {
            EXPECT_EQ(GetBlendMemImg(), c.selected ? GetGraphMemImg(record) : nullptr);
        }
    }
    SetBlendGraphThreshold(blend, 300, -5);
    EXPECT_EQ(Draw.blendGraphBorder * 1000 + Draw.blendGraphRamp, 255000);
    const int large = MakeGraph(40, 40, false);
    EXPECT_EQ(DrawGraphAtPoint(0, 0, large, 0), -1) << "a blend graph smaller than the drawn one";
}

INSTANTIATE_TEST_SUITE_P(Roads, GraphDrawTest, ::testing::Values(false, true), GraphicsTest::RoadName);

class GraphDrawDeviceTest : public GraphicsTest::GraphRoadTest {
};

TEST_P(GraphDrawDeviceTest, BlendGraphQuadsCarryBothCoordinateSetsClippedAlike)
{
    const int graph = MakeGraph(32, 32, false);
    const int blend = MakeGraph(32, 32, false);
    ASSERT_EQ(SetBlendGraphByType(blend, 0, 128), 0);
    ASSERT_EQ(SetDrawClipArea(20, 0, kWidth, kHeight), 0);
    ASSERT_EQ(DrawGraphAtPoint(10, 10, graph, 0), 0);
    FlushStagedVertices(0);
    ASSERT_EQ(RecordingDevice::DrawnVertices.size(), 1u);
    ASSERT_EQ(RecordingDevice::DrawnVertices[0].stride, sizeof(BlendVertex));
    const std::vector<BlendVertex> quad = VerticesOf<BlendVertex>(RecordingDevice::DrawnVertices[0].bytes);
    ASSERT_EQ(quad.size(), 6u);
    for (const BlendVertex &v : quad) {
        EXPECT_GE(v.x, 20.0f) << "clipped at the area";
        EXPECT_FLOAT_EQ(v.blendU, v.u) << "the blend graph lies over the drawn one";
        EXPECT_FLOAT_EQ(v.blendV, v.v);
    }
    EXPECT_FLOAT_EQ(quad[0].u, (20.0f - 9.5f) / 32.0f);
}

TEST_P(GraphDrawDeviceTest, ABentQuadWithABlendGraphMapsEachHalfOfTheGraphOntoItsTriangle)
{
    const int graph = MakeGraph(32, 32, false);
    const int blend = MakeGraph(32, 32, false);
    ASSERT_EQ(SetBlendGraphByType(blend, 2), 0);
    ASSERT_EQ(DrawGraphOnQuadF(20, 10, 40, 10, 60, 40, 0, 40, graph, 0), 0);
    FlushStagedVertices(0);
    ASSERT_EQ(RecordingDevice::DrawnVertices.size(), 1u);
    ASSERT_EQ(RecordingDevice::DrawnVertices[0].stride, sizeof(BlendVertex));
    const std::vector<BlendVertex> quad = VerticesOf<BlendVertex>(RecordingDevice::DrawnVertices[0].bytes);
    ASSERT_EQ(quad.size(), 6u);
    // (TL, TR, BL) and (BR, BL, TR), each corner at its quad corner less half a pixel.
    const float want[6][2] = {{19.5f, 9.5f}, {39.5f, 9.5f}, {-0.5f, 39.5f},
                              {59.5f, 39.5f}, {-0.5f, 39.5f}, {39.5f, 9.5f}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(quad[i].x, want[i][0]) << i;
        EXPECT_FLOAT_EQ(quad[i].y, want[i][1]) << i;
        EXPECT_FLOAT_EQ(quad[i].blendU, quad[i].u) << i;
        EXPECT_FLOAT_EQ(quad[i].blendV, quad[i].v) << i;
    }
    EXPECT_FLOAT_EQ(quad[3].u, 1.0f);
    EXPECT_FLOAT_EQ(quad[3].v, 1.0f);
}

TEST_P(GraphDrawDeviceTest, BentQuadsAreDrawnAsAnEightByEightGridAndParallelogramsAsTwoTriangles)
{
    const int graph = MakeGraph(32, 32, false);
    struct Case {
        const char *name;
        float corners[8]; // top left, top right, bottom right, bottom left
        bool grid;
    };
    const Case cases[] = {{"rectangle", {10, 10, 50, 10, 50, 40, 10, 40}, false},
                          {"sheared", {10, 10, 50, 10, 60, 40, 20, 40}, false},
                          {"trapezoid", {20, 10, 40, 10, 60, 40, 0, 40}, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RecordingDevice::Reset();
        RecordingDevice::StripVertexBytes.clear();
        const float *p = c.corners;
        ASSERT_EQ(DrawGraphOnQuadF(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], graph, 0), 0);
        FlushStagedVertices(0);
        EXPECT_EQ(CountCalls("DIP") > 0, c.grid);
        if (!c.grid) {
            ASSERT_EQ(RecordingDevice::DrawnVertices.size(), 1u);
            EXPECT_EQ(RecordingDevice::DrawnVertices[0].bytes.size(), 6 * sizeof(Vertex2D));
            continue;
        }
        const std::vector<Vertex2D> grid = VerticesOf<Vertex2D>(RecordingDevice::StripVertexBytes);
        ASSERT_EQ(grid.size(), 64u);
        const int corners[4] = {0, 7, 63, 56};
        for (int k = 0; k < 4; ++k) {
            EXPECT_FLOAT_EQ(grid[corners[k]].x, p[2 * k]) << k;
            EXPECT_FLOAT_EQ(grid[corners[k]].y, p[2 * k + 1]) << k;
        }
        EXPECT_FLOAT_EQ(grid[63].u, 1.0f) << "texture borders are not pulled in";
        EXPECT_FLOAT_EQ(grid[9].x, 20.0f - 20.0f / 7 + (40.0f + 20.0f / 7 - (20.0f - 20.0f / 7)) / 7);
    }
}

TEST_P(GraphDrawDeviceTest, VertexListsDrawWithTheGraphsTextureOrRefuseABadGraph)
{
    const int graph = MakeGraph(16, 16, false);
    Vertex2D vertices[3] = {};
    for (Vertex2D &v : vertices) {
        v.rhw = 1.0f;
        v.diffuse = 0xFFFFFFFF;
    }
    EXPECT_EQ(DrawVertexList2D(vertices, 3, K_D3DPT_TRIANGLELIST, graph + 1, 0), -1);
    RecordingDevice::Reset();
    EXPECT_EQ(DrawVertexList2D(vertices, 3, K_D3DPT_TRIANGLELIST, graph, 0), 0);
    ASSERT_EQ(RecordingDevice::DrawnVertices.size(), 1u);
    EXPECT_EQ(RecordingDevice::DrawnVertices[0].stride, sizeof(Vertex2D));
    GraphRecord *record = GetGraphRecord(graph, 0);
    EXPECT_EQ(StateCache.lastTexture, reinterpret_cast<K_IDirect3DBaseTexture9 *>(record->imageSet->pieces[0].texture));
}

TEST_P(GraphDrawDeviceTest, PartsOfOneGraphBatchWithoutTouchingTheViewport)
{
    // What a string does: one glyph cell after another from the same cache graph.
    const int graph = MakeGraph(32, 32, false);
    RecordingDevice::Reset();
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(DrawGraphSourceRect(10 + 8 * i, 10, 8 * i, 0, 8, 16, graph, 1, 0), 0);
    }
    FlushStagedVertices(0);
    ASSERT_EQ(RecordingDevice::DrawnVertices.size(), 1u) << "the four parts share one batch";
    for (const RecordingDevice::Call &call : RecordingDevice::Calls) {
        EXPECT_NE(call.kind, "D3DDev_SetViewport");
        EXPECT_NE(call.kind, "D3DDev_SetScissorRect");
    }
    const RecordingDevice::DrawnBatch &batch = RecordingDevice::DrawnVertices[0];
    ASSERT_EQ(batch.bytes.size() / batch.stride, 24u) << "two triangles a part";
    for (size_t i = 0; i < 24; ++i) {
        float x;
        std::memcpy(&x, batch.bytes.data() + i * batch.stride, sizeof x);
        const float left = 10.0f + 8.0f * static_cast<float>(i / 6);
        EXPECT_GE(x, left - 0.5f) << "vertex " << i << " stays inside its part";
        EXPECT_LE(x, left + 8.0f) << "vertex " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Roads, GraphDrawDeviceTest, ::testing::Values(true), GraphicsTest::RoadName);

} // namespace
