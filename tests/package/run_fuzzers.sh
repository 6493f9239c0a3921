#!/usr/bin/env bash
# Builds the package fuzzers natively (clang, libFuzzer, AddressSanitizer) and
# runs each for SECONDS (default 30): the 7z reading and first-file extraction
# over arbitrary archives, and the package file's size checks, header and
# ciphertext buffer over arbitrary files. Seeds are archives 7zz makes for every
# method the extractor decodes; inputs that ever failed are kept in
# tests/package/fuzz_corpus_* and replayed first.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-30}
out=${FUZZ_BUILD_DIR:-$root/build-fuzz}/package
lzma=${LZMA_DIR:-$root/.deps/lzma/C}
mkdir -p "$out/lzma"
sanitize=-fsanitize=address,undefined
flags=(-g -O1 "$sanitize" -fno-sanitize-recover=all -I"$root" -I"$lzma")
objects=()
for c in 7zAlloc 7zArcIn 7zBuf 7zBuf2 7zCrc 7zCrcOpt 7zDec 7zStream Bcj2 Bra Bra86 BraIA64 CpuArch Delta \
         LzmaDec Lzma2Dec; do
  obj="$out/lzma/$c.o"
  # The decoder reads unaligned words and offsets null buffers by zero on
  # purpose; memory errors in it are what counts, so it gets AddressSanitizer only.
  [ "$obj" -nt "$lzma/$c.c" ] || clang -g -O1 -fsanitize=address,fuzzer-no-link -w -I"$lzma" \
    -c "$lzma/$c.c" -o "$obj"
  objects+=("$obj")
done
clang++ -std=c++20 "${flags[@]}" -fsanitize=fuzzer "$root/tests/package/fuzz_archive.cpp" \
  "$root/package/archive_read.cpp" "${objects[@]}" -o "$out/fuzz_archive"
clang++ -std=c++20 "${flags[@]}" -fsanitize=fuzzer "$root/tests/package/fuzz_package_file.cpp" \
  "$root/package/package_file.cpp" -o "$out/fuzz_package_file"

# Seeds: small archives of every method, with several files, folders, empty
# files and long names; and packages made of them.
seeds="$out/seeds"
if [ ! -f "$seeds/.done" ]; then
  rm -rf "$seeds" && mkdir -p "$seeds/archive" "$seeds/package" "$seeds/src/dir/sub"
  (
    cd "$seeds/src"
    for i in $(seq 1 60); do echo "line $i of a small payload"; done > a.txt
    head -c 1500 /dev/urandom > b.bin
    : > empty.txt
    : > dir/sub/empty-in-folder
    echo nested > dir/sub/c.txt
    long=$(printf 'n%.0s' $(seq 1 200))
    echo long > "$long.txt"
    echo 中文 > 中文名.txt
    for m in Copy LZMA LZMA2 Delta BCJ2 BCJ PPC IA64 ARM ARMT SPARC ARM64 RISCV; do
      case $m in
        Copy|LZMA|LZMA2) args=(-m0=$m) ;;
        Delta) args=(-m0=Delta:4 -m1=LZMA2) ;;
        BCJ2) args=(-m0=BCJ2 -m1=LZMA:d20 -m2=LZMA:d16 -m3=LZMA:d16 -mb0:1 -mb0s1:2 -mb0s2:3) ;;
        *) args=(-m0=$m -m1=LZMA2) ;;
      esac
      7zz a -bd -y "${args[@]}" "$seeds/archive/$m.7z" a.txt b.bin >/dev/null
    done
    7zz a -bd -y "$seeds/archive/several.7z" a.txt b.bin empty.txt >/dev/null
    7zz a -bd -y "$seeds/archive/folders.7z" dir a.txt >/dev/null
    7zz a -bd -y "$seeds/archive/only-folders.7z" dir/sub/empty-in-folder >/dev/null
    7zz a -bd -y "$seeds/archive/empty-first.7z" empty.txt a.txt >/dev/null
    7zz a -bd -y "$seeds/archive/long-name.7z" "$long.txt" 中文名.txt >/dev/null
    7zz a -bd -y -mhc=off "$seeds/archive/plain-header.7z" a.txt b.bin >/dev/null
    7zz a -bd -y -ms=off "$seeds/archive/not-solid.7z" a.txt b.bin c.txt 2>/dev/null >/dev/null || true
  )
  for a in "$seeds"/archive/*.7z; do
    head -c 24 /dev/urandom > "$seeds/package/$(basename "$a").enc"
    cat "$a" >> "$seeds/package/$(basename "$a").enc"
  done
  printf '0123456789abcdef' > "$seeds/package/short16"
  printf '0123456789abcdefWXYZwxyz' > "$seeds/package/header-only"
  touch "$seeds/.done"
fi

run() {
  local name=$1 corpus=$2 seed=$3
  mkdir -p "$out/$name.work" "$corpus"
  # Found inputs land in the kept corpus as crash-* files.
  "$out/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -artifact_prefix="$corpus/" \
    "$out/$name.work" "$corpus" "$seed"
}
run fuzz_archive "$root/tests/package/fuzz_corpus_archive" "$seeds/archive"
run fuzz_package_file "$root/tests/package/fuzz_corpus_package" "$seeds/package"
