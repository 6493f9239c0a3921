#!/usr/bin/python3
"""Builds a plain corpus database from a folder of report texts.

    build_corpus.py REPORTS_DIR OUT.db [--package OUT.7z.enc] [--min-clauses N]

Every .txt file in REPORTS_DIR is one report, UTF-8 (with or without a
byte-order mark) or GB18030, told apart by decoding.

- Title: the file name without its extension when it begins with a year
  2000-2099 and "年" (2023年山西省政府工作报告.txt); otherwise the first
  non-empty line, which is then no paragraph. A title that does not begin
  that way is a warning.
- Paragraphs: the non-empty lines, trimmed of ASCII and ideographic spaces.
- Short sentences: each paragraph cut after every 。！？； and ，：、, the mark
  dropped, each piece trimmed, kept when 2 to 255 UTF-16 units long.
- Words: jieba 0.42.1 segmentation with part-of-speech tags, mapped to the
  corpus tag set (TAG_MAP). Punctuation, digits-only pieces and one-character
  function words are no words and break runs of words.
- Phrases: runs of 2 to 4 consecutive words inside one short sentence found in
  at least N short sentences (--min-clauses, default 2); a run is dropped when
  it begins or ends with a function word, or when a run one word longer that
  holds it is found in exactly as many short sentences.

Ids follow sorted order, so the same input always gives the same rows. The
database is written to a temporary file beside OUT.db and renamed into place
only when complete; with --package, tools/make_package.py then makes the data
package from it the same way.
"""
import argparse
import collections
import logging
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import unicodedata

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MAKE_PACKAGE = os.path.join(ROOT, "tools", "make_package.py")

SPACES = " \t\r\n\f\v\u3000"
CUT_MARKS = "。！？；，：、"
CLAUSE_MIN_UNITS, CLAUSE_MAX_UNITS = 2, 255
# The program skips a paragraph longer than this, and shows a title longer than this without its markup.
PARAGRAPH_MAX_UNITS, TITLE_MAX_UNITS = 2047, 255
RUN_MIN_WORDS, RUN_MAX_WORDS = 2, 4
JIEBA_VERSION = "0.42.1"
TITLE_FORM = re.compile(r"^20[0-9]{2}年")
DIGITS = re.compile(r"^[0-9０-９.．]*[0-9０-９][0-9０-９.．]*$")

# jieba's part-of-speech tags -> the corpus tag set. Verbs, verbal nouns and idioms read as verbs.
TAG_MAP = {
    "v": "VV", "vd": "VV", "vn": "VV", "vg": "VV", "vi": "VV", "vq": "VV", "i": "VV",
    "a": "VA", "ag": "VA", "z": "VA", "zg": "VA",
    "ad": "AD", "d": "AD", "df": "AD", "dg": "AD",
    "an": "NN", "n": "NN", "ng": "NN", "nz": "NN", "nl": "NN", "s": "NN", "j": "NN", "l": "NN",
    "g": "NN", "k": "NN",
    "nr": "NR", "nrt": "NR", "nrfg": "NR", "ns": "NR", "nt": "NR",
    "t": "NT", "tg": "NT",
    "f": "LC",
    "m": "CD", "mq": "CD", "mg": "CD",
    "q": "M",
    "r": "PN", "rr": "PN", "rz": "PN", "rg": "PN",
    "b": "JJ", "h": "JJ",
    "p": "P",
    "c": "CC",
    "u": "MSP", "uj": "DEG", "ul": "AS", "uz": "AS", "ug": "AS", "uv": "DEV", "ud": "DER",
    "y": "SP",
    "e": "IJ",
    "o": "ON",
    "eng": "FW",
    "x": "PU",
}
DEFAULT_TAG = "NN"
# Particles, conjunctions, prepositions, interjections and punctuation.
FUNCTION_TAGS = frozenset({"P", "CC", "DEG", "DEV", "DER", "AS", "MSP", "SP", "IJ", "PU"})


class InputError(Exception):
    """Bad input; the message names the file."""


def utf16_units(text):
    return len(text.encode("utf-16-le")) // 2


def trim(text):
    return text.strip(SPACES)


