"""Soldier sprite sheets: 3 columns of animation (step, stand, step) by 4 rows
of facing (up, right, down, left), 24x32 frames, pure black see-through.

The side is told by the uniform's colour (blue friends, red enemies); the job
by its outline: the scout's peaked cap and radio aerial, the rifleman's round
helmet and long rifle, the anti-tank soldier's broad build and launcher tube.
"""

from PIL import Image, ImageDraw

from pixel_art import add_outline, flatten, shade

FRAME_W, FRAME_H = 24, 32
UP, RIGHT, DOWN, LEFT = range(4)

SIDES = {
    "friend": {"uniform": (66, 112, 220), "gear": (40, 62, 140)},
    "enemy": {"uniform": (206, 64, 52), "gear": (120, 36, 30)},
}
SKIN = (240, 200, 160)
EYE = (40, 30, 46)
BOOT = (82, 58, 40)
GUN = (96, 98, 110)
WOOD = (146, 96, 54)
TUBE = (104, 124, 70)
AERIAL = (210, 210, 220)


class Figure:
    def __init__(self, job, side):
        self.job = job
        self.uniform = SIDES[side]["uniform"]
        self.gear = SIDES[side]["gear"]
        self.wide = 1 if job == "bazooka" else 0

    def frame(self, facing, step):
        """One frame as an RGBA layer; step is -1, 0 or 1 (which leg leads)."""
        layer = Image.new("RGBA", (FRAME_W, FRAME_H), (0, 0, 0, 0))
        d = ImageDraw.Draw(layer)
        bob = 1 if step == 0 else 0      # standing frame sits a pixel higher
        top = 3 - bob + 1
        if facing in (UP, DOWN):
            self.front_or_back(d, facing, step, top)
        else:
            self.profile(d, step, top)
        add_outline(layer)
        if facing == LEFT:
            layer = layer.transpose(Image.FLIP_LEFT_RIGHT)
        return layer

    # -- parts ---------------------------------------------------------
    def legs_front(self, d, step, top):
        trousers = shade(self.uniform, 0.7)
        left_len = 6 + (1 if step < 0 else 0) - (1 if step > 0 else 0)
        right_len = 6 + (1 if step > 0 else 0) - (1 if step < 0 else 0)
        y = top + 19
        d.rectangle((8, y, 10, y + left_len), fill=trousers)
        d.rectangle((13, y, 15, y + right_len), fill=trousers)
        d.rectangle((8, y + left_len + 1, 10, y + left_len + 2), fill=BOOT)
        d.rectangle((13, y + right_len + 1, 15, y + right_len + 2), fill=BOOT)

    def torso_front(self, d, top):
        w = self.wide
        d.rectangle((7 - w, top + 10, 16 + w, top + 19), fill=self.uniform)
        d.line((7 - w, top + 17, 16 + w, top + 17), fill=self.gear)           # belt
        d.rectangle((5 - w, top + 11, 6 - w, top + 17), fill=self.uniform)    # arms
        d.rectangle((17 + w, top + 11, 18 + w, top + 17), fill=self.uniform)
        d.point((5 - w, top + 18), fill=SKIN)
        d.point((18 + w, top + 18), fill=SKIN)

    def head_front(self, d, top, face):
        d.rectangle((8, top + 3, 15, top + 9), fill=SKIN if face else shade(self.gear, 1.2))
        if face:
            d.point((10, top + 6), fill=EYE)
            d.point((13, top + 6), fill=EYE)
            d.line((11, top + 8, 12, top + 8), fill=shade(SKIN, 0.8))
        self.headgear_front(d, top)

    def headgear_front(self, d, top):
        if self.job == "searcher":          # peaked cap
            d.rectangle((8, top + 1, 15, top + 3), fill=self.gear)
            d.rectangle((7, top + 4, 16, top + 4), fill=shade(self.gear, 0.8))
        else:                               # round helmet
            d.chord((6, top - 1, 17, top + 8), 180, 360, fill=self.gear)
            d.line((6, top + 4, 17, top + 4), fill=shade(self.gear, 0.8))
            if self.job == "bazooka":       # goggles on the helmet
                d.rectangle((9, top + 1, 14, top + 2), fill=(240, 210, 90))

    def front_or_back(self, d, facing, step, top):
        self.legs_front(d, step, top)
        if facing == UP:
            self.torso_front(d, top)
            self.pack_on_back(d, top)
            self.head_front(d, top, face=False)
            self.weapon_back(d, top)
        else:
            self.weapon_behind_front(d, top)
            self.torso_front(d, top)
            self.head_front(d, top, face=True)
            self.weapon_front(d, top)

    def pack_on_back(self, d, top):
        w = self.wide
        d.rectangle((8 - w, top + 11, 15 + w, top + 16), fill=shade(self.gear, 1.1))
        if self.job == "searcher":
            d.line((15, top + 11, 17, top + 1), fill=AERIAL)

    def weapon_behind_front(self, d, top):
        if self.job == "searcher":
            d.line((17, top + 11, 19, top + 1), fill=AERIAL)     # aerial over the shoulder
        if self.job == "bazooka":
            d.rectangle((17, top + 2, 20, top + 14), fill=TUBE)  # tube end above the shoulder

    def weapon_front(self, d, top):
        if self.job == "searcher":      # short carbine held low
            d.line((6, top + 16, 14, top + 14), fill=GUN)
        elif self.job == "attaker":     # long rifle across the chest
            d.line((4, top + 17, 19, top + 10), fill=WOOD)
            d.line((15, top + 12, 20, top + 9), fill=GUN)
        else:                           # launcher held on the shoulder
            d.rectangle((17, top + 8, 20, top + 17), fill=TUBE)
            d.rectangle((17, top + 17, 20, top + 18), fill=shade(TUBE, 0.6))

    def weapon_back(self, d, top):
        if self.job == "attaker":
            d.line((7, top + 18, 17, top + 9), fill=WOOD)
        elif self.job == "bazooka":
            d.rectangle((16, top + 1, 19, top + 18), fill=TUBE)
            d.rectangle((16, top + 1, 19, top + 2), fill=shade(TUBE, 0.6))

    def profile(self, d, step, top):
        """Facing right; left is the mirror image."""
        trousers = shade(self.uniform, 0.7)
        y = top + 19
        back_foot = {-1: -3, 0: 0, 1: 3}[step]
        d.line((11, y, 11 - back_foot, y + 7), fill=shade(trousers, 0.8), width=3)
        d.line((12, y, 12 + back_foot, y + 7), fill=trousers, width=3)
        d.rectangle((10 - back_foot, y + 7, 12 - back_foot, y + 8), fill=BOOT)
        d.rectangle((11 + back_foot, y + 7, 14 + back_foot, y + 8), fill=BOOT)
        w = self.wide
        d.rectangle((8 - w, top + 10, 15 + w, top + 19), fill=self.uniform)
        d.line((8 - w, top + 17, 15 + w, top + 17), fill=self.gear)
        d.rectangle((6 - w, top + 11, 8 - w, top + 16), fill=shade(self.gear, 1.1))   # pack
        if self.job == "searcher":
            d.line((7, top + 11, 5, top + 1), fill=AERIAL)
        d.rectangle((9, top + 3, 15, top + 9), fill=SKIN)
        d.point((14, top + 6), fill=EYE)
        if self.job == "searcher":
            d.rectangle((9, top + 1, 15, top + 3), fill=self.gear)
            d.line((14, top + 4, 17, top + 4), fill=shade(self.gear, 0.8))   # cap peak
        else:
            d.chord((7, top - 1, 17, top + 8), 180, 360, fill=self.gear)
            d.line((7, top + 4, 17, top + 4), fill=shade(self.gear, 0.8))
        # Arm forward holding the weapon.
        if self.job == "searcher":
            d.line((12, top + 14, 19, top + 14), fill=GUN)
        elif self.job == "attaker":
            d.line((7, top + 15, 22, top + 13), fill=WOOD)
            d.line((17, top + 14, 23, top + 13), fill=GUN)
        else:
            d.rectangle((3, top + 6, 22, top + 9), fill=TUBE)
            d.rectangle((20, top + 5, 22, top + 10), fill=shade(TUBE, 0.6))
        d.rectangle((11, top + 12, 14, top + 14), fill=self.uniform)
        d.point((15, top + 14), fill=SKIN)


def sprite_sheet(job, side):
    figure = Figure(job, side)
    sheet = Image.new("RGB", (FRAME_W * 3, FRAME_H * 4), (0, 0, 0))
    for facing in range(4):
        for column, step in enumerate((-1, 0, 1)):
            sheet.paste(flatten(figure.frame(facing, step)), (column * FRAME_W, facing * FRAME_H))
    return sheet
