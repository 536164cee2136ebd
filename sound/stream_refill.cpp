// The refill step of stream sounds: keep the ring's write position ahead of the
// play cursor, decode straight into the locked ring memory, move from source to
// source, and play the data's end out through silence.

#include "sound/stream_sound.h"

#include "core/threads/section_lock.h"
#include "sound/stream_ring.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// Lead units: distances are compared in 1/512 s.
constexpr int kLeadUnitsPerSecond = 512;
// Below this lead (in 1/512 s) the refill catches up to it instead of writing 1/8 s.
constexpr int kCatchUpLeadUnits = 192;
// The first fill and the safe limit cover 192/256 s.
constexpr int kPrimeNumerator = 192;
constexpr int kPrimeDenominator = 256;
// NOTE: every size below is worked out in 64 bits and only the result, which
// the ring bounds, is narrowed: a valid high-rate format (8 channels of 32 bits
// at 400 kHz is 12.8 MB a second) overflows an int in its products.

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int WrittenBytes(const LockedRegion &region)
{
    return static_cast<int>(region.written1 + region.written2);
}

static int LockedBytes(const LockedRegion &region)
{
    return static_cast<int>(region.size1 + region.size2);
}

// 1/8 s of the format in whole blocks.
static int EighthSecondBytes(const SoundWaveFormat &format)
{
    int64_t align = format.blockAlign;
    return static_cast<int>(static_cast<int64_t>(format.avgBytesPerSec) / 8 / align * align);
}

// The first fill and the distance of the safe limit: 192/256 s of the byte rate.
static int64_t PrimeBytes(int64_t perSecond)
{
    return perSecond * kPrimeNumerator / kPrimeDenominator;
}

// The ring position the writing has reached in a region locked at offset.
static int WritingRingPosition(const SoundHandleRecord &record, const LockedRegion &region, int offset)
{
    return (offset + WrittenBytes(region)) % record.ringLength;
}

// Frames as bytes, as far as an int counts them.
static int BytesOfFrames(int frames, int align)
{
    int64_t bytes = static_cast<int64_t>(frames) * align;
    return bytes < INT32_MAX ? static_cast<int>(bytes) : INT32_MAX;
}

// Advances that one round of the data takes: every source once and each of its
// repeats (a source repeated for ever once). More than these in a row without a
// byte means that no source holds any.
static int AdvancesPerRound(const SoundHandleRecord *record)
{
    int advances = 0;
    for (int i = 0; i < record->sourceCount; ++i) {
        int repeats = record->sources[i].repeatCount;
        advances += repeats >= 0 ? repeats + 1 : 1;
    }
    return advances;
}

// The data has ended: note where, for the cursor to pass, and write silence into
// the rest of the locked bytes, up to 1/8 s.
static void EndStreamData(SoundHandleRecord *record, LockedRegion *region, int here, uint32_t cursor)
{
    record->reachedEnd = 1;
    record->endOfData = 1;
    record->endPosition = here;
    record->endCursor = static_cast<int>(cursor);
    int rest = LockedBytes(*region) - WrittenBytes(*region);
    int eighth = EighthSecondBytes(record->format);
    FillLockedRegionWithSilence(&record->format, region, rest < eighth ? rest : eighth);
}

// The data goes back to wrapPosition at ring position here. Only one wrap is
// noted at a time, the first the cursor has yet to pass: a loop shorter than
// the refill's lead wraps again before the cursor gets there. The bytes written
// between two wraps are one pass of the loop, by which the play position goes
// round within the loop past the wraps that were not noted.
static void NoteStreamWrap(SoundHandleRecord *record, int wrapPosition, int here)
{
    if (record->bytesSinceWrap >= 0) {
        record->loopPassBytes = record->bytesSinceWrap;
    }
    record->bytesSinceWrap = 0;
    if (record->wrapPending == 0) {
        record->wrapPending = 1;
        record->wrapPosition = wrapPosition;
        record->wrapRingPosition = here;
    }
}

