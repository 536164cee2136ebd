// Public sound operations: sound handles loaded from files and played waiting,
// in the background or looped.
#pragma once

namespace Korvo {

// Play modes of StartSoundHandlePlayback.
enum SoundPlayMode {
    PlayWait = 0,       // play and return when the sound has ended
    PlayBackground = 1, // return at once
    PlayLoop = 3,       // repeat until stopped
};

// Load a sound file (WAVE, Ogg Vorbis or MP3) into a new sound handle; the handle or -1.
// Its whole PCM is held in bufferCount play buffers, so that each start takes the
// next buffer and the sound can overlap itself that many times; above 10 it takes
// 10. A count of 0 or less gives no buffer, and the sound streams instead, as does
// one of 181 s or more (more than 180 whole seconds of PCM): a stream sound is
// decoded into one ring while it plays and never overlaps itself, whatever the
// count. shareHandle is not used (pass -1).
int LoadSoundFileAsHandle(const char *path, int bufferCount, int shareHandle);
// Play a sound handle in a SoundPlayMode, from the start (1) or where it stands (0); 0 or -1
int StartSoundHandlePlayback(int handle, int mode, int fromStart);
// Stop a sound handle; 0 or -1
int StopSoundHandlePlayback(int handle);
// 1 while the sound plays, 0 when not, -1 for an invalid handle
int IsSoundHandlePlaying(int handle);
// Length of the sound in sample frames, or -1
int GetSoundHandleLengthSamples(int handle);
// Length of the sound in milliseconds, or -1
int GetSoundHandleLengthMs(int handle);
// Play position in milliseconds, or -1
int GetSoundHandlePlayPositionMs(int handle);

} // namespace Korvo
