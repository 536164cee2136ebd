"""The processes of one run under Wine, as /proc shows them to the script that
started the run and adopted what it started (tools/wine_run_program.py)."""

import os
import signal
import time

POLL_SECONDS = 0.05

# Wine's own programs of the prefix's session. A program may start them (its first
# window starts the desktop's explorer), and other programs share them: they are
# not the program's leftovers.
WINE_SESSION_PROGRAMS = {"explorer.exe", "services.exe", "winedevice.exe", "plugplay.exe", "rpcss.exe",
                         "svchost.exe", "conhost.exe"}


def stat_fields(pid):
    """(name, fields after the name) of a process's stat line, or None when it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            stat = f.read()
    except OSError:
        return None
    return stat[stat.index("(") + 1:stat.rindex(")")], stat[stat.rindex(")") + 2:].split()


def identity(pid):
    """(name, start time in ticks, session id) of a process, living or a zombie."""
    found = stat_fields(pid)
    if found is None:
        return None
    name, fields = found
    return name, int(fields[19]), int(fields[3])


def command_line(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().replace(b"\0", b" ").decode(errors="replace").strip()
    except OSError:
        return ""


def is_wine_session_program(pid):
    """Whether the process is one of Wine's own session programs, started from the
    prefix's Windows folder."""
    line = command_line(pid).lower()
    program = line.split(" ", 1)[0] if line else ""
    folder, _, name = program.rpartition("\\")
    return name in WINE_SESSION_PROGRAMS and folder.endswith(("\\windows\\system32", "\\windows\\syswow64"))


def living_children():
    """pid -> identity of this process's children not yet collected (zombies too)."""
    me = os.getpid()
    found = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            found_stat = stat_fields(int(entry))
            if found_stat and int(found_stat[1][1]) == me:   # the parent's pid
                found[int(entry)] = identity(int(entry))
    return found


def running_children():
    """The pids of this process's children that still run (no zombies)."""
    return {pid for pid in living_children() if (stat_fields(pid) or ("", ["Z"]))[1][0] != "Z"}


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

    def leftovers(self, keep, grace):
        """What still runs among the children but those kept and Wine's session
        programs, once each has had the grace (seconds) to go: a child whose Windows
        side has ended goes within it, as Wine's server ends a lingering Unix side.
        pid -> its name and command line."""
        deadline = time.time() + grace
        while True:
            self.collect()
            left = {pid for pid in running_children() - set(keep) if not is_wine_session_program(pid)}
            if not left or time.time() > deadline:
                return {pid: "%d %s (%s)" % (pid, (identity(pid) or ("?",))[0], command_line(pid)) for pid in left}
            time.sleep(POLL_SECONDS)

    def end_all(self, keep, backstop):
        """SIGKILL every living child but those kept and Wine's own session leaders
        (its server and services, should this run have started them); waits for
        them. False when some were still there after the backstop (seconds)."""
        deadline = time.time() + backstop
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
