#!/usr/bin/env bash
# Builds Tivra, lays out the release folder (build/release: the exe, the demo
# corpus as a data package, an empty lib folder) and starts Tivra.exe from it
# under Wine; its first start installs the package. Headless machines get Xvfb
# and a screenshot in build/demo.png.
# The demo runs in a Wine prefix of its own (build/wineprefix-demo), so a second
# run ends the first run's demo through that prefix's wineserver, and nothing
# the tests run in build/wineprefix is touched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/tools/setup.sh"
"$root/tools/build.sh" "$build"
prefix="$build/wineprefix-demo"
"$root/tools/prepare-wine.sh" "$build" "$prefix"
# A demo left running from an earlier run would hold the single-instance mutex.
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w 2>/dev/null || true
"$root/tools/release.sh" "$build"
exe="$build/release/Tivra.exe"
winepath_of() { echo "Z:${1//\//\\}"; }
run() { WINEPREFIX="$prefix" TIVRA_BUILD_DIR="$build" "$root/tools/wine-run.sh" "$@"; }
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:92
  # The Xvfb an earlier run started, found by its recorded id, serves again.
  xpid_file="$build/demo-xvfb.pid"
  xpid=$(cat "$xpid_file" 2>/dev/null || true)
  if [ -z "$xpid" ] || ! { tr "\0" " " < "/proc/$xpid/cmdline"; } 2>/dev/null | grep -q "^Xvfb $DISPLAY "; then
    Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    echo $! > "$xpid_file"
  fi
  for _ in $(seq 300); do [ -e /tmp/.X11-unix/X92 ] && break; sleep 0.1; done
  # No window manager here: a Wine virtual desktop gives the window its frame.
  run explorer /desktop=Tivra,1280x1024 "$(winepath_of "$exe")" >/dev/null 2>&1 &
  # The window appears once the package is installed and the corpus is open.
  # It lives on the virtual desktop, out of the driver's sight, so the wait is
  # for the installed database and then for two equal screenshots that are
  # not a blank desktop.
  shot="$build/demo-poll.png" last="" shown=""
  for _ in $(seq 600); do
    if [ ! -e "$build/release/data/app.db.7z.enc" ] && [ "$(stat -c %s "$build/release/data/app.db" 2>/dev/null || echo 0)" -gt 1024 ] &&
       import -display "$DISPLAY" -window root "$shot" 2>/dev/null; then
      sum=$(md5sum < "$shot")
      colours=$(convert "$shot" -format '%k' info: 2>/dev/null || echo 0)
      if [ "$sum" = "$last" ] && [ "$colours" -gt 16 ]; then shown=1; break; fi
      last=$sum
    fi
    sleep 0.5
  done
  rm -f "$shot"
  [ -n "$shown" ] || { echo "run-demo: the window did not show within five minutes" >&2; exit 1; }
  import -display "$DISPLAY" -window root "$build/demo.png"
  echo "screenshot saved to $build/demo.png"
  ls "$build/release/data"
else
  exec env WINEPREFIX="$prefix" TIVRA_BUILD_DIR="$build" "$root/tools/wine-run.sh" "$exe"
fi
