// The library's own Ogg Theora player: header reading, the page index and
// keyframe table built at opening, the frame stock that the decode thread keeps
// filled ahead of the frame on show, and the copy of the frame on show into a
// 32-bit XRGB image.
#pragma once

#include "core/public_api.h"
#include "core/streams/stream_table.h"
#include "core/threads/thread_record.h"
#include "image/public_api.h"

#include <atomic>
#include <cstdint>

#include <ogg/ogg.h>
#include <theora/theora.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
// States of the decode thread.
enum TheoraThreadState {
    kTheoraIdle = 0,     // the stock is full
    kTheoraDecoding = 1,
    kTheoraSeeking = 2,
    kTheoraEnded = 3,
    kTheoraPaused = 4,
};

// One page of the file that completes at least one video frame.
struct TheoraPageIndexEntry {
    uint32_t byteOffset;
    uint32_t firstFrame;  // number of the first frame that completes in the page
    uint32_t hasKeyframe;
    uint32_t frameCount;  // frames completed in the page
};

// One decoded frame held for showing; the decode thread writes an entry only
// while it is invalid, and the main thread reads it only once it is valid.
struct TheoraFrameStockEntry {
    std::atomic<int> valid;
    std::atomic<int> frame;
    uint8_t *planeY, *planeU, *planeV;
    int yWidth, yHeight, yStride;
    int uvWidth, uvHeight, uvStride;
};

struct TheoraMovieInfo {
    double framesPerSecond;
    int frameCount;
    int width;
    int height;
};

// Every word that both threads touch is atomic: the main thread writes the
// requests, the seek target and the current frame; the thread its state, the
// decode position and the end-of-data flag.
struct TheoraPlayer {
    ThreadRecord thread; // first: the thread routine finds the player from it
    std::atomic<int> threadState;
    std::atomic<int> pauseRequest, stopRequest, seekRequest, seekTarget, endOfData;
    uint32_t lastStateChangeMs;
    StreamFunctionTable streams;
    StreamHandle stream;
    ogg_sync_state sync;
    ogg_page page;
    ogg_stream_state oggStream;
    ogg_packet packet;
    int streamStarted;
    theora_info info;
    theora_comment comment;
    theora_state decoder;
    int decoderStarted;
    int serialNumber;
    TheoraPageIndexEntry *pageIndex;
    int pageIndexCount;
    int pageIndexCapacity;
    uint8_t *keyframes;
    int keyframeCapacity;
    int64_t frameCount;
    std::atomic<int> currentFrame;
    std::atomic<int> decodePosition;
    int headerCount;
    TheoraFrameStockEntry *stock;
    int stockSize;
    RasterImage frameImage;
    int surfaceLost;
    void *yuvSurface; // no YUV surface is made: the image is the one target
    uint32_t surfaceFourcc;
    int imageCopied;
    int surfaceCopied;
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------
// Open a player on an open stream (read through the table); null when the
// stream is no Ogg Theora file or opening fails (logged)
TheoraPlayer *OpenTheoraPlayer(const StreamFunctionTable *table, StreamHandle stream, int stockSize,
                               void *asyncContext);
// Stop the decode thread and free the player; 0
int CloseTheoraPlayer(TheoraPlayer *player);
// Make a frame the one on show and let the thread decode from there; 0
int SeekTheoraFrame(TheoraPlayer *player, int frame);
// Move the frame on show n frames forward, wrapping once past the end; 0
int AdvanceTheoraFrames(TheoraPlayer *player, int n);
// Copy the frame on show into the image (once per frame); 1 when copied, else 0
int CopyTheoraFrameToTargets(TheoraPlayer *player, int toImage, int toSurface, void *asyncContext);
RasterImage *GetTheoraFrameImage(TheoraPlayer *player);
void *GetTheoraYuvSurface(TheoraPlayer *player);
int GetTheoraMovieInfo(TheoraPlayer *player, TheoraMovieInfo *out);
int GetTheoraCurrentFrame(TheoraPlayer *player);
int MarkTheoraSurfaceLost(TheoraPlayer *player);
// Feed up to n bytes of the stream to the sync layer; the bytes read
int ReadTheoraData(TheoraPlayer *player, int n);

// Opening steps, also run alone by the tests on hostile files.
// Allocate a player over a stream (no thread); null when short of memory
TheoraPlayer *AllocTheoraPlayer(const StreamFunctionTable *table, StreamHandle stream);
// Decode the three Theora headers; 1, or -1 when the data holds no complete set
int ParseTheoraHeaders(TheoraPlayer *player);
// Scan the whole file into the page index and keyframe table; 0 or -1 (logged)
int BuildTheoraPageIndex(TheoraPlayer *player);
// Free what AllocTheoraPlayer and the opening steps made, after the thread is gone
void FreeTheoraPlayer(TheoraPlayer *player);

// Colour conversion of one decoded frame into 32-bit B, G, R, 255 pixels.
void ConvertTheoraFrameToXrgb(const TheoraFrameStockEntry *entry, uint8_t *pixels, int pitch, int width,
                              int height);

// The decode thread and its frame reader (theora_decode_thread.cpp).
void TheoraDecodeThreadProc(ThreadRecord *record, int userData);
// Decode n frames from the decode position; 1 when the last packet was a
// keyframe, 0 when not, -1 at the end of the data
int DecodeTheoraFrames(TheoraPlayer *player, int n);

} // namespace Korvo
