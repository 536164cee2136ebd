// Line of sight between units over the cells that block it.
#include "game/line_of_sight.h"

#include <algorithm>

static const int kCellSize = 32;
static const float kIntersectTolerance = 0.00001f;

// Cover blocks sight only between a unit on open ground and one on concealment
static bool CellBlocksSight(int value, int valueA, int valueB)
{
    if (value == kCellWall) {
        return true;
    }
    if (value == kCellCover) {
        return (valueA == kCellOpen && valueB == kCellConceal) || (valueA == kCellConceal && valueB == kCellOpen);
    }
    return false;
}

bool HasLineOfSight(const Character &a, const Character &b, const MapData &grid)
{
    const int endX = static_cast<int>(b.x) + b.job->spriteWidth / 2;
    const int endY = static_cast<int>(b.y) + b.job->spriteHeight / 2;
    int startX = static_cast<int>(a.x);
    const int startY = static_cast<int>(a.y);
    if (!(b.cellX < a.cellX)) {
        startX += a.job->spriteWidth;
    }
    const int valueA = CellValueAt(grid, a.cellX, a.cellY);
    const int valueB = CellValueAt(grid, b.cellX, b.cellY);
    const int minColumn = std::min(a.cellX, b.cellX);
    const int maxColumn = std::max(a.cellX, b.cellX);
    const int minRow = std::min(a.cellY, b.cellY);
    const int maxRow = std::max(a.cellY, b.cellY);
    for (int column = minColumn; column <= maxColumn; ++column) {
        for (int row = minRow; row <= maxRow; ++row) {
            if (column == maxColumn && row == maxRow) {
                continue;
            }
            if (!CellBlocksSight(CellValueAt(grid, column, row), valueA, valueB)) {
                continue;
            }
            if (SegmentHitsCell(kCellSize * column, kCellSize * row, startX, startY, endX, endY)) {
                return false;
            }
        }
    }
    return true;
}

// Top, left, right, bottom edge
bool SegmentHitsCell(int left, int top, int startX, int startY, int endX, int endY)
{
    const int right = left + kCellSize;
    const int bottom = top + kCellSize;
    return SegmentsIntersect(left, top, right, top, startX, startY, endX, endY) ||
           SegmentsIntersect(left, top, left, bottom, startX, startY, endX, endY) ||
           SegmentsIntersect(right, top, right, bottom, startX, startY, endX, endY) ||
           SegmentsIntersect(left, bottom, right, bottom, startX, startY, endX, endY);
}

// Parallel segments never meet; the quotients are single precision
bool SegmentsIntersect(int p1x, int p1y, int p2x, int p2y, int q1x, int q1y, int q2x, int q2y)
{
    const int l = (p2y - p1y) * (q2x - q1x);
    const int m = (p2x - p1x) * (q2y - q1y);
    if (l == m) {
        return false;
    }
    const float denominator = static_cast<float>(l - m);
    const float u = static_cast<float>((p1x - q1x) * (p2y - p1y) - (p1y - q1y) * (p2x - p1x)) / denominator;
    const float t = static_cast<float>((p1x - q1x) * (q2y - q1y) - (p1y - q1y) * (q2x - q1x)) / denominator;
    return u + kIntersectTolerance >= 0.0f && u - kIntersectTolerance <= 1.0f && t + kIntersectTolerance >= 0.0f &&
           t - kIntersectTolerance <= 1.0f;
}
