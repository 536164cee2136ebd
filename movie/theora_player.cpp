// The Ogg Theora player: opening (headers, page index, keyframe table, decode
// thread), closing, seeking, moving the frame on show, and copying it out.

#include "movie/theora_player.h"

#include "core/memory/tracked_alloc.h"
#include "image/pixel_access.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace Korvo {

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------

static const int kReadStep = 4096;
static const int kTableStep = 1000;
// A main thread waiting for a frame gives up after this many polls of at
// least 1 ms each (3 s or more) without the decode thread reading, storing or
// seeking anything. Counted, not timed: the wait must end without a clock too.
static const int kDecodeStallPolls = 3000;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Next page from the sync layer; its start offset (bytes skipped counted) in *offset.
static int TakeNextPage(TheoraPlayer *player, int64_t *offset, int64_t *consumed)
{
    for (;;) {
        long n = ogg_sync_pageseek(&player->sync, &player->page);
        if (n > 0) {
            *offset = *consumed;
            *consumed += n;
            return 1;
        }
        if (n == 0) {
            return 0;
        }
        *consumed += -n;
    }
}

static int GrowPageIndex(TheoraPlayer *player)
{
    int capacity = player->pageIndexCapacity + kTableStep;
    void *grown = KORVO_TRACKED_REALLOC(player->pageIndex, sizeof(TheoraPageIndexEntry) * capacity);
    if (grown == nullptr) {
        return -1;
    }
    player->pageIndex = static_cast<TheoraPageIndexEntry *>(grown);
    player->pageIndexCapacity = capacity;
    return 0;
}

static int GrowKeyframeTable(TheoraPlayer *player)
{
    int capacity = player->keyframeCapacity + kTableStep;
    void *grown = KORVO_TRACKED_REALLOC(player->keyframes, capacity);
    if (grown == nullptr) {
        return -1;
    }
    player->keyframes = static_cast<uint8_t *>(grown);
    std::memset(player->keyframes + player->keyframeCapacity, 0, kTableStep);
    player->keyframeCapacity = capacity;
    return 0;
}

static int FailOpening(TheoraPlayer *player, const char *message)
{
    AppendLogText(message);
    (void)player;
    return -1;
}

// Every pixel black and opaque: the picture until the first frame comes.
static void ClearToOpaqueBlack(RasterImage *image)
{
    for (int y = 0; y < image->height; ++y) {
        uint32_t *row = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(image->pixels) +
                                                     static_cast<ptrdiff_t>(y) * image->pitch);
        std::fill(row, row + image->width, 0xFF000000u);
    }
}

// Whether a wait gave up on the thread and the thread has not moved since.
static bool DecodeThreadStillStalled(TheoraPlayer *player)
{
    if (player->stallNoted && player->progress == player->progressAtStall) {
        return true;
    }
    player->stallNoted = 0;
    return false;
}

// Poll until done() holds; false when the thread made no progress for
// kDecodeStallPolls polls in a row (logged once per stall), or at once while
// it is still stalled: a stalled thread costs the main thread one wait, not one
// per draw, and the movie keeps its last frame meanwhile.
template <typename Done>
static bool WaitForDecodeThread(TheoraPlayer *player, Done done)
{
    if (DecodeThreadStillStalled(player)) {
        return done();
    }
    uint32_t lastProgress = player->progress;
    int stalledPolls = 0;
    while (!done()) {
        uint32_t progress = player->progress;
        if (progress != lastProgress) {
            lastProgress = progress;
            stalledPolls = 0;
        } else if (++stalledPolls >= kDecodeStallPolls) {
            player->stallNoted = 1;
            player->progressAtStall = progress;
            AppendLogText("Theora ムービーデコード用スレッドが応答しません\n");
            return false;
        }
        ++player->mainThreadWaitPolls;
        SleepMilliseconds(stalledPolls == 0 ? 0 : 1);
    }
    return true;
}

