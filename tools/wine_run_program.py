#!/usr/bin/env python3
"""Runs one Windows program under Wine for tools/wine_exec.sh, which has set up
the prefix's environment, and decides whether it earned a pass.

A pass is earned by a normal end: the program ended through its own Windows exit
with code 0, and left nothing running. Wine's exit code alone cannot tell that
(it gives 0 for a process whose Unix side ended without a Windows exit: an
unhandled stack overflow, a signal), so a run passes only when all of these hold
(tools/wine_run_verdict.py weighs them):
  - the exit-code relay wrote down one decimal code, and it is 0;
  - the program's Unix side ended as a Windows exit ends it (with that code,
    folded to a byte as Wine folds it), or by the SIGKILL with which Wine's server
    ends a Unix side that is slow to go after the end;
  - a GoogleTest program removed the file named by TEST_PREMATURE_EXIT_FILE,
    which this script writes before the start and GoogleTest removes once its
    tests are over (a crash, an exit(0) in a test or a kill leaves it);
  - a program without GoogleTest left the end sign it was given: with --output,
    that file (written whole, then renamed, at its end); with --end-line, a line
    of its standard output (or of the file --end-line-file names) matching that
    regular expression. A SIGKILL from outside ends a Wine program with code 0,
    so without an end sign a plain program's pass says only that code 0 was seen;
  - nothing it started still runs once it has ended (Wine's own session programs
    aside): what does is named, ended and fails the run.

This script becomes the subreaper of what it starts: Wine starts each Windows
process as an orphan, which is then handed to it, so it sees the program's Unix
end and what the program left, and a kill of this script's process tree (CTest's
at a test's time limit) reaches the program too. KORVO_WINE_TIME_LIMIT (seconds),
set for each test below CTest's own limit, ends the run and everything it started
before CTest does; so do SIGTERM, SIGINT and SIGHUP.
  wine_run_program.py --relay RELAY.exe [--output FILE] [--end-line REGEX [--end-line-file FILE]]
                      PROGRAM.exe [args...]
"""

import argparse
import ctypes
import mmap
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time

from wine_run_processes import Children, identity, running_children, POLL_SECONDS
from wine_run_verdict import RunEnd, read_report, verdict
from xvfb_display import start_xvfb

PR_SET_PDEATHSIG = 1
PR_SET_CHILD_SUBREAPER = 36
LIBC = ctypes.CDLL(None, use_errno=True)
# Backstops: Xvfb answers at once, Wine's server ends a lingering Unix side
# within a second or so, a killed process goes at once; these are far above that
# on a machine whose processors are all busy.
DISPLAY_BACKSTOP = 60
LINGER_BACKSTOP = 60
KILL_BACKSTOP = 30
# What the program started may still be going when it ends; a child whose Windows
# side has ended goes within a second or so.
LEFTOVER_GRACE = 10


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def say(text):
    print("wine_exec: " + text, file=sys.stderr, flush=True)


def dies_with_this_process(sig):
    """For Popen: the child gets sig when this process ends, however it ends."""
    parent = os.getpid()

    def arrange():
        LIBC.prctl(PR_SET_PDEATHSIG, int(sig), 0, 0, 0)
        if os.getppid() != parent:
            os._exit(1)
    return arrange


def is_googletest_program(path):
    with open(path, "rb") as f, mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) as image:
        return image.find(b"TEST_PREMATURE_EXIT_FILE") >= 0


class PassedOnOutput:
    """The program's standard output, written to a file and passed on to this
    script's as it comes, so that its lines can be read once it has ended (a pipe
    could be held open by whatever the program left running)."""

    def __init__(self, path):
        self.path = path
        self.file = open(path, "wb")
        self.done = threading.Event()
        self.thread = threading.Thread(target=self._pass_on, daemon=True)
        self.thread.start()

    def _pass_on(self):
        with open(self.path, "rb") as source:
            while True:
                finishing = self.done.is_set()
                chunk = source.read()
                if chunk:
                    sys.stdout.buffer.write(chunk)
                    sys.stdout.flush()
                elif finishing:
                    return
                else:
                    time.sleep(POLL_SECONDS)

    def finish(self):
        """Everything the program wrote, once the rest has been passed on."""
        self.done.set()
        self.thread.join()
        self.file.close()
        with open(self.path, "rb") as f:
            return f.read()


def has_line(text, pattern):
    return any(re.fullmatch(pattern, line.rstrip("\r")) for line in text.decode("latin-1").split("\n"))


def missing_end_signs(args, output_text):
    """The end signs the program was given and did not leave."""
    missing = []
    if args.output and not os.path.isfile(args.output):
        missing.append("the file %s" % args.output)
    if args.end_line is not None:
        where = args.end_line_file or "its standard output"
        text = output_text
        if args.end_line_file:
            try:
                with open(args.end_line_file, "rb") as f:
                    text = f.read()
            except OSError:
                text = b""
        if not has_line(text, args.end_line):
            missing.append("a line matching %r in %s" % (args.end_line, where))
    return missing


# -- the display and the session -------------------------------------------
def start_display():
    """A private Xvfb, which ends with this process; (process, display name)."""
    return start_xvfb(DISPLAY_BACKSTOP, preexec_fn=dies_with_this_process(signal.SIGTERM))


def start_session(env):
    """The first Wine program of a session starts the Wine server and the prefix's
    services, and they keep that program's output streams open until the session
    ends. CTest waits for a test's output to close, so that one test would last
    until every other test of the prefix had ended. Start the session with its
    streams on /dev/null instead (on the test's display: the session's desktop
    needs one); when a server already runs, the second one just exits, and the
    short-lived program is quick. This runs before this process adopts orphans,
    so the shared server and services are never among them."""
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    subprocess.run([os.environ["WINESERVER"], "-p5"], **quiet)
    subprocess.run([os.environ["WINELOADER"], "cmd.exe", "/c", "exit", "0"], **quiet)


