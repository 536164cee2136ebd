"""Reads the tracked-memory dump that the library writes to its log at exit."""

import re

DUMP_TITLE = "Alloc memory dump"
TOTALS = re.compile(r"Total size:.*Alloc num:\s*(-?\d+)")
BLOCK = re.compile(r"size:.*file:.*ID:")


def live_blocks_in_last_dump(log_text):
    """The block lines of the last dump in the log (with the totals line when
    it counts blocks); raises when there is no dump or it has no totals line."""
    start = log_text.rfind(DUMP_TITLE)
    if start < 0:
        raise ValueError("the log holds no memory dump")
    blocks = []
    for line in log_text[start:].splitlines()[1:]:
        totals = TOTALS.search(line)
        if totals:
            if int(totals.group(1)) != 0:
                blocks.append(line.strip())
            return blocks
        if BLOCK.search(line):
            blocks.append(line.strip())
    raise ValueError("the memory dump has no totals line")
