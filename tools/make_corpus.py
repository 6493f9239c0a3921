"""Builds a plain corpus database from a readable fixture file.

The fixture has one section per table, headed by "[table]", then one row per
line with tab-separated columns in the order below. "\\N" stands for NULL and
"{X*N}" for the text X repeated N times (for oversized rows).

    [articles]   article_id, article_title
    [words]      word_id, word_content, pos, count_phrases
    [phrases]    phrase_content, count_clauses, words_array
    [clauses]    clause_content
    [paragraphs] article_id, paragraph_content

Lines starting with "#" and blank lines are ignored.
"""
import os
import re
import sqlite3
import sys

SCHEMA = """
CREATE TABLE mo_articles (article_id INTEGER PRIMARY KEY, article_title TEXT);
CREATE TABLE mo_words (word_id INTEGER PRIMARY KEY, word_content TEXT, pos TEXT, count_phrases INTEGER);
CREATE TABLE mo_phrases (phrase_id INTEGER PRIMARY KEY, phrase_content TEXT, count_clauses INTEGER, words_array TEXT);
CREATE TABLE mo_clauses (clause_id INTEGER PRIMARY KEY, clause_content TEXT);
CREATE TABLE mo_paragraphs (paragraph_id INTEGER PRIMARY KEY, article_id INTEGER, paragraph_content TEXT);
"""

TABLES = {
    "articles": ("mo_articles", ("article_id", "article_title")),
    "words": ("mo_words", ("word_id", "word_content", "pos", "count_phrases")),
    "phrases": ("mo_phrases", ("phrase_content", "count_clauses", "words_array")),
    "clauses": ("mo_clauses", ("clause_content",)),
    "paragraphs": ("mo_paragraphs", ("article_id", "paragraph_content")),
}

REPEAT = re.compile(r"\{(.+?)\*(\d+)\}")


def cell(text):
    if text == "\\N":
        return None
    return REPEAT.sub(lambda m: m.group(1) * int(m.group(2)), text)


def read_rows(path):
    section = None
    rows = {name: [] for name in TABLES}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1]
                if section not in TABLES:
                    sys.exit(f"{path}:{number}: unknown section {section}")
                continue
            if section is None:
                sys.exit(f"{path}:{number}: row before any section")
            values = [cell(v) for v in line.split("\t")]
            if len(values) != len(TABLES[section][1]):
                sys.exit(f"{path}:{number}: expected {len(TABLES[section][1])} columns, got {len(values)}")
            rows[section].append(values)
    return rows


def build(fixture, out):
    rows = read_rows(fixture)
    if os.path.exists(out):
        os.remove(out)
    db = sqlite3.connect(out)
    db.executescript(SCHEMA)
    for name, (table, columns) in TABLES.items():
        marks = ", ".join("?" for _ in columns)
        db.executemany(f"INSERT INTO {table} ({', '.join(columns)}) VALUES ({marks})", rows[name])
    db.commit()
    db.close()


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: make_corpus.py FIXTURE OUT.db")
    build(sys.argv[1], sys.argv[2])