// The current source gave nothing: repeat it, go to the next one, loop to the
// first, or end the data with silence. A restart repositions even within the
// conversion's seek slack, or a source of a few bytes would give nothing the
// second time.
static void AdvanceStreamSource(SoundHandleRecord *record, LockedRegion *region, int offset, uint32_t cursor)
{
    int align = record->format.blockAlign;
    int here = WritingRingPosition(*record, *region, offset);
    StreamSoundSource *source = &record->sources[record->currentSource];
    // Not counted for a source repeated for ever: one of a few bytes restarts
    // thousands of times a second, and the count would overflow within a day.
    if (source->repeatCount == -1) {
        int loopStart = BytesOfFrames(source->loopStartFrame, align);
        SeekDecodedSamplesExactly(&source->decode, source->loopStartFrame);
        record->consumedBytes = loopStart;
        NoteStreamWrap(record, loopStart, here);
        return;
    }
    if (++record->repeatCounter <= source->repeatCount) {
        SeekDecodedSamplesExactly(&source->decode, 0);
        record->consumedBytes = 0;
        return;
    }
    record->repeatCounter = 0;
    record->consumedBytes = 0;
    if (record->currentSource + 1 < record->sourceCount) {
        ++record->currentSource;
        SeekDecodedSamplesExactly(&record->sources[record->currentSource].decode, 0);
        return;
    }
    if (record->lastPlayMode == PlayLoop) {
        record->reachedEnd = 1;
        record->currentSource = 0;
        SeekDecodedSamplesExactly(&record->sources[0].decode, 0);
        NoteStreamWrap(record, 0, here);
        return;
    }
    EndStreamData(record, region, here, cursor);
}

