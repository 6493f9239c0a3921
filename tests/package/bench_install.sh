#!/usr/bin/env bash
# Installer benchmark on a full-size corpus: builds the corpus and its package,
# then prints the installation's stage times and peak memory (package_install_bench)
# and the real exe's first and second start (bench_first_start.py).
#   tests/package/bench_install.sh BUILD_DIR [METHOD]
set -euo pipefail
: "${DISPLAY:?the first-start timing needs a display (start Xvfb and set DISPLAY)}"
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?build dir}" && pwd)
method=${2:-LZMA2}
work="$build/bench"
mkdir -p "$work"
[ -f "$work/full-plain.db" ] || python3 "$root/tests/package/make_full_corpus.py" "$work/full-plain.db"
python3 "$root/tools/make_package.py" --method "$method" "$work/full-plain.db" "$work/full-$method.enc"
cmake --build "$build" --target package_install_bench Tivra tivra_driver >/dev/null
export TIVRA_BUILD_DIR="$build" TIVRA_SOURCE_DIR="$root"
"$root/tools/wine-run.sh" "$build/tests/package/package_install_bench.exe" "Z:$work/full-$method.enc"
python3 "$root/tests/package/bench_first_start.py" "$work/full-$method.enc"
