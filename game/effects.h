// Hit effects: a short animation with a sound, shown on a unit that was hit.
#pragma once

#include <vector>

// An animation of frame graphs with a sound.
class Effect {
public:
    virtual ~Effect() {}
    virtual int GetFrameGraph(int frame) = 0;
    virtual int GetFrameCount() = 0;
    virtual int GetFrameStep() = 0;
    virtual void PlayEffectSound() = 0;
};

// The effect of a hit: ten 32x32 frames and a shot sound.
class DamagedEffect : public Effect {
public:
    DamagedEffect(const char *pictureFile, const char *soundFile, float frameStep);
    ~DamagedEffect() override;
    int GetFrameGraph(int frame) override;
    int GetFrameCount() override;
    int GetFrameStep() override;
    void PlayEffectSound() override;

    int *frameGraphs;
    float frameStep;
    int frameCount;
    int sound;

private:
    DamagedEffect(const DamagedEffect &);
    DamagedEffect &operator=(const DamagedEffect &);
};

// One running effect: the effect (owned by a job) and its frames so far.
struct EffectEntry {
    Effect *effect;
    float time;
};

// The effects running on one unit.
class EffectManager {
public:
    virtual ~EffectManager() {}
    std::vector<EffectEntry> entries;
};

// Start an effect on a unit.
void AddEffect(Effect *effect, EffectManager &manager);
// Draw each running effect at a random point of the box (sound on its first frame).
void DrawEffects(EffectManager &manager, int top, int left, int right, int bottom);
// Advance each effect by its step and drop the finished ones.
void AdvanceEffects(EffectManager &manager);
