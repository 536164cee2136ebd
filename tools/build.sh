#!/usr/bin/env bash
# Builds everything: the host build (portable core with sanitizers, tools,
# benchmarks), the thread-checking host build (the core services and their
# threaded tests under ThreadSanitizer), the 32-bit Windows build (the library, Velmora.exe and its tests)
# and, on machines that cannot execute 32-bit code, a 64-bit Windows build of the
# same code whose tests Wine runs instead.
#   tools/build.sh            set-up (idempotent), then all builds
#   KORVO_SKIP_SETUP=1 tools/build.sh    skip the set-up step
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"

[ "${KORVO_SKIP_SETUP:-0}" = 1 ] || "$here/setup.sh"

jobs="${KORVO_JOBS:-$(nproc)}"
configure() {  # build-dir extra-args...
  local dir="$1"; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$KORVO_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  else
    cmake "$dir" "$@" >/dev/null
  fi
}

log "host build (sanitizers on)"
configure "$KORVO_BUILD/host"
cmake --build "$KORVO_BUILD/host" -j"$jobs"

log "host build of the threaded tests (ThreadSanitizer)"
configure "$KORVO_BUILD/tsan" -DKORVO_THREAD_SANITIZER=ON
cmake --build "$KORVO_BUILD/tsan" -j"$jobs"
host_trees=(-DKORVO_HOST_BUILD_DIR="$KORVO_BUILD/host" -DKORVO_TSAN_BUILD_DIR="$KORVO_BUILD/tsan")

log "32-bit Windows build"
configure "$KORVO_BUILD/win32" -DCMAKE_TOOLCHAIN_FILE="$KORVO_ROOT/cmake/toolchain-i686-w64-mingw32.cmake" \
  -DKORVO_DEPS_PREFIX="$("$here/build_deps.sh" --prefix i686-w64-mingw32)"

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  test_tree=win32
  configure "$KORVO_BUILD/win32" "${host_trees[@]}"
  cmake --build "$KORVO_BUILD/win32" -j"$jobs"
else
  # This machine cannot execute 32-bit code: build the 32-bit product, and run the
  # Wine tests from a 64-bit build of the same sources.
  test_tree=win64
  cmake --build "$KORVO_BUILD/win32" -j"$jobs"
  log "64-bit Windows build (for the Wine tests: this machine runs no 32-bit code)"
  configure "$KORVO_BUILD/win64" -DCMAKE_TOOLCHAIN_FILE="$KORVO_ROOT/cmake/toolchain-x86_64-w64-mingw32.cmake" \
    -DKORVO_DEPS_PREFIX="$("$here/build_deps.sh" --prefix x86_64-w64-mingw32)" \
    "${host_trees[@]}" -DKORVO_PRODUCT_BUILD_DIR="$KORVO_BUILD/win32"
  cmake --build "$KORVO_BUILD/win64" -j"$jobs"
fi
echo "$test_tree" > "$KORVO_BUILD/test-tree"
log "built; Wine runs the $test_tree build"
