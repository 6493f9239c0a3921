#!/usr/bin/env bash
# Runs a Windows executable in the build tree's own Wine prefix.
# Output goes through a file, not straight to our stdout: a Wine service the
# program happens to start (the desktop, say) inherits its handles, and when
# stdout is ctest's pipe the test would only end when that service ends.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${TIVRA_BUILD_DIR:-$here/../build}
export WINEPREFIX=${WINEPREFIX:-$(cd "$build" && pwd)/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
/usr/lib/wine/wine64 "$@" >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2
exit $status
