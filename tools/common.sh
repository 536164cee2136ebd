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
