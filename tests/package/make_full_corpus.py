#!/usr/bin/env python3
"""Writes a plain corpus database of the full corpus's size for the installer benchmark:
40,000 words, 500,000 phrases, 200,000 short sentences and over 3,000,000 characters of
paragraphs in 160 reports, in the schema of tools/make_corpus.py. The text is drawn from
a fixed vocabulary with a fixed seed, so it compresses about like real report text does
and every run makes the same file.

    make_full_corpus.py OUT.db
"""
import os
import random
import sqlite3
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from make_corpus import SCHEMA  # noqa: E402

CHARS = "".join(chr(c) for c in range(0x4E00, 0x4E00 + 3500))


def main():
    out = sys.argv[1]
    if os.path.exists(out):
        os.remove(out)
    rng = random.Random(2026)
    words = set()
    while len(words) < 40000:
        words.add("".join(rng.choice(CHARS) for _ in range(rng.choice((2, 2, 2, 3, 4)))))
    words = sorted(words)
    common = words[:4000]  # a small core carries most of the text, as in real reports
    def word():
        return rng.choice(common) if rng.random() < 0.8 else rng.choice(words)

    db = sqlite3.connect(out)
    db.executescript(SCHEMA)
    db.executemany("INSERT INTO mo_articles VALUES (?, ?)",
                   [(i + 1, f"{2021 + i % 5}年第{i // 5 + 1}号政府工作报告") for i in range(160)])
    db.executemany("INSERT INTO mo_words VALUES (?, ?, ?, ?)",
                   [(i + 1, w, "VV" if i % 3 else "NN", rng.randrange(1, 500)) for i, w in enumerate(words)])
    def phrases():
        for _ in range(500000):
            ids = [rng.randrange(1, 40001) for _ in range(2)]
            yield words[ids[0] - 1] + words[ids[1] - 1], rng.randrange(0, 50), ",".join(map(str, ids))
    db.executemany("INSERT INTO mo_phrases (phrase_content, count_clauses, words_array) VALUES (?, ?, ?)",
                   phrases())
    db.executemany("INSERT INTO mo_clauses (clause_content) VALUES (?)",
                   (("".join(word() for _ in range(rng.randrange(3, 7))),) for _ in range(200000)))
    total = 0
    rows = []
    while total < 3100000:
        text = "，".join("".join(word() for _ in range(rng.randrange(3, 7))) for _ in range(rng.randrange(4, 12))) + "。"
        total += len(text)
        rows.append((rng.randrange(1, 161), text))
    db.executemany("INSERT INTO mo_paragraphs (article_id, paragraph_content) VALUES (?, ?)", rows)
    db.commit()
    db.close()
    print(f"{out}: {len(rows)} paragraphs, {total} characters of paragraphs, {os.path.getsize(out)} bytes")


if __name__ == "__main__":
    main()
