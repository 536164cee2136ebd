"""The battle map picture, painted cell by cell from the map's own values so
what the player sees is what the units obey."""

from PIL import Image, ImageDraw

from pixel_art import noise_fill, rect, seeded, shade
from stage_map import COLUMNS, ROWS

CELL = 32
GROUND = (190, 166, 112)
GRASS = (70, 138, 58)
WATER = (52, 104, 178)
STONE = (150, 150, 158)
SANDBAG = (176, 160, 96)
TRENCH = (112, 92, 60)
PLANK = (150, 104, 60)
FRIEND_MARK = (110, 180, 255)
GOAL_MARK = (250, 200, 40)
CRATE = (150, 100, 52)


def paint_ground(img, draw, x0, y0, key):
    noise_fill(img, (x0, y0, x0 + 31, y0 + 31), GROUND, 0.05, key)
    rng = seeded("pebbles", *key)
    for _ in range(4):
        px, py = x0 + rng.randrange(2, 30), y0 + rng.randrange(2, 30)
        rect(draw, px, py, px + 1, py, shade(GROUND, 0.75))
        draw.point((px, py - 1), fill=shade(GROUND, 1.15))


def paint_grass(img, draw, x0, y0, key):
    noise_fill(img, (x0, y0, x0 + 31, y0 + 31), GRASS, 0.06, key)
    rng = seeded("blades", *key)
    for _ in range(14):
        px, py = x0 + rng.randrange(1, 30), y0 + rng.randrange(5, 31)
        h = rng.randrange(3, 6)
        draw.line((px, py, px, py - h), fill=shade(GRASS, 0.6))
        draw.line((px + 1, py, px + 2, py - h + 1), fill=shade(GRASS, 1.35))


def paint_water(img, draw, x0, y0, key):
    noise_fill(img, (x0, y0, x0 + 31, y0 + 31), WATER, 0.03, key)
    rng = seeded("waves", *key)
    for _ in range(4):
        px, py = x0 + rng.randrange(2, 22), y0 + rng.randrange(3, 29)
        draw.line((px, py, px + 3, py - 1, px + 6, py), fill=shade(WATER, 1.45))


def paint_wall(img, draw, x0, y0, key):
    rect(draw, x0, y0, x0 + 31, y0 + 31, shade(STONE, 0.55))
    rng = seeded("bricks", *key)
    for row in range(4):
        offset = 0 if row % 2 == 0 else 8
        by = y0 + row * 8
        for col in range(-1, 3):
            bx = x0 + offset + col * 16
            left, right = max(bx + 1, x0), min(bx + 15, x0 + 31)
            if left > right:
                continue
            tone = shade(STONE, rng.uniform(0.9, 1.1))
            rect(draw, left, by + 1, right, by + 7, tone)
            draw.line((left, by + 1, right, by + 1), fill=shade(tone, 1.2))


def paint_sandbags(img, draw, x0, y0, key):
    noise_fill(img, (x0, y0, x0 + 31, y0 + 31), TRENCH, 0.05, key)
    # Staggered rows of bags with dark seams and lit tops.
    for by, shift in ((2, 0), (11, 5), (20, 0)):
        for bx in range(-8 + shift, 32, 11):
            left, right = max(x0 + bx, x0 + 1), min(x0 + bx + 10, x0 + 30)
            if right - left < 3:
                continue
            draw.rounded_rectangle((left, y0 + by, right, y0 + by + 8), radius=3,
                                   fill=SANDBAG, outline=shade(SANDBAG, 0.45))
            draw.line((left + 2, y0 + by + 1, right - 2, y0 + by + 1), fill=shade(SANDBAG, 1.2))


def paint_deploy(img, draw, x0, y0, key):
    paint_ground(img, draw, x0, y0, key)
    draw.rectangle((x0 + 2, y0 + 2, x0 + 29, y0 + 29), outline=FRIEND_MARK, width=2)
    # A chevron pointing into the field.
    draw.polygon(((x0 + 10, y0 + 9), (x0 + 20, y0 + 16), (x0 + 10, y0 + 23), (x0 + 10, y0 + 19),
                  (x0 + 15, y0 + 16), (x0 + 10, y0 + 13)), fill=FRIEND_MARK)


