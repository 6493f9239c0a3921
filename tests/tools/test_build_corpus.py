"""The corpus builder on a folder of three tiny reports: every table's rows, both
encodings, bad input, determinism and the data package."""
import os
import pty
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.environ.get("TIVRA_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
BUILDER = os.path.join(SOURCE, "tools", "build_corpus.py")
MAKER = os.path.join(SOURCE, "tools", "make_package.py")
REPORTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reports")
PYTHON = "/usr/bin/python3"  # Debian's python3-jieba is seen by this one only

sys.path.insert(0, os.path.join(SOURCE, "tools"))
import build_corpus  # noqa: E402


def run_builder(*args, env=None, **kwargs):
    return subprocess.run([PYTHON, BUILDER, *args], capture_output=True, text=True,
                          env=env, **kwargs)


def table_dump(path):
    """Every table's rows in id order: the database's content, not its bytes."""
    db = sqlite3.connect(path)
    try:
        names = [n for (n,) in db.execute("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name")]
        return {n: db.execute(f"SELECT * FROM {n} ORDER BY rowid").fetchall() for n in names}
    finally:
        db.close()


def copy_reports(target, encodings=None):
    """The fixture reports in target, each re-encoded as encodings[name] says (utf-8 by default)."""
    os.makedirs(target, exist_ok=True)
    for name in sorted(os.listdir(REPORTS)):
        with open(os.path.join(REPORTS, name), encoding="utf-8", newline="") as f:
            text = f.read()
        with open(os.path.join(target, name), "wb") as f:
            f.write(text.encode((encodings or {}).get(name, "utf-8")))
    return target


class BuiltFixture(unittest.TestCase):
    """The three fixture reports built once; each test reads one table."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="tivra-builder-test-")
        cls.db = os.path.join(cls.work, "corpus.db")
        cls.result = run_builder(REPORTS, cls.db)
        cls.tables = table_dump(cls.db) if os.path.exists(cls.db) else {}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_builds_and_sums_up(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)
        summary = self.result.stdout.strip().splitlines()[-1]
        counts = [len(self.tables[t]) for t in ("mo_articles", "mo_paragraphs", "mo_clauses", "mo_words",
                                                "mo_phrases")]
        self.assertRegex(summary, r"^reports {}, paragraphs {}, short sentences {}, words {}, phrases {}, "
                         r"\d+\.\d s$".format(*counts))
        # Not a terminal here: no progress bar, and henan.txt's title came from its first line without a warning.
        self.assertEqual(self.result.stderr, "")
        self.assertEqual(os.listdir(self.work), ["corpus.db"])

    def test_titles_from_file_names_or_the_first_line(self):
        self.assertEqual(self.tables["mo_articles"], [
            (1, "2023年国务院政府工作报告"),
            (2, "2024年山西省政府工作报告"),
            (3, "2025年河南省政府工作报告"),  # henan.txt: its first non-empty line
        ])

    def test_paragraphs_are_trimmed_non_empty_lines_of_their_report(self):
        self.assertEqual(self.tables["mo_paragraphs"], [
            (1, 1, "一、工作回顾"),
            (2, 1, "我们坚持稳中求进，推动高质量发展。"),
            (3, 1, "加快建设现代化产业体系；保障和改善民生！"),  # leading ASCII spaces trimmed
            (4, 2, "推动高质量发展，加快建设现代化产业体系。"),  # CR LF lines, blank line dropped
            (5, 2, "全年增长5.2%，城镇新增就业1244万人。"),
            (6, 3, "推动高质量发展：坚持稳中求进、扩大内需？好"),  # ideographic spaces trimmed
        ])

    def test_short_sentences_point_at_their_paragraph(self):
        self.assertEqual(self.tables["mo_clauses"], [
            (1, 1, "工作回顾"),
            (2, 2, "我们坚持稳中求进"),
            (3, 2, "推动高质量发展"),
            (4, 3, "加快建设现代化产业体系"),
            (5, 3, "保障和改善民生"),
            (6, 4, "推动高质量发展"),
            (7, 4, "加快建设现代化产业体系"),
            (8, 5, "全年增长5.2%"),
            (9, 5, "城镇新增就业1244万人"),
            (10, 6, "推动高质量发展"),
            (11, 6, "坚持稳中求进"),
            (12, 6, "扩大内需"),  # "好" is one unit: too short
        ])

    def test_words_are_sorted_tagged_and_leave_out_non_words(self):
        rows = self.tables["mo_words"]
        self.assertEqual([r[0] for r in rows], list(range(1, len(rows) + 1)))
        self.assertEqual([r[1] for r in rows], sorted(r[1] for r in rows))
        tags = {r[1]: r[2] for r in rows}
        for verb in ("推动", "坚持", "加快", "改善", "保障", "新增"):
            self.assertEqual(tags[verb], "VV", verb)
        self.assertEqual(tags["民生"], "NN")
        self.assertEqual(tags["我们"], "PN")
        # Punctuation, digits and the one-character conjunction 和 are no words.
        for not_word in ("，", "%", "5.2", "1244", "和", "、", "？"):
            self.assertNotIn(not_word, tags)

    def test_phrases_are_closed_runs_with_their_word_ids_in_order(self):
        ids = {r[1]: r[0] for r in self.tables["mo_words"]}
        expected = [
            # (phrase, short sentences holding it, its words)
            ("推动高质量发展", 3, ["推动", "高质量", "发展"]),
            # 加快/建设/现代化/产业/体系 is five words: its two closed four-word runs stand, their parts go.
            ("加快建设现代化产业", 2, ["加快", "建设", "现代化", "产业"]),
            ("坚持稳中求进", 2, ["坚持", "稳中求进"]),
            ("建设现代化产业体系", 2, ["建设", "现代化", "产业", "体系"]),
        ]
        self.assertEqual(self.tables["mo_phrases"], [
            (i, text, count, "[" + ", ".join(str(ids[w]) for w in words) + "]")
            for i, (text, count, words) in enumerate(expected, 1)])
        for _, text, _, array in self.tables["mo_phrases"]:
            words = [self.tables["mo_words"][int(n) - 1][1] for n in array.strip("[]").split(", ")]
            self.assertEqual("".join(words), text)

    def test_count_phrases_counts_the_phrases_holding_the_word(self):
        for word_id, word, _, count in self.tables["mo_words"]:
            holding = [p for p in self.tables["mo_phrases"]
                       if word_id in [int(n) for n in p[3].strip("[]").split(", ")]]
            self.assertEqual(count, len(holding), word)

    def test_program_queries_read_the_schema(self):
        db = sqlite3.connect(self.db)
        try:
            idle = db.execute("SELECT word_id, word_content FROM mo_words WHERE pos='VV' AND LENGTH(word_content) =2 "
                              "ORDER BY count_phrases DESC LIMIT 100").fetchall()
            self.assertIn("推动", [w for _, w in idle])
            titled = db.execute("SELECT p.paragraph_content, a.article_title FROM mo_paragraphs p LEFT JOIN "
                                "mo_articles a ON p.article_id = a.article_id WHERE p.paragraph_content "
                                "LIKE '%扩大内需%' ESCAPE '\\'").fetchall()
            self.assertEqual(titled, [("推动高质量发展：坚持稳中求进、扩大内需？好", "2025年河南省政府工作报告")])
            journal = db.execute("PRAGMA journal_mode").fetchone()[0]
            self.assertEqual(journal, "delete")
        finally:
            db.close()


class Cuts(unittest.TestCase):
    def test_short_sentence_cuts(self):
        cases = [
            ("推动高质量发展，加快建设现代化产业体系。", ["推动高质量发展", "加快建设现代化产业体系"]),
            ("一；二：三、四！五？六。", []),  # every piece one unit long
            ("甲乙，，丙丁", ["甲乙", "丙丁"]),  # empty piece between two marks
            ("扩大内需 、　优化结构 ", ["扩大内需", "优化结构"]),  # pieces trimmed of both kinds of space
            ("没有标点的一句话", ["没有标点的一句话"]),
            ("“十四五”规划（草案）,顺利实施", ["“十四五”规划（草案）,顺利实施"]),  # other marks stay
            ("好" * 255 + "，" + "好" * 256, ["好" * 255]),  # 256 units is too long
            ("𠀀𠀀，𠀀", ["𠀀𠀀", "𠀀"]),  # counted in UTF-16 units: one supplementary character is two
        ]
        for paragraph, clauses in cases:
            self.assertEqual(build_corpus.split_clauses(paragraph), clauses, paragraph[:20])

    def test_titles_and_paragraphs(self):
        cases = [
            # (file name, text, title, paragraphs, warns)
            ("2023年山西省政府工作报告.txt", "甲\n\n 乙 \n", "2023年山西省政府工作报告", ["甲", "乙"], False),
            ("shanxi.txt", "\n　2023年山西省政府工作报告　\n甲\r\n乙\r", "2023年山西省政府工作报告", ["甲", "乙"], False),
            ("notes.txt", "山西省政府工作报告\n甲\n", "山西省政府工作报告", ["甲"], True),
            ("1999年报告.txt", "1999年报告\n甲\n", "1999年报告", ["甲"], True),
            ("2100年报告.txt", "2100年报告\n甲\n", "2100年报告", ["甲"], True),
        ]
        for name, text, title, paragraphs, warns in cases:
            got_title, got_paragraphs, warning = build_corpus.read_report(name, text)
            self.assertEqual((got_title, [p for _, p in got_paragraphs], warning is not None),
                             (title, paragraphs, warns), name)

    def test_pieces_that_are_no_words(self):
        cases = [("，", "x", None), ("%", "x", None), ("2023", "m", None), ("５.２", "m", None),
                 ("和", "c", None), ("的", "uj", None), ("在", "p", None),
                 ("以及", "c", "CC"), ("推动", "v", "VV"), ("发展", "vn", "VV"), ("新", "a", "VA"),
                 ("万", "m", "CD"), ("GDP", "eng", "FW"), ("民生", "n", "NN"), ("某", "w", "NN")]
        for word, flag, tag in cases:
            self.assertEqual(build_corpus.token_tag(word, flag), tag, word)


class Phrases(unittest.TestCase):
    """find_phrases on runs of word numbers; 9 is the one function word."""

    def phrases(self, clause_runs, min_clauses=2):
        return build_corpus.find_phrases(clause_runs, lambda n: n == 9, min_clauses)

    def test_cases(self):
        cases = [
            ("a run in one short sentence only", [[[1, 2]], [[3, 4]]], 2, {}),
            ("twice in one short sentence counts once", [[[1, 2, 1, 2]], [[5]]], 2, {}),
            ("longer run found as often hides its parts", [[[1, 2, 3]], [[1, 2, 3]]], 2, {(1, 2, 3): 2}),
            ("a part found more often stays", [[[1, 2, 3]], [[1, 2, 3]], [[1, 2]]], 2,
             {(1, 2, 3): 2, (1, 2): 3}),
            ("runs do not cross a no-word gap", [[[1, 2], [3, 4]], [[2, 3]], [[1, 2], [3, 4]]], 2,
             {(1, 2): 2, (3, 4): 2}),
            ("no run begins or ends with a function word", [[[9, 1, 2, 9]], [[9, 1, 2, 9]]], 2, {(1, 2): 2}),
            ("a function word inside a run is fine", [[[1, 9, 2]], [[1, 9, 2]]], 2, {(1, 9, 2): 2}),
            ("at most four words", [[[1, 2, 3, 4, 5]], [[1, 2, 3, 4, 5]]], 2,
             {(1, 2, 3, 4): 2, (2, 3, 4, 5): 2}),
            ("threshold three", [[[1, 2, 3]], [[1, 2, 3]], [[1, 2]]], 3, {(1, 2): 3}),
            ("threshold one keeps single sightings", [[[1, 2]], [[3, 4, 5]]], 1, {(1, 2): 1, (3, 4, 5): 1}),
        ]
        for what, clause_runs, min_clauses, expected in cases:
            self.assertEqual(self.phrases(clause_runs, min_clauses), expected, what)

    def test_words_array_form(self):
        self.assertEqual(build_corpus.words_array([12, 7]), "[12, 7]")
        self.assertEqual(build_corpus.words_array([5]), "[5]")


class Encodings(unittest.TestCase):
    def test_bom_and_gb18030_give_the_same_database(self):
        with tempfile.TemporaryDirectory(prefix="tivra-builder-test-") as work:
            plain = os.path.join(work, "plain.db")
            self.assertEqual(run_builder(REPORTS, plain).returncode, 0)
            encodings = {"2023年国务院政府工作报告.txt": "utf-8-sig", "2024年山西省政府工作报告.txt": "gb18030",
                         "henan.txt": "gb18030"}
            mixed = copy_reports(os.path.join(work, "mixed"), encodings)
            with open(os.path.join(mixed, "henan.txt"), "rb") as f:
                self.assertRaises(UnicodeDecodeError, f.read().decode, "utf-8")
            other = os.path.join(work, "mixed.db")
            result = run_builder(mixed, other)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(table_dump(other), table_dump(plain))

    def test_decoding(self):
        self.assertEqual(build_corpus.decode_report("推动".encode("gb18030")), ("推动", "GB18030"))
        self.assertEqual(build_corpus.decode_report("\ufeff推动".encode("utf-8")), ("推动", "UTF-8"))
        self.assertEqual(build_corpus.decode_report("推动".encode("utf-8")), ("推动", "UTF-8"))


class BadInput(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="tivra-builder-test-")
        self.out_dir = os.path.join(self.work, "out")
        os.makedirs(self.out_dir)
        self.out = os.path.join(self.out_dir, "corpus.db")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def reports_with(self, name, data):
        folder = copy_reports(os.path.join(self.work, "reports"))
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        return folder

    def test_refused_with_the_file_named_and_nothing_written(self):
        empty_folder = os.path.join(self.work, "empty")
        os.makedirs(empty_folder)
        with open(os.path.join(empty_folder, "readme.md"), "w") as f:
            f.write("no reports here")
        cases = [
            ("empty folder", lambda: empty_folder, empty_folder, "no .txt report files"),
            ("no such folder", lambda: os.path.join(self.work, "missing"), "missing", "not a folder"),
            ("empty file", lambda: self.reports_with("2022年空报告.txt", b""), "2022年空报告.txt", "empty file"),
            ("spaces only", lambda: self.reports_with("2022年空报告.txt", " \r\n\u3000\n".encode()),
             "2022年空报告.txt", "empty file"),
            ("binary file", lambda: self.reports_with("2022年图片.txt", b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR"),
             "2022年图片.txt", "binary file"),
            ("control characters", lambda: self.reports_with("2022年乱码.txt", "推动\x07发展".encode()),
             "2022年乱码.txt", "binary file"),
            ("neither encoding", lambda: self.reports_with("2022年乱码.txt", "推动发展".encode("utf-8")[:-1] + b"\xff"),
             "2022年乱码.txt", "decodes neither as UTF-8 nor as GB18030"),
            ("UTF-16", lambda: self.reports_with("2022年报告.txt", "推动发展".encode("utf-16")),
             "2022年报告.txt", "decodes neither"),
            ("title only", lambda: self.reports_with("notes.txt", "2022年河北省政府工作报告\n".encode()),
             "notes.txt", "no paragraphs"),
            ("same title twice", lambda: self.reports_with("hebei.txt", "2024年山西省政府工作报告\n甲乙\n".encode()),
             "hebei.txt", "same title \"2024年山西省政府工作报告\" as "),
        ]
        for what, make, named, reason in cases:
            with self.subTest(what):
                folder = make()
                result = run_builder(folder, self.out)
                self.assertEqual(result.returncode, 1, what)
                self.assertIn(named, result.stderr, what)
                self.assertIn(reason, result.stderr, what)
                self.assertEqual(os.listdir(self.out_dir), [], what)
                shutil.rmtree(os.path.join(self.work, "reports"), ignore_errors=True)

    def test_file_name_that_is_not_utf8(self):
        folder = copy_reports(os.path.join(self.work, "reports"))
        with open(os.path.join(os.fsencode(folder), "2022年河北省".encode("gb18030") + b".txt"), "wb") as f:
            f.write("推动高质量发展。".encode())
        result = run_builder(folder, self.out)
        self.assertEqual(result.returncode, 1)
        self.assertIn("the file name is not UTF-8", result.stderr)
        self.assertEqual(os.listdir(self.out_dir), [])

    def test_a_failed_run_leaves_the_previous_database_alone(self):
        self.assertEqual(run_builder(REPORTS, self.out).returncode, 0)
        before = table_dump(self.out)
        folder = self.reports_with("2022年空报告.txt", b"")
        self.assertEqual(run_builder(folder, self.out).returncode, 1)
        self.assertEqual(table_dump(self.out), before)
        self.assertEqual(os.listdir(self.out_dir), ["corpus.db"])

    def test_interrupted_write_leaves_no_part_file(self):
        # A write that fails half-way (here: a table that cannot take the rows) removes its temporary file.
        rows = {"mo_articles": [(1, "2023年报告")], "mo_missing": [(1,)]}
        with self.assertRaises(sqlite3.Error):
            build_corpus.write_database(rows, self.out)
        self.assertEqual(os.listdir(self.out_dir), [])

    def test_missing_jieba_is_named(self):
        # Without site packages the system interpreter has no jieba, as the first python3 on PATH may not.
        result = subprocess.run([PYTHON, "-S", BUILDER, REPORTS, self.out], capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn("jieba is not installed", result.stderr)
        self.assertEqual(os.listdir(self.out_dir), [])

    def test_year_warning_does_not_stop(self):
        folder = self.reports_with("notes.txt", "山西省工作报告\n推动高质量发展。\n".encode())
        result = run_builder(folder, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("notes.txt", result.stderr)
        self.assertIn("does not begin with a year 2000-2099 and 年", result.stderr)
        self.assertIn((4, "山西省工作报告"), table_dump(self.out)["mo_articles"])


class Determinism(unittest.TestCase):
    def test_same_input_same_database_whatever_the_hash_seed(self):
        with tempfile.TemporaryDirectory(prefix="tivra-builder-test-") as work:
            outputs = []
            for seed in ("1", "2"):
                out = os.path.join(work, f"run{seed}.db")
                env = dict(os.environ, PYTHONHASHSEED=seed)
                self.assertEqual(run_builder(REPORTS, out, env=env).returncode, 0)
                outputs.append(out)
            self.assertEqual(table_dump(outputs[0]), table_dump(outputs[1]))
            with open(outputs[0], "rb") as a, open(outputs[1], "rb") as b:
                self.assertEqual(a.read(), b.read(), "the files are byte-identical too")


class PackageAndTerminal(unittest.TestCase):
    def test_package_is_made_from_the_database(self):
        with tempfile.TemporaryDirectory(prefix="tivra-builder-test-") as work:
            db, package = os.path.join(work, "corpus.db"), os.path.join(work, "pkg", "app.db.7z.enc")
            result = run_builder(REPORTS, db, "--package", package)
            self.assertEqual(result.returncode, 0, result.stderr)
            check = subprocess.run([PYTHON, MAKER, "--check", package], capture_output=True, text=True)
            self.assertEqual(check.returncode, 0, check.stderr)
            self.assertEqual(sorted(os.listdir(work)), ["corpus.db", "pkg"])
            self.assertEqual(os.listdir(os.path.join(work, "pkg")), ["app.db.7z.enc"])

    def test_progress_bar_on_a_terminal(self):
        with tempfile.TemporaryDirectory(prefix="tivra-builder-test-") as work:
            leader, follower = pty.openpty()
            try:
                process = subprocess.Popen([PYTHON, BUILDER, REPORTS, os.path.join(work, "c.db")],
                                           stdout=subprocess.PIPE, stderr=follower)
                os.close(follower)
                follower = None
                out, _ = process.communicate(timeout=300)
                shown = b""
                while True:
                    try:
                        piece = os.read(leader, 4096)
                    except OSError:
                        break
                    if not piece:
                        break
                    shown += piece
            finally:
                os.close(leader)
                if follower is not None:
                    os.close(follower)
            self.assertEqual(process.returncode, 0)
            text = shown.decode("utf-8")
            self.assertIn("[" + "#" * 30 + "] 3/3", text)
            self.assertIn("1/3", text)
            self.assertTrue(out.decode().startswith("reports 3, "))


if __name__ == "__main__":
    unittest.main(verbosity=2)
