#!/usr/bin/env bash
# Set-up, all builds, then one CTest run: the host tests (sanitizers on) and the
# Windows tests under Wine. CTest's summary line closes the run; a tree that
# registered no test fails.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"

"$here/build.sh"
tree="$(cat "$KORVO_BUILD/test-tree")"
cd "$KORVO_BUILD/$tree"
exec ctest --output-on-failure --no-tests=error -j"${KORVO_JOBS:-$(nproc)}" "$@"
