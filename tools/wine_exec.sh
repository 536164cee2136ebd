#!/usr/bin/env bash
# Runs a Windows program under Wine the way the project's tests expect:
#   - a project-private Wine prefix per architecture, created once (tools/wine_prefix.sh);
#   - WINEDEBUG=-all and a Japanese locale, so the ANSI and OEM code pages are 932;
#   - a HOME with a null ALSA device, so DirectSound and XAudio2 open without hardware;
#   - a private Xvfb display, unless KORVO_WINE_DISPLAY names one to share.
# 32-bit programs run under wine32, 64-bit ones under wine64.
#
# It passes only when the program ended through its own Windows exit with code 0
# and left nothing running (what it left is named and ended); tools/wine_run_program.py
# says how that is told. A kill from outside (SIGKILL, SIGABRT: an out-of-memory
# kill, say) ends a Wine program with code 0 too, so a plain run's pass says only
# that the program ended with 0. A GoogleTest program is told apart by GoogleTest's
# premature-exit file; any other program must be given the sign of its normal end
# for a pass to mean it got there:
#   --output FILE        a file it writes whole at its end (removed before the start)
#   --end-line REGEX     a line of its standard output that matches it entirely
#   --end-line-file FILE   look for that line in FILE instead (removed before the start)
# KORVO_WINE_TIME_LIMIT (seconds) bounds the run.
#   tools/wine_exec.sh [--output FILE] [--end-line REGEX [--end-line-file FILE]] PROGRAM.exe [args...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"

end_signs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --output|--end-line|--end-line-file) end_signs+=("$1" "$2"); shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"; exit 0 ;;
    *) break ;;
  esac
done
program="$1"; shift

# PE machine field: 0x014c i386, 0x8664 x86-64.
pe_machine() {
  local off
  off=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx2 -j$((off + 4)) -N2 "$1" | tr -d ' '
}
case "$(pe_machine "$program")" in
  014c) arch=win32 ;;
  8664) arch=win64 ;;
  *) echo "wine_exec: $program is not a Windows program" >&2; exit 2 ;;
esac

eval "$("$here/wine_prefix.sh" --env "$arch")"
"$here/wine_prefix.sh" "$arch" >&2

# The run itself, and its verdict: tools/wine_run_program.py. The program starts
# under a small relay that writes its Windows exit code down (tools/exit_code_relay).
relay="$("$here/exit_code_relay.sh" "$arch")"
exec /usr/bin/python3 -B "$here/wine_run_program.py" --relay "$relay" "${end_signs[@]}" -- "$program" "$@"
