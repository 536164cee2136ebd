#!/usr/bin/env bash
# Runs a Windows program under Wine the way the project's tests expect:
#   - a project-private Wine prefix per architecture, created once (tools/wine_prefix.sh);
#   - WINEDEBUG=-all and a Japanese locale, so the ANSI and OEM code pages are 932;
#   - a HOME with a null ALSA device, so DirectSound and XAudio2 open without hardware;
#   - a private Xvfb display, unless KORVO_WINE_DISPLAY names one to share.
# 32-bit programs run under wine32, 64-bit ones under wine64. It passes only when
# the program ended through its own Windows exit with code 0 (tools/wine_run_program.py
# says how that is told); --output names a file the program writes whole at its end,
# which must be there afterwards. KORVO_WINE_TIME_LIMIT (seconds) bounds the run.
#   tools/wine_exec.sh [--output FILE] PROGRAM.exe [args...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"

output=()
if [ "${1:-}" = --output ]; then output=(--output "$2"); shift 2; fi
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
exec /usr/bin/python3 -B "$here/wine_run_program.py" --relay "$relay" "${output[@]}" -- "$program" "$@"
