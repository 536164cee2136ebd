// The battle map, the cell rules shared by movement, routes and sight, and the
// map-file reader.
#include "game/map_data.h"

#include <cstdio>
#include <fstream>
#include <iostream>

static const int kMapColumns = 20;
static const int kMapRows = 15;

// A grid of blocked cells and empty lists
MapData::MapData()
    : columns(kMapColumns), rows(kMapRows), grid(new int *[kMapColumns]), background(0)
{
    int *block = new int[kMapColumns * kMapRows]();
    for (int x = 0; x < columns; ++x) {
        grid[x] = block + x * rows;
    }
}

MapData::~MapData()
{
    delete[] grid[0];
    delete[] grid;
}

bool IsCellInGrid(const MapData &map, int x, int y)
{
    return x >= 0 && x < map.columns && y >= 0 && y < map.rows;
}

int CellValueAt(const MapData &map, int x, int y)
{
    return IsCellInGrid(map, x, y) ? map.grid[x][y] : kCellBlocked;
}

bool IsWalkableCell(int value)
{
    return value >= kCellOpen && value <= kCellCover;
}

// Open ground and cover never meet in one step
bool IsStepAllowed(int from, int to)
{
    switch (to) {
    case kCellDeploy:
    case kCellGoal:
    case kCellConceal:
        return true;
    case kCellOpen:
        return from != kCellCover;
    case kCellCover:
        return from != kCellOpen;
    default:
        return false;
    }
}

// Read digit by digit; a line feed starts the next row. Digits outside the
// 20x15 grid are skipped, and cells the file does not reach keep their values.
void ReadMapFile(MapData &map, const char *fileName)
{
    std::ifstream file(fileName);
    if (!file) {
        std::cout << "ファイルパスが不正です" << std::endl;
        return;
    }
    map.deployPoints.clear();
    map.goalPoints.clear();

    int row = 0;
    int column = 0;
    for (;;) {
        const int c = file.get();
        if (c == std::char_traits<char>::eof() || c == 0xFF) {
            break;
        }
        if (c == '\n') {
            ++row;
            column = 0;
        } else if (c >= '0' && c <= '9') {
            if (IsCellInGrid(map, column, row)) {
                const int value = c - '0';
                map.grid[column][row] = value;
                if (value == kCellDeploy) {
                    map.deployPoints.push_back(CellPoint{column, row});
                } else if (value == kCellGoal) {
                    map.goalPoints.push_back(CellPoint{column, row});
                }
            }
            ++column;
        }
    }
}
