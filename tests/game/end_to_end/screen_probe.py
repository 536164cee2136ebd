"""Pixel probes of screenshots: colours near a reference and dark (text) pixels."""


def near(pixel, colour, tolerance):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel[:3], colour))


def _pixels(shot, box):
    x0, y0, x1, y1 = box
    return shot.crop((x0, y0, x1 + 1, y1 + 1)).getdata()


def dark_count(shot, box, limit=70):
    """Pixels in the inclusive box dark enough to be the game's black text."""
    return sum(1 for p in _pixels(shot, box) if max(p[:3]) < limit)


def colour_count(shot, box, colour, tolerance):
    return sum(1 for p in _pixels(shot, box) if near(p, colour, tolerance))
