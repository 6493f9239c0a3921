"""The real exe on a data package that the corpus builder made from the demo
reports: the first start installs it, and a phrase typed into the search box is
found, compared with an oracle over the builder's plain database."""
import os
import sqlite3
import subprocess
import unittest

from e2e_package import data_listing
from e2e_search import CLAUSE_LIST, PHRASE_LIST, WORD_LIST, Oracle, lists, set_search, view
from e2e_shell import REPORT_NAMES
from tivra_e2e import BUILD, SOURCE, driver, kill_leftovers, make_app_folder, poll, start, stop

BUILDER = os.path.join(SOURCE, "tools", "build_corpus.py")
REPORTS = os.path.join(SOURCE, "demo", "reports")
PHRASE = "持续优化营商环境"


class BuiltPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        kill_leftovers()
        cls.folder = make_app_folder("built-package", keyed_db=False)
        cls.plain = os.path.join(BUILD, "e2e", "built-package-plain.db")
        package = os.path.join(cls.folder, "data", "app.db.7z.enc")
        built = subprocess.run(["/usr/bin/python3", BUILDER, REPORTS, cls.plain, "--package", package],
                               capture_output=True, text=True)
        assert built.returncode == 0, built.stderr
        cls.oracle = Oracle(cls.plain)
        cls.process = start(cls.folder)
        poll(lambda: driver("find")[0] == 0, seconds=120, what="the main window after installing")
        poll(lambda: driver("search-lists")[0] == 0, seconds=60, what="the lists")

    @classmethod
    def tearDownClass(cls):
        stop(cls.process)
        cls.oracle.db.close()

    def test_installed_from_the_package(self):
        names = [n for n in data_listing(self.folder) if n not in ("settings.ini", "telemetry.ini")]
        self.assertEqual(names, ["app.db"])

    def test_idle_list_holds_the_top_two_character_verbs(self):
        set_search("")
        shown = lists()
        self.assertEqual(shown, self.oracle.search(""))
        words = [entry.split("|", 1)[1] for entry in shown[WORD_LIST][1]]
        self.assertGreaterEqual(len(words), 20)
        self.assertIn("推动", words)

    def test_typed_phrase_is_found_and_its_sentences_lead_to_paragraphs(self):
        db = sqlite3.connect(self.plain)
        try:
            (count,) = db.execute("SELECT count_clauses FROM mo_phrases WHERE phrase_content = ?", (PHRASE,)).fetchone()
        finally:
            db.close()
        self.assertGreaterEqual(count, 2)
        for n in range(1, len(PHRASE) + 1):
            set_search(PHRASE[:n])
            self.assertEqual(lists(), self.oracle.search(PHRASE[:n]), PHRASE[:n])
        shown = lists()
        self.assertEqual(shown[PHRASE_LIST][1][0], PHRASE)
        clauses = shown[CLAUSE_LIST][1]
        self.assertIn(PHRASE, clauses)
        driver("search-pick", CLAUSE_LIST, clauses.index(PHRASE))
        poll(lambda: view()[0] != "段落", what="the paragraphs")
        header, text = view()
        self.assertEqual((header, text), self.oracle.paragraphs(PHRASE))
        self.assertTrue(text.startswith("《20"), text[:40])

    def test_data_menu_finds_the_reports_by_their_file_name_titles(self):
        for year_index, report_index in [(0, 0), (2, 4), (3, 23), (4, 19)]:
            year = 2021 + year_index
            driver("command", 41000 + 100 * year_index + report_index)
            expected = self.oracle.report(year, report_index, REPORT_NAMES)
            self.assertNotEqual(expected[0], "段落(0)", (year, report_index))
            poll(lambda: view() == expected, seconds=30, what=f"report {year} {report_index}")


if __name__ == "__main__":
    unittest.main(verbosity=2)
