// Test images for the benchmarks, seen by Korvo, SDL2 and pixman at once (one
// pixel buffer behind a MEMIMG, an SDL surface and a pixman image).
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "softraster/memimg.h"

#ifdef KORVO_HAVE_SDL2
#include <SDL2/SDL.h>
#endif
#ifdef KORVO_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace KorvoBench {

using Korvo::MEMIMG;

constexpr uint32_t kKey32 = 0x00FF00FF;
constexpr uint32_t kKey16 = 0xF81F;

enum class Pixels { Opaque32, Alpha32, Opaque16 };

// One image seen by all three libraries. A quarter of the opaque pixels are the
// key colour; a quarter of the alpha pixels are clear, a quarter opaque.
struct PeerImage {
    int width, height;
    std::vector<uint32_t> words;
    MEMIMG memimg{};
#ifdef KORVO_HAVE_SDL2
    SDL_Surface *surface = nullptr;
#endif
#ifdef KORVO_HAVE_PIXMAN
    pixman_image_t *pix = nullptr;
#endif

    PeerImage(int w, int h, Pixels kind, unsigned seed) : width(w), height(h), words(static_cast<size_t>(w) * h)
    {
        const bool wide = kind != Pixels::Opaque16;
        const int pitch = wide ? w * 4 : w * 2;
        std::mt19937 rng(seed);
        uint8_t *bytes = reinterpret_cast<uint8_t *>(words.data());
        for (int i = 0; i < w * h; ++i) {
            const uint32_t v = rng(), pick = rng() % 4;
            if (kind == Pixels::Alpha32) {
                words[i] = (v & 0xFFFFFF) | (pick == 0 ? 0u : pick == 1 ? 0xFF000000u : v & 0xFF000000u);
            } else if (kind == Pixels::Opaque32) {
                words[i] = pick == 0 ? kKey32 : v & 0xFFFFFF;
            } else {
                const uint16_t p = static_cast<uint16_t>(pick == 0 ? kKey16 : v & 0xFFFF);
                std::memcpy(bytes + 2 * i, &p, 2);
            }
        }
        // Alpha sources get a run table (extras), as loaded sprites have.
        Korvo::AllocateMemImg(&memimg, w, h, pitch, wide ? kKey32 : kKey16,
                              wide ? Korvo::MEMIMG_KIND_XRGB32 : Korvo::MEMIMG_KIND_RGB565, 0,
                       kind == Pixels::Alpha32 ? 1 : 0, kind == Pixels::Alpha32 ? 1 : 0, bytes);
#ifdef KORVO_HAVE_SDL2
        surface = SDL_CreateRGBSurfaceWithFormatFrom(
            bytes, w, h, wide ? 32 : 16, pitch,
            kind == Pixels::Alpha32 ? SDL_PIXELFORMAT_ARGB8888 : wide ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565);
#endif
#ifdef KORVO_HAVE_PIXMAN
        pix = pixman_image_create_bits(kind == Pixels::Alpha32 ? PIXMAN_a8r8g8b8 : wide ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5,
                                       w, h, reinterpret_cast<uint32_t *>(bytes), pitch);
#endif
    }
    ~PeerImage()
    {
        Korvo::DisposeMemImg(&memimg);
#ifdef KORVO_HAVE_SDL2
        SDL_FreeSurface(surface);
#endif
#ifdef KORVO_HAVE_PIXMAN
        pixman_image_unref(pix);
#endif
    }
};

}  // namespace KorvoBench
