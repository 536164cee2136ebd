#!/usr/bin/env bash
# Prints the path of tools/exit_code_relay built for a Windows architecture
# (win32 or win64), building it first when its source or compiler changed. It is
# kept in the cache outside the tree, so every build and test run shares it.
#   tools/exit_code_relay.sh ARCH
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"

case "$1" in
  win32) compiler=i686-w64-mingw32-g++-posix ;;
  win64) compiler=x86_64-w64-mingw32-g++-posix ;;
  *) echo "exit_code_relay.sh: unknown architecture $1" >&2; exit 2 ;;
esac
source_file="$here/exit_code_relay/exit_code_relay.cpp"
key="$( { cat "$source_file"; "$compiler" --version | head -n1; } | sha256sum | cut -c1-12)"
dir="$KORVO_CACHE/exit-code-relay"
exe="$dir/$1-$key.exe"
if [ ! -f "$exe" ]; then
  mkdir -p "$dir"
  # Tests start side by side: one builds, the others wait for it.
  exec 8>"$dir/$1.lock"
  flock 8
  if [ ! -f "$exe" ]; then
    "$compiler" -O1 -static -o "$exe.tmp" "$source_file" -lshell32
    mv "$exe.tmp" "$exe"
  fi
fi
echo "$exe"
