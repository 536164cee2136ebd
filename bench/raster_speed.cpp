// Software rasteriser speed in one table: the common draws of a game (blits,
// sprites with alpha, fills, textured quads, the doubling and halving stretches)
// in both pixel kinds, against SDL2 and pixman doing the same work on the same
// 800x600 screen. The table names the machine and the forms the rasteriser chose on it.
//
// Run from a Release build without sanitizers. Each row's libraries are timed in
// turns and keep their best of several rounds (the machine is shared). The ratio
// is Korvo's time over the fastest peer's; below 1 is faster.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/support/interleaved_timing.h"
#include "bench/support/peer_images.h"
#include "softraster/draw_state.h"
#include "softraster/memimg_blit.h"
#include "softraster/processor_forms.h"
#include "softraster/shapes.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

using namespace Korvo;   // SDL2 and pixman come with the peer images

namespace {

// The screen, the tint of the bright cases and the images.
constexpr int kScreenW = 800;
constexpr int kScreenH = 600;
constexpr uint32_t kBright = 0x80C0FF;

using KorvoBench::Pixels;
using Image = KorvoBench::PeerImage;

// ---------------------------------------------------------------------------
// The table
// ---------------------------------------------------------------------------

using Op = std::function<void()>;

struct Row {
    std::string name;
    bool common;          // one of the draws that must not be slower than a peer
    double korvo = -1, sdl = -1, pixman = -1;
};

std::vector<Row> Table;
const char *OnlyRowsWith = "";   // the first argument: run only the rows whose names hold it
int Rounds = 9;                   // the second argument: rounds per row (more on a busy machine)

// Time Korvo and the peers that have the operation, in turns.
void Measure(const std::string &name, bool common, double units, const Op &korvo, const Op &sdl, const Op &pixman)
{
    if (name.find(OnlyRowsWith) == std::string::npos)
        return;
    std::vector<Op> ops = {korvo};
    if (sdl)
        ops.push_back(sdl);
    if (pixman)
        ops.push_back(pixman);
    const std::vector<double> best = KorvoBench::BestNanosecondsInTurns(ops, units, Rounds);
    Row r{name, common};
    r.korvo = best[0];
    size_t next = 1;
    if (sdl)
        r.sdl = best[next++];
    if (pixman)
        r.pixman = best[next];
    Table.push_back(r);
}

void Print()
{
    std::printf("%-40s %9s %9s %9s %7s\n", "case (ns per pixel)", "korvo", "SDL2", "pixman", "ratio");
    for (const Row &r : Table) {
        double peer = 1e30;
        for (double v : {r.sdl, r.pixman})
            if (v > 0)
                peer = std::min(peer, v);
        auto cell = [](double v) {
            char b[16];
            v < 0 ? std::snprintf(b, sizeof b, "%9s", "-") : std::snprintf(b, sizeof b, "%9.3f", v);
            return std::string(b);
        };
        char ratio[16] = "      -";
        if (peer < 1e29)
            std::snprintf(ratio, sizeof ratio, "%7.2f", r.korvo / peer);
        std::printf("%-40s %s %s %s %s%s\n", r.name.c_str(), cell(r.korvo).c_str(), cell(r.sdl).c_str(),
                    cell(r.pixman).c_str(), ratio, r.common ? " *" : "");
    }
    std::printf("ratio: korvo / fastest peer; * marks the common draws; best of %d rounds taken in turns\n", Rounds);
}

// The processor's own name (CPUID), and the one the system shows when it differs.
std::string MachineName()
{
    std::string name;
#if defined(__i386__) || defined(__x86_64__)
    if (__get_cpuid_max(0x80000000u, nullptr) >= 0x80000004u) {
        unsigned words[12];
        for (unsigned i = 0; i < 3; ++i)
            __cpuid(0x80000002u + i, words[i * 4], words[i * 4 + 1], words[i * 4 + 2], words[i * 4 + 3]);
        char text[49] = {};
        std::memcpy(text, words, 48);
        name = text;
        name.erase(name.find_last_not_of(' ') + 1);
        name.erase(0, name.find_first_not_of(' '));
        unsigned a, b, c, d;
        __cpuid(1, a, b, c, d);
        const unsigned family = ((a >> 8) & 15) + (((a >> 8) & 15) == 15 ? (a >> 20) & 255 : 0);
        const unsigned model = ((a >> 4) & 15) | (((a >> 8) & 15) >= 6 ? ((a >> 16) & 15) << 4 : 0);
        name += " (family " + std::to_string(family) + ", model " + std::to_string(model) + ")";
    }
#endif
    if (FILE *f = std::fopen("/proc/cpuinfo", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, "model name", 10) == 0) {
                std::string shown = std::strchr(line, ':') ? std::strchr(line, ':') + 1 : "";
                shown.erase(shown.find_last_not_of(" \n") + 1);
                shown.erase(0, shown.find_first_not_of(' '));
                if (name.find(shown) == std::string::npos)
                    name += ", shown by the system as " + shown;
                break;
            }
        std::fclose(f);
    }
    return name.empty() ? "unknown processor" : name;
}

