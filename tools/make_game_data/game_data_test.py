#!/usr/bin/python3 -B
"""Checks of the game data generator: the map checks catch unplayable maps,
the map reader matches the game's, and the committed data is what the
generator makes today."""

import filecmp
import os
import subprocess
import sys
import tempfile
import unittest

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import stage_map  # noqa: E402
from make_game_data import read_map_file  # noqa: E402

COMMITTED = os.path.join(HERE, "..", "..", "game", "data")


def with_cells(changes):
    grid = stage_map.cell_values()
    for (x, y), value in changes.items():
        grid[y][x] = value
    return grid


class MapCheckTest(unittest.TestCase):
    def test_stage_map_passes(self):
        stage_map.check_map(stage_map.cell_values())

    def test_unplayable_maps_are_refused(self):
        cases = [
            ("enemy on a wall", {(11, 7): 6}, "enemy cell"),
            ("enemy in the river", {(5, 2): 0}, "enemy cell"),
            # Sandbags ringed by open ground: the step rule never lets a unit in.
            ("cover cut off by open ground", {(3, 10): 5}, "not reachable"),
            ("no deploy cells", {(1, 12): 1, (2, 12): 1, (1, 13): 1, (2, 13): 1}, "deploy"),
            ("island behind walls", {(1, 0): 6, (0, 1): 6}, "not reachable"),
        ]
        for name, changes, message in cases:
            with self.subTest(name):
                with self.assertRaisesRegex(ValueError, message):
                    stage_map.check_map(with_cells(changes))

    def test_step_rule(self):
        allowed = {(o, t): stage_map.step_allowed(o, t) for o in range(10) for t in range(10)}
        self.assertFalse(allowed[1, 5] or allowed[5, 1])
        self.assertTrue(allowed[4, 5] and allowed[5, 4] and allowed[5, 5] and allowed[1, 1])
        self.assertFalse(any(allowed[o, t] for o in range(10) for t in (0, 6, 7, 8, 9)))


class MapFileTest(unittest.TestCase):
    def read(self, data):
        with tempfile.NamedTemporaryFile(delete=False) as f:
            f.write(data)
        try:
            return read_map_file(f.name)
        finally:
            os.unlink(f.name)

    def test_reading(self):
        cases = [
            ("round trip", stage_map.map_file_text(stage_map.cell_values()).encode(),
             stage_map.cell_values()),
            ("blanks and CR take no column", b"1 1\r\n2\n", {(0, 0): 1, (1, 0): 1, (0, 1): 2, (2, 0): 0}),
            ("extra columns and rows dropped", b"1" * 25 + b"\n" + b"3\n" * 20, {(19, 0): 1, (0, 14): 3}),
            ("0xFF stops the read", b"44\xff44", {(1, 0): 4, (2, 0): 0}),
        ]
        for name, data, expected in cases:
            with self.subTest(name):
                grid = self.read(data)
                if isinstance(expected, list):
                    self.assertEqual(grid, expected)
                else:
                    for (x, y), value in expected.items():
                        self.assertEqual(grid[y][x], value, (x, y))


class CommittedDataTest(unittest.TestCase):
    def test_generator_reproduces_committed_files(self):
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, "-B", os.path.join(HERE, "make_game_data.py"), out],
                           check=True, stdout=subprocess.DEVNULL)
            made = sorted(os.path.relpath(os.path.join(d, f), out)
                          for d, _, files in os.walk(out) for f in files)
            committed = sorted(os.path.relpath(os.path.join(d, f), COMMITTED)
                               for d, _, files in os.walk(COMMITTED) for f in files)
            self.assertEqual(made, committed)
            for name in made:
                with self.subTest(name):
                    fresh, kept = os.path.join(out, name), os.path.join(COMMITTED, name)
                    if name.endswith(".png"):
                        # Pixels, not bytes: another zlib may pack them differently.
                        with Image.open(fresh) as a, Image.open(kept) as b:
                            self.assertEqual((a.mode, a.size), (b.mode, b.size))
                            self.assertEqual(a.tobytes(), b.tobytes())
                    else:
                        self.assertTrue(filecmp.cmp(fresh, kept, shallow=False))


if __name__ == "__main__":
    unittest.main()
