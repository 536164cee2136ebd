// Unit behaviour: spotting, firing, taking hits, walking and drawing.
#include "game/character.h"

#include "game/game_globals.h"
#include "game/line_of_sight.h"
#include "korvo.h"

using namespace Korvo;

static const int kCellSize = 32;
static const float kCoverRangeMultiplier = 1.2f;
static const int kHpBarWidth = 22;
static const int kHiddenFadeStep = 5;

CellPoint NeighbourCell(int x, int y, int direction)
{
    switch (direction) {
    case kMoveUp:
        return CellPoint{x, y - 1};
    case kMoveRight:
        return CellPoint{x + 1, y};
    case kMoveDown:
        return CellPoint{x, y + 1};
    case kMoveLeft:
        return CellPoint{x - 1, y};
    default:
        return CellPoint{x, y};
    }
}

static float Square(float v)
{
    return v * v;
}

// The first unit made loads the shared HP-bar frame
Character::Character()
    : job(nullptr), hp(0), cellX(0), cellY(0), x(0.0f), y(0.0f), spotted(false), alive(false), facing(kMoveUp),
      stepRemaining(0.0f), animationCounter(1.0f), alpha(0), attackCooldown(0), rangeMultiplier(1.0f)
{
    if (HpBarFrameGraph == 0) {
        HpBarFrameGraph = CreateGraphFromImageFile("img/bar_waku.png", 0);
    }
}

Character::Character(JobData *jobData, int cx, int cy) : Character()
{
    BindJobAndCell(jobData, cx, cy);
}

// The sprite stands centred on the cell
void Character::BindJobAndCell(JobData *jobData, int cx, int cy)
{
    job = jobData;
    hp = job->maxHp;
    cellX = cx;
    cellY = cy;
    x = static_cast<float>(kCellSize - job->spriteWidth) * 0.5f + static_cast<float>(kCellSize * cx);
    y = static_cast<float>(kCellSize - job->spriteHeight) * 0.5f + static_cast<float>(kCellSize * cy);
    spotted = false;
    alive = true;
    facing = kMoveUp;
    stepRemaining = 0.0f;
    animationCounter = 1.0f;
    alpha = 0;
    attackCooldown = 0;
    rangeMultiplier = 1.0f;
    effects.entries.clear();
}

// Seen by an alive enemy in its search range with a clear line; an enemy on
// cover does not see this unit on concealment
void Character::UpdateSpotted(const UnitList &opponents, const MapData &grid)
{
    spotted = false;
    for (Character *opponent : opponents) {
        if (!opponent->alive) {
            continue;
        }
        if (CellValueAt(grid, opponent->cellX, opponent->cellY) == kCellCover &&
            CellValueAt(grid, cellX, cellY) == kCellConceal) {
            continue;
        }
        const float range = static_cast<float>(opponent->job->searchRange);
        if (Square(range) >= Square(y - opponent->y) + Square(x - opponent->x) &&
            HasLineOfSight(*this, *opponent, grid)) {
            spotted = true;
            return;
        }
    }
}

// Fire every trunc(interval) frames at the nearest spotted opponent in range
void Character::AttackNearestTarget(const UnitList &opponents, const MapData &grid)
{
    if (attackCooldown > 0) {
        --attackCooldown;
        return;
    }
    if (opponents.empty()) {
        --attackCooldown;
        return;
    }
    const int range = static_cast<int>(static_cast<float>(job->attackRange) * rangeMultiplier);
    Character *target = nullptr;
    int best = 0;
    for (Character *opponent : opponents) {
        if (!opponent->alive || !opponent->spotted) {
            continue;
        }
        if (static_cast<float>(range * range) < Square(y - opponent->y) + Square(x - opponent->x)) {
            continue;
        }
        const int dx = static_cast<int>(x) - static_cast<int>(opponent->x);
        const int dy = static_cast<int>(y) - static_cast<int>(opponent->y);
        const int distance = dx * dx + dy * dy;
        if ((target == nullptr || distance < best) && HasLineOfSight(*opponent, *this, grid)) {
            target = opponent;
            best = distance;
        }
    }
    if (target != nullptr) {
        target->TakeHit(job, grid);
        if (job->hitEffect != nullptr) {  // null when it could not be allocated
            AddEffect(job->hitEffect, target->effects);
        }
        attackCooldown = static_cast<int>(job->attackInterval);
    }
    --attackCooldown;
}

// Cover counts the armour twice
int Character::TakeHit(const JobData *attacker, const MapData &grid)
{
    float damage = static_cast<float>(attacker->attack) - job->armour;
    if (CellValueAt(grid, cellX, cellY) == kCellCover) {
        damage -= job->armour;
    }
    const int taken = static_cast<int>(damage > 0.0f ? damage : 0.0f);
    hp -= taken;
    if (hp < 1) {
        alive = false;
    }
    return taken;
}

// Move along the current step; a new step starts only when no alive opponent
// stands on the next cell
void Character::StepAlongRoute(const UnitList &ownUnits, const UnitList &opponents)
{
    (void)ownUnits;
    if (route.empty() && stepRemaining == 0.0f) {
        return;
    }
    if (stepRemaining == 0.0f) {
        const int direction = route.back();
        facing = direction;
        const CellPoint target = NeighbourCell(cellX, cellY, direction);
        bool blocked = false;
        for (Character *opponent : opponents) {
            if (opponent->alive && opponent->cellX == target.x && opponent->cellY == target.y) {
                blocked = true;
                break;
            }
        }
        if (!blocked) {
            route.pop_back();
            stepRemaining = static_cast<float>(kCellSize);
            cellX = target.x;
            cellY = target.y;
        }
    }
    if (stepRemaining > 0.0f) {
        const float speed = job->speed;
        float distance;
        if (stepRemaining > speed) {
            distance = speed;
            stepRemaining -= speed;
            animationCounter += 0.1f;
        } else {
            distance = stepRemaining;
            stepRemaining = 0.0f;
            animationCounter = 1.0f;
        }
        switch (facing) {
        case kMoveUp:
            y -= distance;
            break;
        case kMoveRight:
            x += distance;
            break;
        case kMoveDown:
            y += distance;
            break;
        case kMoveLeft:
            x -= distance;
            break;
        }
    }
}

