// The game-like frame in software mode: an 800x600 background graph, 60 sprites
// of 24x32 drawn with the transparent flag, 10 filled circles and 20 boxes in
// alpha mode, through the public draw entries onto the software screen; against
// SDL2's software renderer drawing the same scene (textures, SDL_RenderCopy,
// filled rectangles, geometry for the circles) onto an 800x600 surface. Then a
// screen transition: the background drawn through an 800x600 blend graph with
// alpha (cross-fade at half weight, and masking by the blend graph's alpha),
// against the same background drawn plainly, against SDL2 drawing the
// background and the second picture over it at half alpha (the same memory
// traffic), and against a floor: the same pixel work in the plainest loop, timed
// in turns with them.
//
// Run from a Release build without sanitizers. Prints milliseconds per frame
// and the ratio Korvo / SDL2 (below 1 is faster).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include <time.h>

#include "bench/support/interleaved_timing.h"
#include "bench/support/transition_floor.h"
#include "graphics/screen/device_startup.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/public_api.h"
#include "graphics/screen/screen_modes.h"
#include "graphics/device/screen_request.h"
#include "image/pixel_access.h"
#include "softraster/draw_state.h"
#include "tests/graphics/recording_device.h"

#ifdef KORVO_HAVE_SDL2
#include <SDL2/SDL.h>
#endif

using namespace Korvo;

namespace Korvo {

// The window facts graphics reads, for a host without a window.
int GetAppActiveState() { return 1; }
int GetShutdownRequestedFlag() { return 0; }
int GetWindowedModeState() { return 1; }
int StartFrontScreenRefresh(int) { return 0; }
int GetLoadInBackgroundFlag() { return 0; }
int StartDirectXSystem() { return 0; }
int EndDirectXSystem() { return 0; }
bool EnumeratePlatformDisplayMode(int, DisplayModeEntry *) { return false; }

} // namespace Korvo

namespace {

// ---------------------------------------------------------------------------
// Defines and types
// ---------------------------------------------------------------------------

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kSprites = 60;
constexpr int kCircles = 10;
constexpr int kBoxes = 20;
constexpr int kFrames = 200;

struct Place {
    int x, y;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

double NowMilliseconds()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1.0e6;
}

// Best of three runs of kFrames frames, in milliseconds per frame.
double TimeFrames(const std::function<void()> &frame)
{
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        double start = NowMilliseconds();
        for (int i = 0; i < kFrames; ++i) {
            frame();
        }
        best = std::min(best, (NowMilliseconds() - start) / kFrames);
    }
    return best;
}

// XRGB pixels: a gradient, and sprites with black (transparent) borders.
uint32_t BackgroundPixel(int x, int y)
{
    return static_cast<uint32_t>(((x * 255 / kWidth) << 16) | ((y * 255 / kHeight) << 8) | ((x + y) & 0xFF));
}

uint32_t SpritePixel(int x, int y)
{
    bool border = x < 3 || x >= 21 || y < 2 || y >= 30 || ((x + y) % 7 == 0);
    return border ? 0 : static_cast<uint32_t>(0xC00000 | ((x * 10) << 8) | (y * 8));
}

std::vector<Place> Spread(int count, int width, int height, int seed)
{
    std::vector<Place> places;
    for (int i = 0; i < count; ++i) {
        places.push_back(Place{(i * 131 + seed * 17) % (kWidth - width), (i * 71 + seed * 29) % (kHeight - height)});
    }
    return places;
}

int MakeGraph(int width, int height, uint32_t (*pixel)(int, int), bool withAlpha = false)
{
    RasterImage image = {};
    if (withAlpha) {
        AllocArgb32Image(width, height, &image);
    } else {
        AllocXrgb32Image(width, height, &image);
    }
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(image.pixels) + y * image.pitch);
        for (int x = 0; x < width; ++x) {
            row[x] = pixel(x, y);
        }
    }
    int handle = BuildGraphFromBaseImages(&image, nullptr, 0);
    FreeImageRecord(&image);
    return handle;
}

