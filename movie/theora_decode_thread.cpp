// The Theora decode thread: keeps the frame stock filled from the frame on show
// onward, serves the pause, seek and stop requests, and wraps to the file's
// beginning for looping playback. It and the main thread share only atomic
// words of the player; neither waits on a lock.

#include "movie/theora_player.h"

#include "core/memory/tracked_alloc.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------

static const int kReadStep = 4096;
static const uint32_t kIdleBeforeLongSleepMs = 201;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void SetThreadState(TheoraPlayer *player, int state)
{
    if (player->threadState != state) {
        player->threadState = state;
        player->lastStateChangeMs = static_cast<uint32_t>(GetMillisecondClock());
    }
}

static void IdleSleep(TheoraPlayer *player)
{
    uint32_t idle = static_cast<uint32_t>(GetMillisecondClock()) - player->lastStateChangeMs;
    SleepMilliseconds(player->threadState == kTheoraIdle && idle >= kIdleBeforeLongSleepMs ? 1 : 0);
}

// Feed the next block of the file to the sync layer; the bytes read, 0 at the
// end. Each block counts as progress: a large frame from a slow stream takes
// many reads before its packet is whole.
static int ReadNextBlock(TheoraPlayer *player)
{
    int got = ReadTheoraData(player, kReadStep);
    if (got > 0) {
        ++player->progress;
    }
    return got;
}

// Restart reading at a byte offset of the file.
static void RestartReadingAt(TheoraPlayer *player, uint32_t offset)
{
    player->pictureFrame = -1; // frame numbers start again from the page read
    ogg_sync_reset(&player->sync);
    ogg_stream_reset(&player->oggStream);
    player->streams.Seek(player->stream, static_cast<int>(offset), 0);
}

// Restart reading at a page before the keyframe that leads to the target and
// decode up to it: 0, -1 when the target is in no page, -2 when the data ends
// first.
static int RepositionDecoder(TheoraPlayer *player, int target)
{
    int entryIndex = -1;
    for (int i = 0; i < player->pageIndexCount; ++i) {
        const TheoraPageIndexEntry &e = player->pageIndex[i];
        if (static_cast<int64_t>(target) < static_cast<int64_t>(e.firstFrame) + e.frameCount) {
            entryIndex = i;
            break;
        }
    }
    if (entryIndex < 0) {
        return -1;
    }
    int resume = 0;
    if (entryIndex > 0) {
        int k = entryIndex - 1;
        while (k > 0 && !player->pageIndex[k].hasKeyframe) {
            --k;
        }
        resume = k > 0 ? k - 1 : 0;
    }
    RestartReadingAt(player, player->pageIndex[resume].byteOffset);
    // The decoder's frame numbers count packets from the first frame completing
    // in the resume page; a packet continued from the page before is lost.
    int firstFrame = static_cast<int>(player->pageIndex[resume].firstFrame);
    if (resume > 0) {
        for (;;) {
            if (ogg_sync_pageout(&player->sync, &player->page) == 1) {
                if (ogg_stream_pagein(&player->oggStream, &player->page) == 0) {
                    if (ogg_page_continued(&player->page)) {
                        ++firstFrame;
                    }
                    break;
                }
                continue;
            }
            if (ReadNextBlock(player) == 0) {
                break;
            }
        }
    }
    player->decodePosition = firstFrame - 1;
    if (target > player->decodePosition && DecodeTheoraFrames(player, target - player->decodePosition) < 0) {
        return -2;
    }
    return 0;
}

// Serve a seek: every stock entry goes, and the decoder holds the target.
// 0, or -1 when the target is in no page.
static int ServeSeek(TheoraPlayer *player)
{
    int result = RepositionDecoder(player, player->seekTarget);
    if (result == -1) {
        return -1;
    }
    for (int i = 0; i < player->stockSize; ++i) {
        player->stock[i].valid = 0;
    }
    player->endOfData = result == -2 ? 1 : 0;
    ++player->progress;
    return 0;
}

// How far a frame lies ahead of the current one, counting on past the last
// frame to the first (playback wraps).
static int64_t FramesAhead(int64_t frame, int64_t current, int64_t count)
{
    int64_t ahead = (frame - current) % count;
    return ahead < 0 ? ahead + count : ahead;
}

