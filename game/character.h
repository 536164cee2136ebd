// Units on the grid: the player's (Character) and the enemy's (Enemy).
#pragma once

#include <vector>

#include "game/effects.h"
#include "game/job_data.h"
#include "game/map_data.h"

// A one-cell step, a facing and a sprite-sheet row.
enum MoveDirection { kMoveUp = 0, kMoveRight = 1, kMoveDown = 2, kMoveLeft = 3, kMoveNone = 4 };

// The cell next to (x, y) in a direction.
CellPoint NeighbourCell(int x, int y, int direction);

class Character;
typedef std::vector<Character *> UnitList;

// A unit: walks its route, spots, fires at the nearest visible opponent, takes hits.
class Character {
public:
    // An unbound unit (enemies are bound afterwards)
    Character();
    // A unit of the job on the cell
    Character(JobData *job, int cellX, int cellY);
    virtual ~Character() {}

    // Walk the current one-cell step, or start the next one
    virtual void StepAlongRoute(const UnitList &ownUnits, const UnitList &opponents);
    // Take the job's values and stand on the cell
    virtual void BindJobAndCell(JobData *job, int cellX, int cellY);
    // Whether an opponent sees this unit
    virtual void UpdateSpotted(const UnitList &opponents, const MapData &grid);
    // Fire at the nearest visible opponent in range once the cooldown is over
    virtual void AttackNearestTarget(const UnitList &opponents, const MapData &grid);
    // Lose HP to the attacker's shot; the damage
    virtual int TakeHit(const JobData *attacker, const MapData &grid);
    // One frame of behaviour
    virtual void UpdateUnit(const UnitList &ownUnits, const UnitList &opponents, const MapData &grid);
    // Draw the sprite, HP bar and hit effects
    virtual void DrawUnit();
    // Draw the route ahead and the search and attack circles
    virtual void DrawRouteAndRanges();

    JobData *job;
    int hp;
    int cellX;
    int cellY;
    float x;
    float y;
    // The next step at the back.
    std::vector<int> route;
    bool spotted;
    bool alive;
    int facing;
    float stepRemaining;
    float animationCounter;
    int alpha;
    EffectManager effects;
    int attackCooldown;
    float rangeMultiplier;

protected:
    // Spot, fire and walk: the frame of an alive unit; false for one that is not alive
    bool RunAliveUnitFrame(const UnitList &ownUnits, const UnitList &opponents, const MapData &grid);
    void DrawSpriteBarAndEffects();

private:
    Character(const Character &);
    Character &operator=(const Character &);
};

// Enemy behaviour modes, carried out by the battle while the route is empty.
enum EnemyAiMode { kAiRandomWalk = 0, kAiChaseUnit = 1, kAiHoldUntilHit = 2, kAiHold = 3 };

// An enemy unit: always seen on open ground, fades out when unseen.
class Enemy : public Character {
public:
    Enemy() : aiMode(kAiRandomWalk) {}

    void UpdateSpotted(const UnitList &opponents, const MapData &grid) override;
    int TakeHit(const JobData *attacker, const MapData &grid) override;
    void UpdateUnit(const UnitList &ownUnits, const UnitList &opponents, const MapData &grid) override;
    void DrawUnit() override;

    int aiMode;
};
