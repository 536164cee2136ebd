#!/usr/bin/env bash
# Runs a Windows program under Wine the way the project's tests expect:
#   - a project-private Wine prefix per architecture, created once (tools/wine_prefix.sh);
#   - WINEDEBUG=-all and a Japanese locale, so the ANSI and OEM code pages are 932;
#   - a HOME with a null ALSA device, so DirectSound and XAudio2 open without hardware;
#   - a private Xvfb display, unless KORVO_WINE_DISPLAY names one to share.
# 32-bit programs run under wine32, 64-bit ones under wine64.
#   tools/wine_exec.sh PROGRAM.exe [args...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"

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

display_pid=""
cleanup() { [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null; true; }
trap cleanup EXIT
if [ -n "${KORVO_WINE_DISPLAY:-}" ]; then
  export DISPLAY="$KORVO_WINE_DISPLAY"
else
  # Xvfb picks a free display number itself and writes it to the pipe.
  exec 9< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null & echo "pid $!")
  # It answers at once; the bound is a backstop for a busy machine.
  if ! read -r -t 60 -u 9 first || ! read -r -t 60 -u 9 second; then
    echo "wine_exec: Xvfb gave no display number within 60 s" >&2; exit 2
  fi
  if [ "${first%% *}" = pid ]; then display_pid="${first#pid }"; num="$second"; else display_pid="${second#pid }"; num="$first"; fi
  export DISPLAY=":$num"
fi

# The first Wine program of a session starts the Wine server and the prefix's services,
# and they keep that program's output streams open until the session ends. CTest waits
# for a test's output to close, so that one test would last until every other test of
# the prefix had ended. Start the session with its streams on /dev/null instead (on the
# test's display: the session's desktop needs one); when a server already runs, the
# second one just exits, and the short-lived program is quick.
"$WINESERVER" -p5 </dev/null >/dev/null 2>&1 9<&- || true
"$WINELOADER" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 9<&- || true

# The program runs under a small relay that writes its exit code down (see
# tools/exit_code_relay): on a busy machine Wine's server may SIGKILL a program
# whose Unix side is slow to go after it has ended, and the shell would see 137.
relay="$("$here/exit_code_relay.sh" "$arch")"
report="$(mktemp "${TMPDIR:-/tmp}/korvo_exit_code.XXXXXX")"
trap 'cleanup; rm -f "$report"' EXIT
rm -f "$report"
program_path="$(realpath "$program")"
set +e
"$WINELOADER" "$relay" "Z:${report//\//\\}" "Z:${program_path//\//\\}" "$@"
rc=$?
set -e
if [ -s "$report" ]; then
  code="$(head -n1 "$report" | tr -dc 0-9)"
  if [ "$rc" != $((code & 255)) ]; then
    echo "wine_exec: $(basename "$program") ended with $code; Wine's loader gave $rc (killed after the end)" >&2
  fi
  rc=$((code & 255))
fi
exit $rc
