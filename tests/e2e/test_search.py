"""Search through the real exe: typing, picks, the paragraph view, the Data menu
and the copy menu, compared with an oracle over the plain fixture corpus."""
import unittest

from e2e_search import (CLAUSE_LIST, PHRASE_LIST, WORD_LIST, Oracle, app_folder, lists, set_search, view)
from e2e_shell import REPORT_NAMES
from tivra_e2e import driver, kill_leftovers, poll, start, stop


class Search(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        kill_leftovers()
        cls.oracle = Oracle()
        cls.process = start(app_folder("search"))
        poll(lambda: driver("find")[0] == 0, what="the main window")
        poll(lambda: driver("search-lists")[0] == 0, what="the lists")

    @classmethod
    def tearDownClass(cls):
        stop(cls.process)

    def setUp(self):
        set_search("")

    def assertSearch(self, text):
        self.assertEqual(lists(), self.oracle.search(text), repr(text))

    def test_idle_list_at_start_and_after_clearing(self):
        self.assertSearch("")
        set_search("发展")
        driver("search-pick", CLAUSE_LIST, 0)
        set_search("")
        self.assertSearch("")
        self.assertEqual(view(), ("段落", ""))

    def test_typing_one_change_at_a_time(self):
        sessions = ["推动高质量发展", "发展 创新", "ab 测试", "AB", "改革 开放", "%", "_", "'", "50%", "高质量 发展"]
        for target in sessions:
            for n in range(1, len(target) + 1):
                set_search(target[:n])
                self.assertSearch(target[:n])
            for n in range(len(target) - 1, -1, -1):
                set_search(target[:n])
                self.assertSearch(target[:n])

    def test_unchanged_text_runs_no_search(self):
        set_search("发展")
        driver("search-pick", WORD_LIST, 0)
        narrowed = lists()
        self.assertNotEqual(narrowed, self.oracle.search("发展"))
        driver("search-pick", CLAUSE_LIST, 0)
        shown = view()
        for same in ["发展 ", " 发展", "  发展  ", "发展"]:
            set_search(same)
            self.assertEqual(lists(), narrowed, repr(same))
            self.assertEqual(view(), shown, repr(same))
        set_search("发展 改革")
        self.assertSearch("发展 改革")
        self.assertEqual(view(), ("段落", ""))

    def test_word_pick_rebuilds_phrases_and_short_sentences(self):
        for search in ["发展", "发", "改革", "高质量", "推动", "开放", "ab"]:
            set_search(search)
            before = lists()
            for index, entry in enumerate(before[WORD_LIST][1]):
                driver("search-pick", CLAUSE_LIST, 0)
                driver("search-pick", WORD_LIST, index)
                word_id, word = entry.split("|", 1)
                phrases = self.oracle.phrases_by_word(int(word_id))
                clauses = self.oracle.clauses(word)
                self.assertEqual(lists(), {WORD_LIST: before[WORD_LIST],
                                           PHRASE_LIST: (f"词组({len(phrases)})", phrases),
                                           CLAUSE_LIST: (f"短句({len(clauses)})", clauses)}, entry)
                self.assertEqual(view(), ("段落", ""), entry)

    def test_arrow_keys_pick_at_every_step(self):
        set_search("发")
        words = lists()[WORD_LIST][1]
        driver("search-pick", WORD_LIST, 0)
        for index in range(1, len(words)):
            driver("search-key", WORD_LIST, 0x28)  # VK_DOWN
            word_id, word = words[index].split("|", 1)
            phrases = self.oracle.phrases_by_word(int(word_id))
            clauses = self.oracle.clauses(word)
            self.assertEqual(lists()[PHRASE_LIST], (f"词组({len(phrases)})", phrases), words[index])
            self.assertEqual(lists()[CLAUSE_LIST], (f"短句({len(clauses)})", clauses), words[index])

    def test_phrase_pick_rebuilds_short_sentences_only(self):
        for search in ["发展", "改革", "ab"]:
            set_search(search)
            before = lists()
            for index, phrase in enumerate(before[PHRASE_LIST][1]):
                driver("search-pick", PHRASE_LIST, index)
                clauses = self.oracle.clauses(phrase)
                self.assertEqual(lists(), {WORD_LIST: before[WORD_LIST], PHRASE_LIST: before[PHRASE_LIST],
                                           CLAUSE_LIST: (f"短句({len(clauses)})", clauses)}, phrase)

    def test_short_sentence_pick_shows_paragraphs(self):
        for search in ["发展", "改革", "超长", "ab"]:
            set_search(search)
            before = lists()
            for index, clause in enumerate(before[CLAUSE_LIST][1]):
                driver("search-pick", CLAUSE_LIST, index)
                self.assertEqual(view(), self.oracle.paragraphs(clause), clause)
                self.assertEqual(lists(), before, "a short-sentence pick changes no list")

    def test_data_menu_shows_a_whole_report(self):
        set_search("改革")
        before = lists()
        for year_index, report_index in [(2, 4), (1, 0), (1, 1), (4, 31), (0, 0)]:
            year = 2021 + year_index
            driver("command", 41000 + 100 * year_index + report_index)
            expected = self.oracle.report(year, report_index, REPORT_NAMES)
            poll(lambda: view() == expected, seconds=10, what=f"report {year} {report_index}")
            self.assertEqual(lists(), before, "nothing else of the window changes")
        # The example: 2023年 > 4. 山西省政府工作报告 (41204) has three paragraphs.
        driver("command", 41204)
        poll(lambda: view()[0] == "段落(3)", seconds=10, what="the Shanxi report")
        self.assertTrue(view()[1].startswith("《2023年山西省政府工作报告》：我们着力推动高质量发展"))

    def test_copy_menu_copies_the_selection(self):
        set_search("深化改革")
        driver("search-pick", CLAUSE_LIST, 0)
        header, text = view()
        self.assertEqual(driver("search-menu-shown", 4001), (0, "0\n"), "no selection, no menu")
        start_at = text.index("深化改革")
        driver("search-view-select", start_at, start_at + 4)
        for outside in (WORD_LIST, CLAUSE_LIST):  # the search box has its own edit menu
            self.assertEqual(driver("search-menu-shown", outside), (0, "0\n"), f"no menu from {outside}")
        self.assertEqual(driver("search-view-copy"), (0, "深化改革\n"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
