#!/usr/bin/env bash
# Builds the data layer natively (clang) and runs its tests:
#   run_native.sh diff [DB]      differential test, index against statements
#                                (DB: a plain corpus; default the generated one)
#   run_native.sh fuzz SECONDS   libFuzzer + AddressSanitizer over term handling
# NATIVE_BUILD_DIR (default build-native) holds the objects and the corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${NATIVE_BUILD_DIR:-$root/build-native}
mode=${1:-diff}
mkdir -p "$out"
sqlite_src=$root/.deps/sqlite3
layer=("$root/corpus/like_filter.cpp" "$root/corpus/like_match.cpp" "$root/corpus/text_convert.cpp"
       "$root/corpus/row_text.cpp" "$root/corpus/corpus_statements.cpp" "$root/corpus/search_index.cpp")
# The engine once per build folder; it changes only with the fetched sources.
exec 9>"$out/sqlite3.lock"
flock 9  # the differential test and the fuzzer may build at once
if [[ ! -f $out/sqlite3.o || $sqlite_src/sqlite3.c -nt $out/sqlite3.o ]]; then
  clang -O2 -w -c -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION -DSQLITE_DQS=0 \
    "$sqlite_src/sqlite3.c" -o "$out/sqlite3.o.tmp"
  mv "$out/sqlite3.o.tmp" "$out/sqlite3.o"
fi
flock -u 9
flags=(-std=c++20 -g -O1 -Wall -Wextra -Wshadow -I"$root" -I"$sqlite_src")
case $mode in
  diff)
    db=${2:-$out/diff-corpus.db}
    if [[ $# -lt 2 ]]; then
      /usr/bin/python3 "$root/tests/corpus/make_diff_corpus.py" "$db"
    fi
    # Optimised, so thousands of searches through both paths stay within a minute.
    clang++ "${flags[@]}" -O2 "$root/tests/corpus/index_diff_test.cpp" "${layer[@]}" "$out/sqlite3.o" \
      -lgtest -lgtest_main -lpthread -ldl -o "$out/index_diff_test"
    CORPUS_DIFF_DB=$db "$out/index_diff_test"
    ;;
  fuzz)
    seconds=${2:-30}
    clang++ "${flags[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
      "$root/tests/corpus/fuzz_index_terms.cpp" "${layer[@]}" "$out/sqlite3.o" -lpthread -ldl \
      -o "$out/fuzz_index_terms"
    corpus=$root/tests/corpus/fuzz_corpus
    mkdir -p "$out/fuzz_index_terms.work" "$corpus"
    # Found inputs land in the kept corpus as crash-* files.
    "$out/fuzz_index_terms" -max_total_time="$seconds" -max_len=700 -artifact_prefix="$corpus/" \
      "$out/fuzz_index_terms.work" "$corpus"
    ;;
  *) echo "usage: run_native.sh diff [DB] | fuzz SECONDS" >&2; exit 2 ;;
esac
