#!/usr/bin/env bash
# Builds Tivra, lays out the release folder (build/release: the exe, the demo
# corpus as a data package, an empty lib folder) and starts Tivra.exe from it
# under Wine; its first start installs the package. Headless machines get Xvfb
# and a screenshot in build/demo.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/tools/setup.sh"
"$root/tools/build.sh" "$build"
"$root/tools/prepare-wine.sh" "$build"
"$root/tools/release.sh" "$build"
exe="$build/release/Tivra.exe"
winepath_of() { echo "Z:${1//\//\\}"; }
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:92
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X92 ] && break; sleep 0.1; done
  # A demo left running from an earlier run would hold the single-instance mutex.
  pkill -f 'build[\\/]release[\\/]Tivra\.exe' 2>/dev/null || true
  sleep 1
  # No window manager here: a Wine virtual desktop gives the window its frame.
  TIVRA_BUILD_DIR="$build" "$root/tools/wine-run.sh" explorer /desktop=Tivra,1280x1024 "$(winepath_of "$exe")" >/dev/null 2>&1 &
  # The window appears once the package is installed and the corpus is open.
  for _ in $(seq 120); do
    TIVRA_BUILD_DIR="$build" "$root/tools/wine-run.sh" "$build/tests/tivra_driver.exe" find >/dev/null 2>&1 && break
    sleep 0.5
  done
  sleep 2
  import -display "$DISPLAY" -window root "$build/demo.png"
  echo "screenshot saved to $build/demo.png"
  ls "$build/release/data"
else
  exec env TIVRA_BUILD_DIR="$build" "$root/tools/wine-run.sh" "$exe"
fi
