# Shared settings of the project's shell tools (sourced, not run).
KORVO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Everything installed or built outside the tree lives here, keyed by version,
# so fresh clones (and CI) on the same machine reuse it.
KORVO_CACHE="${KORVO_CACHE:-$HOME/.cache/korvo}"
KORVO_BUILD="${KORVO_BUILD:-$KORVO_ROOT/build}"
export KORVO_ROOT KORVO_CACHE KORVO_BUILD

log() { printf '[korvo] %s\n' "$*" >&2; }

# Wine identity used to key the private prefix.
wine_version() { wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' '_' || echo none; }
KORVO_WINEPREFIX_DIR() { echo "$KORVO_CACHE/wine-$(wine_version)"; }

# Can this machine execute 32-bit x86 code? Some kernels run with IA-32 emulation
# off, and then 32-bit Wine cannot start. The answer has to be known before Wine is
# installed, so it comes from a 96-byte static i386 program written here that only
# calls exit(42). KORVO_NO_32BIT=1 answers no on any machine, so the road of such
# machines can be run anywhere.
runs_32bit_code() {
  [ "${KORVO_NO_32BIT:-0}" = 1 ] && return 1
  local probe rc
  mkdir -p "$KORVO_CACHE"   # not /tmp: that may be mounted noexec
  probe="$(mktemp "$KORVO_CACHE/i386-probe.XXXXXX")"
  # ELF header, one loadable program header, then: mov ebx,42; mov eax,1; int 0x80.
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' > "$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null && rc=0 || rc=$?
  rm -f "$probe"
  [ "$rc" = 42 ]
}
