#!/usr/bin/python3 -B
"""The end-to-end test's reading of the memory dump, on made-up logs."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from memory_dump import live_blocks_in_last_dump  # noqa: E402

BLOCK = "\tsize:        16(     0.016kb)  file:graph_handles.cpp          line:88    ID:12    addr:00a1b2c0  data:<....>"
CLEAN_TOTAL = "\tTotal size:0(0.000kb)  Alloc num:0"
LEAK_TOTAL = "\tTotal size:16(0.016kb)  Alloc num:1"


class LiveBlocksTest(unittest.TestCase):
    def test_cases(self):
        cases = [
            ("clean dump", "start\n\nAlloc memory dump\n%s\n\n" % CLEAN_TOTAL, 0),
            ("one live block", "\nAlloc memory dump\n%s\n%s\n" % (BLOCK, LEAK_TOTAL), 2),
            ("only the last dump counts",
             "\nAlloc memory dump\n%s\n%s\n\nAlloc memory dump\n%s\n" % (BLOCK, LEAK_TOTAL, CLEAN_TOTAL), 0),
            ("a count without block lines still fails", "\nAlloc memory dump\n%s\n" % LEAK_TOTAL, 1),
        ]
        for name, log, expected in cases:
            with self.subTest(name):
                self.assertEqual(len(live_blocks_in_last_dump(log)), expected)

    def test_missing_or_cut_dump_raises(self):
        for log in ("no dump here\n", "\nAlloc memory dump\n%s\n" % BLOCK):
            with self.subTest(log=log), self.assertRaises(ValueError):
                live_blocks_in_last_dump(log)


if __name__ == "__main__":
    unittest.main()
