// Route search: the first route found has the fewest steps and, among equals,
// the steps earliest in the order up, right, down, left.
#include "game/route_search.h"

#include "game/battle_sys.h"

static const int kRootDepth = 1;

static const MapData &BattleGrid(BattleSys *battle)
{
    return *battle->stage->map;
}

static RouteNode *AddChild(RouteNode *parent, int x, int y, int direction, RouteQueue &queue)
{
    RouteNode *child = new RouteNode{x, y, parent->depth + 1, parent, {}, direction};
    parent->children.push_back(child);
    queue.push_back(child);
    return child;
}

// Children first
static void FreeRouteTree(RouteNode *node)
{
    for (RouteNode *child : node->children) {
        FreeRouteTree(child);
    }
    delete node;
}

static bool IsReverseDirection(int a, int b)
{
    return (a == kMoveUp && b == kMoveDown) || (a == kMoveDown && b == kMoveUp) ||
           (a == kMoveLeft && b == kMoveRight) || (a == kMoveRight && b == kMoveLeft);
}

// NOTE: the search also ends when the queue runs empty: the target cannot be
// reached and the unit keeps its route.
void SearchRoute(BattleSys *battle, int fromX, int fromY, int toX, int toY, Character *unit)
{
    if (fromX == toX && fromY == toY) {
        return;
    }
    const MapData &grid = BattleGrid(battle);
    RouteNode *root = new RouteNode{fromX, fromY, kRootDepth, nullptr, {}, kMoveNone};
    battle->routeSearchDone = false;
    RouteQueue queue;
    std::vector<CellPoint> visited;
    // The root's own cell and the step rule are not tested: only walkability
    for (int direction = kMoveUp; direction <= kMoveLeft; ++direction) {
        const CellPoint next = NeighbourCell(fromX, fromY, direction);
        if (IsCellInGrid(grid, next.x, next.y) && IsWalkableCell(grid.grid[next.x][next.y])) {
            AddChild(root, next.x, next.y, direction, queue);
        }
    }
    while (!battle->routeSearchDone && !queue.empty()) {
        ExpandRouteSearch(battle, queue, toX, toY, unit, visited);
    }
    FreeRouteTree(root);
}

// Cells count as visited when expanded, so one may wait in the queue twice
void ExpandRouteSearch(BattleSys *battle, RouteQueue &queue, int toX, int toY, Character *unit,
                       std::vector<CellPoint> &visited)
{
    RouteNode *node = queue.front();
    queue.pop_front();
    if (node->x == toX && node->y == toY) {
        battle->routeSearchDone = true;
        StoreRouteFromNode(unit, battle, node);
    }
    if (battle->routeSearchDone) {
        return;
    }
    for (const CellPoint &cell : visited) {
        if (cell.x == node->x && cell.y == node->y) {
            return;
        }
    }
    visited.push_back(CellPoint{node->x, node->y});
    const MapData &grid = BattleGrid(battle);
    const int here = grid.grid[node->x][node->y];
    for (int direction = kMoveUp; direction <= kMoveLeft; ++direction) {
        const CellPoint next = NeighbourCell(node->x, node->y, direction);
        if (!IsCellInGrid(grid, next.x, next.y) || !IsStepAllowed(here, grid.grid[next.x][next.y]) ||
            IsReverseDirection(node->direction, direction)) {
            continue;
        }
        AddChild(node, next.x, next.y, direction, queue);
    }
}

// The last step first, the first step at the back
void StoreRouteFromNode(Character *unit, BattleSys *battle, const RouteNode *node)
{
    Character *target = unit != nullptr ? unit : battle->SelectedUnit();
    if (target == nullptr) {
        return;
    }
    target->route.clear();
    for (; node->parent != nullptr; node = node->parent) {
        target->route.push_back(node->direction);
    }
}
