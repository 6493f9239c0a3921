#!/usr/bin/env bash
# Runs a Windows executable in the build tree's own Wine prefix.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${TIVRA_BUILD_DIR:-$here/../build}
export WINEPREFIX=${WINEPREFIX:-$(cd "$build" && pwd)/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
exec /usr/lib/wine/wine64 "$@"
