// Sound handle records: lookup, creation, the kind's callbacks and the small
// conversions every sound call shares.

#include "sound/sound_handle.h"

#include "core/threads/section_lock.h"
#include "core/memory/tracked_alloc.h"
#include "sound/stream_sound.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Release a memory sound's buffers and its share of the PCM.
static void ReleaseMemorySound(SoundHandleRecord *record)
{
    for (int i = 0; i < record->bufferCount && i < kSoundMaxPlayBuffers; ++i) {
        if (record->buffers[i].valid != 0) {
            ReleasePlayBuffer(&record->buffers[i]);
        }
    }
    if (record->pcmReferenceCount != nullptr && --*record->pcmReferenceCount == 0) {
        TrackedFree(record->pcm);
        TrackedFree(record->pcmReferenceCount);
    }
    record->pcm = nullptr;
    record->pcmReferenceCount = nullptr;
}

// A stream sound leaves its ring's owner, or stays while others borrow its ring.
// 1 keeps the record alive.
static int ReleaseStreamSound(SoundHandleRecord *record)
{
    if (record->sharedBufferHandle != -1) {
        int ownerHandle = record->sharedBufferHandle;
        SoundHandleRecord *owner = FindSoundHandleRecord(ownerHandle, 1);
        record->sharedBufferHandle = -1;
        if (owner != nullptr) {
            --owner->shareCount;
            if (ownerHandle != record->header.handle && owner->deletePending != 0 && owner->shareCount <= 0) {
                DeleteHandleRecord(ownerHandle);
            }
        }
    }
    if (record->shareCount > 0) {
        record->deletePending = 1;
        return 1;
    }
    ReleaseStreamSources(record);
    if (record->buffers[0].valid != 0) {
        ReleasePlayBuffer(&record->buffers[0]);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// A valid sound record (any state: also while its load job runs)
SoundHandleRecord *FindSoundHandleRecord(int handle, int anyState)
{
    if (IsSoundSystemUp() == 0 || handle < 0 || HandleKindOf(handle) != HANDLE_KIND_SOUND) {
        return nullptr;
    }
    SoundHandleRecord *record = static_cast<SoundHandleRecord *>(LookupHandleRecord(handle));
    if (record == nullptr || (anyState == 0 && record->header.pendingLoadCount > 0)) {
        return nullptr;
    }
    return record;
}

// A new record; a 3-D one joins the 3-D chain
int CreateSoundHandleRecord(int is3d)
{
    if (IsSoundSystemUp() == 0) {
        return -1;
    }
    int handle = CreateHandleRecord(HANDLE_KIND_SOUND, -1);
    if (handle == -1) {
        return -1;
    }
    SoundHandleRecord *record = static_cast<SoundHandleRecord *>(LookupHandleRecord(handle));
    record->is3d = is3d;
    if (is3d != 0) {
        AcquireSectionLock(GetSoundLock());
        InsertHandleChainNode(&SoundSystem.chain3dHead, &record->chain3dNode, handle, record);
        ReleaseSectionLock(GetSoundLock());
    }
    return handle;
}

// Settings 0, 3-D changed, no stream sources, owns no ring yet
int InitSoundHandleRecord(void *record)
{
    SoundHandleRecord *sound = static_cast<SoundHandleRecord *>(record);
    sound->volume = 0;
    sound->pan = 0;
    sound->frequency = 0;
    sound->changed3d = 1;
    sound->sourceCount = 0;
    sound->sharedBufferHandle = -1;
    sound->bufferUser = -1;
    return 0;
}

// Stop, then release buffers, data and sources (1 keeps a ring others borrow)
int DeleteSoundHandleCallback(void *record)
{
    SoundHandleRecord *sound = static_cast<SoundHandleRecord *>(record);
    int handle = sound->header.handle;
    if (sound->isStream != 0) {
        StopStreamSound(handle);
    } else if (sound->buffers[0].valid != 0) {
        StopSoundHandlePlayback(handle);
    }
    if (sound->is3d != 0 && sound->chain3dNode.next != nullptr) {
        AcquireSectionLock(GetSoundLock());
        RemoveHandleChainNode(&sound->chain3dNode);
        ReleaseSectionLock(GetSoundLock());
    }
    if (sound->isStream == 0) {
        ReleaseMemorySound(sound);
        return 0;
    }
    return ReleaseStreamSound(sound);
}

// Copy the current settings
SoundCreateSettings *CopySoundCreateSettings(SoundCreateSettings *out)
{
    *out = SoundSystem.createSettings;
    return out;
}

// frames * 1000 / rate
int SamplesToMilliseconds(int frames, int rate)
{
    if (rate <= 0) {
        return -1;
    }
    return static_cast<int>(static_cast<int64_t>(frames) * 1000 / rate);
}

// Length in frames
int GetSoundHandleLengthSamples(int handle)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, 0);
    if (record == nullptr) {
        return -1;
    }
    if (record->isStream != 0) {
        return record->totalLength;
    }
    return record->format.blockAlign != 0 ? record->dataBytes / record->format.blockAlign : -1;
}

// Length in milliseconds
int GetSoundHandleLengthMs(int handle)
{
    int frames = GetSoundHandleLengthSamples(handle);
    if (frames < 0) {
        return -1;
    }
    return SamplesToMilliseconds(frames, static_cast<int>(FindSoundHandleRecord(handle, 0)->format.samplesPerSec));
}

} // namespace Korvo