def decode_report(data):
    """Text of a report file's bytes and the encoding it was read in; raises InputError(reason)."""
    if b"\x00" in data:
        raise InputError("binary file (holds NUL bytes), not a report text")
    if data.startswith(b"\xef\xbb\xbf"):
        try:
            text, encoding = data[3:].decode("utf-8"), "UTF-8"
        except UnicodeDecodeError as e:
            raise InputError(f"starts with a UTF-8 byte-order mark but is not UTF-8 (byte {e.start + 3})")
    else:
        try:
            text, encoding = data.decode("utf-8"), "UTF-8"
        except UnicodeDecodeError:
            try:
                text, encoding = data.decode("gb18030"), "GB18030"
            except UnicodeDecodeError as e:
                raise InputError(f"decodes neither as UTF-8 nor as GB18030 (byte {e.start})")
    for ch in text:
        if unicodedata.category(ch) == "Cc" and ch not in SPACES:
            raise InputError(f"binary file (control character U+{ord(ch):04X}), not a report text")
    if not trim(text):
        raise InputError("empty file")
    return text, encoding


def read_report(file_name, text):
    """(title, [(line number, paragraph)], warning or None) of one decoded report."""
    lines = text.replace("\r\n", "\n").replace("\r", "\n").split("\n")
    paragraphs = [(n, trim(line)) for n, line in enumerate(lines, 1) if trim(line)]
    stem = trim(os.path.splitext(file_name)[0])
    if TITLE_FORM.match(stem):
        title = stem
    else:
        title = paragraphs[0][1]
        paragraphs = paragraphs[1:]
    if not paragraphs:
        raise InputError(f"no paragraphs after the title {title}")
    warning = None
    if not TITLE_FORM.match(title):
        warning = f"title \"{title}\" does not begin with a year 2000-2099 and 年"
    elif utf16_units(title) > TITLE_MAX_UNITS:
        warning = f"title is longer than {TITLE_MAX_UNITS} UTF-16 units; the program shows it without the title"
    return title, paragraphs, warning


def split_clauses(paragraph):
    """The short sentences of a paragraph, in order."""
    pieces, start = [], 0
    for i, ch in enumerate(paragraph):
        if ch in CUT_MARKS:
            pieces.append(paragraph[start:i])
            start = i + 1
    pieces.append(paragraph[start:])
    clauses = []
    for piece in pieces:
        piece = trim(piece)
        if CLAUSE_MIN_UNITS <= utf16_units(piece) <= CLAUSE_MAX_UNITS:
            clauses.append(piece)
    return clauses


def map_tag(flag):
    return TAG_MAP.get(flag, TAG_MAP.get(flag[:1], DEFAULT_TAG))


def token_tag(word, flag):
    """The corpus tag of one segmented piece, or None when the piece is no word."""
    if not any(ch.isalnum() for ch in word):
        return None
    if DIGITS.match(word):
        return None
    tag = map_tag(flag)
    if tag in FUNCTION_TAGS and len(word) == 1:
        return None
    return tag


# Segmentation: one jieba tokenizer per process, its dictionary cache in a private folder.
_segmenter = {"pos": None, "cache_dir": None, "clauses": {}}


def open_segmenter():
    if _segmenter["pos"] is None:
        try:
            import jieba
            import jieba.posseg
        except ImportError:
            raise InputError(f"jieba is not installed for {sys.executable}: run tools/setup.sh (Debian's "
                             "python3-jieba) and run this tool with /usr/bin/python3")
        if jieba.__version__ != JIEBA_VERSION:
            # Another version cuts and tags differently: the same reports would give another corpus.
            raise InputError(f"jieba {JIEBA_VERSION} is needed, {sys.executable} has {jieba.__version__}")
        jieba.setLogLevel(logging.WARNING)
        # A private cache: a shared one in /tmp could be stale, half-written or another version's.
        _segmenter["cache_dir"] = tempfile.mkdtemp(prefix="tivra-jieba-")
        tokenizer = jieba.Tokenizer()
        tokenizer.tmp_dir = _segmenter["cache_dir"]
        tokenizer.initialize()
        pos = jieba.posseg.POSTokenizer(tokenizer)
        # The tagging HMM is a pure function of the unknown piece and most of the cost; remember its answers.
        detail = getattr(pos, "_POSTokenizer__cut_detail", None)
        if detail is not None:
            memo = {}

            def cut_detail(piece):
                found = memo.get(piece)
                if found is None:
                    found = memo[piece] = list(detail(piece))
                return iter(found)
            pos._POSTokenizer__cut_detail = cut_detail
        _segmenter["pos"] = pos
    return _segmenter["pos"]