void PrintMachine()
{
    const MemImgCacheFacts caches = ReadMemImgCacheFacts();
    std::printf("machine: %s\n", MachineName().c_str());
    std::printf("rasteriser forms: %s vectors; long rows copied by %s; last-level cache L%d %.1f MB; "
                "copies stream from %.1f MB\n",
                CurrentMemImgVectorForm() == MEMIMG_VECTOR_AVX2 ? "AVX2" : "SSE2",
                MemImgStringMovesEnabled() ? "string move" : "vector loop", caches.lastLevel,
                static_cast<double>(caches.lastLevelBytes) / (1 << 20),
                static_cast<double>(MemImgStreamingBytes()) / (1 << 20));
}

// ---------------------------------------------------------------------------
// Cases
// ---------------------------------------------------------------------------

// Draw settings of one blit row.
struct BlitCase {
    const char *name;
    bool common;
    int mode, param;
    bool key, bright;
    bool peerPixman;      // pixman has the operation (no key, no bright)
};

#ifdef KORVO_HAVE_SDL2
SDL_BlendMode SdlBlend(int mode)
{
    return mode == 1 ? SDL_BLENDMODE_BLEND : mode == 2 ? SDL_BLENDMODE_ADD : mode == 4 ? SDL_BLENDMODE_MOD
                                                                                         : SDL_BLENDMODE_NONE;
}
#endif
#ifdef KORVO_HAVE_PIXMAN
pixman_op_t PixmanOp(int mode)
{
    return mode == 1 ? PIXMAN_OP_OVER : mode == 2 ? PIXMAN_OP_ADD : PIXMAN_OP_SRC;
}
#endif

// A w x h source blitted at the points: the whole screen once, or sprites.
void BlitRow(Image &screen, Image &source, const std::vector<POINT> &at, const std::string &prefix, const BlitCase &b,
             int flag)
{
    const double units = static_cast<double>(source.width) * source.height * at.size();
    Op korvo = [&, b, flag] {
        SetMemImgBlendState(b.mode, b.param);
        SetMemImgBrightColor(b.bright ? kBright : 0xFFFFFF);
        for (const POINT &p : at)
            BlendBlitMemImg(&screen.memimg, &source.memimg, p.x, p.y, flag, nullptr);
    };
    // A source with alpha is drawn over the screen by its alpha: the peers' blend and OVER.
    const bool alpha = source.memimg.body->hasAlpha != 0;
    const int peerMode = alpha ? 1 : b.mode;
    Op sdl, pix;
#ifdef KORVO_HAVE_SDL2
    sdl = [&, b, peerMode] {
        SDL_SetSurfaceBlendMode(source.surface, SdlBlend(peerMode));
        SDL_SetSurfaceAlphaMod(source.surface, static_cast<Uint8>(b.param));
        SDL_SetColorKey(source.surface, b.key ? SDL_TRUE : SDL_FALSE, source.memimg.body->transparentColor);
        const Uint8 r = b.bright ? 0x80 : 255, g = b.bright ? 0xC0 : 255;
        SDL_SetSurfaceColorMod(source.surface, r, g, 255);
        for (const POINT &p : at) {
            SDL_Rect rect = {static_cast<int>(p.x), static_cast<int>(p.y), source.width, source.height};
            SDL_BlitSurface(source.surface, nullptr, screen.surface, &rect);
        }
    };
#endif
#ifdef KORVO_HAVE_PIXMAN
    if (b.peerPixman)
        pix = [&, b, peerMode, alpha] {
            pixman_image_t *mask = nullptr;
            if ((b.mode == 1 || b.mode == 2) && b.param < 255 && !alpha) {
                const pixman_color_t c = {0, 0, 0, static_cast<uint16_t>(b.param * 257)};
                mask = pixman_image_create_solid_fill(&c);
            }
            for (const POINT &p : at)
                pixman_image_composite32(PixmanOp(peerMode), source.pix, mask, screen.pix, 0, 0, 0, 0, p.x, p.y,
                                         source.width, source.height);
            if (mask)
                pixman_image_unref(mask);
        };
#endif
    Measure(prefix + b.name, b.common, units, korvo, sdl, pix);
}