# -- the run ------------------------------------------------------------------
def wait_for_relay(relay, children, stopped, limit, started):
    """'ended' once the relay has ended, or (why, exit status) when the run is stopped."""
    while True:
        children.collect()
        if relay.pid in children.ended:
            return "ended"
        if stopped:
            return "stopped by %s" % signal.Signals(stopped[0]).name, 128 + stopped[0]
        if limit and time.time() - started > int(limit):
            return "still running after the time limit of %s s (KORVO_WINE_TIME_LIMIT)" % limit, 124
        time.sleep(POLL_SECONDS)


def wait_for_unix_end(children, name, start_ticks, code):
    """How the program's Unix side ended, once it has (see RunEnd), and its pid."""
    unix_end, pid = children.program_end(name, start_ticks)
    deadline = time.time() + LINGER_BACKSTOP
    while unix_end is None and (pid is not None or code is not None) and time.time() < deadline:
        time.sleep(POLL_SECONDS)
        unix_end, pid = children.program_end(name, start_ticks)
    if unix_end is None and pid is None:
        return "unseen", None
    if unix_end is None:
        say("%s: its Unix side was still there %d s after its end; killing it" % (name, LINGER_BACKSTOP))
        os.kill(pid, signal.SIGKILL)
        os.waitpid(pid, 0)
        return ("signal", signal.SIGKILL), pid
    return unix_end, pid


def run(args):
    program = os.path.abspath(args.program)
    name = os.path.basename(program)[:15]   # the kernel's process name, as Wine sets it
    limit = os.environ.get("KORVO_WINE_TIME_LIMIT", "")
    if limit and not limit.isdigit():
        say("KORVO_WINE_TIME_LIMIT=%s is no number of seconds" % limit)
        return 2
    stopped = []
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, lambda signum, frame: stopped.append(signum))

    env = dict(os.environ)
    xvfb = None
    if env.get("KORVO_WINE_DISPLAY"):
        env["DISPLAY"] = env["KORVO_WINE_DISPLAY"]
    else:
        xvfb, display = start_display()
        if display is None:
            say("Xvfb gave no display number within %d s" % DISPLAY_BACKSTOP)
            return 2
        env["DISPLAY"] = display
    start_session(env)
    LIBC.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)

    scratch = tempfile.mkdtemp(prefix="korvo_wine_run.")
    report = os.path.join(scratch, "exit_code")
    premature = None
    if is_googletest_program(program):
        premature = os.path.join(scratch, "premature_exit")
        open(premature, "w").close()
        env["TEST_PREMATURE_EXIT_FILE"] = windows_path(premature)
    for old_sign in (args.output, args.end_line_file):
        if old_sign and os.path.lexists(old_sign):
            os.remove(old_sign)
    output = None
    if args.end_line is not None and not args.end_line_file:
        output = PassedOnOutput(os.path.join(scratch, "stdout"))

    children = Children()
    started = time.time()
    start_ticks = identity(os.getpid())[1]
    relay = subprocess.Popen([os.environ["WINELOADER"], args.relay, windows_path(report), windows_path(program)]
                             + args.args, env=env, stdout=output.file if output else None,
                             preexec_fn=dies_with_this_process(signal.SIGKILL))
    keep = {xvfb.pid} if xvfb else set()
    end = wait_for_relay(relay, children, stopped, limit, started)
    if end != "ended":
        say("%s: %s; ending it and what it started" % (name, end[0]))
        if not children.end_all(keep, KILL_BACKSTOP):
            say("%s: processes were still there %d s after they were killed" % (name, KILL_BACKSTOP))

    try:
        with open(report, "rb") as f:
            code = read_report(f.read())
    except OSError:
        code = None
    if end == "ended" and code is None:
        # The relay ended without seeing the program end: nothing of it may stay.
        children.end_all(keep, KILL_BACKSTOP)
    # The program's Windows side has ended; its Unix side may take a moment more.
    unix_end, pid = wait_for_unix_end(children, name, start_ticks, code)
    if unix_end == ("signal", signal.SIGKILL) and code == 0:
        say("%s ended with 0; Wine's server then killed its Unix side" % name)
    left = children.leftovers(keep, LEFTOVER_GRACE)
    if left:
        # Wine's session programs stay: other programs share them.
        children.end_all(keep | (running_children() - set(left)), KILL_BACKSTOP)

    output_text = output.finish() if output else b""
    status, reasons = verdict(RunEnd(code=code, unix_end=unix_end,
                                     premature_left=bool(premature and os.path.exists(premature)),
                                     missing_signs=missing_end_signs(args, output_text),
                                     left_running=sorted(left.values()),
                                     stopped=None if end == "ended" else end))
    for reason in reasons:
        say("%s: %s" % (name, reason))
    if xvfb and xvfb.pid not in children.ended:
        xvfb.terminate()
        try:
            xvfb.wait(10)
        except subprocess.TimeoutExpired:
            xvfb.kill()
    for leftover in (report, premature, output.path if output else None):
        if leftover and os.path.exists(leftover):
            os.remove(leftover)
    os.rmdir(scratch)
    return status


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--relay", required=True)
    parser.add_argument("--output")
    parser.add_argument("--end-line")
    parser.add_argument("--end-line-file")
    parser.add_argument("program")
    parser.add_argument("args", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    if args.end_line_file and args.end_line is None:
        parser.error("--end-line-file needs --end-line")
    sys.exit(run(args))


if __name__ == "__main__":
    main()
