"""Runs the program written on korvo.h alone under Wine in a private Xvfb and,
once it asks for a key, presses K on its window until it has read one. Prints
the program's lines; tools/wine_exec.sh's verdict on the program (its exit code,
and its summary line, written at its end) is the test's."""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "game", "end_to_end"))
from x_session import XSession, add_end_sign_arguments, end_sign_arguments  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tools", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--title", required=True)
    parser.add_argument("program")
    parser.add_argument("args", nargs="*")
    add_end_sign_arguments(parser)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    log_path = os.path.join(args.work, "program.out")
    session = XSession(args.tools, client_size=(640, 480))
    code = None
    text = ""
    try:
        session.start_display()
        session.start_program(args.program, args.work, log_path, args.args, end_sign_arguments(args))
        window = None
        deadline = time.time() + 600
        while code is None and time.time() < deadline:
            with open(log_path, errors="replace") as log:
                text = log.read()
            if "waiting for a key" in text and "key read" not in text:
                if window is None:
                    window = session.find_window(args.title, 120)
                session.xdotool("windowfocus", "--sync", window)
                session.xdotool("keydown", "k", "sleep", "0.3", "keyup", "k")
            code = session.wait_program_exit(0.5)
    finally:
        session.stop()
        with open(log_path, errors="replace") as log:
            text = log.read()
        print(text, flush=True)
    if code is None:
        print("the program did not end within 600 s", flush=True)
        return 1
    return code


if __name__ == "__main__":
    sys.exit(main())
