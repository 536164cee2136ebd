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

# The layer unit a path belongs to: "rank name", or nothing for paths outside the layers.
unit_of() {
  case "$1" in
    korvo.h) echo "6 shell" ;;
    core/shell/*) echo "6 shell" ;;
    core/*) echo "0 core" ;;
    image/*) echo "1 image" ;;
    softraster/*) echo "2 softraster" ;;
    graphics/*) echo "3 graphics" ;;
    font/*) echo "4 font" ;; input/*) echo "4 input" ;; sound/*) echo "4 sound" ;;
    movie/*) echo "5 movie" ;; model/*) echo "5 model" ;; network/*) echo "5 network" ;;
    game/*) echo "7 game" ;;
  esac
}

# The rank of a graphics file inside graphics, or "?" for a folder not in the order.
graphics_rank_of() {
  case "$1" in
    graphics/public_api.h | graphics/startup_entries.h) echo 0 ;;
    graphics/device/*) echo 1 ;;
    graphics/state/*) echo 2 ;;
    graphics/graphs/*) echo 3 ;;
    graphics/shading/*) echo 4 ;;
    graphics/draw/*) echo 5 ;;
    graphics/filters/*) echo 6 ;;
    graphics/screen/*) echo 7 ;;
    graphics/win32/* | graphics/host/*) echo 8 ;;
    graphics/*/*) echo "?" ;;
    *) echo 8 ;;
  esac
}

# The graphics folder a path belongs to, as the messages name it.
graphics_folder_of() {
  case "$1" in
    graphics/win32/* | graphics/host/*) echo graphics ;;
    graphics/*/*) local rest="${1#graphics/}"; echo "graphics/${rest%%/*}" ;;
    *) echo graphics ;;
  esac
}

failures=0
while IFS= read -r file; do
  read -r rank name <<<"$(unit_of "$file")"
  while IFS= read -r line; do
    target="${line#*\"}"; target="${target%%\"*}"
    read -r trank tname <<<"$(unit_of "$target")" || true
    [ -n "${trank:-}" ] || continue
    ok=0
    shown="$name"; tshown="$tname"; note=""
    if [ "$name" = game ]; then
      [ "$target" = korvo.h ] || [ "$tname" = game ] && ok=1
    elif [ "$name" = graphics ] && [ "$tname" = graphics ]; then
      grank="$(graphics_rank_of "$file")"; gtrank="$(graphics_rank_of "$target")"
      shown="$(graphics_folder_of "$file")"; tshown="$(graphics_folder_of "$target")"
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
    trank=""; tname=""
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
done < <(find korvo.h core image softraster graphics font input sound movie model network game \
           -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) 2>/dev/null | sort)

if [ $failures -gt 0 ]; then
  echo "layer check: $failures upward include(s)"
  exit 1
fi
echo "layer check: every include points to its own layer or a lower one"
