#!/usr/bin/env bash
# Set-up, build, then start Velmora under Wine from the game folder: in the
# current X display when there is one, otherwise in a private Xvfb, writing a
# screenshot to build/velmora-screenshot.png after a few seconds.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"

"$here/build.sh"
tree="$(cat "$KORVO_BUILD/test-tree")"
exe="$KORVO_BUILD/$tree/Velmora.exe"
[ -f "$exe" ] || { log "Velmora.exe was not built"; exit 1; }
cd "$KORVO_ROOT/game/data"   # the game reads img/, se/ and map/ from its working folder

if [ -n "${DISPLAY:-}" ]; then
  KORVO_WINE_DISPLAY="$DISPLAY" exec "$here/wine_exec.sh" "$exe"
fi

shot="$KORVO_BUILD/velmora-screenshot.png"
Xvfb :97 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & xpid=$!
trap 'kill $xpid 2>/dev/null || true' EXIT
sleep 1
KORVO_WINE_DISPLAY=:97 "$here/wine_exec.sh" "$exe" & gpid=$!
sleep "${KORVO_SCREENSHOT_DELAY:-8}"
DISPLAY=:97 import -window root "$shot" && log "screenshot: $shot"
# No player at this display: end the game's Wine session.
( eval "$("$here/wine_prefix.sh" --env "$([ "$tree" = win32 ] && echo win32 || echo win64)")"; "$WINESERVER" -k ) || true
wait $gpid || true
