"""Helpers for the search end-to-end tests: the window's lists and view read
through the driver, and an oracle that runs the corpus statements itself on
the plain fixture database."""
import os
import shutil
import sqlite3

from tivra_e2e import BUILD, driver, driver_ok, make_app_folder, wine

PLAIN_DB = os.path.join(BUILD, "search_ui", "ui_corpus.db")
WORD_LIST, PHRASE_LIST, CLAUSE_LIST = 2001, 2002, 2003
LABELS = {WORD_LIST: "词汇", PHRASE_LIST: "词组", CLAUSE_LIST: "短句"}


def app_folder(name, plain_db=PLAIN_DB):
    """Tivra.exe with a fixture corpus (the search one unless told) keyed as its installed database."""
    folder = make_app_folder(name)
    db = os.path.join(folder, "data", "app.db")
    shutil.copy(plain_db, db)
    r = wine(os.path.join(BUILD, "tools", "corpus_key.exe"), db)
    assert r.returncode == 0, r.stderr
    return folder


def hex_units(text):
    return text.encode("utf-16-be").hex()


def set_search(text):
    driver_ok("search-set", hex_units(text))


def lists():
    """{list id: (header, [entries])} as the window holds them."""
    code, out = driver("search-lists")
    assert code == 0, out
    lines = out.split("\n")
    result, i = {}, 0
    while i < len(lines) and lines[i].startswith("== "):
        list_id = int(lines[i][3:])
        header = lines[i + 1]
        count = int(lines[i + 2][2:])
        result[list_id] = (header, lines[i + 3:i + 3 + count])
        i += 3 + count
    return result


def view():
    """(paragraph header, view text with LF line breaks)."""
    out = driver_ok("search-view")
    header, _, text = out.partition("\n")
    return header, text[:-1] if text.endswith("\n") else text


class Oracle:
    """The corpus queries, computed independently with Python's sqlite3."""

    def __init__(self, path=PLAIN_DB):
        self.db = sqlite3.connect(path)

    @staticmethod
    def normalize(text):
        return " ".join(t for t in text[:255].split(" ") if t)

    @staticmethod
    def terms(text):
        return [t for t in text.split(" ") if t]

    @staticmethod
    def condition(column, terms):
        parts = []
        for term in terms:
            escaped = "".join("''" if c == "'" else "\\" + c if c in "%_\\" else c for c in term)
            parts.append(f"{column} LIKE '%{escaped}%' ESCAPE '\\'")
        return " AND ".join(parts)

    @staticmethod
    def fits(text, units=511):
        return text is not None and len(text.encode("utf-16-le")) // 2 <= units

    def words(self, text):
        terms = self.terms(text)
        if not terms:
            return []
        sql = (f"SELECT word_id, word_content FROM mo_words WHERE {self.condition('word_content', terms)} "
               "ORDER BY LENGTH(word_content) ASC, count_phrases DESC")
        return [f"{i}|{w}" for i, w in self.db.execute(sql) if w is not None]

    def idle_words(self):
        sql = ("SELECT word_id, word_content FROM mo_words WHERE pos='VV' AND LENGTH(word_content) =2 "
               "ORDER BY count_phrases DESC LIMIT 100")
        return [f"{i}|{w}" for i, w in self.db.execute(sql) if w is not None]

    def phrases(self, text):
        terms = self.terms(text)
        if not terms:
            return []
        sql = (f"SELECT phrase_content FROM mo_phrases WHERE {self.condition('phrase_content', terms)} "
               "ORDER BY LENGTH(phrase_content) ASC, count_clauses DESC")
        return [p for (p,) in self.db.execute(sql) if self.fits(p)]

    def phrases_by_word(self, word_id):
        # Matched on the parsed id list, not by the patterns the program uses.
        rows = self.db.execute("SELECT phrase_content, words_array FROM mo_phrases "
                               "ORDER BY LENGTH(phrase_content) ASC, count_clauses DESC")
        return [p for p, ids in rows
                if ids and word_id in [int(x) for x in ids.strip("[]").split(",") if x.strip()] and self.fits(p)]

    def clauses(self, text):
        terms = self.terms(text)
        if not terms:
            return []
        sql = (f"SELECT DISTINCT clause_content FROM mo_clauses WHERE {self.condition('clause_content', terms)} "
               "ORDER BY LENGTH(clause_content) ASC")
        return [c for (c,) in self.db.execute(sql) if self.fits(c)]

    def search(self, text):
        """What the window must show after typing text: {list id: (header, entries)}."""
        n = self.normalize(text)
        if not n:
            rows = {WORD_LIST: self.idle_words(), PHRASE_LIST: [], CLAUSE_LIST: []}
        else:
            rows = {WORD_LIST: self.words(n), PHRASE_LIST: self.phrases(n), CLAUSE_LIST: self.clauses(n)}
        return {k: (f"{LABELS[k]}({len(v)})", v) for k, v in rows.items()}

    def paragraphs(self, clause):
        """Header and view text for a short-sentence pick."""
        terms = self.terms(clause)
        sql = ("SELECT p.paragraph_content, a.article_title FROM mo_paragraphs p LEFT JOIN mo_articles a "
               f"ON p.article_id = a.article_id WHERE {self.condition('p.paragraph_content', terms)} ORDER BY p.rowid")
        rows = []
        for paragraph, title in self.db.execute(sql):
            if not self.fits(paragraph, 2047):
                continue
            titled = bool(title) and self.fits(title, 255)
            rows.append((f"《{title}》：{paragraph}" if titled else paragraph, titled))
        return self.rendered(rows, clause)

    def report(self, year, index, names):
        title = f"{year}年{names[index] if 0 <= index < len(names) else ''}"
        sql = ("SELECT p.paragraph_content FROM mo_paragraphs p JOIN mo_articles a ON a.article_id = p.article_id "
               "WHERE a.article_title = ? ORDER BY p.rowid")
        # The whole report: every paragraph, whatever its length, none left out.
        rows = [f"《{title}》：{p}" for (p,) in self.db.execute(sql, (title,)) if p is not None]
        if not rows:
            return "段落(0)", f"语料库中没有“{title}”的段落。"
        return f"段落({len(rows)})", "\n".join(rows)

    @staticmethod
    def rendered(rows, fallback):
        kept, length = [], 0
        for row, titled in rows:
            # The program's row also holds the title tags, 15 units.
            units = len(row.encode("utf-16-le")) // 2 + (15 if titled else 0)
            if length + units + 3 < 8192:
                kept.append(row)
                length += units + (2 if length else 0)
        text = "\n".join(kept) if kept else fallback
        return f"段落({len(rows)})", text
