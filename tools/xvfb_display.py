"""Starting a private Xvfb and learning its display number, for the scripts that
run Windows programs on a display of their own."""

import os
import select
import subprocess
import time

XVFB_COMMAND = ["Xvfb", "-screen", "0", "1024x768x24", "-nolisten", "tcp"]


def start_xvfb(backstop, **popen_args):
    """An Xvfb that picks a free display; (process, ":N"), or (process, None) when
    it gave no number within backstop seconds (then it has been killed)."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(XVFB_COMMAND + ["-displayfd", str(write_end)], pass_fds=(write_end,),
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            **popen_args)
    os.close(write_end)
    # Read up to the line end: Xvfb writes the number and the line end apart,
    # and a pipe closed in between would end it with SIGPIPE.
    text = b""
    deadline = time.time() + backstop
    while not text.endswith(b"\n") and time.time() < deadline:
        ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.time()))
        chunk = os.read(read_end, 32) if ready else b""
        if not chunk:
            break
        text += chunk
    os.close(read_end)
    number = text.decode().strip() if text.endswith(b"\n") else ""
    if not number:
        xvfb.kill()
        return xvfb, None
    return xvfb, ":" + number
