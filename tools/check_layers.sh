#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer. The layers, lowest
# first (a file may include its own layer's folder and any lower layer):
#   0 core services   core/ except core/shell/
#   1 image
#   2 softraster
#   3 graphics
#   4 font, input, sound         (side by side: none includes another)
#   5 movie, model, network      (side by side)
#   6 core/shell, korvo.h        the shell drives every subsystem; korvo.h collects the public headers
#   7 game                       includes korvo.h and its own headers only
# Tests, tools and benchmarks may include anything.
#
# Inside graphics the folders have their own order, lowest first (win32/ and host/
# belong to the folder they sit in):
#   graphics/public_api.h, graphics/startup_entries.h   what programs and the shell call
#   device    Direct3D types and call wrappers, the module's records, format slots
#   state     the device state cache and staging, transforms, lights, fog, shader constants
#   graphs    graph records, loading, image sets and textures, transfers, restore
#   shading   built-in shaders, shader handles, blend stages, the per-draw state set-up
#   draw      draw targets, the draw front end and back ends, masks
#   filters   graph filters (CPU routines and shader passes)
#   screen    start-up and shut-down, the device's creation, screen modes, present, rebuild
# Any other file at the top of graphics/ is an entry above them all; a graphics
# folder missing from this list fails the run until it is given its place.
#   tools/check_layers.sh [ROOT]
set -euo pipefail
root="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
cd "$root"

# The layer unit a path belongs to, in urank and uname (both empty for paths
# outside the layers). No subshell: this runs for every include.
unit_of() {
  urank=""; uname=""
  case "$1" in
    korvo.h) urank=6; uname=shell ;;
    core/shell/*) urank=6; uname=shell ;;
    core/*) urank=0; uname=core ;;
    image/*) urank=1; uname=image ;;
    softraster/*) urank=2; uname=softraster ;;
    graphics/*) urank=3; uname=graphics ;;
    font/*) urank=4; uname=font ;; input/*) urank=4; uname=input ;; sound/*) urank=4; uname=sound ;;
    movie/*) urank=5; uname=movie ;; model/*) urank=5; uname=model ;; network/*) urank=5; uname=network ;;
    game/*) urank=7; uname=game ;;
  esac
}

# The rank of a graphics path inside graphics ("?" for a folder outside the order) and
# the folder the messages name, in grank and gfolder (no subshell: this runs per include).
graphics_place_of() {
  gfolder=graphics
  case "$1" in
    graphics/public_api.h | graphics/startup_entries.h) grank=0 ;;
    graphics/device/*) grank=1 ;;
    graphics/state/*) grank=2 ;;
    graphics/graphs/*) grank=3 ;;
    graphics/shading/*) grank=4 ;;
    graphics/draw/*) grank=5 ;;
    graphics/filters/*) grank=6 ;;
    graphics/screen/*) grank=7 ;;
    graphics/win32/* | graphics/host/*) grank=8 ;;
    graphics/*/*) grank="?" ;;
    *) grank=8 ;;
  esac
  case "$1" in
    graphics/win32/* | graphics/host/*) ;;
    graphics/*/*) gfolder="${1#graphics/}"; gfolder="graphics/${gfolder%%/*}" ;;
  esac
}

failures=0
files=()
while IFS= read -r f; do files+=("$f"); done < <(
  find korvo.h core image softraster graphics font input sound movie model network game \
    -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) 2>/dev/null | sort)
# One grep over every file: "file:#include "target"" lines, in file order.
while IFS= read -r hit; do
  file="${hit%%:*}"; line="${hit#*:}"
  target="${line#*\"}"; target="${target%%\"*}"
  unit_of "$target"; trank="$urank"; tname="$uname"
  [ -n "$trank" ] || continue
  unit_of "$file"; rank="$urank"; name="$uname"
  ok=0
  shown="$name"; tshown="$tname"; note=""
  if [ "$name" = game ]; then
    [ "$target" = korvo.h ] || [ "$tname" = game ] && ok=1
  elif [ "$name" = graphics ] && [ "$tname" = graphics ]; then
    graphics_place_of "$target"; gtrank="$grank"; tshown="$gfolder"
    graphics_place_of "$file"; shown="$gfolder"
    if [ "$grank" = "?" ] || [ "$gtrank" = "?" ]; then
      note=": a graphics folder outside the graphics order"
    elif [ "$gtrank" -le "$grank" ]; then
      ok=1
    fi
  elif [ "$tname" = "$name" ] || [ "$trank" -lt "$rank" ]; then
    ok=1
  fi
  if [ $ok = 0 ]; then
    echo "layer check: $file ($shown) includes $target ($tshown)$note"
    failures=$((failures + 1))
  fi
done < <(grep -HE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' /dev/null "${files[@]}" || true)

if [ $failures -gt 0 ]; then
  echo "layer check: $failures upward include(s)"
  exit 1
fi
echo "layer check: every include points to its own layer or a lower one"