// One frame of the scene through the public draw entries.
void DrawGameFrame(int background, int sprite, const std::vector<Place> &sprites, const std::vector<Place> &circles,
                   const std::vector<Place> &boxes)
{
    const int circleColour = PackScreenColor(40, 200, 90);
    const int boxColour = PackScreenColor(230, 60, 40);
    SetBlendModeAndParam(0, 0);
    DrawGraphAtPoint(0, 0, background, 0);
    for (const Place &p : sprites) {
        DrawGraphAtPoint(p.x, p.y, sprite, 1);
    }
    for (const Place &p : circles) {
        DrawColorCircle(p.x + 30, p.y + 30, 30, circleColour, 1);
    }
    SetBlendModeAndParam(1, 128);
    for (const Place &p : boxes) {
        FillColorBox(p.x, p.y, p.x + 60, p.y + 40, boxColour);
    }
}

// A second picture for transitions, its alpha a ramp from left to right.
uint32_t TransitionPixel(int x, int y)
{
    return static_cast<uint32_t>(((x * 255 / kWidth) << 24) | ((y * 255 / kHeight) << 16) | 0x4080);
}

struct TransitionTimes {
    double plain, crossFade, masking;   // Korvo, ms
    double sdlTwoPictures;              // SDL2 drawing the background and the picture at half alpha
    double floorCrossFade, floorMasking;
};

#ifdef KORVO_HAVE_SDL2
SDL_Texture *MakeTexture(SDL_Renderer *renderer, int width, int height, uint32_t (*pixel)(int, int), bool keyed)
{
    SDL_Surface *surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGB888);
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(surface->pixels) + y * surface->pitch);
        for (int x = 0; x < width; ++x) {
            row[x] = pixel(x, y);
        }
    }
    if (keyed) {
        SDL_SetColorKey(surface, SDL_TRUE, 0);
    }
    SDL_Texture *texture = SDL_CreateTextureFromSurface(renderer, surface);
    SDL_FreeSurface(surface);
    return texture;
}

#endif

// The transition rows, timed in turns: Korvo's three draws, SDL2's two pictures
// and the floor loops over arrays of the same pixels.
TransitionTimes TimeTransitions(int background)
{
    TransitionTimes times = {};
    const int picture = MakeGraph(kWidth, kHeight, TransitionPixel, true);
    if (picture < 0) {
        std::printf("transition graph creation failed\n");
        return times;
    }
    constexpr int kPixels = kWidth * kHeight;
    std::vector<uint32_t> floorScreen(kPixels), floorDrawn(kPixels), floorPicture(kPixels);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            floorDrawn[y * kWidth + x] = 0xFF000000u | BackgroundPixel(x, y);
            floorPicture[y * kWidth + x] = TransitionPixel(x, y);
        }
    }
    std::vector<std::function<void()>> rows = {
        [&] {
            SetBlendGraphByType(-1, 0, 0);
            DrawGraphAtPoint(0, 0, background, 0);
        },
        [&] {
            SetBlendGraphByType(picture, 0, 128);
            DrawGraphAtPoint(0, 0, background, 0);
        },
        [&] {
            SetBlendGraphByType(picture, 2);
            DrawGraphAtPoint(0, 0, background, 0);
        },
        [&] { KorvoBench::FloorCrossFade(floorScreen.data(), floorDrawn.data(), floorPicture.data(), kPixels, 128); },
        [&] { KorvoBench::FloorMasking(floorScreen.data(), floorDrawn.data(), floorPicture.data(), kPixels); },
    };
#ifdef KORVO_HAVE_SDL2
    SDL_Surface *screen = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Renderer *renderer = SDL_CreateSoftwareRenderer(screen);
    SDL_Texture *sdlBackground = MakeTexture(renderer, kWidth, kHeight, BackgroundPixel, false);
    SDL_Texture *sdlPicture = MakeTexture(renderer, kWidth, kHeight, TransitionPixel, false);
    SDL_SetTextureBlendMode(sdlPicture, SDL_BLENDMODE_BLEND);
    SDL_SetTextureAlphaMod(sdlPicture, 128);
    rows.push_back([&] {
        SDL_RenderCopy(renderer, sdlBackground, nullptr, nullptr);
        SDL_RenderCopy(renderer, sdlPicture, nullptr, nullptr);
        SDL_RenderFlush(renderer);
    });
