#!/usr/bin/env bash
# Installs the Debian packages the build and tests need (once), then the pinned sources.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
need=(g++-mingw-w64-x86-64-posix wine64 wine xvfb fonts-wqy-microhei fonts-wine 7zip openssl python3 cmake ninja-build
      imagemagick x11-apps googletest xz-utils python3-jieba)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
command -v npm >/dev/null || { echo "npm is needed to fetch the database engine" >&2; exit 1; }
"$root/tools/fetch-deps.sh"
