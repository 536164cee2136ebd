"""Runs present_probe on one road in a private Xvfb and reads its window from the
X server after each step: what the player sees must be the picture the program
presented, half a second and again two and a half seconds later while the
program keeps pumping messages (a repaint or a timer that presents again from a
lost back buffer shows up as black in the later shot)."""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "game", "end_to_end"))
from screen_probe import near  # noqa: E402
from x_session import XSession, add_end_sign_arguments, end_sign_arguments  # noqa: E402

BLUE = (30, 60, 200)
RED = (255, 0, 0)
GREEN = (0, 200, 0)
TOLERANCE = 8

# Per step: (what the step did, [(x, y, colour, what is there)]) on the 640x480 client area.
STEPS = {
    1: ("drawn, read back and presented", [(320, 240, RED, "the box"), (40, 40, BLUE, "the screen")]),
    2: ("three presents without drawing", [(320, 240, RED, "the box"), (40, 40, BLUE, "the screen")]),
    3: ("the window repainted", [(320, 240, RED, "the box"), (40, 40, BLUE, "the screen")]),
    4: ("the right half presented after a green fill",
        [(480, 240, GREEN, "the presented half"), (200, 240, RED, "the box in the other half"),
         (40, 40, BLUE, "the screen in the other half")]),
}


def wait_for_line(log_path, line, program, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        with open(log_path, errors="replace") as log:
            if line in log.read().splitlines():
                return True
        if program.poll() is not None:
            return False
        time.sleep(0.1)
    return False


def check_shot(shot, step, when):
    what, probes = STEPS[step]
    failures = []
    for x, y, colour, name in probes:
        pixel = shot.getpixel((x, y))[:3]
        if not near(pixel, colour, TOLERANCE):
            failures.append("step %d (%s), %s: %s at (%d, %d) is %s, not %s"
                            % (step, what, when, name, x, y, pixel, colour))
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tools", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("program")
    parser.add_argument("road", choices=["direct3d", "software"])
    add_end_sign_arguments(parser)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    for name in os.listdir(args.work):
        if name.startswith("go "):
            os.remove(os.path.join(args.work, name))
    log_path = os.path.join(args.work, "program.out")
    session = XSession(args.tools, client_size=(640, 480))
    failures = []
    try:
        session.start_display()
        session.start_program(args.program, args.work, log_path, [args.road], end_sign_arguments(args))
        for step in sorted(STEPS):
            if not wait_for_line(log_path, "shown %d" % step, session.program, 120):
                failures.append("the program did not reach step %d (waited up to 120 s)" % step)
                break
            if session.origin is None:
                session.find_window("KorvoPresentProbe", 120)
            shown = time.time()
            for delay in (0.5, 2.5):
                time.sleep(max(0.0, shown + delay - time.time()))
                failures += check_shot(session.screenshot(), step, "%.1f s after" % delay)
            open(os.path.join(args.work, "go %d" % step), "w").close()
        code = session.wait_program_exit(180)
    finally:
        session.stop()
        with open(log_path, errors="replace") as log:
            text = log.read()
        print(text, flush=True)
    lines = text.splitlines()
    if "road %s" % args.road not in " ".join(lines):
        failures.append("the program did not run on the %s road" % args.road)
    if "read back ff0000" not in lines:
        failures.append("the read-back did not see the red box")
    if "rect present 0" not in lines:
        failures.append("the present of the right half did not return 0")
    if not failures and code is None:
        failures.append("the program did not end within 180 s of its last step")
    elif not failures and code != 0:
        # tools/wine_exec.sh's verdict: its exit code, and "shut down 0" written at its end.
        failures.append("tools/wine_exec.sh failed the program (%s)" % code)
    for failure in failures:
        print("FAILED:", failure, flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
