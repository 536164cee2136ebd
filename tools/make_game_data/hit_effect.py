"""The hit effect: ten 32x32 frames in one row, drawn additively on the unit
that was hit (a white flash, a spray of sparks, then dying embers)."""

import math

from PIL import Image, ImageDraw

from pixel_art import seeded, shade

FRAMES = 10
SIZE = 32


def burst_frame(index):
    image = Image.new("RGB", (SIZE, SIZE), (0, 0, 0))
    d = ImageDraw.Draw(image)
    c = SIZE // 2
    life = index / (FRAMES - 1)                  # 0 at the hit, 1 at the end
    heat = 1.0 - life
    core = (255, int(240 * heat + 60 * life), int(200 * heat * heat))
    if index < 4:
        r = 3 + index * 2
        d.ellipse((c - r, c - r, c + r, c + r), fill=shade((255, 150, 40), 0.5 + 0.5 * heat))
        d.ellipse((c - r // 2, c - r // 2, c + r // 2, c + r // 2), fill=core)
        for k in range(8):                       # flash rays
            a = k * math.pi / 4
            d.line((c, c, c + math.cos(a) * (r + 4), c + math.sin(a) * (r + 4)),
                   fill=(255, 230, 140))
    rng = seeded("sparks")
    for k in range(14):                          # sparks fly out and cool
        a = rng.uniform(0, 2 * math.pi)
        speed = rng.uniform(0.6, 1.0)
        dist = 2 + 14 * speed * life ** 0.7
        x, y = c + math.cos(a) * dist, c + math.sin(a) * dist
        spark = (255, max(40, int(220 * heat)), max(10, int(80 * heat)))
        if index >= 2 and 0 <= x < SIZE and 0 <= y < SIZE:
            d.point((x, y), fill=shade(spark, 0.35 + 0.65 * heat))
            if index < 7:
                d.point((x - math.cos(a), y - math.sin(a)), fill=shade(spark, 0.4))
    if index >= 4:                               # glowing ember at the centre
        r = max(1, int(5 * heat))
        d.ellipse((c - r, c - r, c + r, c + r), fill=shade((220, 80, 20), 0.3 + 0.7 * heat))
    return image


def effect_sheet():
    sheet = Image.new("RGB", (SIZE * FRAMES, SIZE), (0, 0, 0))
    for i in range(FRAMES):
        sheet.paste(burst_frame(i), (i * SIZE, 0))
    return sheet
