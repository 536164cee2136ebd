#!/usr/bin/env bash
# One-time (and idempotent) machine set-up for building and testing Korvo and Velmora:
# Debian packages for the i686 cross build, Wine and Xvfb, the native test build,
# then the third-party libraries cross-built from Debian's source packages into a
# cache outside the tree. A second run finds everything in place and does nothing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"

sudo_if_needed() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# --- Debian packages -------------------------------------------------------
# 32-bit Wine (and the i386 libraries under it) only where the kernel runs 32-bit
# code; elsewhere the Wine tests run from the 64-bit Windows build under wine64.
if runs_32bit_code; then runs_32bit=1; else runs_32bit=0; fi
packages=(
  g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  cmake ninja-build nasm pkg-config autoconf automake libtool make dpkg-dev
  wine wine64 libgl1 libgl1-mesa-dri libglx-mesa0
  xvfb xauth xdotool imagemagick fonts-ipafont-gothic
  googletest libgtest-dev g++ locales
  zlib1g-dev libpng-dev libjpeg62-turbo-dev libogg-dev libvorbis-dev libtheora-dev
  libbullet-dev
  libsdl2-dev libpixman-1-dev
  python3 lame gstreamer1.0-tools
  python3-pil sox libjpeg-turbo-progs libsox-fmt-mp3
)
# Wine decodes MP3 and movies through its media graph with GStreamer: the plug-ins
# of each Wine architecture that runs here.
gst_plugins=(gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav)
for p in "${gst_plugins[@]}"; do packages+=("$p:amd64"); done
if [ $runs_32bit = 1 ]; then
  packages+=(wine32:i386 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386)
  for p in "${gst_plugins[@]}"; do packages+=("$p:i386"); done
else
  log "this machine runs no 32-bit code${KORVO_NO_32BIT:+ (KORVO_NO_32BIT=1)}: no i386 packages; Wine tests run under wine64"
fi

ensure_apt_sources() {
  local changed=0
  if [ $runs_32bit = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    sudo_if_needed dpkg --add-architecture i386
    changed=1
  fi
  local src=/etc/apt/sources.list.d/korvo-deb-src.sources
  if [ ! -f "$src" ]; then
    # The same mirrors as the machine's binary entries, for `apt-get source`.
    local tmp; tmp="$(mktemp)"
    awk 'BEGIN{RS="";ORS="\n\n"} /Types: deb/ && !/deb-src/ {sub(/Types: deb/,"Types: deb-src"); print}' \
      /etc/apt/sources.list.d/debian.sources > "$tmp"
    sudo_if_needed install -m 644 "$tmp" "$src"
    rm -f "$tmp"
    changed=1
  fi
  echo $changed
}

missing_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

# Mirrors are sometimes caught mid-sync and serve an index that does not match its
# release file. Try a few times; if an index still fails, go on with what apt has
# and let the install tell whether that is enough. Prints the failed indexes.
update_package_lists() {
  local attempt out
  for attempt in 1 2 3 4; do
    if out="$(sudo_if_needed apt-get update -qq 2>&1)"; then return 0; fi
    log "updating package lists failed (attempt $attempt of 4)"
    [ $attempt = 4 ] || sleep "${KORVO_APT_RETRY_PAUSE:-20}"
  done
  printf '%s\n' "$out" | grep -E '^(E|W):' | grep -iE 'fetch|unexpected size|hash sum|release' >&2 || printf '%s\n' "$out" >&2
  printf '%s\n' "$out" | sed -nE 's/.*Failed to fetch ([^ ]+).*/\1/p' | sort -u
  return 1
}

install_packages() {
  local failed_indexes="$1"; shift
  if sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null; then
    return 0
  fi
  # Name the first package apt cannot install, and the index that failed, if any.
  local p
  for p in "$@"; do
    if ! apt-get install -s -qq --no-install-recommends "$p" >/dev/null 2>&1; then
      if [ -n "$failed_indexes" ]; then
        log "set-up stops: package $p cannot be installed; the package index $(echo $failed_indexes) could not be updated (try again later, or use another mirror)"
      else
        log "set-up stops: package $p cannot be installed"
      fi
      exit 1
    fi
  done
  log "set-up stops: installing the packages failed (${*})"
  exit 1
}

sources_changed="$(ensure_apt_sources)"
mapfile -t missing < <(missing_packages)
failed_indexes=""
if [ "$sources_changed" = 1 ] || [ "${#missing[@]}" -gt 0 ] || [ -z "$(apt-cache showsrc zlib 2>/dev/null)" ]; then
  log "updating package lists"
  failed_indexes="$(update_package_lists)" || log "going on without the failed index(es): $(echo $failed_indexes)"
fi
if [ "${#missing[@]}" -gt 0 ]; then
  log "installing ${#missing[@]} packages: ${missing[*]}"
  if [ $runs_32bit = 1 ] && ! sudo_if_needed env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1; then
    # A mirror caught mid-sync can serve an i386 index whose packages no longer match
    # their amd64 twins. The 64-bit road needs no i386 package: take it until the
    # mirror is whole again (build.sh and wine_prefix.sh follow what is installed).
    native=(); for p in "${missing[@]}"; do [[ "$p" == *:i386 ]] || native+=("$p"); done
    log "the i386 packages cannot be installed${failed_indexes:+ (the index $(echo $failed_indexes) could not be updated)}: no 32-bit Wine; the Wine tests take the 64-bit road"
    [ ${#native[@]} -eq 0 ] || install_packages "$failed_indexes" "${native[@]}"
  elif [ $runs_32bit = 0 ]; then
    install_packages "$failed_indexes" "${missing[@]}"
  fi
fi

# Wine takes its code pages from the locale: generate the Japanese one (cp932).
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  log "generating the ja_JP.UTF-8 locale"
  sudo_if_needed sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  sudo_if_needed locale-gen >/dev/null
fi

# --- Third-party libraries, cross-built from Debian's sources ----------------
"$here/build_deps.sh"

# --- Wine prefix (for the architecture this machine can run) ------------------
"$here/wine_prefix.sh"
log "set-up complete"
