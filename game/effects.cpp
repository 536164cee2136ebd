// Hit effects and the per-unit list of running effects.
#include "game/effects.h"

#include "korvo.h"

#include <new>

using namespace Korvo;

static const int kEffectFrames = 10;
static const int kEffectFrameSize = 32;
static const int kEffectPlayBuffers = 3;

// Without memory for its frame table the effect loads nothing: its job drops it
DamagedEffect::DamagedEffect(const char *pictureFile, const char *soundFile, float step)
    : frameGraphs(new (std::nothrow) int[kEffectFrames]()), frameStep(step), frameCount(kEffectFrames), sound(-1)
{
    if (frameGraphs == nullptr) {
        return;
    }
    CreateDivGraphFromImageFile(pictureFile, kEffectFrames, kEffectFrames, 1, kEffectFrameSize, kEffectFrameSize,
                                frameGraphs, 0);
    sound = LoadSoundFileAsHandle(soundFile, kEffectPlayBuffers, -1);
}

// The graphs and the sound stay until the library ends
DamagedEffect::~DamagedEffect()
{
    delete[] frameGraphs;
}

int DamagedEffect::GetFrameGraph(int frame)
{
    return frameGraphs[frame];
}

int DamagedEffect::GetFrameCount()
{
    return frameCount;
}

int DamagedEffect::GetFrameStep()
{
    return static_cast<int>(frameStep);
}

// Play in the background from the start
void DamagedEffect::PlayEffectSound()
{
    StartSoundHandlePlayback(sound, 1, 1);
}

void AddEffect(Effect *effect, EffectManager &manager)
{
    manager.entries.push_back(EffectEntry{effect, 0.0f});
}

// NOTE: the vertical offset is drawn with a negative bound, which gives -15..0.
void DrawEffects(EffectManager &manager, int top, int left, int right, int bottom)
{
    for (EffectEntry &entry : manager.entries) {
        const int rx = GetRandomUpTo(right - left);
        const int ry = GetRandomUpTo(top - bottom);
        if (entry.time == 0.0f) {
            entry.effect->PlayEffectSound();
        }
        DrawGraphAtPoint(left + rx, bottom + ry, entry.effect->GetFrameGraph(static_cast<int>(entry.time)), 1);
    }
}

void AdvanceEffects(EffectManager &manager)
{
    size_t i = 0;
    while (i < manager.entries.size()) {
        EffectEntry &entry = manager.entries[i];
        entry.time += static_cast<float>(entry.effect->GetFrameStep());
        if (static_cast<float>(entry.effect->GetFrameCount()) > entry.time) {
            ++i;
        } else {
            manager.entries.erase(manager.entries.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}
