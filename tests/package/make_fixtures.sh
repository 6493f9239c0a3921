#!/usr/bin/env bash
# Builds the 7z archives the package tests read, one per method and filter.
set -euo pipefail
out=$1
maker=$(cd "$(dirname "$0")/../../tools" && pwd)/make_package.py
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

# 7zz really used each method: a silent fallback would make the round trips hollow.
for m in Copy LZMA LZMA2 Delta BCJ2 BCJ PPC IA64 ARM ARMT SPARC ARM64 RISCV; do
  7zz l -slt "$out/$m.7z" | grep -q "^Method = .*\b$m\b" || { echo "$m.7z lacks $m" >&2; exit 1; }
done

# Data packages for the installer tests, made by the package maker with fixed
# initialisation vectors so that every outcome is the same on every run.
pkg="$out/pkg" iv=00112233445566778899aabbccddeeff
mkdir -p "$pkg"
python3 - "$pkg/corpus.db" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.execute("CREATE TABLE mo_words (word_id INTEGER PRIMARY KEY, word_content TEXT, pos TEXT, count_phrases INTEGER)")
db.executemany("INSERT INTO mo_words VALUES (?, ?, 'VV', ?)", [(i, f"词{i}", i % 7) for i in range(1, 3001)])
# The other tables the corpus queries read, so the installer's check finds them.
db.execute("CREATE TABLE mo_phrases (phrase_id INTEGER PRIMARY KEY, phrase_content TEXT, count_clauses INTEGER, "
           "words_array TEXT)")
db.execute("CREATE TABLE mo_clauses (clause_id INTEGER PRIMARY KEY, clause_content TEXT)")
db.execute("CREATE TABLE mo_paragraphs (paragraph_id INTEGER PRIMARY KEY, paragraph_content TEXT, article_id INTEGER)")
db.execute("CREATE TABLE mo_articles (article_id INTEGER PRIMARY KEY, article_title TEXT)")
db.commit()
PY
# SQLite files that are no corpus: an empty one, and one with tables of its own.
: > "$pkg/emptydb.db"
python3 - "$pkg/foreign.db" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.execute("CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)")
db.executemany("INSERT INTO notes (body) VALUES (?)", [(f"note {i}",) for i in range(200)])
db.commit()
PY
# A corpus whose words table lacks a column the word query reads.
python3 - "$pkg/corpus.db" "$pkg/nocolumn.db" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.execute("VACUUM INTO ?", (sys.argv[2],))
other = sqlite3.connect(sys.argv[2])
other.execute("ALTER TABLE mo_words DROP COLUMN count_phrases")
other.commit()
PY
for d in emptydb foreign nocolumn; do
  (cd "$pkg" && cp $d.db app.db && 7zz a -bd -y $d.7z app.db >/dev/null && rm app.db)
  python3 "$maker" --iv $iv --archive "$pkg/$d.7z" "$pkg/$d.enc"
done
python3 "$maker" --iv $iv "$pkg/corpus.db" "$pkg/good.enc"
python3 "$maker" --iv $iv --passphrase 0000000000000000 "$pkg/corpus.db" "$pkg/wrongkey.enc"
printf 'plain text, not a database\n%.0s' $(seq 100) > "$pkg/notdb.txt"
(cd "$pkg" && cp notdb.txt app.db && 7zz a -bd -y notdb.7z app.db >/dev/null && rm app.db)
python3 "$maker" --iv $iv --archive "$pkg/notdb.7z" "$pkg/notdb.enc"
(cd "$pkg" && cp corpus.db app.db && 7zz a -bd -y good.7z app.db >/dev/null && rm app.db)
size=$(stat -c %s "$pkg/good.7z")
head -c $((size / 2)) "$pkg/good.7z" > "$pkg/truncated.7z"
for a in truncated:"$pkg/truncated.7z" empty:"$out/empty.7z" notseven:"$out/notseven.7z" \
         dotdot:"$out/dotdot.7z" abs:"$out/abs.7z"; do
  python3 "$maker" --iv $iv --archive "${a#*:}" "$pkg/${a%%:*}.enc"
done
python3 - "$pkg" <<'PY'
import os, sys
pkg = sys.argv[1]
good = open(os.path.join(pkg, "good.enc"), "rb").read()
def flipped(index):
    data = bytearray(good)
    data[index] ^= 0x01
    return bytes(data)
open(os.path.join(pkg, "flip-last.enc"), "wb").write(flipped(len(good) - 1))
open(os.path.join(pkg, "flip-middle.enc"), "wb").write(flipped(24 + (len(good) - 24) // 2))
open(os.path.join(pkg, "short23.enc"), "wb").write(good[:23])
open(os.path.join(pkg, "short24.enc"), "wb").write(good[:24])
PY
# The pad check must be what rejects these two, whatever the random-looking last block.
key=$(python3 "$maker" --print-key)
for f in wrongkey flip-last; do
  if tail -c +25 "$pkg/$f.enc" | openssl enc -d -aes-128-cbc -K "$key" -iv $iv >/dev/null 2>&1; then
    echo "$f.enc passes the pad check" >&2; exit 1
  fi
done

# One package per method of the maker: each must install.
for m in Copy LZMA LZMA2 Delta BCJ2 BCJ PPC IA64 ARM ARMT SPARC ARM64 RISCV; do
  python3 "$maker" --iv $iv --method $m "$pkg/corpus.db" "$pkg/method-$m.enc"
done
