"""Holds a Wine program's Unix side at its last step, the exit_group call that
follows its Windows exit, until something kills it: what a busy machine does to
a Direct3D program whose Mesa threads are slow to go, and Wine's server then
ends it with SIGKILL although its Windows side ended with its own code."""

import ctypes
import os
import signal
import time

LIBC = ctypes.CDLL(None, use_errno=True)
LIBC.ptrace.argtypes = [ctypes.c_long, ctypes.c_long, ctypes.c_void_p, ctypes.c_void_p]
LIBC.ptrace.restype = ctypes.c_long

PTRACE_PEEKUSER = 3
PTRACE_SYSCALL = 24
PTRACE_DETACH = 17
PTRACE_SEIZE = 0x4206
PTRACE_INTERRUPT = 0x4207
PTRACE_O_TRACESYSGOOD = 1
WALL = 0x40000000
ORIG_RAX = 15 * 8          # in the x86-64 register set a 64-bit tracer reads
EXIT_GROUP = {2: 231, 1: 252}   # by ELF class of the traced process: x86-64, i386
SYSCALL_STOP = signal.SIGTRAP | 0x80


def _exit_group_number(pid):
    with open("/proc/%d/exe" % pid, "rb") as f:
        return EXIT_GROUP[f.read(5)[4]]


class ExitHold:
    """Attach first (attach()), let the program end, then held_until_killed()."""

    def __init__(self, pid):
        self.pid = pid

    def attach(self):
        if LIBC.ptrace(PTRACE_SEIZE, self.pid, None, ctypes.c_void_p(PTRACE_O_TRACESYSGOOD)) != 0:
            raise OSError(ctypes.get_errno(), "ptrace cannot attach to %d" % self.pid)
        LIBC.ptrace(PTRACE_INTERRUPT, self.pid, None, None)
        self.exit_group = _exit_group_number(self.pid)

    def held_until_killed(self, backstop):
        """Runs the traced thread to its exit_group call and keeps it there; the
        signal that ended it, or None when it was not ended within the backstop
        (it is then let go)."""
        held_since = None
        while True:
            if held_since is None:
                _, status = os.waitpid(self.pid, WALL)
            else:
                pid, status = os.waitpid(self.pid, WALL | os.WNOHANG)
                if pid == 0:
                    if time.time() - held_since > backstop:
                        LIBC.ptrace(PTRACE_DETACH, self.pid, None, None)
                        return None
                    time.sleep(0.05)
                    continue
            if os.WIFSIGNALED(status):
                return os.WTERMSIG(status)
            if os.WIFEXITED(status):
                return 0
            inject = 0
            if os.WSTOPSIG(status) == SYSCALL_STOP:
                number = LIBC.ptrace(PTRACE_PEEKUSER, self.pid, ctypes.c_void_p(ORIG_RAX), None)
                if number == self.exit_group:
                    held_since = time.time()
                    continue
            elif status >> 16 == 0:
                inject = os.WSTOPSIG(status)   # a signal for the program: deliver it
            LIBC.ptrace(PTRACE_SYSCALL, self.pid, None, ctypes.c_void_p(inject))
