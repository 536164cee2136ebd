#!/usr/bin/python3 -B
"""Draws Velmora's pictures, makes its gunshot and writes its map into the
game's data folder (default: game/data beside this tools folder).

    tools/make_game_data/make_game_data.py [output folder]

Every run writes the same bytes (fixed random seeds, sox in repeatable mode),
so the committed files can be checked by running it and diffing.
Needs Debian's python3-pil, sox and fonts-ipafont-gothic.
"""

import os
import subprocess
import sys

import hit_effect
import map_picture
import screen_art
import soldier_sprites
import stage_map
from pixel_art import no_black

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUT = os.path.join(HERE, "..", "..", "game", "data")

SHEETS = {
    "img/chara/soldier01.png": ("searcher", "friend"),
    "img/chara/soldier02.png": ("attaker", "friend"),
    "img/chara/soldier03.png": ("bazooka", "friend"),
    "img/chara/e_soldier01.png": ("searcher", "enemy"),
    "img/chara/e_soldier02.png": ("attaker", "enemy"),
}
BUTTON_FILES = ("img/icon/button_searcher.png", "img/icon/button_attaker.png",
                "img/icon/button_taisen.png")

# Sizes the game's screen regions and sheet cuts rely on.
EXPECTED_SIZES = {
    "img/back.png": (800, 600), "img/map/map1.png": (640, 480),
    "img/cursor.png": (150, 50), "img/syutugeki.png": (400, 150),
    "img/win.png": (640, 480), "img/lose.png": (640, 480),
    "img/waku_metal.png": (160, 250), "img/bar_waku.png": (24, 8),
    "img/effect/bullet.png": (320, 32),
}
EXPECTED_SIZES.update({name: (72, 128) for name in SHEETS})
EXPECTED_SIZES.update({name: (80, 100) for name in BUTTON_FILES})


def read_map_file(path):
    """Reads the map the way the game does: digits fill a row, a line feed
    starts the next one, anything else is skipped."""
    grid = [[0] * stage_map.COLUMNS for _ in range(stage_map.ROWS)]
    row = column = 0
    with open(path, "rb") as f:
        for byte in f.read():
            if byte == 0xFF:
                break
            if byte == 0x0A:
                row, column = row + 1, 0
            elif 0x30 <= byte <= 0x39:
                if row < stage_map.ROWS and column < stage_map.COLUMNS:
                    grid[row][column] = byte - 0x30
                column += 1
    return grid


def gunshot(path):
    """A short shot: a noise burst with a low thump, filtered, decaying fast."""
    subprocess.run(["sox", "-R", "-n", "-r", "22050", "-b", "16", "-c", "1", path,
                    "synth", "0.45", "whitenoise", "synth", "0.45", "sine", "mix", "70",
                    "lowpass", "2800", "overdrive", "6", "fade", "l", "0", "0.45", "0.43",
                    "reverb", "25", "50", "40", "gain", "-n", "-2", "trim", "0", "0.45"],
                   check=True, stderr=subprocess.DEVNULL)


def pictures(grid):
    out = {
        "img/back.png": screen_art.background(),
        "img/cursor.png": screen_art.stage_cursor(),
        "img/syutugeki.png": screen_art.sortie_banner(),
        "img/win.png": screen_art.win_picture(),
        "img/lose.png": screen_art.lose_picture(),
        "img/waku_metal.png": screen_art.panel_frame(),
        "img/bar_waku.png": screen_art.hp_bar_frame(),
        "img/effect/bullet.png": hit_effect.effect_sheet(),
        "img/map/map1.png": map_picture.map_picture(grid),
    }
    for name, (job, side) in SHEETS.items():
        out[name] = soldier_sprites.sprite_sheet(job, side)
    for name, button in zip(BUTTON_FILES, screen_art.BUTTONS):
        out[name] = screen_art.deploy_button(*button)
    return out


def check_pictures(images):
    for name, size in EXPECTED_SIZES.items():
        if images[name].size != size:
            raise ValueError("%s is %s, not %s" % (name, images[name].size, size))
    # The background is drawn see-through over the whole screen: no holes.
    if not no_black(images["img/back.png"]):
        raise ValueError("img/back.png has see-through pixels")


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else DEFAULT_OUT)
    grid = stage_map.cell_values()
    stage_map.check_map(grid)
    map_path = os.path.join(out, "map", "map01.txt")
    os.makedirs(os.path.dirname(map_path), exist_ok=True)
    with open(map_path, "w", newline="\n") as f:
        f.write(stage_map.map_file_text(grid))
    # The picture is painted from the file as the game reads it.
    grid = read_map_file(map_path)
    images = pictures(grid)
    check_pictures(images)
    for name, image in sorted(images.items()):
        path = os.path.join(out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        image.save(path, optimize=False)
    os.makedirs(os.path.join(out, "se"), exist_ok=True)
    gunshot(os.path.join(out, "se", "gun30.wav"))
    print("game data written to %s" % out)


if __name__ == "__main__":
    main()
