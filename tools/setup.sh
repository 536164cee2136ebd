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
packages=(
  g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  cmake ninja-build nasm pkg-config autoconf automake libtool make dpkg-dev
  wine wine32:i386 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386
  wine64 libgl1 libgl1-mesa-dri libglx-mesa0
  xvfb xauth xdotool imagemagick fonts-ipafont-gothic
  googletest libgtest-dev g++ locales
  zlib1g-dev libpng-dev libjpeg62-turbo-dev libogg-dev libvorbis-dev libtheora-dev
  libbullet-dev
  libsdl2-dev libpixman-1-dev
  python3 lame gstreamer1.0-tools
  python3-pil sox
)
# Wine decodes MP3 through its media graph with GStreamer: the plug-ins of both
# Wine architectures (which one runs the tests is known only once Wine is in).
for p in gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav; do
  packages+=("$p:i386" "$p:amd64")
done

ensure_apt_sources() {
  local changed=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
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

sources_changed="$(ensure_apt_sources)"
mapfile -t missing < <(missing_packages)
if [ "$sources_changed" = 1 ] || [ "${#missing[@]}" -gt 0 ] || ! apt-cache showsrc zlib >/dev/null 2>&1 || [ -z "$(apt-cache showsrc zlib 2>/dev/null)" ]; then
  log "updating package lists"
  sudo_if_needed apt-get update -qq
fi
if [ "${#missing[@]}" -gt 0 ]; then
  log "installing ${#missing[@]} packages: ${missing[*]}"
  sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
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
