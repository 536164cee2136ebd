// Breadth-first route search over the map grid, stored as a unit's route.
#pragma once

#include <deque>
#include <vector>

#include "game/character.h"

class BattleSys;

// One node of the search tree.
struct RouteNode {
    int x;
    int y;
    int depth;
    RouteNode *parent;
    std::vector<RouteNode *> children;
    int direction;
};

typedef std::deque<RouteNode *> RouteQueue;

// Search a route from one cell to another for the unit (null: the battle's
// selected player unit); with no route found the unit's route is left as it was.
void SearchRoute(BattleSys *battle, int fromX, int fromY, int toX, int toY, Character *unit);
// Expand the node at the front of the queue.
void ExpandRouteSearch(BattleSys *battle, RouteQueue &queue, int toX, int toY, Character *unit,
                       std::vector<CellPoint> &visited);
// Write the route that ends at the node into the unit (null: the selected unit).
void StoreRouteFromNode(Character *unit, BattleSys *battle, const RouteNode *node);