#endif
    SetBlendModeAndParam(1, 255);
    // Nanoseconds per call (one unit), best round of each, in turns.
    const std::vector<double> ns = KorvoBench::BestNanosecondsInTurns(rows, 1.0, 15, 0.03);
    times.plain = ns[0] / 1e6;
    times.crossFade = ns[1] / 1e6;
    times.masking = ns[2] / 1e6;
    times.floorCrossFade = ns[3] / 1e6;
    times.floorMasking = ns[4] / 1e6;
#ifdef KORVO_HAVE_SDL2
    times.sdlTwoPictures = ns[5] / 1e6;
    SDL_DestroyTexture(sdlPicture);
    SDL_DestroyTexture(sdlBackground);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(screen);
#endif
    SetBlendGraphByType(-1, 0, 0);
    SetBlendModeAndParam(0, 0);
    return times;
}

double KorvoFrame(const std::vector<Place> &sprites, const std::vector<Place> &circles,
                  const std::vector<Place> &boxes, TransitionTimes *transitions)
{
    GraphicsState.started = 1;
    GraphicsState.direct3DModeActive = 0;
    StoreMainScreenSize(kWidth, kHeight);
    StoreScreenDepth(32);
    BuildMemImgLookupTables();
    CreateSoftwareScreen();
    ResetDrawSettings();
    InitGraphHandleType();
    const int background = MakeGraph(kWidth, kHeight, BackgroundPixel);
    const int sprite = MakeGraph(24, 32, SpritePixel);
    if (background < 0 || sprite < 0) {
        std::printf("graph creation failed\n");
        return 0.0;
    }
    if (DrawGraphAtPoint(0, 0, background, 0) != 0 || DrawGraphAtPoint(10, 10, sprite, 1) != 0) {
        std::printf("the graphs are refused\n");
        return 0.0;
    }
    const double frame = TimeFrames([&] { DrawGameFrame(background, sprite, sprites, circles, boxes); });
    *transitions = TimeTransitions(background);
    return frame;
}

// A graph of one device texture (a stand-in pointer: the device only records).
int MakeDeviceGraph(int width, int height, GraphImageSet *set, GraphTexturePiece *piece, uintptr_t texture)
{
    const int handle = NewGraphHandle();
    GraphRecord *record = GetGraphRecord(handle, 1);
    if (record == nullptr) {
        return -1;
    }
    *set = GraphImageSet{};
    set->useCount = 1;
    set->params.deviceTexture = 1;
    set->width = width;
    set->height = height;
    set->pieceCount = 1;
    set->pieces = piece;
    *piece = GraphTexturePiece{};
    piece->texture = reinterpret_cast<K_IDirect3DTexture9 *>(texture);
    piece->usedWidth = width;
    piece->usedHeight = height;
    piece->textureWidth = width;
    piece->textureHeight = height;
    record->imageSet = set;
    record->width = width;
    record->height = height;
    record->drawPieceCount = 1;
    record->drawPieces[0] = GraphDrawPiece{};
    record->drawPieces[0].width = width;
    record->drawPieces[0].height = height;
    record->drawPieces[0].piece = piece;
    return handle;
}

// Device draw calls of one frame of the scene on the Direct3D road.
int CountDeviceDrawCalls(const std::vector<Place> &sprites, const std::vector<Place> &circles,
                         const std::vector<Place> &boxes)
{
    GraphicsState.direct3DModeActive = 1;
    DeviceCaps.blendOp = 1;
    StateCache = DeviceStateCache{};
    ResetDrawSettings();
    static GraphImageSet sets[2];
    static GraphTexturePiece pieces[2];
    const int background = MakeDeviceGraph(kWidth, kHeight, &sets[0], &pieces[0], 0x1000);
    const int sprite = MakeDeviceGraph(24, 32, &sets[1], &pieces[1], 0x2000);
    RecordingDevice::Reset();
    DrawGameFrame(background, sprite, sprites, circles, boxes);
    FlushStagedVertices(0);
    int draws = 0;
    for (const RecordingDevice::Call &call : RecordingDevice::Calls) {
        draws += call.kind == "DRAW" ? 1 : 0;
        // 0x4 triangle lists: the sprites' batch shows as one draw of 120 triangles.
        if (call.kind == "DRAW" && call.state == 4) {
            std::printf("  triangle-list draw of %u triangles\n", call.value);
        }
    }
    return draws;
}

