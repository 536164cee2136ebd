// Playing movie handles: start, pause, the per-draw step that brings the frame
// due now to the movie's graph, and the pause and resume of all movies around
// window deactivation.

#include "movie/movie_handle.h"

#include "movie/startup_entries.h"
#include "sound/public_api.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool Loops(const MovieHandleRecord *record)
{
    return (record->playType & kMoviePlayLoopBit) != 0;
}

// The frame due now, from the soundtrack while it plays (or while a pause has
// just stopped it, where it holds its place), else from the clock; *fromSound
// tells which.
static int64_t TheoraFrameDue(MovieHandleRecord *record, const TheoraMovieInfo &info, bool soundHeld,
                              int64_t *elapsedUs, bool *fromSound)
{
    bool bySound = record->soundtrack != -1 && !record->soundtrackEnded &&
                   (soundHeld || IsSoundHandlePlaying(record->soundtrack) == 1);
    int positionMs = bySound ? GetSoundHandlePlayPositionMs(record->soundtrack) : -1;
    if (positionMs >= 0) {
        *elapsedUs = static_cast<int64_t>(positionMs) * 1000;
        // The clock keeps the sound's place: should the sound end before the
        // picture, the frames go on from there.
        record->clockStartUs = GetMicrosecondClock() - static_cast<uint64_t>(*elapsedUs);
    } else {
        *elapsedUs = static_cast<int64_t>(GetMicrosecondClock() - record->clockStartUs);
    }
    int64_t target = static_cast<int64_t>(static_cast<double>(*elapsedUs) * info.framesPerSecond / 1000000.0);
    if (target >= info.frameCount) {
        target = Loops(record) && positionMs < 0 ? target % info.frameCount : info.frameCount - 1;
    }
    *fromSound = positionMs >= 0;
    return target;
}

// A movie played once whose soundtrack no longer plays (it has played out)
// goes on by the clock alone.
static void NoteSoundtrackEnd(MovieHandleRecord *record)
{
    if (record->soundtrack != -1 && !Loops(record) && IsSoundHandlePlaying(record->soundtrack) != 1) {
        record->soundtrackEnded = 1;
    }
}

// The frame on show to the callback, through the YUV surface where the player has
// one and the frame has no alpha half, else as an image; each frame once.
static void DeliverTheoraFrame(MovieHandleRecord *record)
{
    TheoraPlayer *player = record->player;
    if (!record->alphaRightHalf && TheoraYuvSurfaceWanted(player)) {
        int fresh = CopyTheoraFrameToTargets(player, 0, 1, nullptr);
        K_IDirect3DSurface9 *surface = player->surfaceCopied ? GetTheoraYuvSurface(player) : nullptr;
        if (surface != nullptr) {
            if (record->frameCallback == nullptr || (!fresh && record->frameDelivered)) {
                return;
            }
            if (record->frameCallback(record->callbackUserValue, record->currentImage, surface,
                                      record->alphaRightHalf) == 0) {
                record->frameDelivered = 1;
                return;
            }
            // The graph cannot take the surface (no device texture): images from now on.
            ReleaseTheoraYuvSurface(player, nullptr);
        }
    }
    int copied = CopyTheoraFrameToTargets(player, 1, 0, nullptr);
    if (record->frameCallback != nullptr && (copied || !record->frameDelivered)) {
        record->frameCallback(record->callbackUserValue, record->currentImage, nullptr, record->alphaRightHalf);
        record->frameDelivered = 1;
    }
}

static void StepTheoraMovie(MovieHandleRecord *record, bool soundHeld)
{
    TheoraPlayer *player = record->player;
    if (!record->stopped) {
        if (!soundHeld) {
            NoteSoundtrackEnd(record);
        }
        TheoraMovieInfo info;
        GetTheoraMovieInfo(player, &info);
        int64_t elapsedUs = 0;
        bool fromSound = false;
        int64_t target = TheoraFrameDue(record, info, soundHeld, &elapsedUs, &fromSound);
        int64_t current = GetTheoraCurrentFrame(player);
        if (target < current && !Loops(record) && !fromSound) {
            // A movie played once only goes forward on the clock: a due frame
            // behind the one on show (a clock behind where the soundtrack took
            // the picture) waits for it. The soundtrack's place is followed
            // back too: a movie started again plays its sound from the start.
            target = current;
        }
        if (target < current && Loops(record) && record->soundtrackEnded && !soundHeld) {
            // Made to loop after its soundtrack had played out: the next pass
            // of the picture starts the soundtrack again, from its start.
            record->soundtrackEnded = 0;
            StartSoundHandlePlayback(record->soundtrack, record->playType, 1);
        }
        if (target != current) {
            int64_t step = target - current + (target < current ? info.frameCount : 0);
            AdvanceTheoraFrames(player, static_cast<int>(step));
            record->elapsedMs = static_cast<int>(elapsedUs / 1000);
        } else if (target == info.frameCount - 1 && !Loops(record) &&
                   (record->soundtrack == -1 || record->soundtrackEnded)) {
            // The last frame is on show and nothing more plays: the movie has ended.
            record->userPlaying = 0;
            record->stopped = 1;
        }
    }
    DeliverTheoraFrame(record);
}