def close_segmenter():
    if _segmenter["cache_dir"]:
        shutil.rmtree(_segmenter["cache_dir"], ignore_errors=True)
    _segmenter.update(pos=None, cache_dir=None, clauses={})


def segment(clause):
    """[(word, tag) or None for a piece that is no word] of one short sentence."""
    found = _segmenter["clauses"].get(clause)
    if found is None:
        pos = open_segmenter()
        found = []
        for pair in pos.cut(clause):
            tag = token_tag(pair.word, pair.flag)
            found.append((pair.word, tag) if tag else None)
        found = tuple(found)
        _segmenter["clauses"][clause] = found
    return found


def word_runs(tokens):
    """The maximal runs of consecutive words of a segmented short sentence."""
    runs, run = [], []
    for token in tokens:
        if token is None:
            if run:
                runs.append(run)
            run = []
        else:
            run.append(token)
    if run:
        runs.append(run)
    return runs


def find_phrases(clause_runs, is_function, min_clauses=2):
    """Phrases of the short sentences given as their runs of word numbers.

    clause_runs holds, per short sentence, its maximal runs of words as lists of
    ints; is_function(word) tells a function word. Returns {tuple of word
    numbers: number of short sentences holding it} of the closed runs of 2..4
    words found in at least min_clauses short sentences that neither begin nor
    end with a function word.
    """
    counts = {}
    for n in range(RUN_MIN_WORDS, RUN_MAX_WORDS + 1):
        shorter = counts.get(n - 1)
        counter = collections.Counter()
        for runs in clause_runs:
            grams = set()
            for run in runs:
                for i in range(len(run) - n + 1):
                    gram = tuple(run[i:i + n])
                    # A run can reach the threshold only when both its shorter runs do.
                    if shorter is not None and (gram[:-1] not in shorter or gram[1:] not in shorter):
                        continue
                    grams.add(gram)
            counter.update(grams)
        counts[n] = {g: c for g, c in counter.items() if c >= min_clauses}
    candidates = {}
    for n in range(RUN_MIN_WORDS, RUN_MAX_WORDS + 1):
        for gram, c in counts[n].items():
            if not is_function(gram[0]) and not is_function(gram[-1]):
                candidates[gram] = c
    closed = dict(candidates)
    for gram, c in candidates.items():
        if len(gram) > RUN_MIN_WORDS:
            for part in (gram[:-1], gram[1:]):
                if candidates.get(part) == c:
                    closed.pop(part, None)
    return closed


def words_array(ids):
    return "[" + ", ".join(str(i) for i in ids) + "]"


SCHEMA = """
CREATE TABLE mo_articles (article_id INTEGER PRIMARY KEY, article_title TEXT NOT NULL);
CREATE TABLE mo_paragraphs (paragraph_id INTEGER PRIMARY KEY,
  article_id INTEGER NOT NULL REFERENCES mo_articles (article_id), paragraph_content TEXT NOT NULL);
CREATE TABLE mo_clauses (clause_id INTEGER PRIMARY KEY,
  paragraph_id INTEGER NOT NULL REFERENCES mo_paragraphs (paragraph_id), clause_content TEXT NOT NULL);
CREATE TABLE mo_words (word_id INTEGER PRIMARY KEY, word_content TEXT NOT NULL UNIQUE, pos TEXT NOT NULL,
  count_phrases INTEGER NOT NULL);
CREATE TABLE mo_phrases (phrase_id INTEGER PRIMARY KEY, phrase_content TEXT NOT NULL UNIQUE,
  count_clauses INTEGER NOT NULL, words_array TEXT NOT NULL);
"""


