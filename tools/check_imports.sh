#!/usr/bin/env bash
# Fails when a Windows program imports a DLL other than the four system libraries
# it may link and the C runtime; everything else must be loaded at run time.
set -euo pipefail
shopt -s nocasematch
exe="$1"
allowed='^(KERNEL32|USER32|GDI32|SHELL32|msvcrt)\.dll$'
# The i686 tools read only 32-bit programs; a 64-bit one needs the x86-64 tools.
objdump=i686-w64-mingw32-objdump
if ! command -v "$objdump" >/dev/null || ! "$objdump" -f "$exe" >/dev/null 2>&1; then
  objdump=x86_64-w64-mingw32-objdump
fi
mapfile -t dlls < <("$objdump" -p "$exe" | awk '/DLL Name:/{print $3}')
[ ${#dlls[@]} -gt 0 ] || { echo "no imports found in $exe" >&2; exit 1; }
bad=0
for d in "${dlls[@]}"; do
  if [[ "$d" =~ $allowed ]]; then echo "ok: $d"; else echo "NOT ALLOWED: $d"; bad=1; fi
done
exit $bad
