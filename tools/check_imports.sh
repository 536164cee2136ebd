#!/usr/bin/env bash
# Fails when a Windows program imports a DLL other than the four system libraries
# it may link and the C runtime; everything else must be loaded at run time.
set -euo pipefail
shopt -s nocasematch
exe="$1"
allowed='^(KERNEL32|USER32|GDI32|SHELL32|msvcrt)\.dll$'
objdump=i686-w64-mingw32-objdump
command -v "$objdump" >/dev/null || objdump=x86_64-w64-mingw32-objdump
mapfile -t dlls < <("$objdump" -p "$exe" | awk '/DLL Name:/{print $3}')
[ ${#dlls[@]} -gt 0 ] || { echo "no imports found in $exe" >&2; exit 1; }
bad=0
for d in "${dlls[@]}"; do
  if [[ "$d" =~ $allowed ]]; then echo "ok: $d"; else echo "NOT ALLOWED: $d"; bad=1; fi
done
exit $bad
