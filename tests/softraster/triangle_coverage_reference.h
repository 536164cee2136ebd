// Coverage and texel coordinates of one triangle, computed pixel by pixel in
// closed form: each edge's X at a row is its start plus rows times its
// truncated slope, and u and v at a pixel are the reference texel plus the row
// and column offsets times the truncated gradients. Nothing here steps from
// one pixel or row to the next as the rasteriser does.
#pragma once

#include <cstdint>
#include <functional>

#include "core/math/float_math.h"
#include "softraster/shapes.h"

namespace shape_test {

struct ReferenceEdge {
    int64_t x;       // 14.18 at the edge's first row
    int rows;
    int64_t slope;   // 14.18 per row, truncated
};

inline int64_t Fixed(int c, bool half) { return static_cast<int64_t>(c) * 262144 + (half ? 131072 : 0); }
inline int WholeOf(int64_t fixed) { return static_cast<int>(fixed / 262144); }

inline ReferenceEdge EdgeBetween(int64_t x0, int64_t y0, int64_t x1, int64_t y1)
{
    const int rows = WholeOf(y1 - y0);
    return {x0, rows, rows != 0 ? (x1 - x0) / rows : 0};
}

// Vertex numbers ordered by a key: exchange sort, equal keys stay.
inline void OrderBy(const int64_t key[3], int order[3])
{
    order[0] = 0, order[1] = 1, order[2] = 2;
    for (int i = 0; i < 2; ++i)
        for (int j = i + 1; j < 3; ++j)
            if (key[order[i]] > key[order[j]])
                std::swap(order[i], order[j]);
}

// Calls pixel(column, row, u, v) for every pixel inside the clip that the triangle covers.
inline void ForEachCoveredPixel(const Korvo::MemImgTriangleVertex *t, const RECT &clip,
                                const std::function<void(int, int, uint32_t, uint32_t)> &pixel)
{
    int64_t x[3], y[3], u[3], v[3];
    for (int i = 0; i < 3; ++i)
        x[i] = Fixed(t[i].x, true), y[i] = Fixed(t[i].y, true), u[i] = Fixed(t[i].u, false), v[i] = Fixed(t[i].v, false);
    int a[3], b[3];
    OrderBy(x, a);
    OrderBy(y, b);
    const int dx1 = WholeOf(x[a[1]] - x[a[0]]), dy1 = WholeOf(y[a[1]] - y[a[0]]);
    const int dx2 = WholeOf(x[a[2]] - x[a[0]]), dy2 = WholeOf(y[a[2]] - y[a[0]]);
    const int du1 = WholeOf(u[a[1]] - u[a[0]]), dv1 = WholeOf(v[a[1]] - v[a[0]]);
    const int du2 = WholeOf(u[a[2]] - u[a[0]]), dv2 = WholeOf(v[a[2]] - v[a[0]]);
    const int det = dy1 * dx2 - dy2 * dx1;
    if (det == 0)
        return;
    auto gradient = [&](int n) { return static_cast<uint32_t>(Korvo::TruncateDoubleToInt(n * 262144.0 / det)); };
    const uint32_t uColumn = gradient(dy1 * du2 - dy2 * du1), uRow = gradient(dx2 * du1 - dx1 * du2);
    const uint32_t vColumn = gradient(dy1 * dv2 - dy2 * dv1), vRow = gradient(dx2 * dv1 - dx1 * dv2);

    // Left and right chains: one or two edges each; a turn at the middle vertex.
    ReferenceEdge left[2]{}, right[2]{};
    int firstRow = WholeOf(y[b[0]]);
    bool leftTurns = false, rightTurns = false;
    if (y[b[0]] == y[b[1]]) {
        const int l = x[b[1]] < x[b[0]] ? b[1] : b[0], r = l == b[0] ? b[1] : b[0];
        left[0] = EdgeBetween(x[l], y[l], x[b[2]], y[b[2]]);
        right[0] = EdgeBetween(x[r], y[r], x[b[2]], y[b[2]]);
    } else if (y[b[1]] == y[b[2]]) {
        const int l = x[b[2]] < x[b[1]] ? b[2] : b[1], r = l == b[1] ? b[2] : b[1];
        left[0] = EdgeBetween(x[b[0]], y[b[0]], x[l], y[l]);
        right[0] = EdgeBetween(x[b[0]], y[b[0]], x[r], y[r]);
    } else {
        const double s1 = static_cast<double>(x[b[1]] - x[b[0]]) / (static_cast<double>(y[b[1]] - y[b[0]]) * 3.814697265625e-06);
        const double s2 = static_cast<double>(x[b[2]] - x[b[0]]) / (static_cast<double>(y[b[2]] - y[b[0]]) * 3.814697265625e-06);
        const ReferenceEdge longEdge = EdgeBetween(x[b[0]], y[b[0]], x[b[2]], y[b[2]]);
        const ReferenceEdge upper = EdgeBetween(x[b[0]], y[b[0]], x[b[1]], y[b[1]]);
        if (s1 < s2) {
            left[0] = upper, left[1] = EdgeBetween(x[b[1]], y[b[1]], x[b[2]], y[b[2]]), right[0] = longEdge;
            leftTurns = true;
            firstRow = WholeOf(y[b[1]]) - upper.rows;   // the lower part starts at the middle vertex's row
        } else {
            right[0] = upper, right[1] = EdgeBetween(x[b[1]] + 1, y[b[1]], x[b[2]], y[b[2]]), left[0] = longEdge;
            rightTurns = true;
        }
    }
    auto edgeX = [](const ReferenceEdge *chain, bool turns, int k) {
        return turns && k >= chain[0].rows ? chain[1].x + (k - chain[0].rows) * chain[1].slope
                                           : chain[0].x + k * chain[0].slope;
    };
    const int rows = WholeOf(y[b[2]] - y[b[0]]);
    const int refColumn = WholeOf(x[a[0]]), refRow = WholeOf(y[a[0]]);
    for (int k = 0; k < rows; ++k) {
        const int row = firstRow + k;
        if (row < clip.top || row >= clip.bottom)
            continue;
        const int first = std::max<int>(WholeOf(edgeX(left, leftTurns, k)), clip.left);
        const int last = std::min<int>(WholeOf(edgeX(right, rightTurns, k)), clip.right - 1);
        for (int column = first; column <= last; ++column) {
            const uint32_t dr = static_cast<uint32_t>(row - refRow), dc = static_cast<uint32_t>(column - refColumn);
            pixel(column, row, static_cast<uint32_t>(u[a[0]]) + dr * uRow + dc * uColumn,
                  static_cast<uint32_t>(v[a[0]]) + dr * vRow + dc * vColumn);
        }
    }
}

}  // namespace shape_test
