"""Writes a small plain corpus for the index's differential test.

Deterministic (fixed seed). Rows are drawn from a skewed alphabet of Chinese
characters mixed with ASCII letters of both cases, %, _, \\, ', tabs,
ideographic spaces and characters beyond the BMP; ties in every sort key;
duplicate short sentences; and rows that test the edges: nulls, rows over the
delivery limits, words cut inside a character, malformed UTF-8 (surrogates,
stray continuation bytes, overlong forms, a NUL inside), blobs and numbers in
text columns, odd word lists.

    python3 make_diff_corpus.py OUT.db [--scale N]
"""
import argparse
import os
import random
import sqlite3

SCHEMA = """
CREATE TABLE mo_articles (article_id INTEGER PRIMARY KEY, article_title TEXT);
CREATE TABLE mo_words (word_id INTEGER PRIMARY KEY, word_content TEXT, pos TEXT, count_phrases INTEGER);
CREATE TABLE mo_phrases (phrase_id INTEGER PRIMARY KEY, phrase_content TEXT, count_clauses INTEGER, words_array TEXT);
CREATE TABLE mo_clauses (clause_id INTEGER PRIMARY KEY, clause_content TEXT);
CREATE TABLE mo_paragraphs (paragraph_id INTEGER PRIMARY KEY, article_id INTEGER, paragraph_content TEXT);
"""

# Bytes that are not valid UTF-8, stored as text the way a damaged import would.
MALFORMED = [b"\xed\xa0\x80", b"\xed\xbf\xbf", b"\x80", b"\xbf\xbf", b"\xc0\xaf", b"\xe4\xb8", b"\xf8\x88\x80\x80\x80",
             b"\xff", b"\xef\xbf\xbe", b"\xe5\x8f\x91\x00\xe5\xb1\x95", b"\xf4\x90\x80\x80", b"\xc1\x81"]


def alphabet(rng):
    chinese = [chr(c) for c in range(0x4E00, 0x4E00 + 3 * 400, 3)]
    ascii_letters = list("abcdefgxyzABCDEFGXYZ")
    specials = ["%", "_", "\\", "'", "\t", "\u3000", "\U0001F4CC", "\U00020000", "0", "7", ",", "[", "]", " "]
    chars = chinese + ascii_letters + specials
    weights = [1.0 / (i + 1) ** 0.8 for i in range(len(chinese))] + [0.02] * len(ascii_letters) + [0.01] * len(specials)
    return chars, weights


def text(rng, chars, weights, lo, hi):
    return "".join(rng.choices(chars, weights=weights, k=rng.randint(lo, hi))).strip(" ") or chars[0]


