"""出处分布 and copying with the source through the real exe, compared with an
oracle computed in Python from the plain fixture corpus; also the Data menu's
whole report and the paragraph view's keyboard context menu."""
import os
import re
import sqlite3
import subprocess
import unittest

from e2e_search import CLAUSE_LIST, WORD_LIST, app_folder, hex_units, lists, set_search, view
from e2e_shell import REPORT_NAMES, screenshot
from tivra_e2e import BUILD, driver, poll, start

PLAIN_DB = os.path.join(BUILD, "spread", "spread_corpus.db")
IDM_SOURCE_SPREAD, IDM_COPY_WITH_SOURCE, IDM_TRAY_EXIT = 40120, 4102, 39002
VK_ESCAPE, VK_D, VK_C = 0x1B, 0x44, 0x43
YEARS = [2021, 2022, 2023, 2024, 2025]
SUFFIX = "政府工作报告"


def fold(text):
    return "".join(chr(ord(c) + 32) if "A" <= c <= "Z" else c for c in text)


class SpreadOracle:
    """Matching and placing done here in Python, not by the program's statements."""

    def __init__(self):
        db = sqlite3.connect(PLAIN_DB)
        titles = dict(db.execute("SELECT article_id, article_title FROM mo_articles"))
        self.paragraphs = [(aid, aid in titles, titles.get(aid), text) for aid, text in
                           db.execute("SELECT article_id, paragraph_content FROM mo_paragraphs ORDER BY rowid")
                           if text is not None]

    @staticmethod
    def place(title):
        m = re.fullmatch(r"([0-9]{4})年(.+)", title or "")
        if m and int(m.group(1)) in YEARS and m.group(2) in REPORT_NAMES:
            return REPORT_NAMES.index(m.group(2)), int(m.group(1))
        return None

    def hits(self, wording):
        terms = [fold(t) for t in wording.split(" ") if t]
        return [p for p in self.paragraphs if terms and all(t in fold(p[3]) for t in terms)]

    def window(self, wording):
        """(title, summary, headings, rows) as the window must show them."""
        hits = self.hits(wording)
        cells, other, reports, years = {}, 0, set(), []
        for aid, has, title, _ in hits:
            if has:
                reports.add(aid)
            placed = self.place(title) if has else None
            if placed:
                cells[placed] = cells.get(placed, 0) + 1
                years.append(placed[1])
            else:
                other += 1
        cell = lambda n: str(n) if n else ""
        rows = []
        for index, name in enumerate(REPORT_NAMES):
            counts = [cells.get((index, y), 0) for y in YEARS]
            if sum(counts):
                rows.append([name[:-len(SUFFIX)]] + [cell(n) for n in counts] + [cell(sum(counts))])
        if other:
            rows.append(["其他"] + [""] * 5 + [cell(other)])
        totals = [sum(n for (i, y), n in cells.items() if y == year) for year in YEARS]
        rows.append(["合计"] + [cell(n) for n in totals] + [cell(len(hits))])
        if not hits:
            summary = f"“{wording}”在语料中没有出现。"
        elif years:
            summary = (f"“{wording}”见于 {len(reports)} 篇报告的 {len(hits)} 个段落，"
                       f"最早 {min(years)} 年，最近 {max(years)} 年。")
        else:
            summary = f"“{wording}”见于 {len(reports)} 篇报告的 {len(hits)} 个段落。"
        headings = ["地区"] + [str(y) for y in YEARS] + ["合计"]
        return f"出处分布 - {wording}", summary, headings, rows

    def report_view(self, year, index, wording=None):
        """Header and text of one report's paragraphs (those holding the wording, if given)."""
        title = f"{year}年{REPORT_NAMES[index]}"
        chosen = self.hits(wording) if wording else self.paragraphs
        rows = [f"《{title}》：{text}" for aid, has, t, text in chosen if has and t == title]
        return f"段落({len(rows)})", "\n".join(rows)


def spread():
    code, out = driver("spread-read")
    if code != 0:
        return None
    lines = out.rstrip("\n").split("\n")
    return lines[0], lines[1], lines[2].split("\t"), [line.split("\t") for line in lines[3:]]


def spread_open():
    return driver("spread-state")[1].startswith("open=1")


def clipboard():
    return driver("clipboard")[1][:-1]


