"""The verdict on one run of a Windows program under Wine (tools/wine_run_program.py):
what the run left behind goes in, an exit status and the reasons it failed come out.
Nothing here looks at processes or files but the relay's report, so the rules can
be tested without Wine (tests/harness/verdict_rules_test.py)."""

import collections
import signal

# What is known of a run once it is over:
#   code            the Windows exit code the relay wrote down, or None
#   unix_end        how the program's Unix side ended: ("exit", status), ("signal", number),
#                   "unseen", or None when it was not waited for
#   premature_left  a GoogleTest program left its premature-exit file
#   missing_signs   the end signs the program did not leave (its --output file, its --end-line)
#   left_running    what it started that still ran after its end, named
#   stopped         (why, exit status) when the run was stopped before the program ended
RunEnd = collections.namedtuple("RunEnd", "code unix_end premature_left missing_signs left_running stopped",
                                defaults=(None, False, (), (), None))

MAX_CODE = 0xFFFFFFFF


def read_report(text):
    """The code in the relay's report (bytes, None when there is none): one decimal
    line, or None when the report is anything else."""
    if text is None or not text.endswith(b"\n"):
        return None
    digits = text[:-1]
    if not digits.isdigit() or len(digits) > 10 or int(digits) > MAX_CODE:
        return None
    return int(digits)


def unix_exit_status_of(code):
    """The status a Windows exit with this code gives the Unix process under Wine:
    the code folded to a byte, except that a non-zero code whose low byte is 0
    gives 1 (Wine's loader would otherwise report a failure as success)."""
    return 1 if code != 0 and code & 0xFF == 0 else code & 0xFF


def verdict(end):
    """(exit status, reasons it failed) of a run: (0, []) only for a normal end."""
    reasons = []
    status = None
    if end.stopped:
        reasons.append(end.stopped[0])
        status = end.stopped[1]
    if end.code is None:
        reasons.append("no exit code was written down (the relay did not see the program end)")
    elif end.code != 0:
        reasons.append("ended with %d (0x%08X)" % (end.code, end.code))
        status = status or unix_exit_status_of(end.code)
    if end.unix_end == "unseen":
        reasons.append("its Unix process was not seen")
    elif end.unix_end is not None:
        how, value = end.unix_end
        if how == "exit" and end.code is not None and value != unix_exit_status_of(end.code):
            reasons.append("its Unix side ended with %d without its Windows exit (as an unhandled stack overflow "
                           "ends it)" % value)
        elif how == "signal" and value != signal.SIGKILL:
            reasons.append("its Unix side was ended by %s" % signal.Signals(value).name)
            status = status or 128 + value
    if end.premature_left:
        reasons.append("it ended before its tests were over (GoogleTest's premature-exit file is left)")
    for sign in end.missing_signs:
        reasons.append("it did not leave its end sign: %s" % sign)
    for process in end.left_running:
        reasons.append("it left a process running, which was ended: %s" % process)
    return (0 if not reasons else status or 1), reasons