class Progress:
    """A bar on the terminal's standard error; nothing when it is not a terminal."""

    def __init__(self, total, stream=sys.stderr):
        self.total, self.stream, self.done = total, stream, 0
        self.shown = stream.isatty()

    def step(self, label):
        self.done += 1
        if self.shown:
            width = 30
            filled = width * self.done // self.total
            label = label if len(label) <= 24 else label[:23] + "…"
            self.stream.write(f"\r[{'#' * filled}{'-' * (width - filled)}] {self.done}/{self.total} {label:<24}")
            self.stream.flush()

    def finish(self):
        if self.shown:
            self.stream.write("\n")
            self.stream.flush()


def read_folder(reports_dir):
    """[(file name, title, paragraphs)] sorted by title, and the warnings; raises InputError."""
    if not os.path.isdir(reports_dir):
        raise InputError(f"{reports_dir}: not a folder")
    names = sorted(n for n in os.listdir(reports_dir)
                   if n.lower().endswith(".txt") and os.path.isfile(os.path.join(reports_dir, n)))
    if not names:
        raise InputError(f"{reports_dir}: no .txt report files in the folder")
    reports, problems, warnings, titles = [], [], [], {}
    for name in names:
        path = os.path.join(reports_dir, name)
        try:
            name.encode("utf-8")
        except UnicodeEncodeError:
            problems.append(f"{os.fsencode(path)!r}: the file name is not UTF-8; rename the file")
            continue
        try:
            with open(path, "rb") as f:
                data = f.read()
            text, _ = decode_report(data)
            title, paragraphs, warning = read_report(name, text)
        except InputError as e:
            problems.append(f"{path}: {e}")
            continue
        except OSError as e:
            problems.append(f"{path}: cannot read: {e.strerror}")
            continue
        if warning:
            warnings.append(f"{path}: {warning}")
        for number, paragraph in paragraphs:
            if utf16_units(paragraph) > PARAGRAPH_MAX_UNITS:
                warnings.append(f"{path}:{number}: paragraph longer than {PARAGRAPH_MAX_UNITS} UTF-16 units; "
                                "the program will not show it")
        if title in titles:
            problems.append(f"{path}: same title \"{title}\" as {os.path.join(reports_dir, titles[title])}")
            continue
        titles[title] = name
        reports.append((name, title, [p for _, p in paragraphs]))
    if problems:
        raise InputError("\n".join(problems))
    reports.sort(key=lambda r: r[1])
    return reports, warnings


def build_rows(reports, min_clauses=2, progress=None):
    """The rows of every table for the reports as read_folder gives them."""
    articles, paragraph_rows, clause_rows = [], [], []
    clause_tokens = []
    for article_id, (name, title, paragraphs) in enumerate(reports, 1):
        articles.append((article_id, title))
        for paragraph in paragraphs:
            paragraph_id = len(paragraph_rows) + 1
            paragraph_rows.append((paragraph_id, article_id, paragraph))
            for clause in split_clauses(paragraph):
                clause_rows.append((len(clause_rows) + 1, paragraph_id, clause))
                clause_tokens.append(segment(clause))
        if progress:
            progress.step(title)

    # The word a piece most often is, and its tag: the one it most often gets, then the first by name.
    tag_counts = collections.defaultdict(collections.Counter)
    for tokens in clause_tokens:
        for token in tokens:
            if token:
                tag_counts[token[0]][token[1]] += 1
    word_list = sorted(tag_counts)
    word_number = {w: i for i, w in enumerate(word_list)}
    word_tag = [min(tag_counts[w].items(), key=lambda item: (-item[1], item[0]))[0] for w in word_list]

    clause_runs = [[[word_number[w] for w, _ in run] for run in word_runs(tokens)] for tokens in clause_tokens]
    # The segmented pieces are no longer needed; counting the runs is what takes the memory next.
    del clause_tokens, tag_counts
    _segmenter["clauses"].clear()
    found = find_phrases(clause_runs, lambda n: word_tag[n] in FUNCTION_TAGS, min_clauses)

    # One row per phrase text: two runs that read the same keep the one in more short sentences.
    by_text = {}
    for gram, count in found.items():
        text = "".join(word_list[n] for n in gram)
        key = (-count, gram)
        if text not in by_text or key < by_text[text][0]:
            by_text[text] = (key, gram, count)
    phrases = sorted(((text, gram, count) for text, (_, gram, count) in by_text.items()),
                     key=lambda p: (-p[2], p[0]))
    count_phrases = [0] * len(word_list)
    for _, gram, _ in phrases:
        for n in set(gram):
            count_phrases[n] += 1

    word_rows = [(n + 1, w, word_tag[n], count_phrases[n]) for n, w in enumerate(word_list)]
    phrase_rows = [(i, text, count, words_array([n + 1 for n in gram]))
                   for i, (text, gram, count) in enumerate(phrases, 1)]
    return {"mo_articles": articles, "mo_paragraphs": paragraph_rows, "mo_clauses": clause_rows,
            "mo_words": word_rows, "mo_phrases": phrase_rows}