// The frames the stock keeps: the current one and those after it, as many as
// the stock holds, or the whole movie when it is shorter than the stock.
static int64_t StockWindow(const TheoraPlayer *player)
{
    return player->stockSize < player->frameCount ? player->stockSize : player->frameCount;
}

// Drop stock entries outside the window: frames already shown, and frames
// left from before the current frame jumped (forwards, backwards or round the
// end of the movie).
static void DropStaleFrames(TheoraPlayer *player, int current)
{
    int64_t window = StockWindow(player);
    for (int i = 0; i < player->stockSize; ++i) {
        TheoraFrameStockEntry &e = player->stock[i];
        if (e.valid && FramesAhead(e.frame, current, player->frameCount) >= window) {
            // Invalidated first, then checked: the main thread names the frame
            // before it looks, so one of the two sees the other.
            e.valid = 0;
            if (player->frameInUse == e.frame) {
                e.valid = 1;
            }
        }
    }
}

static int HoldsFrame(TheoraPlayer *player, int64_t frame)
{
    for (int i = 0; i < player->stockSize; ++i) {
        if (player->stock[i].valid && player->stock[i].frame == frame) {
            return 1;
        }
    }
    return 0;
}

static int ReplacePlane(uint8_t **plane, size_t size, int changed)
{
    if (changed) {
        TrackedFree(*plane);
        *plane = nullptr;
    }
    if (*plane == nullptr) {
        *plane = static_cast<uint8_t *>(KORVO_TRACKED_ALLOC(size > 0 ? size : 1));
    }
    return *plane != nullptr ? 0 : -1;
}

// The decoder's picture into a free stock entry; 0 or -1 when short of memory.
// A frame whose packet did not decode gets an entry without a picture: the
// decoder's picture is another frame's then, or, before any frame decoded,
// none at all (its planes point at nothing the decoder set).
static int StoreDecodedFrame(TheoraPlayer *player, TheoraFrameStockEntry *e)
{
    yuv_buffer yuv;
    if (player->pictureFrame != player->decodePosition || theora_decode_YUVout(&player->decoder, &yuv) != 0) {
        e->undecodable = 1;
        e->frame = player->decodePosition.load();
        e->valid = 1;
        return 0;
    }
    int yChanged = e->yWidth != yuv.y_width || e->yHeight != yuv.y_height || e->yStride != yuv.y_stride;
    int uvChanged = e->uvWidth != yuv.uv_width || e->uvHeight != yuv.uv_height || e->uvStride != yuv.uv_stride;
    // Strides may be negative (rows stored bottom-up): keep rows top-down at |stride|.
    int yStride = yuv.y_stride < 0 ? -yuv.y_stride : yuv.y_stride;
    int uvStride = yuv.uv_stride < 0 ? -yuv.uv_stride : yuv.uv_stride;
    if (ReplacePlane(&e->planeY, static_cast<size_t>(yStride) * yuv.y_height, yChanged) != 0 ||
        ReplacePlane(&e->planeU, static_cast<size_t>(uvStride) * yuv.uv_height, uvChanged) != 0 ||
        ReplacePlane(&e->planeV, static_cast<size_t>(uvStride) * yuv.uv_height, uvChanged) != 0) {
        return -1;
    }
    for (int y = 0; y < yuv.y_height; ++y) {
        std::memcpy(e->planeY + static_cast<ptrdiff_t>(y) * yStride,
                    yuv.y + static_cast<ptrdiff_t>(y) * yuv.y_stride, yuv.y_width);
    }
    for (int y = 0; y < yuv.uv_height; ++y) {
        std::memcpy(e->planeU + static_cast<ptrdiff_t>(y) * uvStride,
                    yuv.u + static_cast<ptrdiff_t>(y) * yuv.uv_stride, yuv.uv_width);
        std::memcpy(e->planeV + static_cast<ptrdiff_t>(y) * uvStride,
                    yuv.v + static_cast<ptrdiff_t>(y) * yuv.uv_stride, yuv.uv_width);
    }
    e->yWidth = yuv.y_width;
    e->yHeight = yuv.y_height;
    e->yStride = yStride;
    e->uvWidth = yuv.uv_width;
    e->uvHeight = yuv.uv_height;
    e->uvStride = uvStride;
    e->undecodable = 0;
    e->frame = player->decodePosition.load();
    e->valid = 1;
    return 0;
}

