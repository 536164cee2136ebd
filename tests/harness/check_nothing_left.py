"""What a run of tools/wine_exec.sh leaves running: nothing, however it ends. A run
stopped at its time limit (the script's own, KORVO_WINE_TIME_LIMIT, or CTest's),
a script ended from outside alone (SIGKILL, SIGTERM), and a program that ends
with 0 while a process it started runs on (through the script, under CTest, and
through the window tests' runner), each checked for its verdict and for what is
left: neither the Windows programs nor the script's private X server may outlive
the run.
  check_nothing_left.py --tools DIR --probe verdict_probe.exe --work DIR"""

import argparse
import os
import signal
import subprocess
import sys
import uuid

import wine_exec_runs as runs

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "game", "end_to_end"))
from x_session import XSession  # noqa: E402

OWN_LIMIT = 10
CTEST_LIMIT = 20
# A CTest test whose program leaves a child: its limit is far above the run's few
# seconds, so a test that waits for the child shows as a timeout.
LEFT_CHILD_CTEST_LIMIT = 120


def leftovers(token):
    left = runs.wait_until_gone(token)
    runs.kill_left(left)
    return ["left running: %d %s (%s)" % (pid, comm, line) for pid, (comm, line) in sorted(left.items())]


def own_limit(args):
    token = "limit-" + uuid.uuid4().hex
    run = runs.start(args.tools, args.probe, ["wait", token], token, KORVO_WINE_TIME_LIMIT=str(OWN_LIMIT))
    status, out = runs.finish(run)
    failures = leftovers(token)
    if status is None:
        failures.insert(0, "the script did not end within %d s of a limit of %d s" % (runs.RUN_BACKSTOP, OWN_LIMIT))
    elif status == 0:
        failures.insert(0, "the script passed a program stopped at its limit")
    return failures, out


def script_ended_alone(args, sig):
    """The script's own process (alone, not its group) ended by sig while the
    program waits. Its traps answer SIGTERM: it ends the program itself and fails
    with 128 + 15. Nothing answers SIGKILL: the program's job, which Wine ends
    with the relay that dies with the script, must take the program with it."""
    token = "alone-" + uuid.uuid4().hex
    run = runs.start(args.tools, args.probe, ["wait", token], token)
    if runs.wait_for_line(run, "waiting") is None:
        return ["the program ended before it waited"] + leftovers(token), ""
    os.kill(run.pid, sig)
    status, out = runs.finish(run)
    failures = leftovers(token)
    if sig == signal.SIGTERM and status != 128 + sig:
        failures.insert(0, "the script did not end by itself with %d (gave %s)" % (128 + sig, status))
    if sig == signal.SIGTERM and "stopped by SIGTERM" not in out:
        failures.insert(0, "the script did not say it was stopped")
    return failures, out


def script_killed(args):
    return script_ended_alone(args, signal.SIGKILL)


def script_terminated(args):
    return script_ended_alone(args, signal.SIGTERM)


def left_child(args):
    token = "child-" + uuid.uuid4().hex
    run = runs.start(args.tools, args.probe, ["leave-child", token], token)
    status, out = runs.finish(run)
    failures = leftovers(token)
    if status is None:
        failures.insert(0, "the script did not end within %d s" % runs.RUN_BACKSTOP)
    elif status == 0:
        failures.insert(0, "the script passed a program that left a child running")
    elif "left a process running" not in out:
        failures.insert(0, "the script did not name the process left")
    return failures, out


def ctest_row(args, name, mode, limit, result, failure):
    """Runs a CTest project of one test, the probe in that mode under wine_exec.sh
    with that limit; the row fails unless CTest gives the test that result."""
    token = name + "-" + uuid.uuid4().hex
    project = os.path.join(args.work, name + "_project")
    os.makedirs(project, exist_ok=True)
    with open(os.path.join(project, "CMakeLists.txt"), "w") as f:
        f.write("cmake_minimum_required(VERSION 3.20)\nproject(%s NONE)\nenable_testing()\n"
                "add_test(NAME %s COMMAND bash %s/wine_exec.sh %s %s %s)\n"
                "set_tests_properties(%s PROPERTIES TIMEOUT %d)\n"
                % (name, name, args.tools, args.probe, mode, token, name, limit))
    env = runs.run_env(token)
    build = os.path.join(args.work, name + "_build")
    configure = subprocess.run(["cmake", "-S", project, "-B", build], env=env, capture_output=True, text=True)
    if configure.returncode != 0:
        return ["the CTest project did not configure"], configure.stdout + configure.stderr
    try:
        ctest = subprocess.run(["ctest", "--output-on-failure"], cwd=build, env=env, capture_output=True, text=True,
                               timeout=limit + runs.RUN_BACKSTOP)
        out = ctest.stdout + ctest.stderr
    except subprocess.TimeoutExpired:
        out = "CTest did not end"
    failures = leftovers(token)
    if result not in out:
        failures.insert(0, failure)
    return failures, out


def ctest_limit(args):
    """A test that never ends, stopped by CTest at its limit."""
    return ctest_row(args, "never_ends", "wait", CTEST_LIMIT, "Timeout", "CTest did not stop the test at its limit")


def ctest_left_child(args):
    """A test whose program leaves a child holding the test's output: it fails when
    the program ends, not at its limit."""
    return ctest_row(args, "leaves_child", "leave-child", LEFT_CHILD_CTEST_LIMIT, "***Failed",
                     "CTest did not see the test fail at once")


def runner_left_child(args):
    """The window tests' runner, given the program's end line, which it writes."""
    token = "runner-" + uuid.uuid4().hex
    session = XSession(args.tools)
    log_path = os.path.join(args.work, token + ".out")
    try:
        session.start_display()
        session.start_program(args.probe, args.work, log_path, ["leave-child", token], ["--end-line", "child started"])
        status = session.wait_program_exit(runs.RUN_BACKSTOP)
    finally:
        session.stop()
    with open(log_path, errors="replace") as f:
        out = f.read()
    failures = leftovers(token)
    if status == 0:
        failures.insert(0, "the runner's script passed a program that left a child running")
    elif "left a process running" not in out:
        failures.insert(0, "the runner's script did not name the process left")
    return failures, out


CHECKS = (("stopped by the script's own limit", own_limit),
          ("stopped by CTest's limit", ctest_limit),
          ("the script alone killed by SIGKILL", script_killed),
          ("the script alone sent SIGTERM", script_terminated),
          ("ends with 0 leaving a child", left_child),
          ("ends with 0 leaving a child, under CTest", ctest_left_child),
          ("ends with 0 leaving a child, through the runner", runner_left_child))


def main():
    parser = argparse.ArgumentParser()
    for name in ("--tools", "--probe", "--work"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    wrong = 0
    for what, check in CHECKS:
        failures, out = check(args)
        print("%-48s %s" % (what, "right" if not failures else "WRONG"), flush=True)
        if failures:
            wrong += 1
            print("\n".join("  " + f for f in failures) + "\n" + out, flush=True)
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