def write_database(rows, out):
    """Writes the tables into a temporary file beside out, then renames it to out."""
    parent = os.path.dirname(os.path.abspath(out))
    os.makedirs(parent, exist_ok=True)
    fd, temp = tempfile.mkstemp(prefix=os.path.basename(out) + ".", suffix=".part", dir=parent)
    os.close(fd)
    try:
        db = sqlite3.connect(temp)
        try:
            db.execute("PRAGMA synchronous=OFF")
            db.executescript(SCHEMA)
            for table, table_rows in rows.items():
                if table_rows:
                    marks = ", ".join("?" for _ in table_rows[0])
                    db.executemany(f"INSERT INTO {table} VALUES ({marks})", table_rows)
            db.commit()
        finally:
            db.close()
        os.replace(temp, out)
    except BaseException:
        if os.path.exists(temp):
            os.remove(temp)
        raise


def write_package(database, package):
    parent = os.path.dirname(os.path.abspath(package))
    os.makedirs(parent, exist_ok=True)
    fd, temp = tempfile.mkstemp(prefix=os.path.basename(package) + ".", suffix=".part", dir=parent)
    os.close(fd)
    try:
        result = subprocess.run([sys.executable, MAKE_PACKAGE, database, temp])
        if result.returncode != 0:
            raise InputError(f"{package}: tools/make_package.py failed with status {result.returncode}")
        os.replace(temp, package)
    except BaseException:
        if os.path.exists(temp):
            os.remove(temp)
        raise


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog="build_corpus.py", formatter_class=argparse.RawDescriptionHelpFormatter,
        description="Builds a plain corpus database from a folder of report texts.",
        epilog=__doc__.split("\n\n", 2)[2])
    parser.add_argument("reports_dir", metavar="REPORTS_DIR", help="folder of .txt reports, one report per file")
    parser.add_argument("out", metavar="OUT.db", help="the plain corpus database to write")
    parser.add_argument("--package", metavar="OUT.7z.enc", help="also write the data package made from it")
    parser.add_argument("--min-clauses", type=int, default=2, metavar="N",
                        help="a phrase must be found in at least N short sentences (default 2)")
    args = parser.parse_args(argv)
    if args.min_clauses < 1:
        parser.error("--min-clauses must be at least 1")

    # A terminated build unwinds like an interrupted one, so its temporary files go too.
    signal.signal(signal.SIGTERM, lambda number, frame: sys.exit(128 + number))
    started = time.monotonic()
    try:
        reports, warnings = read_folder(args.reports_dir)
        for warning in warnings:
            print(f"build_corpus: warning: {warning}", file=sys.stderr)
        progress = Progress(len(reports))
        try:
            rows = build_rows(reports, args.min_clauses, progress)
        finally:
            progress.finish()
            close_segmenter()
        write_database(rows, args.out)
        if args.package:
            write_package(args.out, args.package)
    except InputError as e:
        for line in str(e).split("\n"):
            print(f"build_corpus: {line}", file=sys.stderr)
        return 1
    except (OSError, sqlite3.Error) as e:
        print(f"build_corpus: {args.out}: cannot write: {e}", file=sys.stderr)
        return 1
    seconds = time.monotonic() - started
    print(f"reports {len(rows['mo_articles'])}, paragraphs {len(rows['mo_paragraphs'])}, "
          f"short sentences {len(rows['mo_clauses'])}, words {len(rows['mo_words'])}, "
          f"phrases {len(rows['mo_phrases'])}, {seconds:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
