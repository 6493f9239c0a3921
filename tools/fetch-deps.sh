#!/usr/bin/env bash
# Fetches and verifies the pinned third-party sources into .deps/ (git-ignored), once.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deps="$root/.deps"
mkdir -p "$deps/dl"

SQLITE_PKG=better-sqlite3-multiple-ciphers@12.5.0
SQLITE_TGZ=better-sqlite3-multiple-ciphers-12.5.0.tgz
SQLITE_SHA=3841d17cfa1b01376d331e9087fdcd06f7e55e22d7c8f126a13f004ef12e8035
SEVENZIP_VER=22.01+really26.02+dfsg-0+deb12u1
SEVENZIP_ORIG=7zip_22.01+really26.02+dfsg.orig.tar.xz
SEVENZIP_SHA=cbd9aef3b1a6596aafece29601df759f05c4d1b5619619b42ece125b8fe4d9a8

check() { echo "$2  $1" | sha256sum -c --quiet - ; }

# SQLite3 Multiple Ciphers amalgamation, from the npm package.
if [ ! -f "$deps/sqlite3/sqlite3.c" ]; then
  if [ ! -f "$deps/dl/$SQLITE_TGZ" ] || ! check "$deps/dl/$SQLITE_TGZ" "$SQLITE_SHA"; then
    (cd "$deps/dl" && npm pack --silent "$SQLITE_PKG" >/dev/null)
  fi
  check "$deps/dl/$SQLITE_TGZ" "$SQLITE_SHA"
  rm -rf "$deps/sqlite3.tmp" && mkdir -p "$deps/sqlite3.tmp"
  tar -xzf "$deps/dl/$SQLITE_TGZ" -C "$deps/sqlite3.tmp" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
  rm -rf "$deps/sqlite3"
  mv "$deps/sqlite3.tmp/package/deps/sqlite3" "$deps/sqlite3"
  rm -rf "$deps/sqlite3.tmp"
fi

# LZMA SDK C sources, from Debian's 7zip source package. A private apt
# configuration adds deb-src lines for the hosts the machine already uses.
if [ ! -f "$deps/lzma/C/7zDec.c" ]; then
  if [ ! -f "$deps/dl/$SEVENZIP_ORIG" ] || ! check "$deps/dl/$SEVENZIP_ORIG" "$SEVENZIP_SHA"; then
    apt_dir="$deps/apt"
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d"
    : > "$apt_dir/sources.list"
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] || continue
      sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >> "$apt_dir/sources.list"
    done
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      sed -e 's/^Types:.*/Types: deb-src/' "$f" > "$apt_dir/sources.list.d/$(basename "$f")"
    done
    opts=(-o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
          -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" -o Debug::NoLocking=1)
    apt-get "${opts[@]}" update -qq
    (cd "$deps/dl" && apt-get "${opts[@]}" source --download-only -qq "7zip=$SEVENZIP_VER")
  fi
  check "$deps/dl/$SEVENZIP_ORIG" "$SEVENZIP_SHA"
  rm -rf "$deps/lzma.tmp" && mkdir -p "$deps/lzma.tmp"
  tar -xJf "$deps/dl/$SEVENZIP_ORIG" -C "$deps/lzma.tmp"
  top=$(ls "$deps/lzma.tmp")
  rm -rf "$deps/lzma" && mkdir -p "$deps/lzma"
  mv "$deps/lzma.tmp/$top/C" "$deps/lzma/C"
  rm -rf "$deps/lzma.tmp"
fi

# GoogleTest sources as Debian installs them.
if [ ! -d /usr/src/googletest/googletest ]; then
  echo "googletest sources missing: install Debian's googletest package" >&2
  exit 1
fi
echo "dependencies ready in $deps"