// Decode into the region until it is full or the data ends. Empty sources and
// empty repeats are passed over in the same pass, so that the ring never plays
// bytes that were not written; a loop over nothing (or a source repeated for
// ever whose repeats are empty) ends like a play that is not looped, in
// silence, instead of going round for ever.
static void DecodeIntoRegion(SoundHandleRecord *record, LockedRegion *region, int offset, uint32_t cursor)
{
    int align = record->format.blockAlign;
    const int advancesPerRound = AdvancesPerRound(record);
    int emptyAdvances = 0;
    while (WrittenBytes(*region) < LockedBytes(*region) && record->endOfData == 0) {
        StreamSoundSource *source = &record->sources[record->currentSource];
        int want = LockedBytes(*region) - WrittenBytes(*region);
        if (source->playLengthLimit >= 0) {
            int left = BytesOfFrames(source->playLengthLimit, align) - record->consumedBytes;
            want = left < want ? (left > 0 ? left : 0) : want;
        }
        int got = want > 0 ? CopyDecodedIntoLockedRegion(region, &source->decode, want) : 0;
        if (got > 0) {
            record->consumedBytes += got;
            if (record->bytesSinceWrap >= 0) {
                record->bytesSinceWrap = got < INT32_MAX - record->bytesSinceWrap ? record->bytesSinceWrap + got
                                                                                   : INT32_MAX;
            }
            emptyAdvances = 0;
            continue;
        }
        if (++emptyAdvances > advancesPerRound) {
            EndStreamData(record, region, WritingRingPosition(*record, *region, offset), cursor);
            break;
        }
        AdvanceStreamSource(record, region, offset, cursor);
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// One refill step of one stream sound
int RefillStreamSound(int handle, int anyState)
{
    SoundHandleRecord *record = FindSoundHandleRecord(handle, anyState);
    if (record == nullptr || record->isStream == 0) {
        return 0;
    }
    AcquireSectionLock(GetSoundLock());
    PlayBuffer *ring = GetStreamRingBuffer(record);
    if (record->streamPlaying == 0 || ClaimStreamBuffer(handle, record, 0) != 0 || ring == nullptr ||
        ring->valid == 0 || record->ringLength <= 0) {
        ReleaseSectionLock(GetSoundLock());
        return 0;
    }
    uint32_t cursor = 0;
    GetPlayBufferPosition(ring, nullptr, &cursor);
    UpdateStreamPlayPosition(handle, cursor, 1);

    const int ringLength = record->ringLength;
    const int align = record->format.blockAlign;
    const int64_t perSecond = record->format.avgBytesPerSec;
    const int position = static_cast<int>(cursor) % ringLength;
    uint32_t status = 0;
    bool playing = GetPlayBufferStatus(ring, &status) == 0 && (status & kBufferStatusPlaying) != 0;
    // No room: the cursor lies on the stretch from the write position to the safe limit.
    bool noRoom = record->writePosition >= 0 && position != record->writePosition &&
                  RingDistance(record->writePosition, position, ringLength) <
                      RingDistance(record->writePosition, record->safeLimit, ringLength);

    int offset = record->writePosition;
    int bytes = 0;
    bool silenceOnly = false;
    bool firstFill = false;
    if (record->endOfData != 0) {
        if (IsOnRingStretch(position, record->endCursor, record->endPosition, ringLength) == 0) {
            // The cursor has passed the end of the data: the sound has ended,
            // also for the resume of a pause that has stopped the ring meanwhile.
            StopPlayBuffer(ring);
            ClearStreamRingPauseMarks(GetStreamRingOwner(record));
            record->endOfData = 0;
            ResetStreamPosition(record);
            ReleaseSectionLock(GetSoundLock());
            return 0;
        }
        if (noRoom) {
            ReleaseSectionLock(GetSoundLock());
            return -1;
        }
        bytes = EighthSecondBytes(record->format);
        silenceOnly = true;
    } else if (playing) {
        if (noRoom) {
            ReleaseSectionLock(GetSoundLock());
            return -1;
        }
        int lead = RingDistance(position, record->writePosition, ringLength);
        int64_t leadUnits = static_cast<int64_t>(lead) * kLeadUnitsPerSecond / perSecond;
        if (leadUnits >= kCatchUpLeadUnits) {
            bytes = EighthSecondBytes(record->format);
        } else {
            bytes = static_cast<int>(perSecond * kCatchUpLeadUnits / kLeadUnitsPerSecond) - lead;
            bytes -= bytes % align;
        }
    } else {
        if (record->writePosition != kStreamFirstFillPending) {
            ReleaseSectionLock(GetSoundLock());
            return 0;
        }
        bytes = static_cast<int>(align * (PrimeBytes(perSecond) / align));
        offset = 0;
        firstFill = true;
    }
    if (bytes <= 0) {
        ReleaseSectionLock(GetSoundLock());
        return 0;
    }

    void *part1 = nullptr;
    void *part2 = nullptr;
    uint32_t size1 = 0;
    uint32_t size2 = 0;
    if (LockPlayBuffer(offset, ring, bytes, &part1, &size1, &part2, &size2) != 0) {
        ReleaseSectionLock(GetSoundLock());
        return -1;
    }
    LockedRegion region{static_cast<unsigned char *>(part1), size1, static_cast<unsigned char *>(part2), size2, 0, 0};
    if (silenceOnly) {
        FillLockedRegionWithSilence(&record->format, &region, LockedBytes(region));
    } else {
        DecodeIntoRegion(record, &region, offset, cursor);
    }
    UnlockPlayBuffer(ring, size2, part1, size1, part2);

    int written = WrittenBytes(region);
    if (firstFill) {
        record->writePosition = written;
        record->safeLimit = 0;
    } else {
        record->writePosition = (record->writePosition + written) % ringLength;
        int64_t prime = PrimeBytes(perSecond);
        int limit = record->writePosition - static_cast<int>(align * ((prime + align - 1) / align));
        record->safeLimit = limit < 0 ? limit + ringLength : limit;
    }
    ReleaseSectionLock(GetSoundLock());
    return 0;
}

// Refill every stream sound whose stream plays
int RefillAllStreamSounds()
{
    if (IsSoundSystemUp() == 0) {
        return -1;
    }
    AcquireSectionLock(GetSoundLock());
    for (HandleChainNode *node = SoundSystem.streamChainHead.next; node != &SoundSystem.streamChainTail;
         node = node->next) {
        SoundHandleRecord *record = static_cast<SoundHandleRecord *>(node->data);
        if (record->streamPlaying != 0) {
            RefillStreamSound(node->handle, 0);
        }
    }
    ReleaseSectionLock(GetSoundLock());
    return 0;
}

} // namespace Korvo
