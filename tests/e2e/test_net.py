"""The launch report, telemetry.ini and the update check through the loopback
build of Tivra.exe, against a server on 127.0.0.1 that the test starts."""
import calendar
import hashlib
import json
import os
import time
import unittest

from e2e_net import (GRACE, LOOPBACK_EXE, UP_TO_DATE, Requests, box_count, loopback_server,
                     make_net_folder, no_box_for, opened, quit_app, read_ini, serve, start_net, stop_serving, wait_box)
from tivra_e2e import BUILD, driver, kill_leftovers, poll, wine

MEMBERS = ["app_version", "install_id", "device_id", "os_name", "os_version", "os_arch", "os_locale",
           "screen_width", "screen_height", "dpi_scale", "launch_count", "first_launch", "last_launch",
           "timestamp", "install_type"]
IDOK, IDYES, IDNO = 1, 6, 7
OFFER = ("发现新版本！\n\n当前版本：0.1.1\n最新版本：v0.2.0\n发布日期：2026-12-01\n\n更新内容：\n修复若干问题\n新增报告"
         "\n\n是否立即前往下载页面？")


def stamp(text):
    return calendar.timegm(time.strptime(text, "%Y-%m-%dT%H:%M:%SZ"))


def newer_manifest(url):
    return json.dumps({"tag_name": "v0.2.0", "html_url": url, "body": "修复若干问题\n新增报告",
                       "published_at": "2026-12-01"}, ensure_ascii=False)


class NetTest(unittest.TestCase):
    def setUp(self):
        kill_leftovers()
        self.process = None
        self.server = serve()
        # Also when a subclass's setUp fails after this point.
        self.addCleanup(self.close)
        self.requests = Requests()

    def close(self):
        if self.process:
            quit_app(self.process)
        if self.server:
            stop_serving(self.server)

    def start(self, folder):
        self.process = start_net(folder)
        self.assertIsNone(self.process.poll(), "Tivra keeps running")

    def restart(self, folder):
        quit_app(self.process)
        self.requests.take()
        self.requests.seen.clear()
        self.start(folder)

    def checked(self):
        """Waits until the start-up check has had its answer."""
        self.requests.wait_for("GET", "/version.json")


class BuildSettings(unittest.TestCase):
    def test_the_product_keeps_its_configured_addresses_and_the_test_build_has_loopback_ones(self):
        with open(os.path.join(BUILD, "Tivra.exe"), "rb") as f:
            product = f.read()
        with open(LOOPBACK_EXE, "rb") as f:
            loopback = f.read()
        for name in ("TIVRA_UPDATE_URL", "TIVRA_TELEMETRY_URL"):
            configured = os.environ[name].encode()
            self.assertIn(configured, product)
            self.assertNotIn(configured, loopback)
        self.assertNotIn(b"127.0.0.1:%d" % int(os.environ["TIVRA_NET_TEST_PORT"]), product)