bool Character::RunAliveUnitFrame(const UnitList &ownUnits, const UnitList &opponents, const MapData &grid)
{
    if (!alive) {
        return false;
    }
    UpdateSpotted(opponents, grid);
    AttackNearestTarget(opponents, grid);
    StepAlongRoute(ownUnits, opponents);
    return true;
}

// A player unit on cover reaches further
void Character::UpdateUnit(const UnitList &ownUnits, const UnitList &opponents, const MapData &grid)
{
    if (!RunAliveUnitFrame(ownUnits, opponents, grid)) {
        return;
    }
    rangeMultiplier = CellValueAt(grid, cellX, cellY) == kCellCover ? kCoverRangeMultiplier : 1.0f;
}

void Character::DrawUnit()
{
    if (!alive) {
        return;
    }
    DrawSpriteBarAndEffects();
}

// Sprite and HP bar at the unit's alpha, effects added on top
void Character::DrawSpriteBarAndEffects()
{
    SetBlendModeAndParam(1, alpha);
    const int frame = static_cast<int>(animationCounter) % 3 + 3 * facing;
    DrawGraphAtPoint(static_cast<int>(x), static_cast<int>(y), job->frameGraphs[frame], 1);
    if (hp != job->maxHp) {
        SetBlendModeAndParam(1, alpha);
        DrawGraphAtPoint(static_cast<int>(x + 2.0f), static_cast<int>(y), HpBarFrameGraph, 1);
        const int barLength =
            static_cast<int>(static_cast<float>(kHpBarWidth) * static_cast<float>(hp) / static_cast<float>(job->maxHp));
        DrawColorBox(static_cast<int>(x + 3.0f), static_cast<int>(y + 1.0f),
                     static_cast<int>(x + 3.0f + static_cast<float>(barLength)), static_cast<int>(y + 7.0f), ColorRed,
                     1);
    }
    SetBlendModeAndParam(2, 255);
    const int left = static_cast<int>(x);
    const int top = static_cast<int>(y);
    DrawEffects(effects, top - 8, left - 4, left + 4, top + 8);
    AdvanceEffects(effects);
    SetBlendModeAndParam(0, 0);
}

// Dots along the route ahead, then the search (green) and attack (red) circles
void Character::DrawRouteAndRanges()
{
    if (!alive) {
        return;
    }
    SetBlendModeAndParam(1, 128);
    int px = kCellSize * cellX + kCellSize / 2;
    int py = kCellSize * cellY + kCellSize / 2;
    for (auto step = route.rbegin(); step != route.rend(); ++step) {
        const CellPoint offset = NeighbourCell(0, 0, *step);
        px += offset.x * kCellSize;
        py += offset.y * kCellSize;
        DrawColorCircle(px, py, 2, ColorCyan, 1);
    }
    const int cx = static_cast<int>(x + 0.5f * static_cast<float>(job->spriteWidth));
    const int cy = static_cast<int>(y + 0.5f * static_cast<float>(job->spriteHeight));
    DrawColorCircle(cx, cy, job->searchRange, ColorGreen, 0);
    DrawColorCircle(cx, cy, static_cast<int>(static_cast<float>(job->attackRange) * rangeMultiplier), ColorRed, 0);
    SetBlendModeAndParam(0, 0);
}

// On open ground always seen; else seen by an alive player unit in its search
// range with a clear line (not from cover onto concealment)
void Enemy::UpdateSpotted(const UnitList &opponents, const MapData &grid)
{
    spotted = false;
    if (CellValueAt(grid, cellX, cellY) == kCellOpen) {
        spotted = true;
        return;
    }
    for (Character *unit : opponents) {
        if (!unit->alive) {
            continue;
        }
        const float range = static_cast<float>(unit->job->searchRange);
        if (!(Square(range) >= Square(y - static_cast<float>(static_cast<int>(unit->y))) +
                                   Square(x - static_cast<float>(static_cast<int>(unit->x))))) {
            continue;
        }
        if (CellValueAt(grid, unit->cellX, unit->cellY) == kCellCover &&
            CellValueAt(grid, cellX, cellY) == kCellConceal) {
            continue;
        }
        if (HasLineOfSight(*this, *unit, grid)) {
            spotted = true;
            return;
        }
    }
}

// A hit wakes an enemy that holds until hit
int Enemy::TakeHit(const JobData *attacker, const MapData &grid)
{
    const int damage = Character::TakeHit(attacker, grid);
    if (aiMode == kAiHoldUntilHit) {
        aiMode = kAiRandomWalk;
    }
    return damage;
}

// As a player unit, but cover does not lengthen an enemy's range
void Enemy::UpdateUnit(const UnitList &ownUnits, const UnitList &opponents, const MapData &grid)
{
    RunAliveUnitFrame(ownUnits, opponents, grid);
}

// Unseen enemies fade out by 5 a frame
void Enemy::DrawUnit()
{
    if (!alive) {
        return;
    }
    if (spotted) {
        alpha = 255;
    } else if (alpha > kHiddenFadeStep) {
        alpha -= kHiddenFadeStep;
    } else {
        alpha = 0;
    }
    DrawSpriteBarAndEffects();
}
