"""A private X display with one Windows program under Wine in it, driven by
xdotool and read back through screenshots of the program's client area."""

import os
import signal
import subprocess
import sys
import time

from PIL import ImageGrab

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools"))
from wine_run_processes import stat_fields  # noqa: E402
from xvfb_display import start_xvfb  # noqa: E402


def add_end_sign_arguments(parser):
    """The runner's options that name the sign of its program's normal end, which
    it hands on to tools/wine_exec.sh: a kill from outside ends a Wine program
    with code 0, so its exit code alone cannot tell that it got to its end."""
    parser.add_argument("--end-line", required=True,
                        help="a line of the program's output (a regular expression) written at its end")
    parser.add_argument("--end-line-file", help="the file the program writes that line to, if not its output")


def end_sign_arguments(args):
    signs = ["--end-line", args.end_line]
    if args.end_line_file:
        signs += ["--end-line-file", args.end_line_file]
    return signs


class XSession:
    def __init__(self, tools_dir, client_size=(800, 600)):
        self.tools_dir = tools_dir
        self.client_w, self.client_h = client_size
        self.xvfb = None
        self.program = None
        self.display = None
        self.origin = None

    # -- display and program -------------------------------------------
    def start_display(self):
        backstop = 60   # seconds; it writes at once, but a busy machine may start it late
        self.xvfb, self.display = start_xvfb(backstop)
        if self.display is None:
            raise RuntimeError("Xvfb gave no display number within %d s" % backstop)

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env["KORVO_WINE_DISPLAY"] = self.display
        return env

    def start_program(self, exe, workdir, log_path, args=(), end_signs=()):
        """Starts the program through tools/wine_exec.sh, which is given the
        program's end signs (end_sign_arguments)."""
        log = open(log_path, "wb")
        self.program = subprocess.Popen([os.path.join(self.tools_dir, "wine_exec.sh")] + list(end_signs) + [exe]
                                        + list(args),
                                        cwd=workdir, env=self.env(), stdout=log, stderr=log,
                                        start_new_session=True)

    def stop(self):
        """Ends what this session started, the program first."""
        if self.program and self.program.poll() is None:
            # Only this program's process group: other tests may share the prefix.
            os.killpg(self.program.pid, signal.SIGTERM)
            try:
                self.program.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self.program.pid, signal.SIGKILL)
                self.program.wait(10)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(10)

    def program_cpu_seconds(self):
        """User and system time of the program's processes so far (its process
        group: the Wine loader of the game and what it started)."""
        ticks = os.sysconf("SC_CLK_TCK")
        total = 0
        for entry in os.listdir("/proc"):
            found = stat_fields(int(entry)) if entry.isdigit() else None
            if found and int(found[1][2]) == self.program.pid:      # the process group
                total += int(found[1][11]) + int(found[1][12])
        return total / ticks

    def cpu_share(self, seconds):
        """The program's CPU use over the next seconds, in cores."""
        cpu, wall = self.program_cpu_seconds(), time.time()
        time.sleep(seconds)
        return (self.program_cpu_seconds() - cpu) / (time.time() - wall)

    def wait_program_exit(self, timeout):
        try:
            return self.program.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    # -- the window ----------------------------------------------------
    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env(),
                              capture_output=True, text=True, check=False)

    def find_window(self, title, timeout):
        """Finds the top-level window and the screen position of its client
        area: the frame's side borders are equal and the caption, if any,
        is on top."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            found = self.xdotool("search", "--name", "^%s$" % title)
            for wid in found.stdout.split():
                geo = self.xdotool("getwindowgeometry", "--shell", wid).stdout
                values = dict(line.split("=", 1) for line in geo.split() if "=" in line)
                w, h = int(values["WIDTH"]), int(values["HEIGHT"])
                if w >= self.client_w and h >= self.client_h:
                    border = (w - self.client_w) // 2
                    self.origin = (int(values["X"]) + border, int(values["Y"]) + h - self.client_h - border)
                    # No window manager runs here: give the window the input
                    # focus, as a user's first click on it would.
                    self.xdotool("windowfocus", "--sync", wid)
                    return wid
            time.sleep(0.5)
        raise RuntimeError("no window titled %s appeared within %s s" % (title, timeout))

    def screenshot(self):
        """The client area as an RGB image."""
        # Read through XCB without grabbing the server or the pointer, which
        # would disturb the program's input.
        x, y = self.origin
        return ImageGrab.grab(bbox=(x, y, x + self.client_w, y + self.client_h), xdisplay=self.display)

    def click(self, x, y, button=1, hold=0.5):
        """Move, let the program take the move, then a press held for many
        frames: the program reads the buttons once a frame, and a press and
        release that reach it within one frame are read as no press at all."""
        sx, sy = self.origin[0] + x, self.origin[1] + y
        self.xdotool("mousemove", sx, sy, "sleep", "0.3", "mousedown", button, "sleep", hold, "mouseup", button)

    def key(self, name):
        self.xdotool("key", name)

    def time_on_screen(self, predicate, appear_within, timeout=120, interval=0.02):
        """Screenshots every interval while the predicate holds: the time from
        the first shot that shows it to the first that no longer does, and that
        first shot; (None, None) when it does not appear in time. (Shots taken
        back to back would slow the program: the X server serves both.)"""
        start, first = None, None
        deadline = time.time() + appear_within
        while time.time() < deadline:
            taken = time.time()
            shot = self.screenshot()
            if predicate(shot):
                if start is None:
                    start, first = taken, shot
                    deadline = taken + timeout
            elif start is not None:
                return taken - start, first
            time.sleep(interval)
        if start is not None:
            raise AssertionError("the screen stayed for more than %s s" % timeout, first)
        return None, None

    def wait_for(self, what, predicate, timeout, interval=0.1):
        """Polls screenshots until the predicate holds; returns that shot."""
        deadline = time.time() + timeout
        shot = None
        while time.time() < deadline:
            shot = self.screenshot()
            if predicate(shot):
                return shot
            time.sleep(interval)
        raise AssertionError("not seen within %s s: %s" % (timeout, what), shot)