std::vector<POINT> SpritePlaces(int w, int h)
{
    std::mt19937 rng(5);
    std::vector<POINT> at;
    for (int i = 0; i < 256; ++i)
        at.push_back({static_cast<LONG>(rng() % (kScreenW - w)), static_cast<LONG>(rng() % (kScreenH - h))});
    return at;
}

void RunBlits()
{
    const std::vector<POINT> origin = {{0, 0}};
    for (int wide = 1; wide >= 0; --wide) {
        Image screen(kScreenW, kScreenH, wide ? Pixels::Opaque32 : Pixels::Opaque16, 1);
        Image opaque(kScreenW, kScreenH, wide ? Pixels::Opaque32 : Pixels::Opaque16, 11);
        const std::string prefix = wide ? "32-bit " : "16-bit ";
        const BlitCase cases[] = {
            {"copy", true, 0, 255, false, false, true},
            {"copy, key", true, 0, 255, true, false, false},
            {"alpha p=200", true, 1, 200, false, false, true},
            {"alpha p=128", true, 1, 128, false, false, true},
            {"add p=255", true, 2, 255, false, false, true},
            {"add p=200", true, 2, 200, false, false, true},
            {"copy, bright", false, 0, 255, false, true, false},
            {"copy, key, bright", false, 0, 255, true, true, false},
            {"alpha p=200, key", false, 1, 200, true, false, false},
            {"alpha p=200, bright", false, 1, 200, false, true, false},
            {"add p=255, key", false, 2, 255, true, false, false},
        };
        for (const BlitCase &b : cases)
            BlitRow(screen, opaque, origin, prefix, b, b.key ? 2 : 0);
        if (!wide)
            continue;
        Image alpha(kScreenW, kScreenH, Pixels::Alpha32, 12);
        Image small(32, 32, Pixels::Alpha32, 13);
        const BlitCase sprite = {"sprite with alpha", true, 0, 255, false, false, true};
        BlitRow(screen, alpha, origin, prefix, sprite, 2);
        BlitRow(screen, small, SpritePlaces(32, 32), prefix + "32x32 ", sprite, 2);
        BuildMemImgRunTable(&alpha.memimg);
        BlitRow(screen, alpha, origin, prefix + "run table ", sprite, 1);
        const BlitCase tinted = {"sprite with alpha, bright", false, 0, 255, false, true, false};
        BlitRow(screen, alpha, origin, prefix, tinted, 2);
    }
}

// Nearest-pixel stretches of the whole screen: doubling (a 400x300 picture
// shown full screen) and halving.
void RunStretch()
{
    Image screen(kScreenW, kScreenH, Pixels::Opaque32, 1);
    struct Scale { const char *name; int w, h; };
    for (const Scale &sc : {Scale{"32-bit stretch x2 copy", kScreenW / 2, kScreenH / 2},
                            Scale{"32-bit stretch x0.5 copy", 2 * kScreenW, 2 * kScreenH}}) {
        Image source(sc.w, sc.h, Pixels::Opaque32, 21);
        const int rect[4] = {0, 0, kScreenW, kScreenH};
        Op korvo = [&] {
            SetMemImgBlendState(0, 255);
            SetMemImgBrightColor(0xFFFFFF);
            StretchBlendBlitMemImg(&screen.memimg, &source.memimg, rect, 0, nullptr);
        };
        Op sdl, pix;
#ifdef KORVO_HAVE_SDL2
        sdl = [&] {
            SDL_SetSurfaceBlendMode(source.surface, SDL_BLENDMODE_NONE);
            SDL_SetColorKey(source.surface, SDL_FALSE, 0);
            SDL_Rect d = {0, 0, kScreenW, kScreenH};
            SDL_BlitScaled(source.surface, nullptr, screen.surface, &d);
        };
#endif
#ifdef KORVO_HAVE_PIXMAN
        pixman_transform_t t;
        pixman_transform_init_scale(&t, pixman_double_to_fixed(static_cast<double>(sc.w) / kScreenW),
                                    pixman_double_to_fixed(static_cast<double>(sc.h) / kScreenH));
        pixman_image_set_transform(source.pix, &t);
        pixman_image_set_filter(source.pix, PIXMAN_FILTER_NEAREST, nullptr, 0);
        pix = [&] {
            pixman_image_composite32(PIXMAN_OP_SRC, source.pix, nullptr, screen.pix, 0, 0, 0, 0, 0, 0, kScreenW,
                                     kScreenH);
        };
#endif
        Measure(sc.name, true, kScreenW * kScreenH, korvo, sdl, pix);
    }
}

