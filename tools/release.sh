#!/usr/bin/env bash
# Lays out what a Windows user unzips: Tivra.exe beside data/app.db.7z.enc (the
# demo corpus as a data package) and an empty lib folder, in BUILD/release, and
# zips that folder as BUILD/Tivra-<version>-win64.zip. Builds what it needs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
version=$(sed -n 's/^#define APP_VERSION "\(.*\)"$/\1/p' "$root/app/app_version.h")
[ -n "$version" ] || { echo "release: no APP_VERSION in app/app_version.h" >&2; exit 1; }

cmake --build "$build" --target Tivra demo_corpus >/dev/null
release="$build/release"
rm -rf "$release"
mkdir -p "$release/data" "$release/lib"
cp "$build/Tivra.exe" "$release/"
python3 "$root/tools/make_package.py" "$build/demo/demo-plain.db" "$release/data/app.db.7z.enc"
python3 "$root/tools/make_package.py" --check "$release/data/app.db.7z.enc" >/dev/null

zip="$build/Tivra-$version-win64.zip"
python3 - "$release" "$zip" "Tivra-$version-win64" <<'PY'
import os, sys, zipfile
release, target, top = sys.argv[1:]
with zipfile.ZipFile(target + ".part", "w", zipfile.ZIP_DEFLATED) as z:
    for parent, dirs, files in os.walk(release):
        dirs.sort()
        rel = os.path.relpath(parent, release)
        base = top if rel == "." else top + "/" + rel.replace(os.sep, "/")
        if not files and not dirs:
            z.writestr(zipfile.ZipInfo(base + "/"), b"")  # keep the empty lib folder
        for name in sorted(files):
            z.write(os.path.join(parent, name), base + "/" + name)
os.replace(target + ".part", target)
PY
echo "release folder: $release"
echo "zip: $zip"
