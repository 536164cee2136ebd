// Benchmark: time per 800x600 frame of an Ogg Theora movie through the
// library's player (decode thread, frame stock, fixed-point YUV to XRGB into
// its frame image, as the movie step asks for each frame) against the floor:
// libtheora's own decode and a plain YUV-to-RGB loop on one thread.
//
// usage: bench_movie_theora_decode [frames]   (default 240)
#include "movie/startup_entries.h"
#include "movie/theora_player.h"
#include "tools/theoramovie/theora_movie_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

using namespace Korvo;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------
static double Seconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// The movie bytes as a stream of the player's table.
struct ByteStream {
    const std::vector<uint8_t> *bytes;
    size_t position;
};
static ByteStream *Of(StreamHandle s) { return reinterpret_cast<ByteStream *>(s); }
static int Tell(StreamHandle s) { return static_cast<int>(Of(s)->position); }
static int Seek(StreamHandle s, int offset, int) { Of(s)->position = static_cast<size_t>(offset); return 0; }
static size_t Read(void *buffer, size_t size, size_t count, StreamHandle s)
{
    ByteStream *b = Of(s);
    size_t n = std::min(count * size, b->bytes->size() - b->position);
    if (n > 0) {
        std::memcpy(buffer, b->bytes->data() + b->position, n);
    }
    b->position += n;
    return n / size;
}
static int Eof(StreamHandle s) { return Of(s)->position >= Of(s)->bytes->size(); }
static const StreamFunctionTable MemoryTable = {nullptr, nullptr, Tell, Seek, Read, Eof,
                                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

// The floor's converter: a plain per-pixel BT.601 loop in integers.
static void PlainYuvToRgb(const yuv_buffer &yuv, uint8_t *out, int width, int height)
{
    for (int y = 0; y < height; ++y) {
        const uint8_t *rowY = yuv.y + y * yuv.y_stride;
        const uint8_t *rowU = yuv.u + (y / 2) * yuv.uv_stride;
        const uint8_t *rowV = yuv.v + (y / 2) * yuv.uv_stride;
        uint8_t *o = out + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            int c = 298 * (rowY[x] - 16), d = rowU[x / 2] - 128, e = rowV[x / 2] - 128;
            o[x * 4 + 2] = static_cast<uint8_t>(std::clamp((c + 409 * e + 128) >> 8, 0, 255));
            o[x * 4 + 1] = static_cast<uint8_t>(std::clamp((c - 100 * d - 208 * e + 128) >> 8, 0, 255));
            o[x * 4 + 0] = static_cast<uint8_t>(std::clamp((c + 516 * d + 128) >> 8, 0, 255));
            o[x * 4 + 3] = 255;
        }
    }
}

// libtheora alone: every packet decoded, each picture converted by the given routine.
template <typename Convert>
static double DecodeWithLibtheoraAlone(const std::vector<uint8_t> &movie, int frames, Convert convert)
{
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char *buffer = ogg_sync_buffer(&sync, static_cast<long>(movie.size()));
    std::memcpy(buffer, movie.data(), movie.size());
    ogg_sync_wrote(&sync, static_cast<long>(movie.size()));
    ogg_stream_state stream;
    theora_info info;
    theora_comment comment;
    theora_state decoder;
    theora_info_init(&info);
    theora_comment_init(&comment);
    ogg_page page;
    ogg_packet packet;
    int headers = 0, started = 0, decoded = 0;
    double start = 0;
    while (decoded < frames && ogg_sync_pageout(&sync, &page) == 1) {
        if (!started) {
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            started = 1;
        }
        if (ogg_stream_pagein(&stream, &page) != 0) {
            continue;
        }
        while (decoded < frames && ogg_stream_packetout(&stream, &packet) == 1) {
            if (headers < 3) {
                theora_decode_header(&info, &comment, &packet);
                if (++headers == 3) {
                    theora_decode_init(&decoder, &info);
                    start = Seconds();
                }
                continue;
            }
            theora_decode_packetin(&decoder, &packet);
            yuv_buffer yuv;
            theora_decode_YUVout(&decoder, &yuv);
            convert(yuv);
            ++decoded;
        }
    }
    double elapsed = Seconds() - start;
    theora_clear(&decoder);
    theora_comment_clear(&comment);
    theora_info_clear(&info);
    ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
    return elapsed / decoded;
}

int main(int argc, char **argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 240;
    BuildTheoraYuvTables();
    TheoraMovieRecipe recipe;
    recipe.width = 800;
    recipe.height = 608; // coded sizes are multiples of 16
    recipe.frames = frames;
    recipe.fpsNumerator = 30;
    recipe.keyframeInterval = 30;
    recipe.textured = 1;
    std::vector<uint8_t> movie;
    if (!WriteTheoraMovie(recipe, &movie)) {
        std::fprintf(stderr, "cannot encode the movie\n");
        return 1;
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(recipe.width) * recipe.height * 4);

    double floor = DecodeWithLibtheoraAlone(movie, frames, [&](const yuv_buffer &yuv) {
        PlainYuvToRgb(yuv, rgb.data(), recipe.width, recipe.height);
    });
    double tablesOneThread = DecodeWithLibtheoraAlone(movie, frames, [&](const yuv_buffer &yuv) {
        TheoraFrameStockEntry e{};
        e.planeY = yuv.y;
        e.planeU = yuv.u;
        e.planeV = yuv.v;
        e.yWidth = yuv.y_width;
        e.yHeight = yuv.y_height;
        e.yStride = yuv.y_stride;
        e.uvWidth = yuv.uv_width;
        e.uvHeight = yuv.uv_height;
        e.uvStride = yuv.uv_stride;
        ConvertTheoraFrameToXrgb(&e, 0, 0, rgb.data(), recipe.width * 4, recipe.width, recipe.height);
    });

    ByteStream bytes = {&movie, 0};
    TheoraPlayer *player = OpenTheoraPlayer(&MemoryTable, reinterpret_cast<StreamHandle>(&bytes), 10, nullptr);
    if (player == nullptr) {
        std::fprintf(stderr, "the player refused the movie\n");
        return 1;
    }
    double start = Seconds();
    for (int i = 1; i < frames; ++i) {
        AdvanceTheoraFrames(player, 1);
        CopyTheoraFrameToTargets(player, 1, 0, nullptr);
    }
    double library = (Seconds() - start) / (frames - 1);
    CloseTheoraPlayer(player);

    std::printf("800x608 Theora, %d frames, %zu bytes\n", frames, movie.size());
    std::printf("floor (libtheora decode + plain YUV-to-RGB loop, one thread): %.3f ms/frame\n", floor * 1e3);
    std::printf("libtheora decode + the library's table conversion, one thread: %.3f ms/frame (%.2fx)\n",
                tablesOneThread * 1e3, tablesOneThread / floor);
    std::printf("library player (decode thread + stock + conversion), per frame shown: %.3f ms/frame (%.2fx)\n",
                library * 1e3, library / floor);
    return 0;
}