class LaunchReport(NetTest):
    def report(self):
        posts = self.requests.wait_for("POST", "/launch")
        self.checked()
        time.sleep(GRACE)
        posts = self.requests.matching("POST", "/launch")
        self.assertEqual(len(posts), 1, "exactly one report per start")
        post = posts[0]
        self.assertEqual(post["headers"].get("Content-Type"), "application/json")
        self.assertEqual(post["headers"].get("User-Agent"), "Tivra/0.1.1")
        members = json.loads(post["body"].decode("utf-8"))
        self.assertEqual(list(members), MEMBERS)
        return members

    def test_first_and_second_start_report_and_count(self):
        folder = make_net_folder("net-report")
        self.start(folder)
        first = self.report()
        ini = read_ini(folder)
        self.assertEqual(ini["Stats"]["LaunchCount"], "1")
        self.assertRegex(ini["Identity"]["InstallId"], r"^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$")
        self.assertRegex(ini["Identity"]["DeviceId"], r"^[0-9a-f]{32}$")
        self.assertRegex(ini["Stats"]["FirstLaunch"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        apart = stamp(ini["Stats"]["LastLaunch"]) - stamp(ini["Stats"]["FirstLaunch"])
        self.assertIn(apart, (0, 1), "first and last launch of the first start")
        self.assertEqual(first["app_version"], "0.1.1")
        self.assertEqual(first["install_id"], ini["Identity"]["InstallId"])
        self.assertEqual(first["device_id"], ini["Identity"]["DeviceId"])
        self.assertEqual(first["first_launch"], ini["Stats"]["FirstLaunch"])
        self.assertEqual(first["last_launch"], ini["Stats"]["LastLaunch"])
        self.assertLessEqual(first["last_launch"], first["timestamp"])
        self.assertEqual(first["launch_count"], 1)
        self.assertEqual((first["screen_width"], first["screen_height"]), (1280, 1024))
        self.assertEqual(first["os_arch"], "x64")
        self.assertEqual(first["install_type"], "setup")
        self.assertTrue(first["os_name"].startswith("Windows"), first["os_name"])

        # The device id is the first half of SHA-256 over computer|user|system folder|Tivra.
        r = wine("cmd", "/c", "echo %COMPUTERNAME%^|%USERNAME%^|%WINDIR%")
        computer, user, windir = r.stdout.decode().strip().split("|")
        text = f"{computer}|{user}|{windir}\\system32|Tivra"
        self.assertEqual(first["device_id"], hashlib.sha256(text.encode()).hexdigest()[:32], text)

        self.restart(folder)
        second = self.report()
        again = read_ini(folder)
        self.assertEqual(again["Stats"]["LaunchCount"], "2")
        for section, key in (("Identity", "InstallId"), ("Identity", "DeviceId"), ("Stats", "FirstLaunch")):
            self.assertEqual(again[section][key], ini[section][key], key)
        self.assertGreaterEqual(again["Stats"]["LastLaunch"], ini["Stats"]["LastLaunch"])
        self.assertEqual(second["launch_count"], 2)
        self.assertEqual(second["first_launch"], first["first_launch"])
        self.assertEqual(second["last_launch"], again["Stats"]["LastLaunch"])

    def test_enabled_switch(self):
        for value, sends in (("0", False), ("abc", False), ("2", True)):
            with self.subTest(Enabled=value):
                kill_leftovers()
                self.requests.take()
                self.requests.seen.clear()
                folder = make_net_folder("net-enabled", f"[Settings]\nEnabled={value}\n")
                self.start(folder)
                self.checked()
                time.sleep(GRACE)
                self.assertEqual(len(self.requests.matching("POST", "/launch")), 1 if sends else 0)
                ini = read_ini(folder)
                self.assertEqual(ini["Stats"]["LaunchCount"], "1", "counted whether or not reported")
                self.assertEqual(ini["Settings"]["Enabled"], value, "never written")
                quit_app(self.process)
                self.process = None

    def test_hand_edited_values_are_sent_as_valid_json(self):
        folder = make_net_folder("net-escaped", '[Identity]\nInstallId=a"b\\c\n[Stats]\nFirstLaunch=x"y\nLaunchCount=41\n')
        self.start(folder)
        members = self.report()
        self.assertEqual(members["install_id"], 'a"b\\c')
        self.assertEqual(members["first_launch"], 'x"y')
        self.assertEqual(members["launch_count"], 42)

    def test_a_failed_report_changes_nothing_the_user_sees(self):
        folder = make_net_folder("net-report-fails")
        for case in ("500", "no server"):
            with self.subTest(case=case):
                if case == "500":
                    loopback_server.set_launch_status(500)
                    self.start(folder)
                    self.requests.wait_for("POST", "/launch")
                    self.checked()
                else:
                    stop_serving(self.server)
                    self.server = None
                    self.restart(folder)
                self.assertTrue(no_box_for(), "no message box")
                self.assertEqual(driver("state"), (0, "visible=1 iconic=0\n"))
                self.assertEqual(driver("title"), (0, "云杉阅报 0.1.1-alpha\n"))
                self.assertIsNone(self.process.poll())
        self.assertEqual(read_ini(folder)["Stats"]["LaunchCount"], "2")


class SilentCheck(NetTest):
    def test_only_the_offer_shows(self):
        cases = [(200, UP_TO_DATE), (200, '{"tag_name":"0.0.9"}'), (404, ""), (500, UP_TO_DATE), (204, ""),
                 (200, ""), (200, '{"tag_name":"abc"}'), (200, '{"tag_name":"","version":"0.2.0"}')]
        folder = make_net_folder("net-silent")
        for status, body in cases:
            with self.subTest(status=status, body=body):
                loopback_server.set_manifest(status, body)
                if self.process:
                    self.restart(folder)
                else:
                    self.start(folder)
                self.checked()
                self.assertTrue(no_box_for(), "a silent check shows nothing")
        loopback_server.set_manifest(200, newer_manifest("https://example.org/tivra/download"))
        self.restart(folder)
        box = wait_box()
        self.assertEqual(box, {"caption": "发现新版本", "text": OFFER, "buttons": [IDYES, IDNO], "owner": "main"})
        driver("msgbox-press", IDNO)
        poll(lambda: box_count() == 0, what="the offer to close")
        time.sleep(GRACE)
        self.assertEqual(opened(folder), [], "No opens nothing")

    def test_yes_opens_only_web_addresses(self):
        # Each refused address is one the shell would visibly act on: ftp goes to
        # the browser like http, the others would start Notepad.
        cases = [("https://example.org/tivra/download", True), ("http://example.org/dl", True),
                 ("ftp://example.org/tivra.exe", False), ("file:///C:/windows/system32/notepad.exe", False),
                 ("C:\\windows\\system32\\notepad.exe", False), ("", False)]
        folder = make_net_folder("net-yes")
        for url, opens in cases:
            with self.subTest(url=url):
                if os.path.exists(os.path.join(folder, "opened.txt")):
                    os.remove(os.path.join(folder, "opened.txt"))
                loopback_server.set_manifest(200, newer_manifest(url))
                if self.process:
                    self.restart(folder)
                else:
                    self.start(folder)
                wait_box()
                driver("msgbox-press", IDYES)
                poll(lambda: box_count() == 0, what="the offer to close")
                if opens:
                    poll(lambda: opened(folder), what="the shell to open the page")
                    self.assertEqual(opened(folder), [url])
                else:
                    time.sleep(GRACE)
                    self.assertEqual(opened(folder), [])
                    self.assertNotEqual(driver("window-class", "Notepad")[0], 0, "no program started")


NETWORK = "无法连接到更新服务器，请检查网络连接。"
BAD = "解析更新信息失败，请稍后重试。"
CURRENT = "当前版本 0.1.1 已是最新版本！"
IDM_CHECK_UPDATE, MSG_UPDATE_RESULT, UPDATE_INTERNAL_ERROR = 40200, 1124, 5


class MenuCheck(NetTest):
    def setUp(self):
        super().setUp()
        self.folder = make_net_folder("net-menu")
        self.start(self.folder)
        self.checked()

    def answer(self, button):
        driver("msgbox-press", button)
        poll(lambda: box_count() == 0, what="the box to close")

    def test_every_outcome_shows_its_box(self):
        cases = [(200, UP_TO_DATE, CURRENT), (200, '{"tag_name":"0.1.1-beta"}', CURRENT),
                 (200, '{"version":"0.1"}', CURRENT), (404, "", NETWORK), (500, UP_TO_DATE, NETWORK),
                 (204, "", NETWORK), (200, "", NETWORK), (200, '{"tag_name":"abc"}', BAD),
                 (200, '{"tag_name":"v"}', BAD), (200, '{"version": 2}', BAD),
                 (200, '{"tag_name":"","version":"0.2.0"}', BAD)]
        for status, body, text in cases:
            with self.subTest(status=status, body=body):
                loopback_server.set_manifest(status, body)
                driver("command", IDM_CHECK_UPDATE)
                box = wait_box()
                self.assertEqual(box, {"caption": "检查更新", "text": text, "buttons": [IDOK], "owner": "main"})
                self.answer(IDOK)
        loopback_server.set_manifest(200, newer_manifest("https://example.org/tivra/download"))
        driver("command", IDM_CHECK_UPDATE)
        self.assertEqual(wait_box(), {"caption": "发现新版本", "text": OFFER, "buttons": [IDYES, IDNO],
                                      "owner": "main"})
        self.answer(IDNO)
        self.assertEqual(opened(self.folder), [])

    def test_a_check_that_could_not_start(self):
        # What StartUpdateCheck posts when no worker could be made.
        driver("post", MSG_UPDATE_RESULT, (1 << 16) | UPDATE_INTERNAL_ERROR, 0)
        self.assertTrue(no_box_for(), "silent: nothing")
        driver("post", MSG_UPDATE_RESULT, UPDATE_INTERNAL_ERROR, 0)
        self.assertEqual(wait_box(), {"caption": "检查更新", "text": "检查更新时发生未知错误。", "buttons": [IDOK],
                                      "owner": "main"})
        self.answer(IDOK)

    def test_menu_check_right_after_start_both_answered(self):
        # Neither answer goes out until both checks wait at the server at once.
        loopback_server.set_manifest(200, UP_TO_DATE, together=2)
        self.restart(self.folder)
        driver("command", IDM_CHECK_UPDATE)
        gets = self.requests.wait_for("GET", "/version.json", count=2)
        self.assertEqual(len(gets), 2)
        self.assertEqual(wait_box()["text"], CURRENT, "the menu check was answered, not timed out")
        time.sleep(GRACE)
        self.assertEqual(box_count(), 1, "the silent check shows nothing")
        self.answer(IDOK)
        self.assertTrue(no_box_for())


if __name__ == "__main__":
    unittest.main(verbosity=2)
