"""Runs of tools/wine_exec.sh for its harness tests: a run started with a token
that marks everything it starts, the program's Unix process found from outside,
and what of a run is still running after it."""

import os
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from wine_run_processes import stat_fields  # noqa: E402

# Far above a run's few seconds on a machine whose processors are all busy.
RUN_BACKSTOP = 180
GONE_BACKSTOP = 30
TOKEN_VARIABLE = "KORVO_HARNESS_RUN"


def run_env(token, **extra):
    """The environment of a run: the caller's, without the settings the tests run
    with (a time limit, a shared display), and the token."""
    env = dict(os.environ)
    for name in ("KORVO_WINE_TIME_LIMIT", "KORVO_WINE_DISPLAY", "TEST_PREMATURE_EXIT_FILE"):
        env.pop(name, None)
    env[TOKEN_VARIABLE] = token
    env.update(extra)
    return env


def start(tools, program, args, token, signs=(), **extra):
    """wine_exec.sh started on the program, given its end signs; its output is read
    line by line."""
    return subprocess.Popen(["bash", os.path.join(tools, "wine_exec.sh")] + list(signs) + [program] + list(args),
                            env=run_env(token, **extra), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, errors="replace")


def wait_for_line(run, line):
    """Reads the run's output up to the line; the text read (None when it ended first)."""
    text = ""
    for got in run.stdout:
        text += got
        if got.strip() == line:
            return text
    return None


def finish(run):
    """The run's exit status and the rest of its output (status None: still running)."""
    try:
        out, _ = run.communicate(timeout=RUN_BACKSTOP)
    except subprocess.TimeoutExpired:
        return None, ""
    return run.returncode, out


def _read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def processes():
    """pid -> (name, state, session id, command line, environment) of every process."""
    found = {}
    for entry in os.listdir("/proc"):
        stat = stat_fields(int(entry)) if entry.isdigit() else None
        if stat:
            name, fields = stat
            found[int(entry)] = (name, fields[0], int(fields[3]), _read("/proc/%s/cmdline" % entry),
                                 _read("/proc/%s/environ" % entry))
    return found


def program_pid(program, token):
    """The Unix process of the Windows program started with the token among its
    arguments (Wine names a process after its program and shows the Windows
    command line), or None."""
    name = os.path.basename(program)[:15]
    for pid, (comm, state, _, cmdline, _) in processes().items():
        if comm == name and state != "Z" and token.encode() in cmdline:
            return pid
    return None


def wait_for_program_pid(program, token):
    deadline = time.time() + RUN_BACKSTOP
    while time.time() < deadline:
        pid = program_pid(program, token)
        if pid is not None:
            return pid
        time.sleep(0.05)
    return None


def left_running(token):
    """What still runs of the runs marked with the token: the program and any X
    server, Wine loader or script they started. Wine's server and services, should
    a run have started them, lead sessions of their own and are shared: not counted."""
    mark = token.encode()
    return {pid: (comm, cmdline.replace(b"\0", b" ").decode(errors="replace").strip())
            for pid, (comm, state, sid, cmdline, environ) in processes().items()
            if state != "Z" and sid != pid and pid != os.getpid() and (mark in cmdline or mark in environ)}


def wait_until_gone(token):
    """Waits (a backstop) for what runs of the token to go; what stayed."""
    deadline = time.time() + GONE_BACKSTOP
    while True:
        left = left_running(token)
        if not left or time.time() > deadline:
            return left
        time.sleep(0.2)


def kill_left(left):
    for pid in left:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def tools_with_relay(tools, relay, scratch):
    """A copy of the tools folder whose exit_code_relay.sh names another relay."""
    copy = os.path.join(scratch, "tools")
    shutil.rmtree(copy, ignore_errors=True)
    shutil.copytree(tools, copy, ignore=shutil.ignore_patterns("__pycache__"))
    with open(os.path.join(copy, "exit_code_relay.sh"), "w") as f:
        f.write("#!/usr/bin/env bash\necho '%s'\n" % relay)
    os.chmod(os.path.join(copy, "exit_code_relay.sh"), 0o755)
    return copy