void RunFills()
{
    for (int wide = 1; wide >= 0; --wide) {
        Image screen(kScreenW, kScreenH, wide ? Pixels::Opaque32 : Pixels::Opaque16, 1);
        struct FillCase { const char *name; bool common; int mode, param; };
        for (const FillCase &f : {FillCase{"fill copy", true, 0, 255}, FillCase{"fill alpha 128", true, 1, 128},
                                  FillCase{"fill add", true, 2, 255}}) {
            const uint32_t color = wide ? 0x80336699u : 0x3333u;
            Op korvo = [&, f, color] {
                SetMemImgBlendState(f.mode, f.param);
                SetMemImgBrightColor(0xFFFFFF);
                FillBlendRectMemImg(&screen.memimg, nullptr, static_cast<int32_t>(color));
            };
            Op sdl, pix;
#ifdef KORVO_HAVE_SDL2
            if (f.mode == 0)
                sdl = [&, color] { SDL_FillRect(screen.surface, nullptr, color); };
#endif
#ifdef KORVO_HAVE_PIXMAN
            pix = [&, f] {
                const pixman_color_t c{0x3333, 0x6666, 0x9999, static_cast<uint16_t>(f.param * 257)};
                const pixman_rectangle16_t all{0, 0, kScreenW, kScreenH};
                pixman_image_fill_rectangles(PixmanOp(f.mode), screen.pix, &c, 1, &all);
            };
#endif
            Measure(std::string(wide ? "32-bit " : "16-bit ") + f.name, f.common, kScreenW * kScreenH, korvo, sdl, pix);
        }
    }
}

void RunQuads()
{
    Image screen(kScreenW, kScreenH, Pixels::Opaque32, 1);
    Image texture(kScreenW, kScreenH, Pixels::Opaque32, 31);
    const MemImgTriangleVertex corners[4] = {
        {0, 0, 0, 0}, {kScreenW, 0, kScreenW, 0}, {0, kScreenH, 0, kScreenH}, {kScreenW, kScreenH, kScreenW, kScreenH}};
    struct QuadCase { const char *name; int mode, param; bool key, bright; };
    for (const QuadCase &q : {QuadCase{"textured quad add", 2, 255, false, false},
                              QuadCase{"textured quad copy, key", 0, 255, true, false},
                              QuadCase{"textured quad copy, bright", 0, 255, false, true},
                              QuadCase{"textured quad alpha 128, key", 1, 128, true, false}}) {
        Op korvo = [&, q] {
            SetMemImgBlendState(q.mode, q.param);
            SetMemImgBrightColor(q.bright ? kBright : 0xFFFFFF);
            RasterTriangleMemImg(&screen.memimg, &texture.memimg, &corners[0], q.key ? 1 : 0, nullptr, 0);
            RasterTriangleMemImg(&screen.memimg, &texture.memimg, &corners[1], q.key ? 1 : 0, nullptr, 0);
        };
        Op pix;
#ifdef KORVO_HAVE_PIXMAN
        if (!q.key && !q.bright)
            pix = [&, q] {
                auto pt = [](int x, int y) { return pixman_point_fixed_t{pixman_int_to_fixed(x), pixman_int_to_fixed(y)}; };
                const pixman_triangle_t t[2] = {{pt(0, 0), pt(kScreenW, 0), pt(0, kScreenH)},
                                                {pt(kScreenW, 0), pt(0, kScreenH), pt(kScreenW, kScreenH)}};
                pixman_composite_triangles(PixmanOp(q.mode), texture.pix, screen.pix, PIXMAN_a8, 0, 0, 0, 0, 2, t);
            };
#endif
        Measure(std::string("32-bit ") + q.name, false, kScreenW * kScreenH, korvo, Op(), pix);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc > 1)
        OnlyRowsWith = argv[1];
    if (argc > 2 && std::atoi(argv[2]) > 0)
        Rounds = std::atoi(argv[2]);
    BuildMemImgLookupTables();
    RECT clip = {0, 0, kScreenW, kScreenH};
    SetMemImgClipRect(&clip);
#ifdef KORVO_HAVE_SDL2
    SDL_Init(0);
#endif
    RunBlits();
    RunStretch();
    RunFills();
    RunQuads();
    PrintMachine();
    Print();
#ifdef KORVO_HAVE_SDL2
    SDL_Quit();
#endif
    return 0;
}
