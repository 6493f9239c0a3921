"""The result lists as the screen shows them: a screenshot of the real exe."""
import os
import subprocess
import unittest

from e2e_search import CLAUSE_LIST, PHRASE_LIST, WORD_LIST, app_folder, set_search
from tivra_e2e import driver, kill_leftovers, poll, start, stop

YELLOW = (254, 226, 90)


def screenshot():
    """The whole screen as (width, height, rows of RGB tuples), from a binary PPM."""
    data = subprocess.run(["import", "-display", os.environ.get("DISPLAY", ":0"), "-window", "root", "ppm:-"],
                          capture_output=True, check=True).stdout
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    width, height, depth = int(fields[1]), int(fields[2]), int(fields[3])
    step = 2 if depth > 255 else 1
    pixels = data[pos:]

    def at(x, y):
        i = (y * width + x) * 3 * step
        return tuple(pixels[i + k * step] for k in range(3))
    return width, height, at


class ListScreenshot(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        kill_leftovers()
        cls.process = start(app_folder("search-drawing"))
        poll(lambda: driver("find")[0] == 0, what="the main window")
        poll(lambda: driver("search-lists")[0] == 0, what="the lists")

    @classmethod
    def tearDownClass(cls):
        stop(cls.process)

    def setUp(self):
        set_search("")

    def columns(self, list_id, row, colour):
        """x offsets (from the list's client left) of the row's pixels in colour."""
        left, top, right, bottom = map(int, driver("search-rect", list_id)[1].split())
        height = int(driver("search-item-height", list_id)[1])
        _, _, at = screenshot()
        xs = set()
        for y in range(top + row * height, min(top + (row + 1) * height, bottom)):
            for x in range(left, right):
                if at(x, y) == colour:
                    xs.add(x - left)
        return sorted(xs)

    def settle(self):
        # The lists paint after the search returns; a round trip lets them.
        poll(lambda: driver("search-lists")[0] == 0)

    def test_first_matching_term_wins_and_only_the_term_is_yellow(self):
        set_search("发 发展")
        self.settle()
        short = self.columns(WORD_LIST, 0, YELLOW)  # 发展: only 发 is highlighted
        set_search("发展 发")
        self.settle()
        whole = self.columns(WORD_LIST, 0, YELLOW)  # 发展 as one run
        self.assertTrue(short and whole)
        self.assertEqual(short[0], 4, "the text starts 4 pixels in")
        self.assertEqual(whole[0], 4)
        for span in (short, whole):
            self.assertEqual(span, list(range(span[0], span[-1] + 1)), "one unbroken run")
        self.assertAlmostEqual(len(whole) / len(short), 2.0, delta=0.2)
        # 高质量发展: yellow only behind the last two characters.
        tail = self.columns(WORD_LIST, 1, YELLOW)
        self.assertAlmostEqual(len(tail), len(whole), delta=2)
        self.assertGreater(tail[0], whole[-1])

    def test_selected_entry_shows_no_yellow(self):
        set_search("发展")
        self.settle()
        self.assertTrue(self.columns(CLAUSE_LIST, 1, YELLOW))
        driver("search-pick", CLAUSE_LIST, 1)  # a short-sentence pick keeps the term sets
        self.settle()
        self.assertEqual(self.columns(CLAUSE_LIST, 1, YELLOW), [])
        self.assertTrue(self.columns(CLAUSE_LIST, 0, YELLOW), "the other entries keep theirs")

    def test_phrase_pick_leaves_the_phrases_plain(self):
        set_search("发展")
        driver("search-pick", PHRASE_LIST, 1)
        self.settle()
        for row in range(4):
            self.assertEqual(self.columns(PHRASE_LIST, row, YELLOW), [], row)
        self.assertTrue(self.columns(CLAUSE_LIST, 0, YELLOW), "the short sentences highlight the phrase")


if __name__ == "__main__":
    unittest.main(verbosity=2)
