#!/usr/bin/env python3
"""Runs one Windows program under Wine for tools/wine_exec.sh, which has set up
the prefix's environment, and decides whether it earned a pass.

A pass is earned by a normal end: the program ended through its own Windows exit
with code 0. Wine's exit code alone cannot tell that (it gives 0 for a process
whose Unix side ended without a Windows exit: an unhandled stack overflow, a
signal), so a run passes only when all of these hold:
  - the exit-code relay wrote down one decimal code, and it is 0;
  - the program's Unix side ended as a Windows exit ends it (with that code,
    folded to a byte as Wine folds it), or by the SIGKILL with which Wine's server
    ends a Unix side that is slow to go after the end;
  - a GoogleTest program removed the file named by TEST_PREMATURE_EXIT_FILE,
    which this script writes before the start and GoogleTest removes once its
    tests are over (a crash, an exit(0) in a test or a kill leaves it);
  - with --output, the program left that file (written whole, then renamed, at
    its end): that is the sign of a normal end of a program without GoogleTest,
    which a SIGKILL from outside would otherwise not show.

This script becomes the subreaper of what it starts: Wine starts each Windows
process as an orphan, which is then handed to it, so it sees the program's Unix
end, and a kill of this script's process tree (CTest's at a test's time limit)
reaches the program too. KORVO_WINE_TIME_LIMIT (seconds), set for each test
below CTest's own limit, ends the run and everything it started before CTest
does; so do SIGTERM, SIGINT and SIGHUP.
  wine_run_program.py --relay RELAY.exe [--output FILE] PROGRAM.exe [args...]
"""

import argparse
import ctypes
import mmap
import os
import signal
import subprocess
import sys
import tempfile
import time

from xvfb_display import start_xvfb

PR_SET_PDEATHSIG = 1
PR_SET_CHILD_SUBREAPER = 36
LIBC = ctypes.CDLL(None, use_errno=True)
POLL_SECONDS = 0.05
# Backstops: Xvfb answers at once, Wine's server ends a lingering Unix side
# within a second or so, a killed process goes at once; these are far above that
# on a machine whose processors are all busy.
DISPLAY_BACKSTOP = 60
LINGER_BACKSTOP = 60
KILL_BACKSTOP = 30


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


def unix_exit_status_of(code):
    """The status a Windows exit with this code gives the Unix process under Wine."""
    return 1 if code != 0 and code & 0xFF == 0 else code & 0xFF


# -- processes --------------------------------------------------------------
def identity(pid):
    """(name, start time in ticks, session id) of a process, living or a zombie."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            stat = f.read()
    except OSError:
        return None
    fields = stat[stat.rindex(")") + 2:].split()
    return stat[stat.index("(") + 1:stat.rindex(")")], int(fields[19]), int(fields[3])


def living_children():
    """pid -> identity of this process's children not yet collected (zombies too)."""
    me = os.getpid()
    found = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    stat = f.read()
            except OSError:
                continue
            fields = stat[stat.rindex(")") + 2:].split()
            if int(fields[1]) == me:
                found[int(entry)] = identity(int(entry))
    return found


class Children:
    """Collects the ends of this process's children (its own and those handed to it)."""

    def __init__(self):
        self.ended = {}   # pid -> (identity, how, value): how is "exit" or "signal"

    def collect(self):
        while True:
            try:
                info = os.waitid(os.P_ALL, 0, os.WEXITED | os.WNOHANG | os.WNOWAIT)
            except ChildProcessError:
                return
            if info is None:
                return
            who = identity(info.si_pid)
            os.waitpid(info.si_pid, 0)
            how = "exit" if info.si_code == os.CLD_EXITED else "signal"
            self.ended[info.si_pid] = (who, how, info.si_status)

    def program_end(self, name, started_after):
        """(its end or None while it runs, pid) of the first process of that name
        started since; (None, None) while there is none."""
        self.collect()
        candidates = [(who[1], pid, False) for pid, (who, _, _) in self.ended.items()
                      if who and who[0] == name and who[1] >= started_after]
        candidates += [(who[1], pid, True) for pid, who in living_children().items()
                       if who and who[0] == name and who[1] >= started_after]
        if not candidates:
            return None, None
        _, pid, living = min(candidates)
        return (None, pid) if living else (self.ended[pid][1:], pid)

    def end_all(self, keep):
        """SIGKILL every living child but those kept and Wine's own session leaders
        (its server and services, should this run have started them); waits for them."""
        deadline = time.time() + KILL_BACKSTOP
        while time.time() < deadline:
            targets = [pid for pid, who in living_children().items() if pid not in keep and who and who[2] != pid]
            if not targets:
                return True
            for pid in targets:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            time.sleep(POLL_SECONDS)
            self.collect()
        return False


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


