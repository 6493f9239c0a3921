#!/usr/bin/env bash
# Builds Tivra and starts it under Wine; headless machines get Xvfb and a screenshot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/tools/setup.sh"
"$root/tools/build.sh" "$build"
"$root/tools/prepare-wine.sh" "$build"
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:92
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  sleep 2
  TIVRA_BUILD_DIR="$build" "$root/tools/wine-run.sh" "$build/Tivra.exe" &
  sleep 8
  import -display "$DISPLAY" -window root "$build/demo.png"
  echo "screenshot saved to $build/demo.png"
else
  exec env TIVRA_BUILD_DIR="$build" "$root/tools/wine-run.sh" "$build/Tivra.exe"
fi
