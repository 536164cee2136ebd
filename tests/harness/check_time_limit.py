"""A run of tools/wine_exec.sh stopped at its time limit leaves nothing running:
neither the Windows program nor the script's private X server outlives it,
whether the script's own limit (KORVO_WINE_TIME_LIMIT) ends it or CTest kills it
at the test's limit.
  check_time_limit.py --tools DIR --probe verdict_probe.exe --work DIR"""

import argparse
import os
import subprocess
import sys
import uuid

import wine_exec_runs as runs

OWN_LIMIT = 10
CTEST_LIMIT = 20


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


def ctest_limit(args):
    """A CTest project of one test that never ends, run by CTest itself."""
    token = "ctest-" + uuid.uuid4().hex
    project = os.path.join(args.work, "ctest_project")
    os.makedirs(project, exist_ok=True)
    with open(os.path.join(project, "CMakeLists.txt"), "w") as f:
        f.write("cmake_minimum_required(VERSION 3.20)\nproject(never_ends NONE)\nenable_testing()\n"
                "add_test(NAME never_ends COMMAND bash %s/wine_exec.sh %s wait %s)\n"
                "set_tests_properties(never_ends PROPERTIES TIMEOUT %d)\n"
                % (args.tools, args.probe, token, CTEST_LIMIT))
    env = runs.run_env(token)
    build = os.path.join(args.work, "ctest_build")
    configure = subprocess.run(["cmake", "-S", project, "-B", build], env=env, capture_output=True, text=True)
    if configure.returncode != 0:
        return ["the CTest project did not configure"], configure.stdout + configure.stderr
    try:
        ctest = subprocess.run(["ctest", "--output-on-failure"], cwd=build, env=env, capture_output=True, text=True,
                               timeout=CTEST_LIMIT + runs.RUN_BACKSTOP)
        out = ctest.stdout + ctest.stderr
    except subprocess.TimeoutExpired:
        out = "CTest did not end"
    failures = leftovers(token)
    if "Timeout" not in out:
        failures.insert(0, "CTest did not stop the test at its limit")
    return failures, out


def main():
    parser = argparse.ArgumentParser()
    for name in ("--tools", "--probe", "--work"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    wrong = 0
    for what, check in (("stopped by the script's own limit", own_limit), ("stopped by CTest's limit", ctest_limit)):
        failures, out = check(args)
        print("%-40s %s" % (what, "right" if not failures else "WRONG"), flush=True)
        if failures:
            wrong += 1
            print("\n".join("  " + f for f in failures) + "\n" + out, flush=True)
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
