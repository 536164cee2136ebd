#!/usr/bin/env bash
# Cross-builds the third-party libraries from Debian's source packages as static
# libraries for Windows, into $KORVO_CACHE/deps/<triple>-<key>. The key covers the
# source versions, the compiler and this script, so a second run does nothing.
# The host build takes Debian's -dev packages, but for libvorbis: it links the
# same fixed source as the Windows builds, built here for the host ("host").
#
#   tools/build_deps.sh [triple...]     (default: i686-w64-mingw32 x86_64-w64-mingw32 host)
#   tools/build_deps.sh --prefix TRIPLE  prints the prefix for TRIPLE (or "host")
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"

# zlib's security update has no downloadable source; its first release does.
SOURCES=(zlib libpng1.6 libjpeg-turbo libogg libvorbis libtheora bullet)
declare -A PINNED=([zlib]="1:1.2.13.dfsg-1")

deps_root="$KORVO_CACHE/deps"
src_root="$deps_root/src"
mkdir -p "$src_root"

# Source versions apt knows, newest first (or the pinned one).
candidate_versions() {
  local name="$1"
  if [ -n "${PINNED[$name]:-}" ]; then echo "${PINNED[$name]}"; return; fi
  apt-cache showsrc "$name" | awk '/^Version:/{print $2}' | sort -uVr
}

# The version used: the newest whose source could be fetched (remembered), else the newest.
source_version() {
  local name="$1"
  if [ -f "$src_root/$name.version" ]; then cat "$src_root/$name.version"; return; fi
  candidate_versions "$name" | head -1
}

versions_key() {
  local triple="$1" v all=""
  for n in "${SOURCES[@]}"; do v="$(source_version "$n")"; all+="$n=$v;"; done
  if [ "$triple" = host ]; then all+="cc=$(gcc -dumpfullversion 2>/dev/null);"
  else all+="cc=$("$triple-gcc-posix" -dumpfullversion 2>/dev/null);"; fi
  all+="script=$(sha1sum "$0" | cut -c1-12)"
  echo "$all" | sha1sum | cut -c1-12
}

prefix_for() { echo "$deps_root/$1-$(versions_key "$1")"; }

if [ "${1:-}" = "--prefix" ]; then prefix_for "$2"; exit 0; fi

# Unpacked (Debian patches applied) source folder of a package, fetched once.
# A security update's source is sometimes not downloadable: fall back to older ones.
fetch_source() {
  local name="$1" version dir
  version="$(source_version "$name")"
  dir="$src_root/$name-${version//[:~+]/_}"
  if [ ! -f "$dir/.unpacked" ]; then
    local ok=0
    for version in $(candidate_versions "$name"); do
      dir="$src_root/$name-${version//[:~+]/_}"
      rm -rf "$dir"; mkdir -p "$dir"
      if ( cd "$dir" && apt-get source -qq "$name=$version" >/dev/null 2>&1 ); then
        touch "$dir/.unpacked"; echo "$version" > "$src_root/$name.version"; ok=1; break
      fi
      rm -rf "$dir"
    done
    [ $ok = 1 ] || { log "no source of $name could be fetched"; return 1; }
  fi
  # The one unpacked folder inside.
  find "$dir" -mindepth 1 -maxdepth 1 -type d | head -1
}

# Copies a package's unpacked source to a work folder.
copy_source() {
  local src; src="$(fetch_source "$1")" || exit 1
  [ -n "$src" ] || { log "no unpacked source for $1"; exit 1; }
  cp -a "$src" "$2"
}

# libvorbis 1.3.7 fixes, applied to every build of it (each edit must find its place):
# - a decoder set-up that fails on a bad codebook left the codebook table half
#   built, and the next set-up (vorbisfile retries at every read or seek) decoded
#   with empty codebooks and divided by their zero dimension: drop the table;
# - a codebook with a value mapping and no dimension makes its value count loop
#   for ever and residue type 0 divide by zero: refuse it.
fix_vorbis_source() {
  local lib="$1/lib"
  perl -0pi -e 's/(\n abort_books:\n)/$1  if(ci->fullbooks){\n    for(i=0;i<ci->books;i++)vorbis_book_clear(ci->fullbooks+i);\n    _ogg_free(ci->fullbooks);\n    ci->fullbooks=NULL;\n  }\n/ or die "libvorbis: no place for the codebook-table fix\n"' "$lib/block.c"
  perl -0pi -e 's/(\n[ \t]*case 1: case 2:\n)/$1    if(s->dim<1)goto _errout;\n/ or die "libvorbis: no place for the codebook-dimension fix\n"' "$lib/codebook.c"
}

cmake_build() {  # source-dir build-dir extra-args...
  local src="$1" bld="$2"; shift 2
  cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_FIND_ROOT_PATH="/usr/$triple;$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
    -DBUILD_SHARED_LIBS=OFF "$@" >"$bld.log" 2>&1
}