def paint_goal(img, draw, x0, y0, key):
    paint_ground(img, draw, x0, y0, key)
    draw.rectangle((x0 + 1, y0 + 1, x0 + 30, y0 + 30), outline=GOAL_MARK, width=2)
    for cx, cy in ((5, 12), (16, 6), (15, 18)):
        left, top = x0 + cx, y0 + cy
        rect(draw, left, top, left + 10, top + 9, CRATE)
        draw.rectangle((left, top, left + 10, top + 9), outline=shade(CRATE, 0.5))
        draw.line((left, top, left + 10, top + 9), fill=shade(CRATE, 0.7))
        draw.line((left + 1, top + 1, left + 9, top + 1), fill=shade(CRATE, 1.3))


PAINTERS = {
    0: paint_water, 1: paint_ground, 2: paint_deploy, 3: paint_goal,
    4: paint_grass, 5: paint_sandbags, 6: paint_wall,
    7: paint_water, 8: paint_water, 9: paint_water,
}


def shore_lines(draw, grid):
    """A light edge where water meets land, so the banks read clearly."""
    for y in range(ROWS):
        for x in range(COLUMNS):
            if grid[y][x] != 0:
                continue
            x0, y0 = x * CELL, y * CELL
            edge = shade(WATER, 1.7)
            if x > 0 and grid[y][x - 1] != 0:
                draw.line((x0, y0, x0, y0 + 31), fill=edge)
            if x < COLUMNS - 1 and grid[y][x + 1] != 0:
                draw.line((x0 + 31, y0, x0 + 31, y0 + 31), fill=edge)
            if y > 0 and grid[y - 1][x] != 0:
                draw.line((x0, y0, x0 + 31, y0), fill=edge)
            if y < ROWS - 1 and grid[y + 1][x] != 0:
                draw.line((x0, y0 + 31, x0 + 31, y0 + 31), fill=edge)


def bridges(draw, grid):
    """Open ground with water above and below is a bridge: planks across it."""
    for y in range(ROWS):
        for x in range(COLUMNS):
            if grid[y][x] != 1:
                continue
            x0, y0 = x * CELL, y * CELL
            if not (0 < y < ROWS - 1 and grid[y - 1][x] == 0 and grid[y + 1][x] == 0):
                continue
            rect(draw, x0, y0 + 2, x0 + 31, y0 + 29, shade(PLANK, 0.6))
            for px in range(x0, x0 + 32, 6):
                rect(draw, px, y0 + 3, px + 4, y0 + 28, PLANK)
                draw.line((px, y0 + 3, px, y0 + 28), fill=shade(PLANK, 1.25))
            rect(draw, x0, y0, x0 + 31, y0 + 2, shade(PLANK, 0.45))
            rect(draw, x0, y0 + 29, x0 + 31, y0 + 31, shade(PLANK, 0.45))


def grid_ticks(draw):
    """Small corner marks at cell corners: cells stay countable without a
    heavy grid over the art."""
    for y in range(1, ROWS):
        for x in range(1, COLUMNS):
            px, py = x * CELL, y * CELL
            colour = (235, 232, 220)
            draw.line((px - 2, py, px + 1, py), fill=colour)
            draw.line((px, py - 2, px, py + 1), fill=colour)


def map_picture(grid):
    image = Image.new("RGB", (COLUMNS * CELL, ROWS * CELL), GROUND)
    draw = ImageDraw.Draw(image)
    for y in range(ROWS):
        for x in range(COLUMNS):
            PAINTERS[grid[y][x]](image, draw, x * CELL, y * CELL, ("cell", x, y))
    shore_lines(draw, grid)
    bridges(draw, grid)
    grid_ticks(draw)
    return image
