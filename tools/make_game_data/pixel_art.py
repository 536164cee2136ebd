"""Drawing helpers shared by the picture makers.

Pictures the game draws with its transparent flag use pure black as the
see-through colour, so every visible colour here stays off (0, 0, 0).
"""

import random

from PIL import Image, ImageFont

SEE_THROUGH = (0, 0, 0)
OUTLINE = (28, 24, 34)
FONT_FILE = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"


def font(size):
    return ImageFont.truetype(FONT_FILE, size)


def rect(draw, x0, y0, x1, y1, colour):
    """Filled rectangle with inclusive corners."""
    draw.rectangle((x0, y0, x1, y1), fill=colour)


def shade(colour, factor):
    """The colour made lighter (factor > 1) or darker (< 1), never pure black."""
    r, g, b = (max(1, min(255, int(round(c * factor)))) for c in colour[:3])
    return (r, g, b)


def seeded(*key):
    """A random source fixed by its key, so every run draws the same pixels."""
    return random.Random("|".join(str(k) for k in key))


def add_outline(layer, colour=OUTLINE):
    """Rings the opaque pixels of an RGBA layer with a one-pixel outline."""
    src = layer.load()
    w, h = layer.size
    ring = []
    for y in range(h):
        for x in range(w):
            if src[x, y][3]:
                continue
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                nx, ny = x + dx, y + dy
                if 0 <= nx < w and 0 <= ny < h and src[nx, ny][3]:
                    ring.append((x, y))
                    break
    for x, y in ring:
        src[x, y] = colour + (255,)


def flatten(layer):
    """RGBA layer to RGB with see-through pixels as pure black; opaque pixels
    that happen to be black are lifted to the nearest visible colour."""
    out = Image.new("RGB", layer.size, SEE_THROUGH)
    src = layer.load()
    dst = out.load()
    w, h = layer.size
    for y in range(h):
        for x in range(w):
            r, g, b, a = src[x, y]
            if a:
                dst[x, y] = (r, g, b) if (r, g, b) != SEE_THROUGH else (1, 1, 1)
    return out


def text_centered(draw, centre_x, top, text, size, colour, stroke=0, stroke_colour=None):
    face = font(size)
    width = draw.textlength(text, font=face)
    draw.text((centre_x - width / 2, top), text, font=face, fill=colour,
              stroke_width=stroke, stroke_fill=stroke_colour)


def noise_fill(image, box, base, spread, key):
    """Fills a box with a base colour speckled, from a fixed random source,
    with a lighter and a darker tone (few tones keep the pixel-art look)."""
    rng = seeded(*key)
    tones = (shade(base, 1.0 - spread), shade(base, 1.0), shade(base, 1.0 + spread))
    px = image.load()
    x0, y0, x1, y1 = box
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            r = rng.random()
            px[x, y] = tones[0] if r < 0.15 else tones[2] if r > 0.85 else tones[1]


def no_black(image, box=None):
    """True when no pixel in the box (default: all) is pure black."""
    crop = image.crop(box) if box else image
    return SEE_THROUGH not in set(crop.getdata())

