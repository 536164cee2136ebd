// Unit jobs: fighting values, cost, sprite sheets and hit effect of a unit type.
#pragma once

#include "game/effects.h"

// Job ids.
enum JobId { kJobSearcher = 0, kJobAttaker = 1, kJobBazooka = 2 };

// Sprite frames per job: 3 animation columns by 4 facing rows.
static const int kJobFrameCount = 12;

// A unit type.
class JobData {
public:
    virtual ~JobData();
    // Level + 1
    virtual void RaiseLevel();

    int jobId;
    int level;
    int maxHp;
    int attack;
    float armour;
    float attackInterval;
    float speed;
    int searchRange;
    int attackRange;
    int cost;
    int spriteWidth;
    int spriteHeight;
    const char *playerSheetFile;
    const char *enemySheetFile;
    int frameGraphs[kJobFrameCount];
    DamagedEffect *hitEffect;
    const char *hitEffectPictureFile;
    const char *hitEffectSoundFile;

protected:
    // The values of one job, in the order of the fields
    JobData(int jobId, int maxHp, int attack, float armour, float attackInterval, float speed, int searchRange,
            int attackRange, int cost, const char *playerSheetFile, const char *enemySheetFile);

private:
    JobData(const JobData &);
    JobData &operator=(const JobData &);
};

class Searcher : public JobData {
public:
    Searcher();
};

class Attaker : public JobData {
public:
    Attaker();
};

class Bazooka : public JobData {
public:
    Bazooka();
};
