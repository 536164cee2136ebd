// The three unit jobs and the values that tell them apart.
#include "game/job_data.h"

#include <new>

static const int kSpriteWidth = 24;
static const int kSpriteHeight = 32;
static const char *const kHitPicture = "img/effect/bullet.png";
static const char *const kHitSound = "se/gun30.wav";

// Store the row, then make the job's own hit effect
JobData::JobData(int id, int hpMax, int attackValue, float armourValue, float interval, float pixelsPerFrame,
                 int search, int range, int troopCost, const char *playerSheet, const char *enemySheet)
    : jobId(id), level(1), maxHp(hpMax), attack(attackValue), armour(armourValue), attackInterval(interval),
      speed(pixelsPerFrame), searchRange(search), attackRange(range), cost(troopCost), spriteWidth(kSpriteWidth),
      spriteHeight(kSpriteHeight), playerSheetFile(playerSheet), enemySheetFile(enemySheet), frameGraphs(),
      hitEffect(nullptr), hitEffectPictureFile(kHitPicture), hitEffectSoundFile(kHitSound)
{
    hitEffect = new (std::nothrow) DamagedEffect(hitEffectPictureFile, hitEffectSoundFile, 1.0f);
    if (hitEffect != nullptr && hitEffect->frameGraphs == nullptr) {
        delete hitEffect;  // no frame table: hits show no effect, as with no effect at all
        hitEffect = nullptr;
    }
}

JobData::~JobData()
{
    delete hitEffect;
}

void JobData::RaiseLevel()
{
    ++level;
}

Searcher::Searcher()
    : JobData(kJobSearcher, 50, 6, 1.0f, 12.5f, 0.8f, 140, 90, 10, "img/chara/soldier01.png",
              "img/chara/e_soldier01.png")
{
}

Attaker::Attaker()
    : JobData(kJobAttaker, 80, 5, 1.5f, 8.0f, 0.6f, 90, 90, 25, "img/chara/soldier02.png",
              "img/chara/e_soldier02.png")
{
}

Bazooka::Bazooka()
    : JobData(kJobBazooka, 110, 80, 3.0f, 240.0f, 0.3f, 40, 40, 40, "img/chara/soldier03.png",
              "img/chara/e_soldier01.png")
{
}
