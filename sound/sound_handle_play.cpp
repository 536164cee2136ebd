// Playing sound handles: the three play modes over the next of a memory sound's
// buffers (or the stream ring), stopping, the playing test and the position.

#include "sound/sound_handle.h"

#include "core/threads/thread_record.h"
#include "sound/sound_platform.h"
#include "sound/stream_sound.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// One-shot copy when its flag is set (cleared by the use), else the handle's value.
static int TakeSetting(unsigned char *flag, int oneShot, int value)
{
    if (*flag != 0) {
        *flag = 0;
        return oneShot;
    }
    return value;
}

// Volume, pan and frequency of the handle (or its one-shot copies) onto a buffer.
static void ApplyHandleSettings(SoundHandleRecord *record, PlayBuffer *buffer)
{
    SetPlayBufferVolume(buffer, TakeSetting(&record->nextVolumeSet, record->nextVolume, record->volume));
    SetPlayBufferPan(TakeSetting(&record->nextPanSet, record->nextPan, record->pan), buffer);
    SetPlayBufferFrequency(buffer, TakeSetting(&record->nextFrequencySet, record->nextFrequency, record->frequency));
}

// Move to the next buffer and set it up; null when it plays and may not be restarted.
static PlayBuffer *PrepareNextPlayBuffer(SoundHandleRecord *record, int fromStart)
{
    uint32_t previousCursor = 0;
    GetPlayBufferPosition(&record->buffers[record->currentBuffer], nullptr, &previousCursor);
    record->currentBuffer = (record->currentBuffer + 1) % record->bufferCount;
    PlayBuffer *buffer = &record->buffers[record->currentBuffer];
    uint32_t status = 0;
    if (GetPlayBufferStatus(buffer, &status) == 0 && (status & kBufferStatusPlaying) != 0) {
        if (fromStart == 0) {
            return nullptr;
        }
        StopPlayBuffer(buffer);
    }
    SetPlayBufferPosition(fromStart != 0 ? 0 : static_cast<int>(previousCursor), buffer);
    ApplyHandleSettings(record, buffer);
    return buffer;
}

// A pause (window deactivation) has stopped a buffer of the sound that played:
// the sound has not ended, it goes on at the resume.
static bool IsHeldByPause(int handle)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
    if (record == nullptr) {
        return false;
    }
    if (record->isStream != 0) {
        return IsStreamSoundHeldByPause(handle) == 1;
    }
    for (int i = 0; i < record->bufferCount; ++i) {
        if (record->pauseHandled[i] != 0 && record->pauseWasPlaying[i] != 0) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Pump until the sound ends or the application ends; a pause holds the wait
void WaitForSoundToEnd(int handle)
{
    while (PumpMessagesForSound() == 0 && (IsSoundHandlePlaying(handle) == 1 || IsHeldByPause(handle))) {
        SleepMilliseconds(1);
    }
}

// Play in a mode: a stream sound through its ring, a memory sound on its next buffer
int StartSoundHandlePlayback(int handle, int mode, int fromStart)
{
    if (IsSoundSystemUp() == 0) {
        return -1;
    }
    WaitWhileAppInactiveForSound();
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
    if (record == nullptr) {
        return -1;
    }
    if (record->isStream != 0) {
        return PlayStreamSound(handle, mode, fromStart);
    }
    if (record->bufferCount <= 0) {
        return -1;
    }
    PlayBuffer *buffer = PrepareNextPlayBuffer(record, fromStart);
    if (buffer == nullptr) {
        return 0;
    }
    if (PlayPlayBuffer(buffer, mode == PlayLoop ? 1 : 0) != 0) {
        return -1;
    }
    if (mode == PlayWait) {
        WaitForSoundToEnd(handle);
    }
    return 0;
}

// Stop every buffer that plays
int StopSoundHandlePlayback(int handle)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
    if (record == nullptr) {
        return -1;
    }
    if (record->isStream != 0) {
        return StopStreamSound(handle);
    }
    for (int i = 0; i < record->bufferCount; ++i) {
        record->pauseHandled[i] = 0;
        record->pauseWasPlaying[i] = 0;
        uint32_t status = 0;
        if (GetPlayBufferStatus(&record->buffers[i], &status) != 0) {
            return -1;
        }
        if ((status & kBufferStatusPlaying) != 0) {
            StopPlayBuffer(&record->buffers[i]);
        }
    }
    return 0;
}

// 1 as soon as one buffer plays
int IsSoundHandlePlaying(int handle)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
    if (record == nullptr) {
        return -1;
    }
    if (record->isStream != 0) {
        return IsStreamSoundPlaying(handle);
    }
    for (int i = 0; i < record->bufferCount; ++i) {
        uint32_t status = 0;
        if (GetPlayBufferStatus(&record->buffers[i], &status) == 0 && (status & kBufferStatusPlaying) != 0) {
            return 1;
        }
    }
    return 0;
}

// The stream position, or the current buffer's play cursor
int GetSoundHandlePlayPositionMs(int handle)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
    if (record == nullptr) {
        return -1;
    }
    if (record->isStream != 0) {
        return GetStreamPlayPositionMs(handle);
    }
    uint32_t cursor = 0;
    if (GetPlayBufferPosition(&record->buffers[record->currentBuffer], nullptr, &cursor) != 0) {
        return -1;
    }
    return SamplesToMilliseconds(static_cast<int>(cursor / record->format.blockAlign),
                                 static_cast<int>(record->format.samplesPerSec));
}

} // namespace Korvo
