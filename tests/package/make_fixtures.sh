#!/usr/bin/env bash
# Builds the 7z archives the package tests read, one per method and filter.
set -euo pipefail
out=$1
rm -rf "$out" && mkdir -p "$out/src/dir1/dir2"
cd "$out/src"
head -c 200000 /dev/urandom > random.bin
for i in $(seq 1 3000); do echo "line $i of the payload"; done > payload.bin
cat random.bin >> payload.bin
echo "second file" > second.bin
for m in Copy LZMA LZMA2 Delta BCJ2 BCJ PPC IA64 ARM ARMT SPARC ARM64 RISCV; do
  case $m in
    Copy|LZMA|LZMA2) args=(-m0=$m) ;;
    Delta) args=(-m0=Delta:4 -m1=LZMA2) ;;
    BCJ2) args=(-m0=BCJ2 -m1=LZMA:d25 -m2=LZMA:d19 -m3=LZMA:d19 -mb0:1 -mb0s1:2 -mb0s2:3) ;;
    *) args=(-m0=$m -m1=LZMA2) ;;
  esac
  7zz a -bd -y "${args[@]}" "$out/$m.7z" payload.bin >/dev/null
done
7zz a -bd -y "$out/two.7z" payload.bin second.bin >/dev/null
7zz a -bd -y "$out/dirs.7z" dir1 payload.bin >/dev/null
7zz a -bd -y "$out/empty.7z" dir1 >/dev/null
printf 'this is not a 7z archive at all' > "$out/notseven.7z"
(cd dir1 && 7zz a -bd -y -spf "$out/dotdot.7z" ../payload.bin >/dev/null)
7zz a -bd -y -spf "$out/abs.7z" "$out/src/second.bin" >/dev/null
printf 'hello package' | openssl enc -aes-128-cbc -K 30313233343536373839616263646566 -iv 000102030405060708090a0b0c0d0e0f -out "$out/hello.enc"
