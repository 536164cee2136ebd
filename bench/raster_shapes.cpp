// Software shape speed: the MEMIMG triangle, rectangle, line and circle routines
// against SDL2's software renderer and pixman on the same work, 800x600 32-bit.
//
// Run from a Release build without sanitizers. Prints one table of
// milliseconds per case; the ratio column is Korvo's time over the fastest
// peer's (below 1 is faster). Peers differ in rounding, so only the work, not
// the pixels, is the same; a dash marks a peer without that operation.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>


#include "bench/support/interleaved_timing.h"
#include "softraster/draw_state.h"
#include "softraster/shapes.h"

#ifdef KORVO_HAVE_SDL2
#include <SDL2/SDL.h>
#endif
#ifdef KORVO_HAVE_PIXMAN
#include <pixman.h>
#endif

using namespace Korvo;

namespace {

// ---------------------------------------------------------------------------
// Defines and types
// ---------------------------------------------------------------------------

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kSmallQuads = 10000;
constexpr int kLines = 10000;
constexpr int kCircles = 10000;
constexpr int kCircleSegments = 32;

// One 32-bit image shared by the three libraries.
struct Canvas {
    std::vector<uint32_t> pixels;
    MemImgBody body{};
    MEMIMG view{};

    Canvas(int width, int height) : pixels(static_cast<size_t>(width) * height)
    {
        body.width = width;
        body.height = height;
        body.pitch = width * 4;
        body.pixelKind = MEMIMG_KIND_XRGB32;
        body.pixels = reinterpret_cast<uint8_t *>(pixels.data());
        view.validMark = MEMIMG_VALID_MARK;
        view.width = width;
        view.height = height;
        view.pixels = body.pixels;
        view.body = &body;
    }
};

struct Row {
    std::string name;
    double korvo = -1, sdl = -1, pixman = -1;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

using KorvoBench::Seconds;

// Best of five runs in milliseconds per call; each run repeats op until ~30 ms.
double MillisecondsPerCall(const std::function<void()> &op)
{
    op();
    int calls = 1;
    for (;;) {
        const double start = Seconds();
        for (int i = 0; i < calls; ++i)
            op();
        if (Seconds() - start > 0.03)
            break;
        calls *= 2;
    }
    double best = 1e30;
    for (int run = 0; run < 5; ++run) {
        const double start = Seconds();
        for (int i = 0; i < calls; ++i)
            op();
        best = std::min(best, (Seconds() - start) * 1000.0 / calls);
    }
    return best;
}

void DrawKorvoQuad(MEMIMG *dst, const MEMIMG *src, int x0, int y0, int x1, int y1, int w, int h)
{
    const MemImgTriangleVertex c[4] = {{x0, y0, 0, 0}, {x1, y0, w, 0}, {x0, y1, 0, h}, {x1, y1, w, h}};
    RasterTriangleMemImg(dst, src, &c[0], 0, nullptr, 0);
    RasterTriangleMemImg(dst, src, &c[1], 0, nullptr, 0);
}

void PrintTable(const std::vector<Row> &rows)
{
    auto cell = [](double v) {
        char buffer[32];
        if (v < 0)
            std::snprintf(buffer, sizeof buffer, "%10s", "-");
        else
            std::snprintf(buffer, sizeof buffer, "%10.3f", v);
        return std::string(buffer);
    };
    std::printf("%-34s %10s %10s %10s %8s\n", "case (ms per call)", "korvo", "sdl2", "pixman", "ratio");
    for (const Row &r : rows) {
        double peer = 1e30;
        if (r.sdl >= 0)
            peer = std::min(peer, r.sdl);
        if (r.pixman >= 0)
            peer = std::min(peer, r.pixman);
        char ratio[16] = "       -";
        if (peer < 1e30)
            std::snprintf(ratio, sizeof ratio, "%8.2f", r.korvo / peer);
        std::printf("%-34s %s %s %s %s\n", r.name.c_str(), cell(r.korvo).c_str(), cell(r.sdl).c_str(),
                    cell(r.pixman).c_str(), ratio);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int main()
{
    BuildMemImgLookupTables();
    std::mt19937 rng(42);
    Canvas screen(kWidth, kHeight), texture(kWidth, kHeight), sprite(16, 16);
    for (uint32_t &p : texture.pixels)
        p = rng() | 0xFF000000u;
    // pixman blends by the source's own (premultiplied) alpha: a half-alpha copy
    // of the texture gives it the same blending work as the alpha-128 cases.
    std::vector<uint32_t> halfAlphaTexture(texture.pixels.size());
    for (size_t i = 0; i < texture.pixels.size(); ++i)
        halfAlphaTexture[i] = 0x80000000u | ((texture.pixels[i] >> 1) & 0x007F7F7Fu);
    for (uint32_t &p : sprite.pixels)
        p = rng() | 0xFF000000u;
    RECT clip{0, 0, kWidth, kHeight};
    SetMemImgClipRect(&clip);
    SetMemImgBrightColor(0xFFFFFF);

    // Random work shared by every library.
    struct QuadWork { int x, y; };
    std::vector<QuadWork> quadAt(kSmallQuads);
    for (auto &q : quadAt)
        q = {static_cast<int>(rng() % (kWidth - 16)), static_cast<int>(rng() % (kHeight - 16))};
    struct LineWork { int x1, y1, x2, y2; };
    std::vector<LineWork> lines(kLines);
    for (auto &l : lines)
        l = {static_cast<int>(rng() % kWidth), static_cast<int>(rng() % kHeight), static_cast<int>(rng() % kWidth),
             static_cast<int>(rng() % kHeight)};
    struct CircleWork { int x, y, r; };
    std::vector<CircleWork> circles(kCircles);
    for (auto &c : circles)
        c = {static_cast<int>(rng() % kWidth), static_cast<int>(rng() % kHeight), 1 + static_cast<int>(rng() % 24)};

    struct ModeCase { const char *name; int mode; int param; };
    const ModeCase modes[] = {{"copy", 0, 255}, {"alpha 128", 1, 128}, {"add", 2, 255}, {"subtract", 3, 255},
                              {"multiply", 4, 255}, {"toward inverse", 10, 128}, {"weighted multiply", 11, 128}};

#ifdef KORVO_HAVE_SDL2
    SDL_Surface *sdlScreen = SDL_CreateRGBSurfaceWithFormatFrom(screen.pixels.data(), kWidth, kHeight, 32,
                                                                 kWidth * 4, SDL_PIXELFORMAT_XRGB8888);
    SDL_Surface *sdlTexSurface = SDL_CreateRGBSurfaceWithFormatFrom(texture.pixels.data(), kWidth, kHeight, 32,
                                                                     kWidth * 4, SDL_PIXELFORMAT_ARGB8888);
    SDL_Surface *sdlSpriteSurface = SDL_CreateRGBSurfaceWithFormatFrom(sprite.pixels.data(), 16, 16, 32, 64,
                                                                        SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer *renderer = SDL_CreateSoftwareRenderer(sdlScreen);
    SDL_Texture *sdlTexture = SDL_CreateTextureFromSurface(renderer, sdlTexSurface);
    SDL_Texture *sdlSprite = SDL_CreateTextureFromSurface(renderer, sdlSpriteSurface);
    auto sdlQuad = [&](SDL_Texture *tex, float x0, float y0, float x1, float y1) {
        const SDL_Color white{255, 255, 255, 255};
        const SDL_Vertex v[4] = {{{x0, y0}, white, {0, 0}}, {{x1, y0}, white, {1, 0}},
                                 {{x0, y1}, white, {0, 1}}, {{x1, y1}, white, {1, 1}}};
        const int index[6] = {0, 1, 2, 1, 2, 3};
        SDL_RenderGeometry(renderer, tex, v, 4, index, 6);
    };
    auto sdlBlend = [](int mode) {
        switch (mode) {
        case 0: return SDL_BLENDMODE_NONE;
        case 1: return SDL_BLENDMODE_BLEND;
        case 2: return SDL_BLENDMODE_ADD;
        case 4: return SDL_BLENDMODE_MOD;
        default: return SDL_BLENDMODE_INVALID;
        }
    };
#endif
#ifdef KORVO_HAVE_PIXMAN
    pixman_image_t *pxScreen = pixman_image_create_bits(PIXMAN_x8r8g8b8, kWidth, kHeight, screen.pixels.data(),
                                                        kWidth * 4);
    pixman_image_t *pxTexture = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, texture.pixels.data(),
                                                         kWidth * 4);
    pixman_image_t *pxHalfAlphaTexture = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight,
                                                                  halfAlphaTexture.data(), kWidth * 4);
    pixman_image_t *pxSprite = pixman_image_create_bits(PIXMAN_a8r8g8b8, 16, 16, sprite.pixels.data(), 64);
    auto pixmanOp = [](int mode) {
        switch (mode) {
        case 0: return PIXMAN_OP_SRC;
        case 1: return PIXMAN_OP_OVER;
        case 2: return PIXMAN_OP_ADD;
        case 4: return PIXMAN_OP_MULTIPLY;
        default: return PIXMAN_OP_CLEAR;
        }
    };
    auto pixmanTriangles = [](int x0, int y0, int x1, int y1) {
        auto pt = [](int x, int y) { return pixman_point_fixed_t{pixman_int_to_fixed(x), pixman_int_to_fixed(y)}; };
        std::vector<pixman_triangle_t> t(2);
        t[0] = {pt(x0, y0), pt(x1, y0), pt(x0, y1)};
        t[1] = {pt(x1, y0), pt(x0, y1), pt(x1, y1)};
        return t;
    };
    const std::vector<pixman_triangle_t> fullQuad = pixmanTriangles(0, 0, kWidth, kHeight);
#endif

    std::vector<Row> rows;
    for (const ModeCase &m : modes) {
        Row row;
        row.name = std::string("textured quad 800x600, ") + m.name;
        SetMemImgBlendState(m.mode, m.param);
        row.korvo = MillisecondsPerCall(
            [&] { DrawKorvoQuad(&screen.view, &texture.view, 0, 0, kWidth, kHeight, kWidth, kHeight); });
#ifdef KORVO_HAVE_SDL2
        if (sdlBlend(m.mode) != SDL_BLENDMODE_INVALID) {
            SDL_SetTextureBlendMode(sdlTexture, sdlBlend(m.mode));
            SDL_SetTextureAlphaMod(sdlTexture, static_cast<Uint8>(m.param));
            row.sdl = MillisecondsPerCall([&] { sdlQuad(sdlTexture, 0, 0, kWidth, kHeight); });
        }
#endif
#ifdef KORVO_HAVE_PIXMAN
        if (pixmanOp(m.mode) != PIXMAN_OP_CLEAR)
            row.pixman = MillisecondsPerCall([&] {
                pixman_composite_triangles(pixmanOp(m.mode), m.mode == 1 ? pxHalfAlphaTexture : pxTexture,
                                           pxScreen, PIXMAN_a8, 0, 0, 0, 0, 2, fullQuad.data());
            });
#endif
        rows.push_back(row);
    }

    {
        Row row;
        row.name = "10,000 textured 16x16 quads, copy";
        SetMemImgBlendState(0, 255);
        row.korvo = MillisecondsPerCall([&] {
            for (const auto &q : quadAt)
                DrawKorvoQuad(&screen.view, &sprite.view, q.x, q.y, q.x + 16, q.y + 16, 16, 16);
        });
#ifdef KORVO_HAVE_SDL2
        SDL_SetTextureBlendMode(sdlSprite, SDL_BLENDMODE_NONE);
        row.sdl = MillisecondsPerCall([&] {
            for (const auto &q : quadAt)
                sdlQuad(sdlSprite, static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.x + 16),
                        static_cast<float>(q.y + 16));
        });
#endif
#ifdef KORVO_HAVE_PIXMAN
        row.pixman = MillisecondsPerCall([&] {
            for (const auto &q : quadAt) {
                const std::vector<pixman_triangle_t> t = pixmanTriangles(q.x, q.y, q.x + 16, q.y + 16);
                pixman_composite_triangles(PIXMAN_OP_SRC, pxSprite, pxScreen, PIXMAN_a8, -q.x, -q.y, 0, 0, 2,
                                           t.data());
            }
        });
#endif
        rows.push_back(row);
    }

    const uint32_t fillColor = 0x80336699;
    for (const ModeCase &m : modes) {
        Row row;
        row.name = std::string("fill 800x600, ") + m.name;
        SetMemImgBlendState(m.mode, m.param);
        row.korvo = MillisecondsPerCall([&] { FillBlendRectMemImg(&screen.view, nullptr, static_cast<int32_t>(fillColor)); });
#ifdef KORVO_HAVE_SDL2
        if (m.mode == 0) {
            row.sdl = MillisecondsPerCall([&] { SDL_FillRect(sdlScreen, nullptr, fillColor); });
        } else if (sdlBlend(m.mode) != SDL_BLENDMODE_INVALID) {
            SDL_SetRenderDrawBlendMode(renderer, sdlBlend(m.mode));
            SDL_SetRenderDrawColor(renderer, 0x33, 0x66, 0x99, static_cast<Uint8>(m.param));
            row.sdl = MillisecondsPerCall([&] { SDL_RenderFillRect(renderer, nullptr); });
        }
#endif
#ifdef KORVO_HAVE_PIXMAN
        if (pixmanOp(m.mode) != PIXMAN_OP_CLEAR) {
            const pixman_color_t color{0x3333, 0x6666, 0x9999, static_cast<uint16_t>(m.param * 257)};
            const pixman_rectangle16_t all{0, 0, kWidth, kHeight};
            row.pixman = MillisecondsPerCall(
                [&] { pixman_image_fill_rectangles(pixmanOp(m.mode), pxScreen, &color, 1, &all); });
        }
#endif
        rows.push_back(row);
    }

    for (int blended = 0; blended <= 1; ++blended) {
        Row row;
        row.name = blended ? "10,000 lines, alpha 128" : "10,000 lines, copy";
        SetMemImgBlendState(blended, blended ? 128 : 255);
        row.korvo = MillisecondsPerCall([&] {
            for (const auto &l : lines)
                RasterLineMemImg(&screen.view, l.x1, l.y1, l.x2, l.y2, 0x00FF8040);
        });
#ifdef KORVO_HAVE_SDL2
        SDL_SetRenderDrawBlendMode(renderer, blended ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
        SDL_SetRenderDrawColor(renderer, 0xFF, 0x80, 0x40, blended ? 128 : 255);
        row.sdl = MillisecondsPerCall([&] {
            for (const auto &l : lines)
                SDL_RenderDrawLine(renderer, l.x1, l.y1, l.x2, l.y2);
        });
#endif
        rows.push_back(row);
    }

    for (int blended = 0; blended <= 1; ++blended) {
        Row row;
        row.name = blended ? "10,000 filled circles, alpha 128" : "10,000 filled circles, copy";
        SetMemImgBlendState(blended, blended ? 128 : 255);
        row.korvo = MillisecondsPerCall([&] {
            for (const auto &c : circles)
                RasterCircleMemImg(&screen.view, c.x, c.y, c.r, 0x00FF8040, 1);
        });
#ifdef KORVO_HAVE_SDL2
        SDL_SetRenderDrawBlendMode(renderer, blended ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
        const SDL_Color color{0xFF, 0x80, 0x40, static_cast<Uint8>(blended ? 128 : 255)};
        row.sdl = MillisecondsPerCall([&] {
            SDL_Vertex v[kCircleSegments + 1];
            int index[kCircleSegments * 3];
            for (const auto &c : circles) {
                v[0] = {{static_cast<float>(c.x), static_cast<float>(c.y)}, color, {0, 0}};
                for (int i = 0; i < kCircleSegments; ++i) {
                    const double a = i * 6.283185307179586 / kCircleSegments;
                    v[i + 1] = {{static_cast<float>(c.x + c.r * std::cos(a)), static_cast<float>(c.y + c.r * std::sin(a))},
                                color, {0, 0}};
                    index[3 * i] = 0;
                    index[3 * i + 1] = 1 + i;
                    index[3 * i + 2] = 1 + (i + 1) % kCircleSegments;
                }
                SDL_RenderGeometry(renderer, nullptr, v, kCircleSegments + 1, index, kCircleSegments * 3);
            }
        });
#endif
#ifdef KORVO_HAVE_PIXMAN
        const pixman_color_t pc{0xFFFF, 0x8080, 0x4040, static_cast<uint16_t>(blended ? 0x8080 : 0xFFFF)};
        pixman_image_t *solid = pixman_image_create_solid_fill(&pc);
        row.pixman = MillisecondsPerCall([&] {
            pixman_triangle_t t[kCircleSegments];
            for (const auto &c : circles) {
                auto pt = [&](int i) {
                    const double a = i * 6.283185307179586 / kCircleSegments;
                    return pixman_point_fixed_t{pixman_double_to_fixed(c.x + c.r * std::cos(a)),
                                                pixman_double_to_fixed(c.y + c.r * std::sin(a))};
                };
                const pixman_point_fixed_t centre{pixman_int_to_fixed(c.x), pixman_int_to_fixed(c.y)};
                for (int i = 0; i < kCircleSegments; ++i)
                    t[i] = {centre, pt(i), pt(i + 1)};
                pixman_composite_triangles(blended ? PIXMAN_OP_OVER : PIXMAN_OP_SRC, solid, pxScreen, PIXMAN_a8, 0,
                                           0, 0, 0, kCircleSegments, t);
            }
        });
        pixman_image_unref(solid);
#endif
        rows.push_back(row);
    }
    {
        Row row;
        row.name = "10,000 circle outlines, copy";
        SetMemImgBlendState(0, 255);
        row.korvo = MillisecondsPerCall([&] {
            for (const auto &c : circles)
                RasterCircleMemImg(&screen.view, c.x, c.y, c.r, 0x00FF8040, 0);
        });
        rows.push_back(row);
    }

    PrintTable(rows);

#ifdef KORVO_HAVE_SDL2
    SDL_DestroyTexture(sdlSprite);
    SDL_DestroyTexture(sdlTexture);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(sdlSpriteSurface);
    SDL_FreeSurface(sdlTexSurface);
    SDL_FreeSurface(sdlScreen);
#endif
#ifdef KORVO_HAVE_PIXMAN
    pixman_image_unref(pxSprite);
    pixman_image_unref(pxHalfAlphaTexture);
    pixman_image_unref(pxTexture);
    pixman_image_unref(pxScreen);
#endif
    return 0;
}
