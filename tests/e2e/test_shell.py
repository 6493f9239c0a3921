"""The application shell through the real exe: menus, settings, layout, tray, privacy window, About box."""
import os
import unittest

from e2e_shell import (IDM_ABOUT, IDM_CLOSE_TO_TRAY, IDM_EXIT, IDM_FONT, IDM_PRIVACY, IDM_TRAY_EXIT, MSG_TRAY_NOTIFY,
                       MSG_UPDATE_RESULT, SW_MINIMIZE, SW_RESTORE, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_RBUTTONUP,
                       checks, exit_by_tray_menu, expected_menu_bar, launch, menu, read_settings, rect, state)
from tivra_e2e import driver, kill_leftovers, poll, stop, wait_exit

VK_RETURN, VK_ESCAPE = 0x0D, 0x1B


def wait_visible(expected):
    poll(lambda: state() == f"visible={expected} iconic=0", what=f"visible={expected}")


class Menus(unittest.TestCase):
    def setUp(self):
        self.folder, self.process = launch("shell-menus")

    def tearDown(self):
        stop(self.process)

    def test_every_label_and_identifier_with_default_checks(self):
        self.assertEqual(menu(), expected_menu_bar(level=1, close_action=0))
        self.assertIsNone(read_settings(self.folder), "no settings.ini until a setting changes")

    def test_font_levels_check_exclusively_and_are_saved_at_once(self):
        for level, row_height in ((0, 20), (2, 28), (1, 24), (1, 24)):
            driver("command", IDM_FONT[level])
            poll(lambda: driver("item-height", 2001)[1].strip() == str(row_height), what=f"rows of level {level}")
            marks = checks()
            self.assertEqual([marks[IDM_FONT[n]] for n in range(3)], [int(n == level) for n in range(3)])
            self.assertEqual(read_settings(self.folder), {"FontSizeLevel": str(level)})
        self.assertEqual(driver("rect", 1001)[1].split()[:2], ["1", "1"], "layout still in place after refresh")

    def test_close_to_tray_toggles_persists_and_decides_what_exit_does(self):
        driver("command", IDM_CLOSE_TO_TRAY)
        poll(lambda: checks()[IDM_CLOSE_TO_TRAY] == 0, what="unchecked")
        self.assertEqual(read_settings(self.folder), {"CloseAction": "1"})
        driver("command", IDM_CLOSE_TO_TRAY)
        poll(lambda: checks()[IDM_CLOSE_TO_TRAY] == 1, what="checked again")
        self.assertEqual(read_settings(self.folder), {"CloseAction": "0"})
        driver("command", IDM_CLOSE_TO_TRAY)
        poll(lambda: read_settings(self.folder) == {"CloseAction": "1"}, what="saved")
        driver("command", IDM_EXIT)
        self.assertEqual(wait_exit(self.process), 0, "退出 ends the process when not closing to the tray")

    def test_exit_hides_to_tray_and_the_tray_brings_it_back(self):
        driver("command", IDM_EXIT)
        wait_visible(0)
        self.assertIsNone(self.process.poll(), "hidden, still running")
        driver("post", MSG_TRAY_NOTIFY, 1, WM_LBUTTONUP)
        driver("post", MSG_TRAY_NOTIFY, 1, WM_RBUTTONUP)  # the menu opens once the click was handled
        poll(lambda: driver("popup-exists")[0] == 0, what="the tray menu")
        self.assertEqual(state(), "visible=0 iconic=0", "a single click does nothing")
        driver("popup-close")
        poll(lambda: driver("popup-exists")[0] == 1, what="the tray menu to close")
        driver("post", MSG_TRAY_NOTIFY, 1, WM_LBUTTONDBLCLK)
        wait_visible(1)
        driver("post", 0x0010, 0, 0)  # WM_CLOSE from the title bar
        wait_visible(0)
        driver("post", MSG_TRAY_NOTIFY, 1, WM_RBUTTONUP)
        poll(lambda: driver("popup-exists")[0] == 0, what="the tray menu")
        code, text = driver("popup")
        self.assertEqual((code, text), (0, "0 39001 0 显示窗口\n0 - - -\n0 39002 0 退出\n"))
        driver("popup-pick", 0)
        wait_visible(1)
        self.assertEqual(exit_by_tray_menu(self.process), 0)

    def test_minimising_does_not_lay_out_and_restoring_does(self):
        before = rect(1001)
        driver("move-child", 1001, 50, 60, 100, 20)
        poll(lambda: rect(1001) == (50, 60, 100, 20), what="moved")
        driver("show", SW_MINIMIZE)
        poll(lambda: state() == "visible=1 iconic=1", what="minimized")
        self.assertEqual(rect(1001), (50, 60, 100, 20))
        driver("show", SW_RESTORE)
        poll(lambda: state() == "visible=1 iconic=0", what="restored")
        poll(lambda: rect(1001) == before, what="laid out again")

    def test_minimum_track_size(self):
        driver("set-size", 100, 100)
        poll(lambda: driver("window-rect")[1] != "", what="rect")

        def size():
            left, top, right, bottom = (int(v) for v in driver("window-rect")[1].split())
            return right - left, bottom - top
        poll(lambda: size() == (300, 400), what="the minimum size 300 x 400")

    def test_layout_of_the_worked_example(self):
        driver("set-client", 660, 600)
        poll(lambda: driver("client")[1].strip() == "660 600", what="client 660 x 600")
        status = poll(lambda: rect(6001), what="status bar")
        self.assertEqual(status[3], 22, "the worked example assumes a 22-pixel status bar")
        expected = {
            1001: (1, 1, 658, 22),
            2011: (1, 24, 164, 26), 2012: (166, 24, 164, 26), 2013: (331, 24, 328, 26),
            2001: (1, 50, 164, 223), 2002: (166, 50, 164, 223), 2003: (331, 50, 328, 223),
            4001: (1, 299, 658, 279),
            6001: (0, 578, 660, 22),
        }
        poll(lambda: rect(1001) == expected[1001], what="layout")
        self.assertEqual({i: rect(i) for i in expected}, expected)
        code, text = driver("paragraph-header")
        self.assertEqual(text.splitlines()[0], "1 273 658 26")

    def test_status_bar_texts_stay_whatever_is_searched(self):
        texts = ["\u26a1 查词汇 · 查词组 · 查出处", "\U0001F4CC 2021-2025年省政府报告", "\U0001F4C3 300万字政府工作报告"]
        units = " ".join(str(len(t.encode("utf-16-le")) // 2) for t in texts)  # the symbols count two units
        for search in ("", "发展", "改革"):
            driver("set-text", 1001, search)
            poll(lambda: driver("text", 1001)[1] == search + "\n", what=f"search {search!r}")
            self.assertEqual(driver("status")[1], f"3 {units}\n")
            self.assertEqual(driver("text", 6001)[1], texts[0] + "\n")

    def test_data_menu_shows_the_report(self):
        driver("command", 41000 + 200 + 5)  # 2023年 > 5. 内蒙古自治区政府工作报告
        poll(lambda: driver("paragraph-header")[1].splitlines()[1].startswith("段落("), what="the report's paragraphs")

    def test_about_box(self):
        driver("command", IDM_ABOUT)
        poll(lambda: driver("msgbox")[0] == 0, what="the About box")
        self.assertEqual(driver("msgbox")[1].splitlines(), ["关于", "云杉阅报 v0.1.1", "", "一个简单的政府工作报告搜索工具"])
        driver("msgbox-ok")
        poll(lambda: driver("msgbox")[0] == 1, what="the box to close")

    def test_update_failures_show_only_after_a_check_on_demand(self):
        driver("post", MSG_UPDATE_RESULT, 3 | (1 << 16), 0)  # silent network error
        driver("post", MSG_UPDATE_RESULT, 4 | (1 << 16), 0)
        driver("post", MSG_UPDATE_RESULT, 3, 0)
        poll(lambda: driver("msgbox")[0] == 0, what="the update box")
        self.assertEqual(driver("msgbox")[1].splitlines(), ["检查更新", "无法连接到更新服务器，请检查网络连接。"])
        driver("msgbox-ok")
        poll(lambda: driver("msgbox")[0] == 1, what="the box to close")


class SettingsFile(unittest.TestCase):
    def tearDown(self):
        kill_leftovers()

    def test_values_are_read_and_out_of_range_ones_fall_back(self):
        cases = [
            ("[UI]\r\nFontSizeLevel=3\r\nCloseAction=2\r\n", 1, 0),
            ("[UI]\r\nFontSizeLevel=2\r\nCloseAction=1\r\n", 2, 1),
            ("[UI]\r\nFontSizeLevel=-1\r\n", 1, 0),
        ]
        for text, level, close_action in cases:
            with self.subTest(text=text):
                folder, process = launch("shell-settings", settings=text)
                self.assertEqual(menu(), expected_menu_bar(level, close_action))
                if close_action == 0:
                    driver("post", 0x0010, 0, 0)  # WM_CLOSE hides it
                    wait_visible(0)
                self.assertEqual(exit_by_tray_menu(process), 0, "the tray's 退出 ends it in both settings")
                with open(os.path.join(folder, "data", "settings.ini"), "rb") as f:
                    self.assertEqual(f.read().decode("ascii"), text, "reading never rewrites the file")


class PrivacyWindow(unittest.TestCase):
    def setUp(self):
        self.folder, self.process = launch("shell-privacy")

    def tearDown(self):
        stop(self.process)

    def open(self):
        driver("command", IDM_PRIVACY)
        poll(lambda: driver("privacy")[1].startswith("exists=1"), what="the privacy window")
        return dict(line.split("=", 1) for line in driver("privacy")[1].splitlines())

    def test_centred_topmost_modal_and_closed_every_way(self):
        for close in ("escape", "enter", "button", "title-bar"):
            with self.subTest(close=close):
                info = self.open()
                left, top, right, bottom = (int(v) for v in info["rect"].split())
                self.assertEqual((right - left, bottom - top), (450, 400))
                ml, mt, mr, mb = (int(v) for v in driver("window-rect")[1].split())
                self.assertEqual(left, ml + ((mr - ml) - 450) // 2)
                self.assertEqual(top, mt + ((mb - mt) - 400) // 2)
                self.assertEqual((info["topmost"], info["owner"], info["title"]), ("1", "1", "隐私政策"))
                self.assertEqual(info["foreground"], "1", "the privacy window is the active one")
                self.assertEqual(driver("enabled")[1].strip(), "0", "the main window is disabled while open")
                cw, ch = (int(v) for v in info["client"].split())
                self.assertEqual(info["text-rect"], f"10 10 {cw - 20} {ch - 30 - 28}")
                self.assertEqual(info["button-rect"], f"{(cw - 90) // 2} {ch - 28 - 10} 90 28")
                self.assertEqual(info["button-text"], "确定")
                self.assertEqual((info["text-readonly"], info["multiline"]), ("1", "1"))
                if close == "escape":
                    driver("privacy-key", VK_ESCAPE)
                elif close == "enter":
                    driver("privacy-key", VK_RETURN)
                elif close == "button":
                    driver("privacy-button")
                else:
                    driver("privacy-close")
                poll(lambda: driver("privacy")[1].startswith("exists=0"), what="the window to close")
                poll(lambda: driver("enabled")[1].strip() == "1", what="the main window enabled again")
                poll(lambda: driver("foreground")[1].strip() == "1", what="the main window active again")

    def test_policy_text_and_no_context_menu(self):
        self.open()
        lines = driver("privacy-text")[1].split("\r\n")
        self.assertEqual(len(lines), 93)
        self.assertEqual(lines[0], "云杉阅报 隐私政策")
        self.assertEqual(lines[-1].rstrip("\n"), "感谢您对云杉阅报的信任与使用。")
        driver("privacy-select", 0, 0)
        poll(lambda: driver("privacy-selection")[1] == "0 0\n", what="no selection")
        driver("privacy-rclick")
        driver("privacy-select", 2, 7)  # queued behind the clicks: once it shows, they were handled
        poll(lambda: driver("privacy-selection")[1] == "2 7\n", what="the clicks to be handled")
        self.assertEqual(driver("privacy")[1].splitlines()[0], "exists=1 visible=1")
        self.assertEqual(driver("popup-exists")[0], 1, "no context menu in the policy text")
        driver("privacy-key", VK_ESCAPE)
        poll(lambda: driver("privacy")[1].startswith("exists=0"), what="closed")

    def test_tray_exit_while_open_ends_the_process(self):
        self.open()
        driver("command", IDM_TRAY_EXIT)
        self.assertEqual(wait_exit(self.process), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
