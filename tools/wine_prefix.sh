#!/usr/bin/env bash
# The project's private Wine prefixes (one per architecture), kept outside the tree
# and keyed by the Wine version, created once.
#   tools/wine_prefix.sh [win32|win64...]   create what is missing (default: what this machine runs)
#   tools/wine_prefix.sh --env ARCH         print the environment for running programs
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"

# KORVO_WINE_ROOT gives a build its own prefixes (one Windows desktop each), so
# window tests of builds run side by side do not see each other's windows.
wine_root="${KORVO_WINE_ROOT:-$KORVO_CACHE/wine}"

env_for() {
  local arch="$1" loader server
  if [ "$arch" = win32 ]; then loader=/usr/lib/wine/wine; server=/usr/lib/wine/wineserver32
  else loader=/usr/lib/wine/wine64; server=/usr/lib/wine/wineserver64; fi
  local version; version="$("$loader" --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' '_' || echo unknown)"
  cat <<ENV
export WINEPREFIX="$wine_root/$arch-$version"
export WINEARCH="$arch"
export WINELOADER="$loader"
export WINESERVER="$server"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export HOME="$wine_root/home"
export LC_ALL=ja_JP.UTF-8
ENV
}

if [ "${1:-}" = "--env" ]; then env_for "$2"; exit 0; fi

# Can this machine execute 32-bit code (and so run 32-bit Wine)?
runs_32bit() { runs_32bit_code && /usr/lib/wine/wine --version >/dev/null 2>&1; }

create_prefix() {
  local arch="$1"
  ( eval "$(env_for "$arch")"
    mkdir -p "$HOME" "$(dirname "$WINEPREFIX")"
    # A null ALSA device: sound APIs open and play into nothing.
    [ -f "$HOME/.asoundrc" ] || printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' > "$HOME/.asoundrc"
    exec 8>"$WINEPREFIX.lock"
    flock 8
    if [ ! -f "$WINEPREFIX/.korvo-ready" ]; then
      log "creating the Wine prefix $WINEPREFIX"
      rm -rf "$WINEPREFIX"
      Xvfb :199 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 & xpid=$!
      DISPLAY=:199 "$WINELOADER" wineboot -i >/dev/null 2>&1 || true
      "$WINESERVER" -w || true
      kill $xpid 2>/dev/null || true
      [ -f "$WINEPREFIX/system.reg" ] || { log "wineboot failed for $WINEPREFIX"; exit 1; }
      touch "$WINEPREFIX/.korvo-ready"
    fi )
}

arches=("$@")
if [ ${#arches[@]} -eq 0 ]; then
  if runs_32bit; then arches=(win32); else arches=(win64); fi
fi
for a in "${arches[@]}"; do create_prefix "$a"; done
