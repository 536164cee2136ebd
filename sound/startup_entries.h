// Sound services that the core runtime calls (start-up, shut-down, the window
// procedure, activation and the message pump).
#pragma once

namespace Korvo {

// Load "msacm32.dll" and its entries; 0 or -1
int LoadAcmFunctions();
// Start sound output, MIDI, the sound handle kinds and the stream thread; 0 or -1
int InitSoundOutputSystem();
// Stop and delete the background music; 0
int StopBackgroundMusicHandle();
// Stop the stream thread and end all sound handles and output objects; 0 or -1
int TermSoundOutputSystem();
// Free "msacm32.dll"; 0 or -1
int FreeAcmFunctions();
// Refill every playing stream sound; 0 or -1
int RefillAllStreamSounds();
// Refill every playing soft-sound player; 0 or -1
int UpdateSoftSoundPlayers();
// Clear the playing flag of finished music; 0 or -1
int RefreshMusicPlayFlags();
// Replay looped MCI MIDI or close the device; 0
int HandleMciMidiPlayEnd();
// 1 pauses every playing sound, 0 restarts the paused ones; 0 or -1
int SetSoundHandlesPaused(int pause);
int SetSoftSoundPlayersPaused(int pause);

} // namespace Korvo
