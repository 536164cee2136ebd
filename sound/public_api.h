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

// Load a sound file (WAVE, Ogg Vorbis or MP3) into a new sound handle with bufferCount play buffers (1..10); the handle or -1
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
