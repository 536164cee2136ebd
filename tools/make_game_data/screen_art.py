"""Pictures of the screens around the map: the background, the stage cursor,
the sortie banner, the win and lose banners, the panel frame, the HP-bar frame
and the deploy buttons.

Screen layout they fit: map 640x480 at the top left, right panel x 640-799,
deploy bar y 480-599. The game's texts are black, so every surface under text
is light.
"""

from PIL import Image, ImageDraw

from pixel_art import flatten, noise_fill, shade, text_centered
from soldier_sprites import DOWN, Figure

PANEL = (226, 216, 186)
PANEL_EDGE = (120, 104, 70)
OLIVE = (74, 88, 52)
STEEL = (150, 156, 168)
TITLE_GOLD = (244, 204, 88)


def background():
    """800x600, drawn with the see-through flag: nothing in it is black."""
    img = Image.new("RGB", (800, 600), PANEL)
    d = ImageDraw.Draw(img)
    # Title field behind the map area (seen on the stage menu before a pick).
    noise_fill(img, (0, 0, 639, 479), OLIVE, 0.06, ("title field",))
    for k in range(9):                                   # camouflage blots
        x, y = 40 + (k * 173) % 560, 30 + (k * 97) % 400
        d.ellipse((x, y, x + 90, y + 50), fill=shade(OLIVE, 0.8 if k % 2 else 1.2))
    d.rectangle((80, 150, 559, 300), fill=shade(OLIVE, 0.55), outline=TITLE_GOLD, width=3)
    text_centered(d, 320, 168, "VELMORA", 84, TITLE_GOLD, stroke=3, stroke_colour=shade(OLIVE, 0.4))
    text_centered(d, 320, 262, "右の一覧からステージを選んでください", 22, (236, 232, 214))
    # Panels under the texts: right column and bottom bar.
    noise_fill(img, (640, 0, 799, 599), PANEL, 0.03, ("right panel",))
    noise_fill(img, (0, 480, 639, 599), PANEL, 0.03, ("bottom panel",))
    d.rectangle((640, 0, 799, 599), outline=PANEL_EDGE, width=3)
    d.rectangle((0, 480, 642, 599), outline=PANEL_EDGE, width=3)
    d.line((643, 3, 643, 596), fill=shade(PANEL, 1.08))
    return img


def stage_cursor():
    """150x50 frame around the picked stage row; its middle is see-through."""
    img = Image.new("RGB", (150, 50), (0, 0, 0))
    d = ImageDraw.Draw(img)
    gold = (236, 150, 30)
    d.rectangle((0, 0, 149, 49), outline=gold, width=2)
    for x0, y0, sx, sy in ((0, 0, 1, 1), (149, 0, -1, 1), (0, 49, 1, -1), (149, 49, -1, -1)):
        d.line((x0, y0, x0 + 12 * sx, y0), fill=(255, 220, 110), width=4)
        d.line((x0, y0, x0, y0 + 12 * sy), fill=(255, 220, 110), width=4)
    return img


def banner(size, body, stripe, title, subtitle, text_colour):
    """A plate with a stripe and two lines of text on a see-through field."""
    w, h = size
    img = Image.new("RGB", (w, h), (0, 0, 0))
    d = ImageDraw.Draw(img)
    d.rectangle((0, 0, w - 1, h - 1), fill=shade(body, 0.6))
    d.rectangle((4, 4, w - 5, h - 5), fill=body)
    d.rectangle((4, 14, w - 5, 22), fill=stripe)
    d.rectangle((4, h - 23, w - 5, h - 15), fill=stripe)
    text_centered(d, w // 2, h // 2 - 40, title, 56, text_colour, stroke=2, stroke_colour=shade(body, 0.4))
    text_centered(d, w // 2, h // 2 + 22, subtitle, 20, text_colour)
    return img


def sortie_banner():
    return banner((400, 150), (70, 86, 60), (226, 180, 60), "出撃", "SORTIE", (250, 244, 220))


def result_picture(title, subtitle, body, stripe):
    """640x480, laid over the map: a centred plate, the rest see-through."""
    img = Image.new("RGB", (640, 480), (0, 0, 0))
    plate = banner((440, 150), body, stripe, title, subtitle, (252, 248, 236))
    img.paste(plate, ((640 - 440) // 2, (480 - 150) // 2))
    return img


def win_picture():
    return result_picture("作戦成功", "MISSION COMPLETE", (44, 92, 190), (250, 204, 60))


def lose_picture():
    return result_picture("作戦失敗", "MISSION FAILED", (150, 36, 30), (70, 70, 78))


def panel_frame():
    """160x250 riveted steel frame around the unit's details."""
    img = Image.new("RGB", (160, 250), STEEL)
    d = ImageDraw.Draw(img)
    noise_fill(img, (0, 0, 159, 249), STEEL, 0.04, ("steel",))
    d.rectangle((0, 0, 159, 249), outline=shade(STEEL, 0.5))
    d.rectangle((6, 6, 153, 243), fill=(236, 232, 218), outline=shade(STEEL, 0.6))
    d.line((7, 7, 152, 7), fill=shade(STEEL, 0.75))
    for x, y in ((2, 2), (154, 2), (2, 244), (154, 244)):
        d.ellipse((x, y, x + 3, y + 3), fill=shade(STEEL, 1.3), outline=shade(STEEL, 0.55))
    return img


def hp_bar_frame():
    """24x8; the game fills 22x6 pixels inside from (1, 1)."""
    img = Image.new("RGB", (24, 8), (58, 54, 62))
    ImageDraw.Draw(img).rectangle((0, 0, 23, 7), outline=(236, 236, 226))
    return img


BUTTONS = (
    ("searcher", "偵察兵", 10),
    ("attaker", "突撃兵", 25),
    ("bazooka", "対戦車兵", 40),
)


def deploy_button(job, label, cost):
    """80x100, drawn opaque: the soldier at twice size, the job and its cost."""
    img = Image.new("RGB", (80, 100), (212, 222, 240))
    d = ImageDraw.Draw(img)
    noise_fill(img, (0, 0, 79, 99), (212, 222, 240), 0.02, ("button", job))
    d.rectangle((0, 0, 79, 99), outline=(40, 62, 140), width=2)
    d.rectangle((2, 2, 77, 3), fill=(250, 252, 255))
    layer = Figure(job, "friend").frame(DOWN, 0)
    big = layer.resize((48, 64), Image.NEAREST)
    img.paste(flatten(big), (16, 2), big)
    text_centered(d, 40, 67, label, 13, (30, 34, 60))
    text_centered(d, 40, 83, "兵力 %d" % cost, 12, (150, 40, 30))
    return img
