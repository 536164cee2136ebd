// Software blit speed: nanoseconds per pixel of the MEMIMG blits against SDL2's
// surface blits, pixman's composite and memcpy of the same bytes.
//
// Run from a Release build without sanitizers. Prints one table; the ratio
// column is Korvo's time over the fastest peer's (below 1 is faster).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>


#include "bench/support/interleaved_timing.h"
#include "bench/support/peer_images.h"
#include "softraster/draw_state.h"
#include "softraster/memimg_blit.h"

#ifdef KORVO_HAVE_SDL2
#include <SDL2/SDL.h>
#endif
#ifdef KORVO_HAVE_PIXMAN
#include <pixman.h>
#endif

using namespace Korvo;

namespace {

// ---------------------------------------------------------------------------
// Timing
// ---------------------------------------------------------------------------

using KorvoBench::Seconds;

// Best of several runs, in nanoseconds per pixel; each run repeats op until ~40 ms.
double NanosecondsPerPixel(const std::function<void()> &op, double pixelsPerCall)
{
    op();
    int calls = 1;
    for (;;) {
        const double start = Seconds();
        for (int i = 0; i < calls; ++i)
            op();
        const double seconds = Seconds() - start;
        if (seconds > 0.04)
            break;
        calls *= 2;
    }
    double best = 1e30;
    for (int run = 0; run < 5; ++run) {
        const double start = Seconds();
        for (int i = 0; i < calls; ++i)
            op();
        const double ns = (Seconds() - start) * 1e9;
        best = std::min(best, ns / (calls * pixelsPerCall));
    }
    return best;
}

// ---------------------------------------------------------------------------
// Images
// ---------------------------------------------------------------------------

constexpr int kScreenW = 800;
constexpr int kScreenH = 600;
constexpr uint32_t kKey = KorvoBench::kKey32;

// Random XRGB images (a quarter of the pixels the key colour) or ARGB images (a
// quarter clear, a quarter opaque).
struct Image : KorvoBench::PeerImage {
    Image(int w, int h, bool alpha, unsigned seed)
        : PeerImage(w, h, alpha ? KorvoBench::Pixels::Alpha32 : KorvoBench::Pixels::Opaque32, seed), pixels(words)
    {
    }
    std::vector<uint32_t> &pixels;
};

// ---------------------------------------------------------------------------
// Cases
// ---------------------------------------------------------------------------

struct Row {
    std::string name;
    double korvo = -1, sdl = -1, pixman = -1, memcpyFloor = -1;
};

std::vector<Row> Table;

void Print()
{
    std::printf("%-34s %9s %9s %9s %9s %9s\n", "case (ns/pixel)", "korvo", "SDL2", "pixman", "memcpy", "ratio");
    for (const Row &r : Table) {
        double best = 1e30;
        for (double v : {r.sdl, r.pixman})
            if (v > 0)
                best = std::min(best, v);
        auto cell = [](double v) {
            static char buffers[4][16];
            static int next = 0;
            char *b = buffers[next++ % 4];
            if (v < 0)
                std::snprintf(b, 16, "%9s", "-");
            else
                std::snprintf(b, 16, "%9.3f", v);
            return b;
        };
        char ratio[16];
        if (best < 1e29)
            std::snprintf(ratio, sizeof ratio, "%9.2f", r.korvo / best);
        else if (r.memcpyFloor > 0)
            std::snprintf(ratio, sizeof ratio, "%8.2fm", r.korvo / r.memcpyFloor);
        else
            std::snprintf(ratio, sizeof ratio, "%9s", "-");
        std::printf("%-34s %s %s %s %s %s\n", r.name.c_str(), cell(r.korvo), cell(r.sdl), cell(r.pixman),
                    cell(r.memcpyFloor), ratio);
    }
    std::printf("ratio: korvo / fastest peer (m: korvo / memcpy where no peer has the operation)\n");
}

// Blit of a w x h source over the screen: one call for the full size, many for sprites.
struct Placement {
    std::vector<POINT> points;
    double pixels;
};

Placement PlacementsFor(int w, int h)
{
    Placement p;
    if (w >= kScreenW) {
        p.points.push_back({0, 0});
    } else {
        std::mt19937 rng(5);
        for (int i = 0; i < 256; ++i)
            p.points.push_back({static_cast<LONG>(rng() % (kScreenW - w)), static_cast<LONG>(rng() % (kScreenH - h))});
    }
    p.pixels = static_cast<double>(w) * h * p.points.size();
    return p;
}

void RunPlainCases(Image &screen, int size)
{
    const int w = size == 0 ? kScreenW : 32, h = size == 0 ? kScreenH : 32;
    Image opaque(w, h, false, 11), alpha(w, h, true, 12);
    const Placement at = PlacementsFor(w, h);
    const std::string dims = size == 0 ? " 800x600" : " 32x32";
    std::vector<uint8_t> copyTarget(static_cast<size_t>(w * h * 4));

    auto korvo = [&](Image &src, int mode, int p, uint32_t bright, int flag) {
        return [&, mode, p, bright, flag] {
            SetMemImgBlendState(mode, p);
            SetMemImgBrightColor(bright);
            for (const POINT &pt : at.points)
                BlendBlitMemImg(&screen.memimg, &src.memimg, pt.x, pt.y, flag, nullptr);
        };
    };
#ifdef KORVO_HAVE_SDL2
    auto sdl = [&](Image &src, SDL_BlendMode blend, int alphaMod, bool key, bool colorMod) {
        return [&, blend, alphaMod, key, colorMod] {
            SDL_SetSurfaceBlendMode(src.surface, blend);
            SDL_SetSurfaceAlphaMod(src.surface, static_cast<Uint8>(alphaMod));
            SDL_SetColorKey(src.surface, key ? SDL_TRUE : SDL_FALSE, kKey);
            if (colorMod)
                SDL_SetSurfaceColorMod(src.surface, 0x80, 0xC0, 0xFF);
            else
                SDL_SetSurfaceColorMod(src.surface, 255, 255, 255);
            for (const POINT &pt : at.points) {
                SDL_Rect r = {pt.x, pt.y, w, h};
                SDL_BlitSurface(src.surface, nullptr, screen.surface, &r);
            }
        };
    };
#endif
#ifdef KORVO_HAVE_PIXMAN
    auto pix = [&](Image &src, pixman_op_t op, int maskAlpha) {
        return [&, op, maskAlpha] {
            pixman_image_t *mask = nullptr;
            if (maskAlpha >= 0) {
                pixman_color_t c = {0, 0, 0, static_cast<uint16_t>(maskAlpha * 257)};
                mask = pixman_image_create_solid_fill(&c);
            }
            for (const POINT &pt : at.points)
                pixman_image_composite32(op, src.pix, mask, screen.pix, 0, 0, 0, 0, pt.x, pt.y, w, h);
            if (mask)
                pixman_image_unref(mask);
        };
    };
#endif
    auto add = [&](const std::string &name, std::function<void()> k, std::function<void()> s,
                   std::function<void()> x, bool withMemcpy) {
        Row r;
        r.name = name + dims;
        r.korvo = NanosecondsPerPixel(k, at.pixels);
        if (s)
            r.sdl = NanosecondsPerPixel(s, at.pixels);
        if (x)
            r.pixman = NanosecondsPerPixel(x, at.pixels);
        if (withMemcpy)
            r.memcpyFloor = NanosecondsPerPixel(
                [&] {
                    for (size_t i = 0; i < at.points.size(); ++i)
                        for (int y = 0; y < h; ++y)
                            std::memcpy(screen.pixels.data() + (at.points[i].y + y) * kScreenW + at.points[i].x,
                                        opaque.pixels.data() + y * w, static_cast<size_t>(w * 4));
                },
                at.pixels);
        Table.push_back(r);
    };
    std::function<void()> none;
#if defined(KORVO_HAVE_SDL2) && defined(KORVO_HAVE_PIXMAN)
    add("mode 0 copy", korvo(opaque, 0, 255, 0xFFFFFF, 0), sdl(opaque, SDL_BLENDMODE_NONE, 255, false, false),
        pix(opaque, PIXMAN_OP_SRC, -1), true);
    add("mode 0 copy, key", korvo(opaque, 0, 255, 0xFFFFFF, 2), sdl(opaque, SDL_BLENDMODE_NONE, 255, true, false),
        none, true);
    add("mode 0 copy, bright", korvo(opaque, 0, 255, 0x80C0FF, 0),
        sdl(opaque, SDL_BLENDMODE_NONE, 255, false, true), none, true);
    add("mode 0 copy, key, bright", korvo(opaque, 0, 255, 0x80C0FF, 2),
        sdl(opaque, SDL_BLENDMODE_NONE, 255, true, true), none, false);
    add("mode 0 source alpha (sprite)", korvo(alpha, 0, 255, 0xFFFFFF, 2),
        sdl(alpha, SDL_BLENDMODE_BLEND, 255, false, false), pix(alpha, PIXMAN_OP_OVER, -1), false);
    add("mode 1 alpha p=200", korvo(opaque, 1, 200, 0xFFFFFF, 0), sdl(opaque, SDL_BLENDMODE_BLEND, 200, false, false),
        pix(opaque, PIXMAN_OP_OVER, 200), false);
    add("mode 1 alpha p=128", korvo(opaque, 1, 128, 0xFFFFFF, 0), sdl(opaque, SDL_BLENDMODE_BLEND, 128, false, false),
        pix(opaque, PIXMAN_OP_OVER, 128), false);
    add("mode 1 alpha p=200, key", korvo(opaque, 1, 200, 0xFFFFFF, 2),
        sdl(opaque, SDL_BLENDMODE_BLEND, 200, true, false), none, false);
    add("mode 1 alpha p=200, bright", korvo(opaque, 1, 200, 0x80C0FF, 0),
        sdl(opaque, SDL_BLENDMODE_BLEND, 200, false, true), none, false);
    add("mode 2 add p=255", korvo(opaque, 2, 255, 0xFFFFFF, 0), sdl(opaque, SDL_BLENDMODE_ADD, 255, false, false),
        pix(opaque, PIXMAN_OP_ADD, -1), false);
    add("mode 2 add p=255, key", korvo(opaque, 2, 255, 0xFFFFFF, 2), sdl(opaque, SDL_BLENDMODE_ADD, 255, true, false),
        none, false);
    add("mode 2 add p=200", korvo(opaque, 2, 200, 0xFFFFFF, 0), sdl(opaque, SDL_BLENDMODE_ADD, 200, false, false),
        pix(opaque, PIXMAN_OP_ADD, 200), false);
    add("mode 2 add p=255, bright", korvo(opaque, 2, 255, 0x80C0FF, 0),
        sdl(opaque, SDL_BLENDMODE_ADD, 255, false, true), none, false);
    add("mode 4 multiply", korvo(opaque, 4, 255, 0xFFFFFF, 0), sdl(opaque, SDL_BLENDMODE_MOD, 255, false, false),
        pix(opaque, PIXMAN_OP_MULTIPLY, -1), false);
    add("mode 4 multiply, key", korvo(opaque, 4, 255, 0xFFFFFF, 2), sdl(opaque, SDL_BLENDMODE_MOD, 255, true, false),
        none, false);
    add("mode 4 multiply, bright", korvo(opaque, 4, 255, 0x80C0FF, 0),
        sdl(opaque, SDL_BLENDMODE_MOD, 255, false, true), none, false);
#else
    add("mode 0 copy", korvo(opaque, 0, 255, 0xFFFFFF, 0), none, none, true);
    add("mode 1 alpha p=200", korvo(opaque, 1, 200, 0xFFFFFF, 0), none, none, false);
    add("mode 2 add p=255", korvo(opaque, 2, 255, 0xFFFFFF, 0), none, none, false);
    add("mode 4 multiply", korvo(opaque, 4, 255, 0xFFFFFF, 0), none, none, false);
#endif
}

void RunStretchCases(Image &screen)
{
    struct Scale {
        const char *name;
        int w, h;
    };
    for (const Scale &sc : {Scale{"stretch x2 copy", 400, 300}, Scale{"stretch x0.5 copy", 1600, 1200}}) {
        Image src(sc.w, sc.h, false, 21);
        const int rect[4] = {0, 0, kScreenW, kScreenH};
        Row r;
        r.name = sc.name;
        SetMemImgBlendState(0, 255);
        SetMemImgBrightColor(0xFFFFFF);
        r.korvo = NanosecondsPerPixel([&] { StretchBlendBlitMemImg(&screen.memimg, &src.memimg, rect, 0, nullptr); },
                                      kScreenW * kScreenH);
#ifdef KORVO_HAVE_SDL2
        SDL_SetSurfaceBlendMode(src.surface, SDL_BLENDMODE_NONE);
        r.sdl = NanosecondsPerPixel(
            [&] {
                SDL_Rect d = {0, 0, kScreenW, kScreenH};
                SDL_BlitScaled(src.surface, nullptr, screen.surface, &d);
            },
            kScreenW * kScreenH);
#endif
#ifdef KORVO_HAVE_PIXMAN
        pixman_transform_t t;
        pixman_transform_init_scale(&t, pixman_double_to_fixed(static_cast<double>(sc.w) / kScreenW),
                                    pixman_double_to_fixed(static_cast<double>(sc.h) / kScreenH));
        pixman_image_set_transform(src.pix, &t);
        pixman_image_set_filter(src.pix, PIXMAN_FILTER_NEAREST, nullptr, 0);
        r.pixman = NanosecondsPerPixel(
            [&] { pixman_image_composite32(PIXMAN_OP_SRC, src.pix, nullptr, screen.pix, 0, 0, 0, 0, 0, 0, kScreenW, kScreenH); },
            kScreenW * kScreenH);
#endif
        Table.push_back(r);
    }
    // Stretched alpha blend at x2 (mode 1).
    Image src(400, 300, false, 22);
    const int rect[4] = {0, 0, kScreenW, kScreenH};
    Row r;
    r.name = "stretch x2 mode 1 p=200";
    SetMemImgBlendState(1, 200);
    r.korvo = NanosecondsPerPixel([&] { StretchBlendBlitMemImg(&screen.memimg, &src.memimg, rect, 0, nullptr); },
                                  kScreenW * kScreenH);
#ifdef KORVO_HAVE_SDL2
    SDL_SetSurfaceBlendMode(src.surface, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(src.surface, 200);
    r.sdl = NanosecondsPerPixel(
        [&] {
            SDL_Rect d = {0, 0, kScreenW, kScreenH};
            SDL_BlitScaled(src.surface, nullptr, screen.surface, &d);
        },
        kScreenW * kScreenH);
#endif
    Table.push_back(r);
}

}  // namespace

int main(int argc, char **argv)
{
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    BuildMemImgLookupTables();
    RECT clip = {0, 0, kScreenW, kScreenH};
    SetMemImgClipRect(&clip);
#ifdef KORVO_HAVE_SDL2
    SDL_Init(0);
#endif
    Image screen(kScreenW, kScreenH, false, 1);
    RunPlainCases(screen, 0);
    if (!quick) {
        RunPlainCases(screen, 1);
        RunStretchCases(screen);
    }
    Print();
#ifdef KORVO_HAVE_SDL2
    SDL_Quit();
#endif
    return 0;
}
