#!/usr/bin/env bash
# Builds everything: the host build (portable core with sanitizers, tools,
# benchmarks), the thread-checking host build (the core services and their
# threaded tests under ThreadSanitizer), the 32-bit Windows build (the library, Velmora.exe and its tests)
# and, on machines that cannot execute 32-bit code, a 64-bit Windows build of the
# same code whose tests Wine runs instead (on the others, its library is built too,
# so that road keeps building).
#   tools/build.sh            set-up (idempotent), then all builds
#   KORVO_SKIP_SETUP=1 tools/build.sh    skip the set-up step (the third-party
#                                        libraries are still brought up to date)
#   KORVO_NO_32BIT=1 tools/build.sh      take the road of machines that run no 32-bit code
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"

if [ "${KORVO_SKIP_SETUP:-0}" = 1 ]; then
  # Set-up skipped, but the third-party libraries every tree links are still
  # built when their key (sources, compilers, build script) has changed since the
  # last run; when nothing changed this only finds them in place.
  "$here/build_deps.sh"
else
  "$here/setup.sh"
fi

jobs="${KORVO_JOBS:-$(nproc)}"
configure() {  # build-dir extra-args...
  local dir="$1"; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$KORVO_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  else
    cmake "$dir" "$@" >/dev/null
  fi
}

# The host builds link the fixed libvorbis that build_deps.sh made for them.
host_deps=(-DKORVO_HOST_DEPS_PREFIX="$("$here/build_deps.sh" --prefix host)")

log "host build (sanitizers on)"
configure "$KORVO_BUILD/host" "${host_deps[@]}"
cmake --build "$KORVO_BUILD/host" -j"$jobs"

log "host build of the threaded tests (ThreadSanitizer)"
configure "$KORVO_BUILD/tsan" -DKORVO_THREAD_SANITIZER=ON "${host_deps[@]}"
cmake --build "$KORVO_BUILD/tsan" -j"$jobs"
host_trees=(-DKORVO_HOST_BUILD_DIR="$KORVO_BUILD/host" -DKORVO_TSAN_BUILD_DIR="$KORVO_BUILD/tsan")

win32_args=(-DCMAKE_TOOLCHAIN_FILE="$KORVO_ROOT/cmake/toolchain-i686-w64-mingw32.cmake"
            -DKORVO_DEPS_PREFIX="$("$here/build_deps.sh" --prefix i686-w64-mingw32)")
win64_args=(-DCMAKE_TOOLCHAIN_FILE="$KORVO_ROOT/cmake/toolchain-x86_64-w64-mingw32.cmake"
            -DKORVO_DEPS_PREFIX="$("$here/build_deps.sh" --prefix x86_64-w64-mingw32)")
shader_images=generated/builtin_shader_images.cpp

if runs_32bit_code && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  test_tree=win32
  log "32-bit Windows build"
  configure "$KORVO_BUILD/win32" "${win32_args[@]}" "${host_trees[@]}" \
    -DKORVO_SHADER_BUILD_PROGRAM= -DKORVO_OTHER_SHADER_IMAGES="$KORVO_BUILD/win64/$shader_images"
  cmake --build "$KORVO_BUILD/win32" -j"$jobs"
  # Machines without 32-bit execution test the 64-bit build: keep it building. Its
  # library, and its shader images, which a test compares with the 32-bit ones.
  log "64-bit Windows library (the road of machines that run no 32-bit code)"
  configure "$KORVO_BUILD/win64" "${win64_args[@]}"
  cmake --build "$KORVO_BUILD/win64" -j"$jobs" --target korvo shader_images
else
  # This machine cannot execute 32-bit code (or KORVO_NO_32BIT=1): the Wine tests
  # run from a 64-bit build of the same sources, and the 32-bit product takes the
  # shader images that the 64-bit shader_build assembles under wine64.
  test_tree=win64
  log "64-bit Windows build (for the Wine tests: this machine runs no 32-bit code)"
  configure "$KORVO_BUILD/win64" "${win64_args[@]}" "${host_trees[@]}" \
    -DKORVO_PRODUCT_BUILD_DIR="$KORVO_BUILD/win32"
  cmake --build "$KORVO_BUILD/win64" -j"$jobs" --target shader_build
  log "32-bit Windows build (the shipped product: the library and Velmora.exe; its tests cannot run here)"
  configure "$KORVO_BUILD/win32" "${win32_args[@]}" \
    -DKORVO_SHADER_BUILD_PROGRAM="$KORVO_BUILD/win64/shader_build.exe" -DKORVO_OTHER_SHADER_IMAGES=
  cmake --build "$KORVO_BUILD/win32" -j"$jobs" --target korvo Velmora
  log "64-bit Windows build"
  cmake --build "$KORVO_BUILD/win64" -j"$jobs"
fi
echo "$test_tree" > "$KORVO_BUILD/test-tree"
log "built; Wine runs the $test_tree build"
