// The battle map: a 20x15 grid of cell values read from a text file, its deploy
// and goal cells, and the picture drawn under the battle.
#pragma once

#include <vector>

// What a cell value means (0-9).
enum CellType {
    kCellBlocked = 0,   // not walkable
    kCellOpen = 1,      // an enemy on it is always spotted
    kCellDeploy = 2,    // player units are deployed here
    kCellGoal = 3,      // a player unit that reaches it counts toward the goal
    kCellConceal = 4,   // hidden from an opponent on cover
    kCellCover = 5,     // armour counts twice; longer attack range
    kCellWall = 6,      // blocks sight
};

// A grid cell.
struct CellPoint {
    int x;
    int y;
};

// The battle map.
class MapData {
public:
    MapData();
    virtual ~MapData();

    int columns;
    int rows;
    // Column pointers into one block: grid[x][y] is cell (x, y).
    int **grid;
    std::vector<CellPoint> deployPoints;
    std::vector<CellPoint> goalPoints;
    int background;

private:
    MapData(const MapData &);
    MapData &operator=(const MapData &);
};

// The cell's value, 0 for a cell outside the grid.
int CellValueAt(const MapData &map, int x, int y);
// Whether (x, y) lies in the grid.
bool IsCellInGrid(const MapData &map, int x, int y);
// Whether a route may end on a cell of this value (1-5).
bool IsWalkableCell(int value);
// Whether a one-cell step from a cell of value `from` into one of value `to` is allowed.
bool IsStepAllowed(int from, int to);
// Fill the grid and the two lists from a map file (the lists emptied first, cells
// the file does not reach left as they were); a file that cannot be opened is
// reported on the standard output and leaves the map as it was.
void ReadMapFile(MapData &map, const char *fileName);
