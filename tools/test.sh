#!/usr/bin/env bash
# Builds everything and runs every test under Wine (Xvfb when there is no display).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/tools/setup.sh"
"$root/tools/build.sh" "$build"
"$root/tools/prepare-wine.sh" "$build"
stop_x=""
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:91
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  stop_x=$!
  cleanup() { kill "$stop_x" 2>/dev/null || true; WINEPREFIX="$build/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true; }
  trap cleanup EXIT
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X91 ] && break; sleep 0.1; done
fi
cd "$build"
status=0
TIVRA_BUILD_DIR="$build" ctest --output-on-failure -j2 --timeout 600 || status=$?
exit $status
