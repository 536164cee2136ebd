"""The rules behind a Wine run's verdict, without Wine: the relay's report read,
the verdict weighed from what a run left (tools/wine_run_verdict.py), and the
registration of Wine tests, which refuses a test without a sign of its
program's normal end (cmake/KorvoWineTestRegistration.cmake)."""

import os
import signal
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "tools"))
from wine_run_verdict import RunEnd, read_report, verdict  # noqa: E402

CLEAN_EXIT = ("exit", 0)


class ReportTest(unittest.TestCase):
    def test_only_one_decimal_line_is_a_code(self):
        for text, code in ((b"0\n", 0), (b"256\n", 256), (b"3221225728\n", 0xC0000100), (b"4294967295\n", 0xFFFFFFFF),
                           (b"4294967296\n", None), (b"ended\n", None), (b"\n", None), (b"0", None), (b"-1\n", None),
                           (b"", None), (None, None)):
            with self.subTest(text=text):
                self.assertEqual(read_report(text), code)


class VerdictTest(unittest.TestCase):
    def test_a_pass_is_a_normal_end_only(self):
        # (what, the run's end, exit status: 0, or None for any failure)
        rows = [
            ("ended with 0", RunEnd(code=0, unix_end=CLEAN_EXIT), 0),
            ("ended with 0, Unix side then killed by the server", RunEnd(code=0, unix_end=("signal", signal.SIGKILL)),
             0),
            ("ended with 3", RunEnd(code=3, unix_end=("exit", 3)), 3),
            ("ended with 256", RunEnd(code=256, unix_end=("exit", 1)), 1),
            ("ended with 0xC0000100", RunEnd(code=0xC0000100, unix_end=("exit", 1)), 1),
            ("no report", RunEnd(code=None, unix_end=CLEAN_EXIT), None),
            ("Unix side never seen", RunEnd(code=0, unix_end="unseen"), None),
            ("Unix side ended without the Windows exit", RunEnd(code=0, unix_end=("exit", 253)), None),
            ("Unix side ended by SIGTERM", RunEnd(code=0, unix_end=("signal", signal.SIGTERM)), 128 + signal.SIGTERM),
            ("GoogleTest's premature-exit file left", RunEnd(code=0, unix_end=CLEAN_EXIT, premature_left=True), None),
            ("an end sign missing", RunEnd(code=0, unix_end=CLEAN_EXIT, missing_signs=["the file out.bin"]), None),
            ("a process left running", RunEnd(code=0, unix_end=CLEAN_EXIT, left_running=["42 child.exe"]), None),
            ("stopped at the limit", RunEnd(code=None, unix_end=("signal", signal.SIGKILL),
                                            stopped=("still running after the time limit", 124)), 124),
        ]
        for what, end, want in rows:
            with self.subTest(what):
                status, reasons = verdict(end)
                if want == 0:
                    self.assertEqual((status, reasons), (0, []))
                else:
                    self.assertNotEqual(status, 0)
                    self.assertTrue(reasons)
                    if want is not None:
                        self.assertEqual(status, want)


class RegistrationTest(unittest.TestCase):
    def configure(self, body):
        """(configured, output) of a scratch project registering tests with the rules."""
        with tempfile.TemporaryDirectory() as scratch:
            with open(os.path.join(scratch, "CMakeLists.txt"), "w") as f:
                f.write("cmake_minimum_required(VERSION 3.20)\nproject(rules NONE)\nenable_testing()\n"
                        "include(%s/cmake/KorvoWineTestRegistration.cmake)\n%s\n" % (os.path.abspath(ROOT), body))
            done = subprocess.run(["cmake", "-S", scratch, "-B", os.path.join(scratch, "build")],
                                  capture_output=True, text=True)
            return done.returncode == 0, done.stdout + done.stderr

    def test_a_wine_test_without_an_end_sign_does_not_register(self):
        rows = [
            ("a runner with an end line", "korvo_add_wine_runner_test(t COMMAND run.py END_LINE \"done\")", True),
            ("a runner without one", "korvo_add_wine_runner_test(t COMMAND run.py)", False),
            ("a GoogleTest program", "add_custom_target(p)\nset_property(TARGET p PROPERTY LINK_LIBRARIES gtest_main)\n"
                                     "korvo_require_googletest_program(p)", True),
            ("a plain program", "add_custom_target(p)\nkorvo_require_googletest_program(p)", False),
        ]
        for what, body, registers in rows:
            with self.subTest(what):
                configured, output = self.configure(body)
                self.assertEqual(configured, registers, output)


if __name__ == "__main__":
    unittest.main()