// Start (or go on with) the soundtrack with the picture: not one that has
// played out while the picture has frames left; at the picture's end a movie
// started again plays its soundtrack again from the start.
static void StartTheoraSoundtrack(MovieHandleRecord *record, int playType, int frameCount)
{
    if (record->soundtrack == -1) {
        return;
    }
    if (record->soundtrackEnded && GetTheoraCurrentFrame(record->player) < frameCount - 1) {
        return;
    }
    StartSoundHandlePlayback(record->soundtrack, playType, record->soundtrackEnded);
    record->soundtrackEnded = 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int StartMoviePlayback(int handle, int playType, int systemFlag)
{
    MovieHandleRecord *record = GetMovieHandleRecord(handle);
    if (record == nullptr) {
        return -1;
    }
    if (playType == -1) {
        playType = record->playType;
    }
    if (playType == 0) {
        playType = 1;
    }
    if (!record->stopped || (systemFlag == 1 && !record->userPlaying)) {
        return 0;
    }
    if (systemFlag == 0 && MoviesSuspended) {
        // The window is inactive: the movie starts with the suspended ones when
        // it is active again, from where it stands, and nothing waits here.
        record->playType = playType;
        record->userPlaying = 1;
        return 0;
    }
    if (record->theora) {
        // The clock continues from the frame on show.
        TheoraMovieInfo info;
        GetTheoraMovieInfo(record->player, &info);
        double shownUs = 1000000.0 / info.framesPerSecond * GetTheoraCurrentFrame(record->player);
        record->clockStartUs = GetMicrosecondClock() - static_cast<uint64_t>(shownUs);
        StartTheoraSoundtrack(record, playType, info.frameCount);
    } else if (RunDirectShowMovie(record) != 0) {
        return -1;
    }
    record->stopped = 0;
    record->playType = playType;
    record->userPlaying = 1;
    return 0;
}

int PauseMoviePlayback(int handle, int systemFlag)
{
    MovieHandleRecord *record = GetMovieHandleRecord(handle);
    if (record == nullptr) {
        return -1;
    }
    if (record->stopped) {
        // Also a movie the system has stopped (window deactivation): paused by
        // the program, the activation leaves it paused.
        if (!systemFlag) {
            record->userPlaying = 0;
        }
        return 0;
    }
    if (record->theora) {
        // A soundtrack that has played out holds no place: the clock keeps the
        // frame on show, and the movie goes on from it.
        NoteSoundtrackEnd(record);
        if (record->soundtrack != -1) {
            StopSoundHandlePlayback(record->soundtrack);
        }
        // The frame of the place where the soundtrack stopped, from which it
        // will go on: resuming never finds the frame on show ahead of it.
        StepTheoraMovie(record, true);
    } else if (PauseDirectShowMovie(record) != 0) {
        return 0;
    }
    record->stopped = 1;
    if (!systemFlag) {
        record->userPlaying = 0;
    }
    return 0;
}

int StepMoviePlayback(int handle, int unused)
{
    (void)unused;
    MovieHandleRecord *record = GetMovieHandleRecord(handle);
    if (record == nullptr) {
        return -1;
    }
    if (record->theora) {
        StepTheoraMovie(record, false);
    } else {
        StepDirectShowMovie(record);
    }
    return 0;
}

static int ForEachMovie(void (*action)(int handle))
{
    if (CheckMovieModuleAfterReset() != 0) {
        return -1;
    }
    HandleTypeEntry &entry = HandleTypeTable[kMovieHandleKind];
    if (entry.liveCount == 0) {
        return 0;
    }
    for (int slot = entry.lowestSlot; slot <= entry.highestSlot; ++slot) {
        if (entry.slots[slot] != nullptr) {
            action(static_cast<HandleRecordHeader *>(entry.slots[slot])->handle);
        }
    }
    return 0;
}

int SuspendAllMovies()
{
    if (CheckMovieModuleAfterReset() != 0) {
        return -1;
    }
    MoviesSuspended = 1;
    return ForEachMovie([](int handle) { PauseMoviePlayback(handle, 1); });
}

int ResumeSuspendedMovies()
{
    MoviesSuspended = 0;
    return ForEachMovie([](int handle) { StartMoviePlayback(handle, -1, 1); });
}

} // namespace Korvo