def malformed(rng, chars, weights):
    a = text(rng, chars, weights, 1, 4).encode()
    b = text(rng, chars, weights, 0, 4).encode()
    return a + rng.choice(MALFORMED) + b


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--scale", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(20261211)
    chars, weights = alphabet(rng)
    s = args.scale
    tmp = args.out + ".tmp"
    if os.path.exists(tmp):
        os.remove(tmp)
    db = sqlite3.connect(tmp)
    db.executescript(SCHEMA)

    # Articles: good titles, empty, null, over 255 units, malformed; ids 1..60.
    titles = []
    for i in range(1, 61):
        kind = i % 10
        if kind == 7:
            titles.append((i, ""))
        elif kind == 8:
            titles.append((i, None))
        elif kind == 9:
            titles.append((i, "长" * 300 if i % 20 == 9 else "标题" * 127 + "题"))
        else:
            titles.append((i, f"{2021 + i % 5}年{text(rng, chars, weights, 2, 5)}政府工作报告"))
    db.executemany("INSERT INTO mo_articles VALUES (?, ?)", titles)
    db.execute("INSERT INTO mo_articles VALUES (61, CAST(? AS TEXT))", (malformed(rng, chars, weights),))

    words = []
    for i in range(1, 3000 * s):
        r = rng.random()
        if r < 0.01:
            w = None
        elif r < 0.02:
            w = "a" + "长" * rng.randint(80, 90) + text(rng, chars, weights, 0, 3)  # cut inside a character
        elif r < 0.025:
            w = "\U0001F4CC" * rng.randint(60, 70)
        else:
            w = text(rng, chars, weights, 1, 5)
        words.append((i, w, rng.choice(("VV", "VV", "NN", "AD")), rng.randrange(40)))  # many ties
    db.executemany("INSERT INTO mo_words VALUES (?, ?, ?, ?)", words)
    for i in range(3000 * s, 3000 * s + 20):
        db.execute("INSERT INTO mo_words VALUES (?, CAST(? AS TEXT), 'VV', ?)", (i, malformed(rng, chars, weights), i % 7))
    db.execute("INSERT INTO mo_words VALUES (?, ?, 'VV', 3)", (3000 * s + 30, b"\xe5\x8f\x91x"))  # a blob
    db.execute("INSERT INTO mo_words VALUES (?, 12345, 'VV', 3)", (3000 * s + 31,))

    ids = [w[0] for w in words]
    odd_lists = ["[007]", "[ 7]", "[7,8]", "[7", "7]", "x[7, y", "[2147483647]", "[-2147483648, 5]", "[99999999999]",
                 "[-3, 4]", "[0]", "[-0, 7]", "[7, 7]", "[1, 7]]", "[[7, 1]", "[17, 70]", "[7]x", "", "[]"]

    def words_array():
        r = rng.random()
        if r < 0.01:
            return None
        if r < 0.03:
            return rng.choice(odd_lists)
        return "[" + ", ".join(str(rng.choice(ids[:400] if rng.random() < 0.7 else ids)) for _ in range(rng.randint(1, 3))) + "]"

    phrases = []
    for _ in range(20000 * s):
        r = rng.random()
        if r < 0.005:
            p = None
        elif r < 0.01:
            p = text(rng, chars, weights, 505, 520)  # around the 511-unit limit
        else:
            p = text(rng, chars, weights, 2, 8)
        phrases.append((p, rng.randrange(20), words_array()))
    db.executemany("INSERT INTO mo_phrases (phrase_content, count_clauses, words_array) VALUES (?, ?, ?)", phrases)
    for _ in range(30):
        db.execute("INSERT INTO mo_phrases (phrase_content, count_clauses, words_array) VALUES (CAST(? AS TEXT), 3, ?)",
                   (malformed(rng, chars, weights), words_array()))
    db.execute("INSERT INTO mo_phrases (phrase_content, count_clauses, words_array) VALUES ('七', 3, ?)", (b"[7]",))
    db.execute("INSERT INTO mo_phrases (phrase_content, count_clauses, words_array) VALUES ('七七', 3, 7)")

    clauses = []
    for _ in range(8000 * s):
        r = rng.random()
        if r < 0.005:
            c = None
        elif r < 0.1 and clauses:
            c = rng.choice(clauses)  # a duplicate
        elif r < 0.105:
            c = text(rng, chars, weights, 505, 520)
        else:
            c = text(rng, chars, weights, 4, 16)
        clauses.append(c)
    db.executemany("INSERT INTO mo_clauses (clause_content) VALUES (?)", ((c,) for c in clauses))
    for _ in range(30):
        db.execute("INSERT INTO mo_clauses (clause_content) VALUES (CAST(? AS TEXT))", (malformed(rng, chars, weights),))

    sentences = [c for c in clauses if c and len(c) < 40]
    paragraphs = []
    for _ in range(2000 * s):
        r = rng.random()
        article = rng.choice([None, 0, 99] if r < 0.05 else range(1, 62))
        if r < 0.06:
            body = None
        elif r < 0.07:
            body = text(rng, chars, weights, 2040, 2060)  # around the 2047-unit limit
        else:
            body = "，".join(rng.choice(sentences) for _ in range(rng.randint(1, 12))) + "。"
        paragraphs.append((article, body))
    db.executemany("INSERT INTO mo_paragraphs (article_id, paragraph_content) VALUES (?, ?)", paragraphs)
    for _ in range(30):
        db.execute("INSERT INTO mo_paragraphs (article_id, paragraph_content) VALUES (?, CAST(? AS TEXT))",
                   (rng.randint(1, 61), malformed(rng, chars, weights) + rng.choice(sentences).encode()))
    db.commit()
    db.close()
    os.replace(tmp, args.out)


if __name__ == "__main__":
    main()