// The stock entry of the frame on show, once the thread has stored it; null
// when it will not come: the thread has ended, the data ended before it, the
// thread is stalled, or the frame did not decode (the last good one stays).
static const TheoraFrameStockEntry *WaitForCurrentFrame(TheoraPlayer *player)
{
    const TheoraFrameStockEntry *found = nullptr;
    WaitForDecodeThread(player, [player, &found] {
        if (player->threadState == kTheoraEnded) {
            return true;
        }
        if (player->threadState == kTheoraSeeking || player->seekRequest) {
            return false;
        }
        int current = player->frameInUse;
        for (int i = 0; i < player->stockSize; ++i) {
            if (player->stock[i].valid && player->stock[i].frame == current) {
                found = &player->stock[i];
                return true;
            }
        }
        return player->endOfData != 0;
    });
    return found != nullptr && !found->undecodable ? found : nullptr;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int ReadTheoraData(TheoraPlayer *player, int n)
{
    char *buffer = ogg_sync_buffer(&player->sync, n);
    if (buffer == nullptr) {
        return 0;
    }
    size_t got = player->streams.Read(buffer, 1, static_cast<size_t>(n), player->stream);
    ogg_sync_wrote(&player->sync, static_cast<long>(got));
    return static_cast<int>(got);
}

TheoraPlayer *AllocTheoraPlayer(const StreamFunctionTable *table, StreamHandle stream)
{
    void *memory = KORVO_TRACKED_ALLOC_ZEROED(sizeof(TheoraPlayer));
    if (memory == nullptr) {
        return nullptr;
    }
    TheoraPlayer *player = new (memory) TheoraPlayer();
    player->currentFrame = -1;
    player->frameInUse = -1;
    player->decodePosition = -1;
    player->pictureFrame = -1;
    ogg_sync_init(&player->sync);
    theora_info_init(&player->info);
    theora_comment_init(&player->comment);
    player->streams = *table;
    player->stream = stream;
    return player;
}

int ParseTheoraHeaders(TheoraPlayer *player)
{
    // The first stream whose first packet is a Theora header.
    int found = 0;
    while (!found) {
        if (ogg_sync_pageout(&player->sync, &player->page) != 1) {
            if (ReadTheoraData(player, kReadStep) == 0) {
                return -1;
            }
            continue;
        }
        if (!ogg_page_bos(&player->page)) {
            // Past the stream heads without a Theora stream.
            if (!player->streamStarted) {
                return -1;
            }
            ogg_stream_pagein(&player->oggStream, &player->page);
            break;
        }
        if (player->streamStarted) {
            continue; // another stream's head after ours
        }
        ogg_stream_state trial;
        ogg_stream_init(&trial, ogg_page_serialno(&player->page));
        ogg_stream_pagein(&trial, &player->page);
        ogg_packet packet;
        if (ogg_stream_packetout(&trial, &packet) == 1 &&
            theora_decode_header(&player->info, &player->comment, &packet) == 0) {
            player->oggStream = trial;
            player->streamStarted = 1;
            player->serialNumber = ogg_page_serialno(&player->page);
            player->headerCount = 1;
        } else {
            ogg_stream_clear(&trial);
        }
    }
    while (player->headerCount < 3) {
        int result = ogg_stream_packetout(&player->oggStream, &player->packet);
        if (result < 0) {
            return -1;
        }
        if (result == 1) {
            if (theora_decode_header(&player->info, &player->comment, &player->packet) != 0) {
                return -1;
            }
            ++player->headerCount;
            continue;
        }
        if (ogg_sync_pageout(&player->sync, &player->page) == 1) {
            ogg_stream_pagein(&player->oggStream, &player->page);
        } else if (ReadTheoraData(player, kReadStep) == 0) {
            return -1;
        }
    }
    // Sizes a decoder could not hold are refused before anything is allocated for them.
    if (player->info.width == 0 || player->info.height == 0 || player->info.width > 16384 ||
        player->info.height > 16384 || player->info.fps_numerator == 0 || player->info.fps_denominator == 0) {
        return -1;
    }
    return 1;
}

int BuildTheoraPageIndex(TheoraPlayer *player)
{
    ogg_sync_reset(&player->sync);
    ogg_stream_reset(&player->oggStream);
    player->streams.Seek(player->stream, 0, 0);
    player->pageIndex = static_cast<TheoraPageIndexEntry *>(KORVO_TRACKED_ALLOC(sizeof(TheoraPageIndexEntry) * kTableStep));
    if (player->pageIndex == nullptr) {
        return FailOpening(player, "Theora ページ情報格納用メモリの確保に失敗しました\n");
    }
    player->pageIndexCapacity = kTableStep;
    player->keyframes = static_cast<uint8_t *>(KORVO_TRACKED_ALLOC_ZEROED(kTableStep));
    if (player->keyframes == nullptr) {
        return FailOpening(player, "Theora キーフレーム情報格納用メモリの確保に失敗しました\n");
    }
    player->keyframeCapacity = kTableStep;

    int64_t consumed = 0;
    int64_t theoraPageOffset = 0;
    int pageSinceLastFrame = 0;
    for (;;) {
        ogg_packet packet;
        if (ogg_stream_packetout(&player->oggStream, &packet) != 1) {
            int64_t offset = 0;
            if (TakeNextPage(player, &offset, &consumed)) {
                if (ogg_stream_pagein(&player->oggStream, &player->page) == 0) {
                    theoraPageOffset = offset;
                    pageSinceLastFrame = 1;
                }
                continue;
            }
            if (ReadTheoraData(player, kReadStep) == 0) {
                break;
            }
            continue;
        }
        int key = theora_packet_iskeyframe(&packet);
        if (key < 0) {
            continue;
        }
        if (pageSinceLastFrame || player->pageIndexCount == 0) {
            if (player->pageIndexCount == player->pageIndexCapacity && GrowPageIndex(player) != 0) {
                return FailOpening(player, "Theora ページ情報格納用メモリの確保に失敗しました\n");
            }
            TheoraPageIndexEntry *entry = &player->pageIndex[player->pageIndexCount++];
            entry->byteOffset = static_cast<uint32_t>(theoraPageOffset);
            entry->firstFrame = static_cast<uint32_t>(player->frameCount);
            entry->hasKeyframe = 0;
            entry->frameCount = 0;
            pageSinceLastFrame = 0;
        }
        if (player->frameCount >= player->keyframeCapacity && GrowKeyframeTable(player) != 0) {
            return FailOpening(player, "Theora キーフレーム情報格納用メモリの確保に失敗しました\n");
        }
        TheoraPageIndexEntry *last = &player->pageIndex[player->pageIndexCount - 1];
        if (key == 1) {
            last->hasKeyframe = 1;
            player->keyframes[player->frameCount] = 1;
        }
        ++last->frameCount;
        ++player->frameCount;
    }
    if (player->pageIndexCount > 0) {
        player->pageIndex[0].byteOffset = 0; // the decode thread restarts from the file's beginning
    }
    return 0;
}

TheoraPlayer *OpenTheoraPlayer(const StreamFunctionTable *table, StreamHandle stream, int stockSize,
                               void *asyncContext)
{
    (void)asyncContext;
    char magic[4] = {};
    if (table->Read(magic, 1, 4, stream) != 4 || std::memcmp(magic, "OggS", 4) != 0) {
        return nullptr;
    }
    table->Seek(stream, 0, 0);
    TheoraPlayer *player = AllocTheoraPlayer(table, stream);
    if (player == nullptr) {
        AppendLogText("Theora ムービーデコード処理用のメモリ確保に失敗しました\n");
        return nullptr;
    }
    if (ParseTheoraHeaders(player) != 1) {
        FreeTheoraPlayer(player);
        return nullptr;
    }
    if (BuildTheoraPageIndex(player) != 0) {
        FreeTheoraPlayer(player);
        return nullptr;
    }
    if (player->frameCount == 0) {
        FreeTheoraPlayer(player);
        return nullptr; // headers without a single frame: nothing to show
    }
    if (StartTheoraPlayback(player, stockSize, asyncContext) != 0) {
        CloseTheoraPlayer(player);
        return nullptr;
    }
    return player;
}

int StartTheoraPlayback(TheoraPlayer *player, int stockSize, void *asyncContext)
{
    // A decoder that will not start could never give the thread a picture.
    if (theora_decode_init(&player->decoder, &player->info) != 0) {
        return -1;
    }
    player->decoderStarted = 1;
    ogg_sync_reset(&player->sync);
    ogg_stream_reset(&player->oggStream);
    player->streams.Seek(player->stream, 0, 0);

    CreateTheoraYuvSurface(player, asyncContext);
    const TheoraPictureRegion picture = GetTheoraPictureRegion(player);
    if (AllocXrgb32Image(picture.width, picture.height, &player->frameImage) != 0) {
        return FailOpening(player, "Theora ムービーデコードフレームストック用画像バッファの確保に失敗しました\n");
    }
    ClearToOpaqueBlack(&player->frameImage);
    player->stock = static_cast<TheoraFrameStockEntry *>(
        KORVO_TRACKED_ALLOC_ZEROED(sizeof(TheoraFrameStockEntry) * (stockSize > 0 ? stockSize : 1)));
    if (player->stock == nullptr) {
        return FailOpening(player, "Theora ムービーデコードフレームストック用のメモリ確保に失敗しました\n");
    }
    player->stockSize = stockSize > 0 ? stockSize : 1;
    // The thread starts paused and reads the stream only once told to seek.
    player->pauseRequest = 1;
    player->threadState = kTheoraIdle;
    player->lastStateChangeMs = static_cast<uint32_t>(GetMillisecondClock());
    if (CreateThreadRecord(&player->thread, TheoraDecodeThreadProc, 0) != 0) {
        return FailOpening(player, "Theora ムービーデコード用スレッドの作成に失敗しました\n");
    }
    ResumeThreadRecord(&player->thread);
    SeekTheoraFrame(player, 0);
    if (CopyTheoraFrameToTargets(player, 1, 1, asyncContext) == 1) {
        return 0;
    }
    // NOTE: a thread that stopped moving (the wait logged it; it sits in a read
    // of a slow or stuck stream) may still bring the first frame: the movie
    // opens black and shows its frames once they come, as it does after a
    // stall in play. Refusing would not end sooner: the close that follows
    // waits for that read all the same.
    if (player->stallNoted) {
        return 0;
    }
    // The first frame does not decode, or the data ends before it: no movie.
    return FailOpening(player, "Theora ムービーの最初のフレームをデコードできませんでした\n");
}

void FreeTheoraPlayer(TheoraPlayer *player)
{
    if (player->stock != nullptr) {
        for (int i = 0; i < player->stockSize; ++i) {
            TrackedFree(player->stock[i].planeY);
            TrackedFree(player->stock[i].planeU);
            TrackedFree(player->stock[i].planeV);
        }
        TrackedFree(player->stock);
    }
    if (player->yuvSurface != nullptr) {
        ReleaseTheoraYuvSurface(player, nullptr);
    }
    TrackedFree(player->pageIndex);
    TrackedFree(player->keyframes);
    if (player->frameImage.pixels != nullptr) {
        FreeImageRecord(&player->frameImage);
    }
    if (player->streamStarted) {
        ogg_stream_clear(&player->oggStream);
    }
    if (player->decoderStarted) {
        theora_clear(&player->decoder);
    }
    theora_comment_clear(&player->comment);
    theora_info_clear(&player->info);
    ogg_sync_clear(&player->sync);
    player->~TheoraPlayer();
    TrackedFree(player);
}

int CloseTheoraPlayer(TheoraPlayer *player)
{
    if (HasThreadHandle(&player->thread)) {
        // NOTE: unbounded, as it must be: the thread uses the player and the
        // stream to the end, so neither may go before it. The thread reads the
        // stop request at the top of every pass, paused too, and no pass waits
        // for the main thread or reads past the data's end; but a pass may sit
        // in the stream's Read, and nothing here can cut that short. So this
        // relies on every Read returning, as a file read does once its medium
        // answers: a stream table whose Read blocks for ever hangs the close.
        player->stopRequest = 1;
        while (player->threadState != kTheoraEnded) {
            SleepMilliseconds(1);
        }
        CloseThreadRecord(&player->thread);
    }
    FreeTheoraPlayer(player);
    return 0;
}

int SeekTheoraFrame(TheoraPlayer *player, int frame)
{
    if (frame == player->currentFrame) {
        return 0;
    }
    player->imageCopied = 0;
    player->surfaceCopied = 0;
    player->pauseRequest = 1;
    bool paused = WaitForDecodeThread(player, [player] {
        return player->threadState == kTheoraPaused || player->threadState == kTheoraEnded;
    });
    // The last frame is the furthest a seek goes: a target past it would find
    // no page and end the thread.
    int last = static_cast<int>(player->frameCount) - 1;
    frame = frame < 0 ? 0 : (frame > last ? last : frame);
    player->currentFrame = frame;
    // A stalled thread gets no request it might be serving a stale one over: the
    // frame on show alone tells it where to decode from once it moves again.
    if (paused) {
        player->seekTarget = frame;
        player->seekRequest = 1;
    }
    player->pauseRequest = 0;
    return 0;
}

int AdvanceTheoraFrames(TheoraPlayer *player, int n)
{
    if (n <= 0) {
        return 0;
    }
    int64_t frame = static_cast<int64_t>(player->currentFrame) + n;
    if (frame >= player->frameCount) {
        frame -= player->frameCount;
    }
    if (frame >= player->frameCount) {
        frame = player->frameCount - 1;
    }
    player->currentFrame = static_cast<int>(frame);
    player->imageCopied = 0;
    player->surfaceCopied = 0;
    return 0;
}

int CopyTheoraFrameToTargets(TheoraPlayer *player, int toImage, int toSurface, void *asyncContext)
{
    bool surfaceDue = toSurface && !player->surfaceCopied && TheoraYuvSurfaceWanted(player);
    bool imageDue = toImage && !player->imageCopied;
    if (!surfaceDue && !imageDue) {
        return 0;
    }
    // Named before the stock is searched, so the thread keeps the entry found.
    player->frameInUse = player->currentFrame.load();
    const TheoraFrameStockEntry *found = WaitForCurrentFrame(player);
    if (found == nullptr) {
        player->frameInUse = -1;
        return 0;
    }
    int copied = 0;
    if (surfaceDue && CopyTheoraFrameToYuvSurface(player, found, asyncContext)) {
        player->surfaceCopied = 1;
        copied = 1;
    }
    if (imageDue) {
        const TheoraPictureRegion picture = GetTheoraPictureRegion(player);
        ConvertTheoraFrameToXrgb(found, picture.x, picture.y, static_cast<uint8_t *>(player->frameImage.pixels),
                                 player->frameImage.pitch, player->frameImage.width, player->frameImage.height);
        player->imageCopied = 1;
        copied = 1;
    }
    player->frameInUse = -1;
    return copied;
}

RasterImage *GetTheoraFrameImage(TheoraPlayer *player)
{
    return &player->frameImage;
}

K_IDirect3DSurface9 *GetTheoraYuvSurface(TheoraPlayer *player)
{
    return player->yuvSurface;
}

int GetTheoraMovieInfo(TheoraPlayer *player, TheoraMovieInfo *out)
{
    out->framesPerSecond = static_cast<double>(player->info.fps_numerator) / player->info.fps_denominator;
    out->frameCount = static_cast<int>(player->frameCount);
    const TheoraPictureRegion picture = GetTheoraPictureRegion(player);
    out->width = picture.width;
    out->height = picture.height;
    return 0;
}

TheoraPictureRegion GetTheoraPictureRegion(const TheoraPlayer *player)
{
    // The legacy header record names the picture "frame" and the coded frame
    // plain width and height.
    const theora_info &info = player->info;
    const int64_t frameWidth = info.width, frameHeight = info.height;
    if (info.frame_width == 0 || info.frame_height == 0 || info.offset_x + int64_t{info.frame_width} > frameWidth ||
        info.offset_y + int64_t{info.frame_height} > frameHeight) {
        return TheoraPictureRegion{0, 0, static_cast<int>(frameWidth), static_cast<int>(frameHeight)};
    }
    return TheoraPictureRegion{static_cast<int>(info.offset_x), static_cast<int>(info.offset_y),
                               static_cast<int>(info.frame_width), static_cast<int>(info.frame_height)};
}

int GetTheoraCurrentFrame(TheoraPlayer *player)
{
    return player->currentFrame;
}

int MarkTheoraSurfaceLost(TheoraPlayer *player)
{
    // A default-pool surface must not outlive its device: it goes now, and the
    // restored graph gets the frame on show again.
    if (player->yuvSurface != nullptr) {
        ReleaseTheoraYuvSurface(player, nullptr);
        player->surfaceLost = 1;
    }
    player->imageCopied = 0;
    player->surfaceCopied = 0;
    return 0;
}

} // namespace Korvo