def sourced(view_text, start, end):
    """The copy of [start, end) of the view: each paragraph part with its report title."""
    parts, position = [], 0
    for line in view_text.split("\n"):
        m = re.match(r"《(.+?)》：", line)
        title_length = m.end() if m else 0
        body_start, body_end = position + title_length, position + len(line)
        a, b = max(start, body_start), min(end, body_end)
        if a < b:
            parts.append(line[a - position:b - position] + (f"（《{m.group(1)}》）" if m else ""))
        position += len(line) + 1
    return "\r\n".join(parts).replace("\r\n", "\n")


class Spread(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        assert driver("find")[0] != 0, "a Tivra of an earlier run is still open"
        cls.oracle = SpreadOracle()
        cls.process = start(app_folder("spread", PLAIN_DB))
        poll(lambda: driver("find")[0] == 0, seconds=60, what="the main window")
        poll(lambda: driver("search-lists")[0] == 0, what="the lists")

    @classmethod
    def tearDownClass(cls):
        if cls.process.poll() is None:
            driver("command", IDM_TRAY_EXIT)
            try:
                cls.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                cls.process.kill()

    def setUp(self):
        if spread_open():
            driver("spread-key", VK_ESCAPE)
            poll(lambda: not spread_open(), what="the spread window to close")
        set_search("")

    def open_spread(self, wording):
        driver("command", IDM_SOURCE_SPREAD)
        expected = self.oracle.window(wording)
        poll(lambda: spread() == expected, seconds=20, what=f"the spread of {wording}")

    def test_rows_and_cells_match_the_oracle(self):
        for text, wording in [("新质生产力", "新质生产力"), ("  ai应用   北京 ", "ai应用 北京"), ("晋", "晋"),
                              ("发展", "发展"), ("没有这个词", "没有这个词")]:
            set_search(text)
            self.open_spread(wording)
        self.assertTrue(driver("spread-state")[1].startswith("open=1 visible=1 owner=1"))

    def test_a_second_command_refreshes_and_list_picks_come_first(self):
        set_search("新质生产力")
        self.open_spread("新质生产力")
        # The words list's selection wins over the search text; Ctrl+D refreshes the open window.
        set_search("AI")
        entries = lists()[WORD_LIST][1]
        driver("search-pick", WORD_LIST, entries.index("3|AI应用"))
        driver("keys-main", "c", VK_D)
        poll(lambda: spread() == self.oracle.window("AI应用"), seconds=20, what="the refreshed spread")
        clauses = lists()[CLAUSE_LIST][1]
        driver("search-pick", CLAUSE_LIST, clauses.index("推广AI应用"))
        self.open_spread("推广AI应用")

    def test_fonts_follow_the_size_level(self):
        set_search("新质生产力")
        self.open_spread("新质生产力")
        try:
            for command, font_px in [(40103, 16), (40101, 12), (40102, 14)]:
                driver("command", command)
                # The summary line is as high as its font plus 12 (96 DPI here).
                poll(lambda: f"summary-height={font_px + 12}" in driver("spread-state")[1], seconds=20,
                     what=f"the spread window at {font_px} px")
        finally:
            driver("command", 40102)

    def test_escape_closes(self):
        set_search("新质生产力")
        self.open_spread("新质生产力")
        driver("spread-key", VK_ESCAPE)
        poll(lambda: not spread_open(), what="the spread window to close")
        self.assertEqual(driver("find")[0], 0, "the main window stays")

    def test_nothing_to_look_at_shows_the_box(self):
        set_search("   ")
        driver("command", IDM_SOURCE_SPREAD)
        poll(lambda: driver("msgbox")[0] == 0, what="the box")
        self.assertEqual(driver("msgbox")[1], "出处分布\n请先输入或选择要查看的词语。\n")
        driver("msgbox-ok")
        poll(lambda: driver("msgbox")[0] != 0, what="the box to close")
        self.assertFalse(spread_open())

    def test_double_click_shows_that_reports_paragraphs(self):
        set_search("新质生产力")
        self.open_spread("新质生产力")
        rows = spread()[3]
        labels = [r[0] for r in rows]
        for label, index, year in [("山西省", 4, 2024), ("北京市", 1, 2023), ("国务院", 0, 2021)]:
            driver("spread-dblclick", labels.index(label), YEARS.index(year) + 1)
            expected = self.oracle.report_view(year, index, "新质生产力")
            poll(lambda: view() == expected, seconds=20, what=f"the paragraphs of {year} {label}")
        before = view()
        driver("spread-dblclick", labels.index("合计"), 3)  # no single report
        driver("spread-dblclick", labels.index("北京市"), 1)  # an empty cell
        self.assertEqual(spread()[3], rows)
        self.assertEqual(view(), before)

    def test_long_wording(self):
        wording = "无" * 255
        set_search(wording + "有")  # the box is read to 255 units
        self.open_spread(wording)

    def test_copy_with_source(self):
        set_search("新质生产力")
        self.open_spread("新质生产力")
        rows = spread()[3]
        driver("spread-dblclick", [r[0] for r in rows].index("北京市"), YEARS.index(2023) + 1)
        expected = self.oracle.report_view(2023, 1, "新质生产力")
        poll(lambda: view() == expected, seconds=20, what="the Beijing paragraphs")
        text = view()[1]
        second = text.index("\n") + 1
        cases = [(text.index("培育"), text.index("培育") + 2),         # inside one paragraph
                 (text.index("生产力"), second + 12),                  # across two paragraphs
                 (2, text.index("北京")),                               # from the title line
                 (0, 5)]                                                # a title line alone
        for start, end in cases:
            driver("clipboard-clear")
            driver("search-view-select", start, end)
            driver("command", IDM_COPY_WITH_SOURCE)
            want = sourced(text, start, end)
            if want:
                poll(lambda: clipboard() == want, seconds=10, what=f"the copy of {start}-{end}")
            else:
                self.assertEqual(clipboard(), "<none>")
        # The context menu's second item; the first still copies the plain selection.
        start, end = text.index("培育"), second + 6
        driver("search-view-select", start, end)
        driver("view-menu-pick", 2)
        poll(lambda: clipboard() == sourced(text, start, end), seconds=10, what="the menu's copy with source")
        driver("search-view-select", start, end)
        driver("view-menu-pick", 1)
        poll(lambda: clipboard() == text[start:end], seconds=10, what="the plain copy")
        # Nothing selected: Ctrl+Shift+C in the view copies the paragraph at the caret. The
        # spread window goes first, so the click lands in the view it may cover.
        driver("spread-key", VK_ESCAPE)
        poll(lambda: not spread_open(), what="the spread window to close")
        driver("clipboard-clear")
        driver("click-view", 40, 8)
        poll(lambda: driver("search-view")[0] == 0, what="the view")
        driver("keys-main", "cs", VK_C)
        first = text.split("\n")[0]
        poll(lambda: clipboard() == sourced(text, 0, len(first)), seconds=10, what="the caret's paragraph")

    def test_keyboard_context_menu_opens_at_the_caret(self):
        set_search("新质生产力")
        driver("search-pick", CLAUSE_LIST, 0)
        poll(lambda: view()[0].startswith("段落("), what="the paragraphs")
        driver("click-view", 40, 8)
        driver("search-view-select", 0, 4)
        self.assertEqual(driver("view-menu-keyboard"), (0, "1\n"))

    def test_data_menu_shows_the_whole_report(self):
        # 2024年 > 4. 山西省政府工作报告: about 20 k characters, a paragraph over 2046 units.
        driver("command", 41000 + 100 * 3 + 4)
        expected = self.oracle.report_view(2024, 4)
        self.assertEqual(expected[0], "段落(15)")
        self.assertGreater(len(expected[1]), 20000)
        poll(lambda: view() == expected, seconds=30, what="the whole report")
        # A selection of 8191 units copied with its sources.
        text = expected[1]
        start = text.index("第3段")
        driver("clipboard-clear")
        driver("search-view-select", start, start + 8191)
        driver("command", IDM_COPY_WITH_SOURCE)
        want = sourced(text, start, start + 8191)
        poll(lambda: clipboard() == want, seconds=20, what="the long copy")
        # A report without paragraphs.
        driver("command", 41000 + 100 * 1 + 3)
        poll(lambda: view() == ("段落(0)", "语料库中没有“2022年河北省政府工作报告”的段落。"), seconds=20,
             what="the empty report")

    def test_zz_screenshot(self):
        set_search("新质生产力")
        self.open_spread("新质生产力")
        left, top, right, bottom = (int(v) for v in driver("spread-rect")[1].split())
        out = os.path.join(BUILD, "screens")
        os.makedirs(out, exist_ok=True)
        path = os.path.join(out, "spread-window.png")
        screenshot(path, (left, top, right, bottom))
        self.assertGreater(os.path.getsize(path), 5000)


if __name__ == "__main__":
    unittest.main(verbosity=2)