// The first frame of the window that the stock does not hold, or -1 when it
// holds them all (the stock is full, however many entries are free).
static int FindWantedFrame(TheoraPlayer *player, int current)
{
    int64_t window = StockWindow(player);
    for (int64_t k = 0; k < window; ++k) {
        int64_t frame = (current + k) % player->frameCount;
        if (!HoldsFrame(player, frame)) {
            return static_cast<int>(frame);
        }
    }
    return -1;
}

// Bring the decoder to the wanted frame and store it in a free entry: forward
// from the decode position, or from a page before it when the frame lies
// behind (after a wrap or a step back). A frame that cannot be had marks the
// end of the data, so the thread waits for a seek or a restart instead of
// trying again at once.
static void FillStockEntry(TheoraPlayer *player, TheoraFrameStockEntry *free, int wanted)
{
    SetThreadState(player, kTheoraDecoding);
    int position = player->decodePosition;
    int result = 0;
    if (wanted > position) {
        result = DecodeTheoraFrames(player, wanted - position);
    } else if (wanted < position) {
        result = RepositionDecoder(player, wanted);
    }
    if (result < 0 || player->decodePosition != wanted || StoreDecodedFrame(player, free) != 0) {
        player->endOfData = 1;
        return;
    }
    ++player->progress;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int DecodeTheoraFrames(TheoraPlayer *player, int n)
{
    int first = player->decodePosition + 1;
    int lastKey = -1;
    for (int f = first; f < first + n && f < player->frameCount; ++f) {
        if (f >= 0 && player->keyframes[f]) {
            lastKey = f;
        }
    }
    int wasKey = 0;
    for (int i = 0; i < n; ++i) {
        int key;
        for (;;) {
            if (ogg_stream_packetout(&player->oggStream, &player->packet) == 1) {
                key = theora_packet_iskeyframe(&player->packet);
                if (key >= 0) {
                    break;
                }
                continue;
            }
            if (ogg_sync_pageout(&player->sync, &player->page) == 1) {
                ogg_stream_pagein(&player->oggStream, &player->page);
                continue;
            }
            if (player->streams.Eof(player->stream) || ReadNextBlock(player) == 0) {
                return -1;
            }
        }
        int frame = player->decodePosition + 1;
        if (lastKey < 0 || frame >= lastKey) {
            // Only a packet that decodes makes the decoder's picture this frame's.
            player->pictureFrame = theora_decode_packetin(&player->decoder, &player->packet) == 0 ? frame : -1;
        }
        wasKey = key == 1;
        player->decodePosition = frame;
        ++player->progress;
    }
    return wasKey;
}

void TheoraDecodeThreadProc(ThreadRecord *record, int userData)
{
    (void)userData;
    TheoraPlayer *player = reinterpret_cast<TheoraPlayer *>(record);
    while (!player->stopRequest) {
        if (player->pauseRequest) {
            SetThreadState(player, kTheoraPaused);
            SleepMilliseconds(1);
            continue;
        }
        if (player->seekRequest) {
            SetThreadState(player, kTheoraSeeking);
            if (ServeSeek(player) != 0) {
                break;
            }
            player->seekRequest = 0;
            continue;
        }
        int current = player->currentFrame;
        int wanted = current >= 0 ? FindWantedFrame(player, current) : -1;
        if (player->endOfData && wanted >= 0 && wanted < player->decodePosition) {
            player->endOfData = 0; // the frame lies behind: read the data again
        }
        if (!player->endOfData && wanted >= 0) {
            DropStaleFrames(player, current);
        }
        TheoraFrameStockEntry *free = nullptr;
        for (int i = 0; i < player->stockSize && free == nullptr; ++i) {
            if (!player->stock[i].valid) {
                free = &player->stock[i];
            }
        }
        if (free == nullptr || wanted < 0 || player->endOfData) {
            SetThreadState(player, kTheoraIdle);
        } else {
            FillStockEntry(player, free, wanted);
        }
        IdleSleep(player);
    }
    player->threadState = kTheoraEnded;
}

} // namespace Korvo
