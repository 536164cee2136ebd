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

failures=0
while IFS= read -r file; do
  read -r rank name <<<"$(unit_of "$file")"
  while IFS= read -r line; do
    target="${line#*\"}"; target="${target%%\"*}"
    read -r trank tname <<<"$(unit_of "$target")" || true
    [ -n "${trank:-}" ] || continue
    ok=0
    if [ "$name" = game ]; then
      [ "$target" = korvo.h ] || [ "$tname" = game ] && ok=1
    elif [ "$tname" = "$name" ] || [ "$trank" -lt "$rank" ]; then
      ok=1
    fi
    if [ $ok = 0 ]; then
      echo "layer check: $file ($name) includes $target ($tname)"
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
