// The library's own Ogg Theora player: header reading, the page index and
// keyframe table built at opening, the frame stock that the decode thread keeps
// filled ahead of the frame on show, and the copy of the frame on show into a
// 32-bit XRGB image or, when the device shows YUV, into a YUV offscreen surface.
#pragma once

#include "core/public_api.h"
#include "core/streams/stream_table.h"
#include "core/threads/thread_record.h"
#include "graphics/device/d3d9_types.h"
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
    // The frame's packet did not decode: the entry holds no picture, only the
    // fact, so the frame is not waited for and the last good one stays on show.
    int undecodable;
    uint8_t *planeY, *planeU, *planeV;
    int yWidth, yHeight, yStride;
    int uvWidth, uvHeight, uvStride;
};

// YUV surface layouts, as Direct3D format codes (four characters).
constexpr uint32_t kTheoraSurfaceYV12 = 'Y' | 'V' << 8 | '1' << 16 | static_cast<uint32_t>('2') << 24;
constexpr uint32_t kTheoraSurfaceYUY2 = 'Y' | 'U' << 8 | 'Y' << 16 | static_cast<uint32_t>('2') << 24;
constexpr uint32_t kTheoraSurfaceUYVY = 'U' | 'Y' << 8 | 'V' << 16 | static_cast<uint32_t>('Y') << 24;

// The picture inside the decoded frame: Theora codes whole 16 x 16 blocks, so a
// movie of another size is padded, and its picture may sit at an offset.
struct TheoraPictureRegion {
    int x, y;          // from the frame's top-left corner
    int width, height;
};

struct TheoraMovieInfo {
    double framesPerSecond;
    int frameCount;
    int width;  // the picture's size
    int height;
};

// Every word that both threads touch is atomic: the main thread writes the
// requests, the seek target and the current frame; the thread its state, the
// decode position, the end-of-data flag and its progress count.
struct TheoraPlayer {
    ThreadRecord thread; // first: the thread routine finds the player from it
    std::atomic<int> threadState;
    std::atomic<int> pauseRequest, stopRequest, seekRequest, seekTarget;
    // The thread reached the end of the data or could not store the frame it
    // wanted; it decodes again after a seek or a restart behind its position.
    std::atomic<int> endOfData;
    // Counts each block of data read, packet read, frame stored and seek
    // served: a main thread waiting for a frame gives up when it stops moving.
    std::atomic<uint32_t> progress;
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
    // The frame the main thread is copying out: the thread leaves its entry
    // alone even when the frame on show has moved on.
    std::atomic<int> frameInUse;
    std::atomic<int> decodePosition;
    // The frame whose packet the decoder last took without an error (thread
    // only); -1 when its picture is none of the file's frames.
    int pictureFrame;
    // A main-thread wait that gave up marks the thread stalled at its progress
    // count; no wait blocks again until that count moves (main thread only).
    int stallNoted;
    uint32_t progressAtStall;
    // Polls the main thread has slept through waiting for the thread (written
    // by the main thread; tests pace a decode thread's reads by it).
    std::atomic<uint32_t> mainThreadWaitPolls;
    int headerCount;
    TheoraFrameStockEntry *stock;
    int stockSize;
    RasterImage frameImage; // the picture's size
    int surfaceLost;  // the device went: make the surface again at the next copy
    K_IDirect3DSurface9 *yuvSurface;
    uint32_t surfaceFourcc; // one of the YUV layouts below, or 0
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
// Copy the frame on show into the image and/or the YUV surface (each once per
// frame); 1 when something was copied, else 0
int CopyTheoraFrameToTargets(TheoraPlayer *player, int toImage, int toSurface, void *asyncContext);
RasterImage *GetTheoraFrameImage(TheoraPlayer *player);
K_IDirect3DSurface9 *GetTheoraYuvSurface(TheoraPlayer *player);
int GetTheoraMovieInfo(TheoraPlayer *player, TheoraMovieInfo *out);
// The picture region of the decoded frames (the whole frame when the headers
// give an empty or misplaced one)
TheoraPictureRegion GetTheoraPictureRegion(const TheoraPlayer *player);
int GetTheoraCurrentFrame(TheoraPlayer *player);
// Before the device goes: the surface is released and made again by the next
// copy, and the frame on show is copied again; 0
int MarkTheoraSurfaceLost(TheoraPlayer *player);

// YUV surfaces (theora_yuv_surface.cpp), made and released on the main thread.
// Release any surface and, in Direct3D mode with a device and a 4:2:0 stream,
// make one in the first layout the device takes (YV12, YUY2, UYVY)
void CreateTheoraYuvSurface(TheoraPlayer *player, void *asyncContext);
// Release the surface (from a worker, through the main thread)
void ReleaseTheoraYuvSurface(TheoraPlayer *player, void *asyncContext);
// 1 while the player has a surface or is to make one again after a device loss
int TheoraYuvSurfaceWanted(const TheoraPlayer *player);
// Copy the frame's picture into the top-left corner of the locked surface's
// bits (4:2:0 frames only; the surface is the frame's size); 1, else 0
int CopyTheoraFrameToYuvBits(const TheoraFrameStockEntry *entry, const TheoraPictureRegion &picture, uint32_t fourcc,
                             uint8_t *bits, int pitch, int surfaceHeight);
// Copy the frame into the surface, making it again when it is lost or will not
// lock (three tries); 1 when the surface holds the frame
int CopyTheoraFrameToYuvSurface(TheoraPlayer *player, const TheoraFrameStockEntry *entry, void *asyncContext);
// Feed up to n bytes of the stream to the sync layer; the bytes read
int ReadTheoraData(TheoraPlayer *player, int n);

// Opening steps, also run alone by the tests on hostile files.
// Allocate a player over a stream (no thread); null when short of memory
TheoraPlayer *AllocTheoraPlayer(const StreamFunctionTable *table, StreamHandle stream);
// Decode the three Theora headers; 1, or -1 when the data holds no complete set
int ParseTheoraHeaders(TheoraPlayer *player);
// Scan the whole file into the page index and keyframe table; 0 or -1 (logged)
int BuildTheoraPageIndex(TheoraPlayer *player);
// Start the decoder, the frame stock and the decode thread, and show frame 0;
// 0, or -1 (the caller closes the player) when the decoder will not start, memory
// is short (logged) or the first frame does not decode (logged). A thread
// stalled before the first frame is logged, and the movie opens without it.
int StartTheoraPlayback(TheoraPlayer *player, int stockSize, void *asyncContext);
// Free what AllocTheoraPlayer and the opening steps made, after the thread is gone
void FreeTheoraPlayer(TheoraPlayer *player);

// Colour conversion of the picture of one decoded frame, from (originX,
// originY) of the frame, into 32-bit B, G, R, 255 pixels.
void ConvertTheoraFrameToXrgb(const TheoraFrameStockEntry *entry, int originX, int originY, uint8_t *pixels,
                              int pitch, int width, int height);

// The decode thread and its frame reader (theora_decode_thread.cpp).
void TheoraDecodeThreadProc(ThreadRecord *record, int userData);
// Decode n frames from the decode position; 1 when the last packet was a
// keyframe, 0 when not, -1 at the end of the data
int DecodeTheoraFrames(TheoraPlayer *player, int n);

} // namespace Korvo