build_triple() {
  triple="$1"
  prefix="$(prefix_for "$triple")"
  if [ -f "$prefix/.complete" ]; then log "third-party libraries for $triple: cached"; return; fi
  log "cross-building third-party libraries for $triple into $prefix"
  toolchain="$KORVO_ROOT/cmake/toolchain-$triple.cmake"
  local work="$prefix.work"
  rm -rf "$prefix" "$work"; mkdir -p "$prefix" "$work"
  export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
  local jobs; jobs="$(nproc)"

  # zlib: its own configure; its CMake always adds a DLL.
  copy_source zlib "$work/zlib"
  ( cd "$work/zlib" && CHOST="$triple" CC="$triple-gcc-posix" AR="$triple-ar" RANLIB="$triple-ranlib" \
      ./configure --static --prefix="$prefix" >../zlib.log 2>&1 && make -j"$jobs" install >>../zlib.log 2>&1 )

  # libpng: its x86 filter test does not know i686; widen it so the SSE2 filters build.
  copy_source libpng1.6 "$work/png"
  sed -i 's/"\^i?86"/"^i?[3-6]?86"/' "$work/png/CMakeLists.txt"
  cmake_build "$work/png" "$work/png-build" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DZLIB_ROOT="$prefix" -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
  cmake --build "$work/png-build" -j"$jobs" --target install >>"$work/png-build.log" 2>&1

  copy_source libjpeg-turbo "$work/jpeg"
  cmake_build "$work/jpeg" "$work/jpeg-build" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm
  cmake --build "$work/jpeg-build" -j"$jobs" --target install >>"$work/jpeg-build.log" 2>&1

  copy_source libogg "$work/ogg"
  cmake_build "$work/ogg" "$work/ogg-build" -DBUILD_TESTING=OFF -DINSTALL_DOCS=OFF
  cmake --build "$work/ogg-build" -j"$jobs" --target install >>"$work/ogg-build.log" 2>&1

  copy_source libvorbis "$work/vorbis"
  fix_vorbis_source "$work/vorbis"
  cmake_build "$work/vorbis" "$work/vorbis-build" -DBUILD_TESTING=OFF \
    -DOGG_INCLUDE_DIR="$prefix/include" -DOGG_LIBRARY="$prefix/lib/libogg.a"
  cmake --build "$work/vorbis-build" -j"$jobs" --target install >>"$work/vorbis-build.log" 2>&1

  # libtheora: autotools; the dfsg tarball lacks what doc/ and tests/ need.
  copy_source libtheora "$work/theora"
  local asm=""; [ "$triple" = x86_64-w64-mingw32 ] && asm="--disable-asm"
  ( cd "$work/theora" \
    && sed -i 's/^SUBDIRS = .*/SUBDIRS = lib include/' Makefile.in \
    && touch aclocal.m4 && touch configure config.h.in && find . -name Makefile.in -exec touch {} + \
    && ./configure --host="$triple" CC="$triple-gcc-posix" --prefix="$prefix" --disable-shared --enable-static \
         --disable-examples --disable-oggtest --disable-vorbistest --disable-sdltest \
         --with-ogg="$prefix" $asm >../theora.log 2>&1 \
    && make -j"$jobs" >>../theora.log 2>&1 && make install >>../theora.log 2>&1 )

  # Bullet: only the three libraries the models need.
  copy_source bullet "$work/bullet"
  cmake_build "$work/bullet" "$work/bullet-build" -DBUILD_BULLET3=OFF -DBUILD_EXTRAS=OFF \
    -DBUILD_UNIT_TESTS=OFF -DBUILD_CPU_DEMOS=OFF -DBUILD_OPENGL3_DEMOS=OFF -DBUILD_BULLET2_DEMOS=OFF \
    -DBUILD_PYBULLET=OFF -DUSE_DOUBLE_PRECISION=OFF -DINSTALL_LIBS=ON -DUSE_GLUT=OFF -DUSE_GRAPHICAL_BENCHMARK=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON
  cmake --build "$work/bullet-build" -j"$jobs" --target LinearMath BulletCollision BulletDynamics >>"$work/bullet-build.log" 2>&1
  for d in LinearMath BulletCollision BulletDynamics; do
    cmake --install "$work/bullet-build/src/$d" >>"$work/bullet-build.log" 2>&1
  done

  rm -rf "$work"
  touch "$prefix/.complete"
  log "third-party libraries for $triple: built"
}

# The host's libvorbis (static, position-independent), over Debian's libogg.
build_host() {
  prefix="$(prefix_for host)"
  if [ -f "$prefix/.complete" ]; then log "fixed libvorbis for the host build: cached"; return; fi
  log "building the fixed libvorbis for the host build into $prefix"
  local work="$prefix.work"
  rm -rf "$prefix" "$work"; mkdir -p "$prefix" "$work"
  copy_source libvorbis "$work/vorbis"
  fix_vorbis_source "$work/vorbis"
  cmake -S "$work/vorbis" -B "$work/vorbis-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON \
    -DBUILD_TESTING=OFF >"$work/vorbis-build.log" 2>&1
  cmake --build "$work/vorbis-build" -j"$(nproc)" --target install >>"$work/vorbis-build.log" 2>&1
  rm -rf "$work"
  touch "$prefix/.complete"
  log "fixed libvorbis for the host build: built"
}

triples=("$@")
[ ${#triples[@]} -eq 0 ] && triples=(i686-w64-mingw32 x86_64-w64-mingw32 host)
# Fetch every source first (the version key depends on what could be fetched).
for n in "${SOURCES[@]}"; do fetch_source "$n" >/dev/null || exit 1; done
for t in "${triples[@]}"; do
  set +e
  if [ "$t" = host ]; then ( set -e; build_host ); else ( set -e; build_triple "$t" ); fi
  rc=$?
  set -e
  if [ $rc != 0 ]; then
    log "building third-party libraries for $t failed (logs under $(prefix_for "$t").work)"
    exit 1
  fi
done
