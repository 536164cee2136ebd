// Whether one unit sees another across the walls and cover of the grid.
#pragma once

#include "game/character.h"
#include "game/map_data.h"

// From a top corner of a's sprite to the centre of b's; order matters.
bool HasLineOfSight(const Character &a, const Character &b, const MapData &grid);
// Whether the segment meets an edge of the 32x32 cell square at (left, top).
bool SegmentHitsCell(int left, int top, int startX, int startY, int endX, int endY);
// Whether segment P1-P2 meets segment Q1-Q2, ends included.
bool SegmentsIntersect(int p1x, int p1y, int p2x, int p2y, int q1x, int q1y, int q2x, int q2y);
