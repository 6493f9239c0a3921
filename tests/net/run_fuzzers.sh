#!/usr/bin/env bash
# Builds the manifest and report-escaping fuzzers natively (clang, libFuzzer,
# AddressSanitizer) and runs each for SECONDS (default 30). Inputs that ever
# failed are kept in tests/<folder>/fuzz_corpus and replayed first.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-30}
out=${FUZZ_BUILD_DIR:-$root/build-fuzz}
mkdir -p "$out"
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$root")
clang++ "${flags[@]}" "$root/tests/update/fuzz_manifest.cpp" "$root/update/manifest_text.cpp" -o "$out/fuzz_manifest"
clang++ "${flags[@]}" "$root/tests/telemetry/fuzz_report_text.cpp" "$root/telemetry/report_text.cpp" \
  -o "$out/fuzz_report_text"
run() {
  local name=$1 corpus=$2
  mkdir -p "$out/$name.work"
  # Found inputs land in the kept corpus as crash-* files.
  "$out/$name" -max_total_time="$seconds" -artifact_prefix="$corpus/" "$out/$name.work" "$corpus"
}
run fuzz_manifest "$root/tests/update/fuzz_corpus"
run fuzz_report_text "$root/tests/telemetry/fuzz_corpus"