# -- the verdict --------------------------------------------------------------
def read_report(path):
    """The code the relay wrote down, or None when there is no such line."""
    try:
        with open(path, "rb") as f:
            text = f.read()
    except OSError:
        return None
    digits = text[:-1]
    if not text.endswith(b"\n") or not digits.isdigit() or len(digits) > 10 or int(digits) > 0xFFFFFFFF:
        return None
    return int(digits)


def verdict(name, code, unix_end, premature_left, output, stopped):
    """(exit status, reasons it failed) of a run."""
    reasons = []
    status = None
    if stopped:
        reasons.append(stopped[0])
        status = stopped[1]
    if code is None:
        reasons.append("no exit code was written down (the relay did not see the program end)")
    elif code != 0:
        reasons.append("ended with %d (0x%08X)" % (code, code))
        status = status or unix_exit_status_of(code)
    if unix_end == "unseen":
        reasons.append("its Unix process was not seen")
    elif unix_end is not None:
        how, value = unix_end
        if how == "exit" and code is not None and value != unix_exit_status_of(code):
            reasons.append("its Unix side ended with %d without its Windows exit (as an unhandled stack overflow "
                           "ends it)" % value)
        elif how == "signal" and value != signal.SIGKILL:
            reasons.append("its Unix side was ended by %s" % signal.Signals(value).name)
            status = status or 128 + value
        elif how == "signal" and not reasons:
            say("%s ended with 0; Wine's server then killed its Unix side" % name)
    if premature_left:
        reasons.append("it ended before its tests were over (GoogleTest's premature-exit file is left)")
    if output and not os.path.isfile(output):
        reasons.append("it did not write %s" % output)
    return (0 if not reasons else status or 1), reasons


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
    if args.output and os.path.lexists(args.output):
        os.remove(args.output)

    children = Children()
    started = time.time()
    start_ticks = identity(os.getpid())[1]
    relay = subprocess.Popen([os.environ["WINELOADER"], args.relay, windows_path(report), windows_path(program)]
                             + args.args, env=env, preexec_fn=dies_with_this_process(signal.SIGKILL))
    keep = {xvfb.pid} if xvfb else set()
    end = None
    while end is None:
        children.collect()
        if relay.pid in children.ended:
            end = "ended"
        elif stopped:
            end = ("stopped by %s" % signal.Signals(stopped[0]).name, 128 + stopped[0])
        elif limit and time.time() - started > int(limit):
            end = ("still running after the time limit of %s s (KORVO_WINE_TIME_LIMIT)" % limit, 124)
        else:
            time.sleep(POLL_SECONDS)
    if end != "ended":
        say("%s: %s; ending it and what it started" % (name, end[0]))
        if not children.end_all(keep):
            say("%s: processes were still there %d s after they were killed" % (name, KILL_BACKSTOP))

    code = read_report(report)
    if end == "ended" and code is None:
        # The relay ended without seeing the program end: nothing of it may stay.
        children.end_all(keep)
    # The program's Windows side has ended; its Unix side may take a moment more.
    unix_end, pid = children.program_end(name, start_ticks)
    deadline = time.time() + LINGER_BACKSTOP
    while unix_end is None and (pid is not None or code is not None) and time.time() < deadline:
        time.sleep(POLL_SECONDS)
        unix_end, pid = children.program_end(name, start_ticks)
    if unix_end is None and pid is None:
        unix_end = "unseen"
    elif unix_end is None:
        say("%s: its Unix side was still there %d s after its end; killing it" % (name, LINGER_BACKSTOP))
        os.kill(pid, signal.SIGKILL)
        os.waitpid(pid, 0)
        unix_end = ("signal", signal.SIGKILL)

    status, reasons = verdict(name, code, unix_end, premature and os.path.exists(premature),
                              args.output, None if end == "ended" else end)
    for reason in reasons:
        say("%s: %s" % (name, reason))
    if xvfb and xvfb.pid not in children.ended:
        xvfb.terminate()
        try:
            xvfb.wait(10)
        except subprocess.TimeoutExpired:
            xvfb.kill()
    for leftover in (report, premature):
        if leftover and os.path.exists(leftover):
            os.remove(leftover)
    os.rmdir(scratch)
    return status


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--relay", required=True)
    parser.add_argument("--output")
    parser.add_argument("program")
    parser.add_argument("args", nargs=argparse.REMAINDER)
    sys.exit(run(parser.parse_args()))


if __name__ == "__main__":
    main()
