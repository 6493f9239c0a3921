"""First-start installation of the data package through the real exe."""
import hashlib
import os
import shutil
import sqlite3
import subprocess
import unittest

from e2e_package import (DEMO_DB, SQLITE_HEADER, data_listing, file_head, make_package_folder,
                         set_immutable)
from tivra_e2e import BUILD, driver, kill_leftovers, poll, start, stop, wait_exit, wait_window

HINT = "请确保 data 目录下存在 app.db 或 app.db.7z.enc 文件。"
# Files other modules may write into the data folder at every start.
SIDE_FILES = {"settings.ini", "telemetry.ini"}


def installed_names(folder):
    return [n for n in data_listing(folder) if n not in SIDE_FILES]


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def startup_error(process):
    poll(lambda: driver("msgbox")[0] == 0, what="the error box")
    _, text = driver("msgbox")
    driver("msgbox-ok")
    assert wait_exit(process) == 0
    return text.splitlines()


class FirstStart(unittest.TestCase):
    def setUp(self):
        kill_leftovers()

    def test_first_start_installs_then_second_start_goes_straight_on(self):
        folder = make_package_folder("install-first")
        database = os.path.join(folder, "data", "app.db")
        process = start(folder)
        try:
            wait_window(process)
            self.assertEqual(driver("title"), (0, "云杉阅报 0.1.1-alpha\n"))
            # Package, temporary archive, extracted database and temp folder are gone.
            self.assertEqual(installed_names(folder), ["app.db"])
            self.assertNotEqual(file_head(database), SQLITE_HEADER)
            self.assertGreater(os.path.getsize(database), 1024)
        finally:
            stop(process)
        # Without the passphrase it is no database at all.
        connection = sqlite3.connect(database)
        with self.assertRaises(sqlite3.DatabaseError):
            connection.execute("SELECT count(*) FROM sqlite_master").fetchall()
        connection.close()

        before = digest(database)
        process = start(folder)
        try:
            wait_window(process, "the main window again")
            self.assertEqual(installed_names(folder), ["app.db"])
            self.assertEqual(digest(database), before, "a second start never touches the corpus")
        finally:
            stop(process)


class BrokenPackages(unittest.TestCase):
    def setUp(self):
        kill_leftovers()

    def test_not_an_archive_shows_the_installer_error_and_exits_0(self):
        not_7z = os.path.join(BUILD, "e2e", "not-7z.bin")
        os.makedirs(os.path.dirname(not_7z), exist_ok=True)
        with open(not_7z, "wb") as f:
            f.write(b"plain bytes, no archive\n" * 64)
        folder = make_package_folder("install-broken", not_7z, "--archive")
        lines = startup_error(start(folder))
        self.assertEqual(lines, ["数据库错误", "数据库初始化失败: Decompression failed: Cannot open 7z archive",
                                 "", HINT])
        # The package stays for another try; only the empty temporary folder is new.
        self.assertEqual(installed_names(folder), ["app.db.7z.enc", "temp/"])
        self.assertEqual(os.listdir(os.path.join(folder, "data", "temp")), [])

    def test_sqlite_files_without_the_corpus_are_refused_and_the_package_kept(self):
        work = os.path.join(BUILD, "e2e", "no-corpus-sources")
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        empty = os.path.join(work, "app.db")
        open(empty, "wb").close()
        empty_archive = os.path.join(work, "empty-db.7z")
        subprocess.run(["7zz", "a", "-bd", "-y", empty_archive, "app.db"], cwd=work, check=True,
                       stdout=subprocess.DEVNULL)
        foreign = os.path.join(work, "foreign.db")
        connection = sqlite3.connect(foreign)
        connection.execute("CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)")
        connection.executemany("INSERT INTO notes (body) VALUES (?)", [(f"note {i}",) for i in range(300)])
        connection.commit()
        connection.close()
        cases = [("install-empty-db", (empty_archive, "--archive")), ("install-foreign-db", (foreign,))]
        for name, maker_args in cases:
            with self.subTest(name):
                kill_leftovers()
                folder = make_package_folder(name, *maker_args)
                package = digest(os.path.join(folder, "data", "app.db.7z.enc"))
                lines = startup_error(start(folder))
                self.assertEqual(lines, ["数据库错误", "数据库初始化失败: Encryption verification failed: "
                                         "the database lacks the corpus tables", "", HINT])
                # No half-made database; the package stays, unchanged, for another try.
                self.assertEqual(installed_names(folder), ["app.db.7z.enc", "temp/"])
                self.assertEqual(os.listdir(os.path.join(folder, "data", "temp")), [])
                self.assertEqual(digest(os.path.join(folder, "data", "app.db.7z.enc")), package)

    def test_a_package_of_2_gib_or_more_says_it_is_too_large(self):
        folder = make_package_folder("install-too-large")
        package = os.path.join(folder, "data", "app.db.7z.enc")
        with open(package, "r+b") as f:
            f.truncate(2 << 30)  # sparse: costs no disk
        lines = startup_error(start(folder))
        self.assertEqual(lines, ["数据库错误", "数据库初始化失败: Package file too large: 2147483648 bytes "
                                 "(at most 2147483647)", "", HINT])
        self.assertEqual(installed_names(folder), ["app.db.7z.enc"])
        self.assertEqual(os.path.getsize(package), 2 << 30)

    def test_wrong_key_fails_at_decryption(self):
        folder = make_package_folder("install-wrong-key", DEMO_DB, "--passphrase", "0123456789abcdef",
                                     "--iv", "00112233445566778899aabbccddeeff")
        lines = startup_error(start(folder))
        self.assertEqual(lines[0], "数据库错误")
        self.assertRegex(lines[1], r"^数据库初始化失败: CryptDecrypt failed: \d+$")
        self.assertEqual(installed_names(folder), ["app.db.7z.enc"])

    def test_no_package_names_the_missing_path(self):
        folder = make_package_folder("install-none")
        os.remove(os.path.join(folder, "data", "app.db.7z.enc"))
        lines = startup_error(start(folder))
        self.assertEqual(lines[0], "数据库错误")
        self.assertTrue(lines[1].startswith("数据库初始化失败: Source package not found: "), lines[1])
        self.assertTrue(lines[1].endswith("\\data\\app.db.7z.enc"), lines[1])
        self.assertEqual(lines[2:], ["", HINT])

    def test_read_only_data_folder_leaves_the_package_alone(self):
        folder = make_package_folder("install-read-only")
        data = os.path.join(folder, "data")
        if not set_immutable(data, True):
            self.skipTest("chattr +i is not available here")
        try:
            package = digest(os.path.join(data, "app.db.7z.enc"))
            lines = startup_error(start(folder))
            self.assertEqual(lines, ["数据库错误", "数据库初始化失败: Cannot create temp file", "", HINT])
            self.assertEqual(data_listing(folder), ["app.db.7z.enc"])
            self.assertEqual(digest(os.path.join(data, "app.db.7z.enc")), package)
        finally:
            set_immutable(data, False)
            kill_leftovers()


if __name__ == "__main__":
    unittest.main(verbosity=2)
