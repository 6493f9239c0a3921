#!/usr/bin/env bash
# Times the corpus builder on a generated folder of 160 reports of 3 million characters
# in all and prints the wall time and the peak memory. Usage: bench_build_corpus.sh [WORK_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-$root/build/bench/reports-bench}
rm -rf "$work"
mkdir -p "$work"
/usr/bin/python3 "$root/tests/bench/make_report_folder.py" "$work/reports"
/usr/bin/time -f "wall %e s, peak memory %M KiB" -o "$work/time.txt" \
  /usr/bin/python3 "$root/tools/build_corpus.py" "$work/reports" "$work/bench.db"
cat "$work/time.txt"
