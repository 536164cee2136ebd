// A battle on a map written as rows of digits, with the library stand-in reset.
#pragma once

#include <string>
#include <vector>

#include "game/battle_sys.h"
#include "tests/game/fake_library.h"

struct TestBattle {
    MapData map;
    StageInfo stage;
    BattleSys *battle;

    // Rows of digits from row 0, as a map file lists them; cells not given are 0
    explicit TestBattle(const std::vector<std::string> &rows) : stage(*StageList[0]), battle(nullptr)
    {
        ResetFakeLibrary();
        for (size_t y = 0; y < rows.size(); ++y) {
            for (size_t x = 0; x < rows[y].size(); ++x) {
                map.grid[x][y] = rows[y][x] - '0';
                const CellPoint cell{static_cast<int>(x), static_cast<int>(y)};
                if (map.grid[x][y] == kCellDeploy) {
                    map.deployPoints.push_back(cell);
                } else if (map.grid[x][y] == kCellGoal) {
                    map.goalPoints.push_back(cell);
                }
            }
        }
        stage.map = &map;
        battle = new BattleSys();
        battle->stage = &stage;
    }
    ~TestBattle() { delete battle; }

    // A player unit of the job slot on the cell, owned by the battle
    Character *AddPlayer(int slot, int x, int y)
    {
        Character *unit = new Character(&battle->Job(slot), x, y);
        battle->playerUnits.push_back(unit);
        return unit;
    }
    Enemy *AddEnemy(int slot, int x, int y)
    {
        Enemy *enemy = new Enemy();
        enemy->BindJobAndCell(&battle->Job(slot), x, y);
        battle->enemies.push_back(enemy);
        return enemy;
    }
};

// Rows of one digit everywhere.
inline std::vector<std::string> FilledRows(char digit)
{
    return std::vector<std::string>(15, std::string(20, digit));
}
