// Soft-sound and music kinds: record layout, deletion, the per-pass player walk
// and pause. No operation of this system creates their records.

#include "sound/soft_sound.h"

#include "core/threads/section_lock.h"
#include "core/memory/tracked_alloc.h"
#include "sound/sound_system.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int IsSoftSoundPlayer(void *record)
{
    return static_cast<SoftSoundRecord *>(record)->isPlayer;
}

static int IsPlainSoftSound(void *record)
{
    return static_cast<SoftSoundRecord *>(record)->isPlayer != 0 ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int GetSoftSoundRecordSize()
{
    return static_cast<int>(sizeof(SoftSoundRecord));
}

int GetMusicRecordSize()
{
    return static_cast<int>(sizeof(MusicRecord));
}

// Free the samples, or a player's ring, buffer and chain place
int DeleteSoftSoundCallback(void *record)
{
    SoftSoundRecord *sound = static_cast<SoftSoundRecord *>(record);
    if (sound->isPlayer == 0) {
        TrackedFree(sound->samples);
        sound->samples = nullptr;
        return 0;
    }
    FreeByteRing(&sound->ring);
    ReleasePlayBuffer(&sound->buffer);
    if (sound->playerNode.next != nullptr) {
        RemoveHandleChainNode(&sound->playerNode);
    }
    return 0;
}

// A new music record's volume field is 255
int InitMusicRecord(void *record)
{
    static_cast<MusicRecord *>(record)->volume = 255;
    return 0;
}

// Stop it and free its MIDI data, wiped first
int DeleteMusicCallback(void *record)
{
    MusicRecord *music = static_cast<MusicRecord *>(record);
    music->playing = 0;
    if (music->midiData != nullptr) {
        std::memset(music->midiData, 0, static_cast<size_t>(music->midiSize));
        TrackedFree(music->midiData);
        music->midiData = nullptr;
    }
    return 0;
}

// Players last: a plain soft sound may still be read by a player
int DeleteSoftSoundRecords()
{
    DeleteHandlesOfType(HANDLE_KIND_SOFT_SOUND, IsSoftSoundPlayer);
    DeleteHandlesOfType(HANDLE_KIND_SOFT_SOUND, IsPlainSoftSound);
    return 0;
}

// The per-pass player step: this system has no operation that creates or starts
// a player, so the player chain is always empty and there is nothing to refill
int RefillPlayingSoftSoundPlayers()
{
    return 0;
}

// Refill every playing player under the soft-sound lock
int UpdateSoftSoundPlayers()
{
    if (IsSoundSystemUp() == 0) {
        return -1;
    }
    AcquireSectionLock(GetSoftSoundLock());
    RefillPlayingSoftSoundPlayers();
    ReleaseSectionLock(GetSoftSoundLock());
    return 0;
}

// Pause or resume each player's buffer with the same two marks as sound handles
int SetSoftSoundPlayersPaused(int pause)
{
    if (IsSoundSystemUp() == 0) {
        return -1;
    }
    AcquireSectionLock(GetSoftSoundLock());
    for (HandleChainNode *node = SoundSystem.softPlayerHead.next; node != &SoundSystem.softPlayerTail;
         node = node->next) {
        SoftSoundRecord *player = static_cast<SoftSoundRecord *>(node->data);
        PlayBuffer *buffer = &player->buffer;
        if (buffer->valid == 0 || buffer->platformObject == nullptr) {
            continue;
        }
        if (pause != 0) {
            uint32_t status = 0;
            if (player->pauseHandled != 0 || GetPlayBufferStatus(buffer, &status) != 0) {
                continue;
            }
            player->pauseHandled = 1;
            player->pauseWasPlaying = (status & kBufferStatusPlaying) != 0 ? 1 : 0;
            if (player->pauseWasPlaying != 0) {
                StopPlayBuffer(buffer);
            }
        } else {
            if (player->active != 0 && player->pauseHandled != 0 && player->pauseWasPlaying != 0) {
                PlayPlayBuffer(buffer, 1);
            }
            player->pauseHandled = 0;
        }
    }
    ReleaseSectionLock(GetSoftSoundLock());
    return 0;
}

} // namespace Korvo
