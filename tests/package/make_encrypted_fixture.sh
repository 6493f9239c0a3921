#!/usr/bin/env bash
# A package holding an already encrypted database. Keying needs the Windows
# build of SQLite3 Multiple Ciphers, so this runs under Wine at test time.
set -euo pipefail
build=$(cd "${1:?build dir}" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
pkg="$build/package_fixtures/pkg"
cp "$pkg/corpus.db" "$pkg/encrypted.db"
TIVRA_BUILD_DIR="$build" "$root/tools/wine-run.sh" "$build/tools/corpus_key.exe" "Z:$pkg/encrypted.db"
if head -c 16 "$pkg/encrypted.db" | grep -q "SQLite format 3"; then
  echo "encrypted.db was not keyed" >&2
  exit 1
fi
# The maker wants a plain database, so the archive is made here.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$pkg/encrypted.db" "$work/app.db"
(cd "$work" && 7zz a -bd -y encrypted.7z app.db >/dev/null)
python3 "$root/tools/make_package.py" --iv 00112233445566778899aabbccddeeff --archive "$work/encrypted.7z" \
  "$pkg/encrypted.enc"
