// The soft-sound (kind 4) and music (kind 5) handle kinds. Nothing in this
// system creates either: they are registered, paused, refilled and emptied with
// the sound system and find nothing to do.
#pragma once

#include "core/memory/byte_ring.h"
#include "core/memory/handle_manager.h"
#include "sound/play_buffer.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
// A soft sound: sample data, or a player that streams a ring into one play buffer.
struct SoftSoundRecord {
    HandleRecordHeader header;
    int isPlayer;
    unsigned char *samples;     // sample data (not players)
    ByteRing ring;              // players
    PlayBuffer buffer;          // players
    HandleChainNode playerNode; // players: in the soft-sound player chain
    int active;
    int playing;
    int pauseHandled;
    int pauseWasPlaying;
};

struct MusicRecord {
    HandleRecordHeader header;
    int volume;     // 255 when created
    int playing;
    unsigned char *midiData;
    int midiSize;
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
int GetSoftSoundRecordSize();
int GetMusicRecordSize();
// Kind callbacks
int DeleteSoftSoundCallback(void *record);
int InitMusicRecord(void *record);
int DeleteMusicCallback(void *record);
// Delete the soft sounds that are not players, then the players; 0
int DeleteSoftSoundRecords();
// Refill step of every playing player (caller holds the soft-sound lock); 0
int RefillPlayingSoftSoundPlayers();
// Refill every playing soft-sound player; 0 or -1
int UpdateSoftSoundPlayers();
// 1 pauses every playing player, 0 restarts the ones the pause stopped; 0 or -1
int SetSoftSoundPlayersPaused(int pause);

} // namespace Korvo