#ifdef KORVO_HAVE_SDL2
// A filled circle as a fan of triangles.
void AppendCircle(std::vector<SDL_Vertex> &vertices, float cx, float cy, float r, SDL_Color colour)
{
    constexpr int kSegments = 48;
    for (int i = 0; i < kSegments; ++i) {
        float a0 = 6.2831853f * static_cast<float>(i) / kSegments;
        float a1 = 6.2831853f * static_cast<float>(i + 1) / kSegments;
        vertices.push_back(SDL_Vertex{{cx, cy}, colour, {0, 0}});
        vertices.push_back(SDL_Vertex{{cx + r * std::cos(a0), cy + r * std::sin(a0)}, colour, {0, 0}});
        vertices.push_back(SDL_Vertex{{cx + r * std::cos(a1), cy + r * std::sin(a1)}, colour, {0, 0}});
    }
}

double SdlFrame(const std::vector<Place> &sprites, const std::vector<Place> &circles, const std::vector<Place> &boxes)
{
    SDL_Surface *screen = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Renderer *renderer = SDL_CreateSoftwareRenderer(screen);
    SDL_Texture *background = MakeTexture(renderer, kWidth, kHeight, BackgroundPixel, false);
    SDL_Texture *sprite = MakeTexture(renderer, 24, 32, SpritePixel, true);
    std::vector<SDL_Vertex> disc;
    for (const Place &p : circles) {
        AppendCircle(disc, static_cast<float>(p.x + 30), static_cast<float>(p.y + 30), 30.0f, SDL_Color{40, 200, 90, 255});
    }
    double ms = TimeFrames([&] {
        SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
        SDL_RenderCopy(renderer, background, nullptr, nullptr);
        for (const Place &p : sprites) {
            SDL_Rect to = {p.x, p.y, 24, 32};
            SDL_RenderCopy(renderer, sprite, nullptr, &to);
        }
        SDL_RenderGeometry(renderer, nullptr, disc.data(), static_cast<int>(disc.size()), nullptr, 0);
        SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
        SDL_SetRenderDrawColor(renderer, 230, 60, 40, 128);
        for (const Place &p : boxes) {
            SDL_Rect box = {p.x, p.y, 60, 40};
            SDL_RenderFillRect(renderer, &box);
        }
        SDL_RenderFlush(renderer);
    });
    SDL_DestroyTexture(sprite);
    SDL_DestroyTexture(background);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(screen);
    return ms;
}

#endif

} // namespace

int main()
{
    const std::vector<Place> sprites = Spread(kSprites, 24, 32, 1);
    const std::vector<Place> circles = Spread(kCircles, 60, 60, 2);
    const std::vector<Place> boxes = Spread(kBoxes, 60, 40, 3);
    TransitionTimes transitions = {};
    const double korvo = KorvoFrame(sprites, circles, boxes, &transitions);
    std::printf("game-like frame, software, %dx%d: Korvo %.3f ms", kWidth, kHeight, korvo);
#ifdef KORVO_HAVE_SDL2
    const double sdl = SdlFrame(sprites, circles, boxes);
    std::printf(", SDL2 software renderer %.3f ms, ratio %.2f\n", sdl, korvo / sdl);
#else
    std::printf(" (SDL2 not found)\n");
#endif
    std::printf("background through a blend graph, software, %dx%d: plain %.3f ms, cross-fade %.3f ms (%.2fx plain), "
                "masking %.3f ms (%.2fx plain)\n",
                kWidth, kHeight, transitions.plain, transitions.crossFade, transitions.crossFade / transitions.plain,
                transitions.masking, transitions.masking / transitions.plain);
    std::printf("floor loops (%s): cross-fade %.3f ms, masking %.3f ms\n", KorvoBench::FloorFormName(),
                transitions.floorCrossFade, transitions.floorMasking);
#ifdef KORVO_HAVE_SDL2
    std::printf("against SDL2 drawing the background and the picture over it at half alpha, %.3f ms: "
                "cross-fade ratio %.2f, masking ratio %.2f\n",
                transitions.sdlTwoPictures, transitions.crossFade / transitions.sdlTwoPictures,
                transitions.masking / transitions.sdlTwoPictures);
#endif
    std::printf("the same frame on the Direct3D road: %d device draw calls (%d sprites, %d circles, %d boxes)\n",
                CountDeviceDrawCalls(sprites, circles, boxes), kSprites, kCircles, kBoxes);
    return 0;
}
