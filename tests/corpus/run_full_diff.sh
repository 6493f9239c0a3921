#!/usr/bin/env bash
# The index's differential test over the full-size benchmark corpus, natively:
#   run_full_diff.sh [SEARCHES] [ID_STRIDE]
# SEARCHES random searches (default 3000) and every ID_STRIDE-th word id
# (default 20). The corpus is made once in NATIVE_BUILD_DIR (default build-native).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${NATIVE_BUILD_DIR:-$root/build-native}
mkdir -p "$out"
db=$out/bench-plain.db
if [[ ! -f $db ]]; then
  /usr/bin/python3 "$root/tests/bench/make_bench_corpus.py" "$db.tmp"
  mv "$db.tmp" "$db"
fi
CORPUS_DIFF_SEARCHES=${1:-3000} CORPUS_DIFF_ID_STRIDE=${2:-20} NATIVE_BUILD_DIR=$out \
  bash "$root/tests/corpus/run_native.sh" diff "$db"
