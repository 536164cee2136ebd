"""The verdicts of tools/wine_exec.sh: small Windows programs end in every way a
test program can, and the script must pass exactly those that ended through
their own Windows exit with code 0.
  check_verdicts.py --tools DIR --probe verdict_probe.exe --gtest-probe verdict_googletest_probe.exe
                    --fake-relay fake_exit_code_relay.exe --work DIR"""

import argparse
import concurrent.futures
import os
import signal
import sys
import uuid

from exit_hold import ExitHold
import wine_exec_runs as runs

PASS = "pass"
FAIL = "fail"
HOLD_BACKSTOP = 60

# (what the program does, program, arguments, end signs given to the script, how
# it is ended from outside, verdict): the verdict is PASS, FAIL, or the exit status
# the script must give. A SIGSEGV sent from outside is no row: under Wine it ends
# no program (it only cuts a wait short), so the script has nothing to decide.
END_LINE = ["--end-line", "all done"]
ROWS = [
    ("ends with 0", "probe", ["exit", "0"], [], None, PASS),
    ("ends with 1", "probe", ["exit", "1"], [], None, 1),
    ("ends with 3", "probe", ["exit", "3"], [], None, 3),
    ("ends with 255", "probe", ["exit", "255"], [], None, 255),
    ("ends with 256", "probe", ["exit", "256"], [], None, FAIL),
    ("ends with 512", "probe", ["exit", "512"], [], None, FAIL),
    ("ends with 65536", "probe", ["exit", "65536"], [], None, FAIL),
    ("ends with 0xC0000100", "probe", ["exit", "0xC0000100"], [], None, FAIL),
    ("an access violation", "probe", ["access-violation"], [], None, FAIL),
    ("abort()", "probe", ["abort"], [], None, FAIL),
    ("std::terminate", "probe", ["terminate"], [], None, FAIL),
    ("a stack overflow", "probe", ["overflow"], [], None, FAIL),
    ("end line: written, then ends with 0", "probe", ["say", "all done", "0"], END_LINE, None, PASS),
    ("end line: ends with 0 without it", "probe", ["say", "all done?", "0"], END_LINE, None, FAIL),
    ("end line: Unix process killed by SIGKILL", "probe", ["wait"], END_LINE, signal.SIGKILL, FAIL),
    ("end line in a file it does not write", "probe", ["say", "all done", "0"],
     END_LINE + ["--end-line-file", "{work}/{token}.log"], None, FAIL),
    ("GoogleTest: every test passes", "gtest", ["--gtest_filter=VerdictProbe.Passes"], [], None, PASS),
    ("GoogleTest: a failed expectation", "gtest", ["--gtest_filter=VerdictProbe.FailsAnExpectation"], [], None, 1),
    ("GoogleTest: a stack overflow in a test", "gtest", ["--gtest_filter=VerdictProbe.OverflowsItsStack"], [], None,
     FAIL),
    ("GoogleTest: exit(0) in a test", "gtest", ["--gtest_filter=VerdictProbe.ExitsWithZeroMidRun"], [], None, FAIL),
    ("GoogleTest: Unix process killed by SIGKILL", "gtest", ["--gtest_filter=VerdictProbe.WaitsUntilKilled"], [],
     signal.SIGKILL, FAIL),
    ("GoogleTest: Unix process killed by SIGTERM", "gtest", ["--gtest_filter=VerdictProbe.WaitsUntilKilled"], [],
     signal.SIGTERM, FAIL),
    ("GoogleTest: Unix process sent SIGABRT", "gtest", ["--gtest_filter=VerdictProbe.WaitsUntilKilled"], [],
     signal.SIGABRT, FAIL),
    ("a report without digits", "fake relay", ["no-digits"], [], None, FAIL),
    ("no report", "fake relay", ["no-report"], [], None, FAIL),
    ("ends with 0, its Unix side then killed by Wine's server", "probe", ["exit-when-told"], [], "hold", PASS),
]


def run_row(row, args):
    """(the script's exit status, a failure message or None)."""
    what, kind, arguments, signs, ended_by, want = row
    token = "row-" + uuid.uuid4().hex
    signs = [sign.format(work=args.work, token=token) for sign in signs]
    tools, program = args.tools, {"probe": args.probe, "gtest": args.gtest_probe}.get(kind, args.probe)
    if kind == "fake relay":
        tools = runs.tools_with_relay(args.tools, args.fake_relay, os.path.join(args.work, token))
    go = os.path.join(args.work, token + ".go")
    if ended_by == "hold":
        arguments = arguments + ["Z:" + go.replace("/", "\\")]
    run = runs.start(tools, program, arguments + [token], token, signs)
    note = ""
    if ended_by == "hold":
        if runs.wait_for_line(run, "ready") is None:
            return None, "the program ended before it was ready"
        pid = runs.wait_for_program_pid(program, token)
        if pid is None:
            return None, "the program's Unix process was not found"
        hold = ExitHold(pid)
        hold.attach()
        open(go, "w").close()
        killed = hold.held_until_killed(HOLD_BACKSTOP)
        if killed != signal.SIGKILL:
            note = " (its held Unix side was not killed by Wine's server: %s)" % killed
    elif ended_by is not None:
        if runs.wait_for_line(run, "waiting") is None:
            return None, "the program ended before it waited"
        pid = runs.wait_for_program_pid(program, token)
        if pid is None:
            return None, "the program's Unix process was not found"
        os.kill(pid, ended_by)
    status, out = runs.finish(run)
    if status is None:
        runs.kill_left(runs.left_running(token))
        return None, "the script did not end within %d s" % runs.RUN_BACKSTOP
    right = status == 0 if want == PASS else status != 0 if want == FAIL else status == want
    if right and not note:
        return status, None
    return status, "not %s%s\n%s" % ("a pass" if want == PASS else "a failure" if want == FAIL else want, note,
                                     out.strip())


def main():
    parser = argparse.ArgumentParser()
    for name in ("--tools", "--probe", "--gtest-probe", "--fake-relay", "--work"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    # A few at a time: each run is mostly waiting for Wine.
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        results = list(pool.map(lambda row: run_row(row, args), ROWS))
    failed = 0
    for row, (status, failure) in zip(ROWS, results):
        print("%-56s gave %-4s %s" % (row[0], status, "right" if failure is None else "WRONG: " + failure), flush=True)
        failed += failure is not None
    print("%d of %d rows right" % (len(ROWS) - failed, len(ROWS)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
