"""Start-up through the real exe: single instance and start-up failures."""
import os
import sqlite3
import unittest

from tivra_e2e import (BUILD, IDM_TRAY_EXIT, driver, kill_leftovers, make_app_folder, poll, start, stop, wait_exit,
                       wait_window, wine)

SW_HIDE, SW_MINIMIZE, SW_SHOW = 0, 6, 5


def state():
    code, text = driver("state")
    return text.strip() if code == 0 else None


class SingleInstance(unittest.TestCase):
    def setUp(self):
        kill_leftovers()
        self.folder = make_app_folder("single-instance")
        self.first = start(self.folder)
        wait_window(self.first)
        # The window exists before start-up shows it; a show command sent in between
        # would be undone by start-up's own.
        poll(lambda: state() == "visible=1 iconic=0", what="the window shown by start-up")

    def tearDown(self):
        stop(self.first)

    def test_second_start_raises_a_minimized_window_and_exits_0(self):
        driver("show", SW_MINIMIZE)
        poll(lambda: state() == "visible=1 iconic=1", what="minimized")
        self.assertEqual(wait_exit(start(self.folder)), 0)
        poll(lambda: state() == "visible=1 iconic=0", what="restored")
        self.assertIsNone(self.first.poll(), "the first instance keeps running")

    def test_second_start_leaves_a_hidden_window_hidden(self):
        driver("show", SW_HIDE)
        poll(lambda: state() == "visible=0 iconic=0", what="hidden")
        self.assertEqual(wait_exit(start(self.folder)), 0)
        self.assertEqual(state(), "visible=0 iconic=0")

    def test_window_title_and_normal_exit_code(self):
        self.assertEqual(driver("title"), (0, "云杉阅报 0.1.1-alpha\n"))
        driver("command", IDM_TRAY_EXIT)
        self.assertEqual(wait_exit(self.first), 0)


def keyed_database(name, statements):
    """A SQLite file made by statements, keyed with the corpus passphrase: it opens, but holds no corpus."""
    work = os.path.join(BUILD, "e2e", "keyed-" + name)
    os.makedirs(work, exist_ok=True)
    path = os.path.join(work, "app.db")
    if os.path.exists(path):
        os.remove(path)
    connection = sqlite3.connect(path)
    for statement in statements:
        connection.execute(statement)
    connection.commit()
    connection.close()
    r = wine(os.path.join(BUILD, "tools", "corpus_key.exe"), path)
    assert r.returncode == 0, r.stderr
    with open(path, "rb") as f:
        return f.read()


class StartupFailures(unittest.TestCase):
    def test_damaged_or_foreign_database_shows_the_database_error(self):
        with open(os.path.join(BUILD, "demo", "demo-plain.db"), "rb") as f:
            plain = f.read()
        cases = [
            ("damaged", b"not a database\n" * 200),
            ("unkeyed", plain),  # a valid SQLite file, but not under the corpus key
            # Keyed, so they open; without the corpus tables they would show empty lists for good.
            ("keyed-no-tables", keyed_database("no-tables", ["PRAGMA user_version = 7"])),
            ("keyed-foreign", keyed_database("foreign", [
                "CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)",
                "INSERT INTO notes (body) VALUES ('" + "x" * 3000 + "')"])),
        ]
        for name, content in cases:
            with self.subTest(name):
                self.assertGreater(len(content), 1024, "larger than a failed installation's remains")
                kill_leftovers()
                folder = make_app_folder("bad-db-" + name, keyed_db=False, data_files={"app.db": content})
                process = start(folder)
                poll(lambda: driver("msgbox")[0] == 0, what="the error box")
                code, text = driver("msgbox")
                self.assertEqual(text.splitlines(), ["数据库错误", "Invalid database key or corrupted database"])
                driver("msgbox-ok")
                self.assertEqual(wait_exit(process), 0)
                with open(os.path.join(folder, "data", "app.db"), "rb") as f:
                    self.assertEqual(f.read(), content, "the corpus file is never written")
                kill_leftovers()


if __name__ == "__main__":
    unittest.main(verbosity=2)
