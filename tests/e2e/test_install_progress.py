"""The progress window of a first start: seen while the real exe installs a large package,
gone before the main window or the installer's error box, never seen on a second start."""
import os
import shutil
import sqlite3
import subprocess
import sys
import unittest

from e2e_package import DEMO_DB, make_package, make_package_folder
from e2e_shell import screenshot
from tivra_e2e import BUILD, DRIVER, SOURCE, WINE_RUN, driver, poll, start, wait_exit

IDM_TRAY_EXIT = 39002
# The installer's reports, in the order it makes them.
STAGES = [(5, "Reading encrypted package..."), (20, "Decrypting..."), (40, "Decompressing..."),
          (50, "Extracting archive..."), (70, "Creating encrypted database..."), (90, "Cleaning up..."),
          (100, "Initialization complete")]
WORK = os.path.join(BUILD, "e2e", "progress")
SHOTS = os.path.join(BUILD, "e2e", "shots")


def quick_package():
    """A package made in about a second that still keeps the installer busy for a while: the
    demo corpus with some 18 MB of repeated text beside it, which packs small and fast but is
    unpacked and re-keyed in full."""
    package = os.path.join(WORK, "quick.enc")
    if not os.path.exists(package):
        os.makedirs(WORK, exist_ok=True)
        plain = os.path.join(WORK, "quick-plain.db")
        shutil.copy(DEMO_DB, plain)
        db = sqlite3.connect(plain)
        db.execute("CREATE TABLE filler (chunk TEXT)")
        line = "政府工作报告坚持稳中求进工作总基调。" * 200
        db.executemany("INSERT INTO filler VALUES (?)", ((line,) for _ in range(1500)))
        db.commit()
        db.close()
        make_package(plain, package + ".part")
        os.replace(package + ".part", package)
        os.remove(plain)
    return package


def folder_with(name, package):
    folder = make_package_folder(name)
    shutil.copy(package, os.path.join(folder, "data", "app.db.7z.enc"))
    return folder


def watch(name, seconds):
    """Starts the driver's watcher and returns once it looks; finish() reads what it saw.
    The log stays in the build tree for a look after a failure."""
    log = os.path.join(WORK, f"watch-{name}.txt")
    if os.path.exists(log):
        os.remove(log)
    process = subprocess.Popen([WINE_RUN, DRIVER, "progress-watch", str(seconds), "Z:" + log.replace("/", "\\")],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def ready():
        if not os.path.exists(log):
            return False
        with open(log, "rb") as f:
            return f.read().startswith(b"ready")

    poll(ready, seconds=60, what="the watcher")

    def finish():
        process.wait(timeout=seconds + 60)
        with open(log, encoding="utf-8") as f:
            return f.read().splitlines()[1:]

    return finish


def stages_of(lines):
    out = []
    for line in lines:
        if line.startswith("stage "):
            pos, text = line[len("stage "):].split(" ", 1)
            out.append((int(pos), text))
    return out


def field(lines, name):
    return next((line[len(name) + 1:] for line in lines if line.startswith(name + " ")), None)


def end_instance(process):
    if process.poll() is None:
        driver("command", IDM_TRAY_EXIT)
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()


class ProgressWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.package = quick_package()

    def test_first_start_shows_each_stage_then_the_main_window_and_second_start_none(self):
        folder = folder_with("progress-first", self.package)
        finish = watch("first", 300)
        process = start(folder)
        try:
            lines = finish()
            self.assertEqual(field(lines, "title"), "云杉阅报", lines)
            seen = stages_of(lines)
            self.assertTrue(seen, lines)
            # Each state shown is one of the reports, in the installer's order, at its percentage.
            self.assertTrue(all(stage in STAGES for stage in seen), seen)
            self.assertEqual(seen, sorted(seen), seen)
            self.assertGreaterEqual(len(seen), 3, "the window keeps up with the stages")
            left, top, right, bottom = map(int, field(lines, "rect").split())
            wl, wt, wr, wb = map(int, field(lines, "work").split())
            self.assertLessEqual(abs((left + right) - (wl + wr)), 1, lines)
            self.assertLessEqual(abs((top + bottom) - (wt + wb)), 1, lines)
            self.assertIn("gone", lines)
            self.assertNotIn("main-during", lines, "the window closes before the main window shows")
            poll(lambda: driver("find")[0] == 0, seconds=60, what="the main window")
            self.assertEqual(driver("progress")[0], 1)
        finally:
            end_instance(process)

        finish = watch("second", 120)
        process = start(folder)
        try:
            lines = finish()
            self.assertNotIn("title 云杉阅报", lines, "a second start installs nothing and shows no progress")
            self.assertEqual(driver("find")[0], 0)
        finally:
            end_instance(process)

    def test_failed_installation_closes_the_window_before_the_error_box(self):
        # An archive whose one file is large and no database: the stages up to re-keying, then code 5.
        junk = os.path.join(WORK, "app.db")
        archive = os.path.join(WORK, "junk.7z")
        with open(junk, "wb") as f:
            for i in range(600000):
                f.write(b"no database here, line %07d\n" % i)
        if os.path.exists(archive):
            os.remove(archive)
        subprocess.run(["7zz", "a", "-t7z", archive, junk], check=True, stdout=subprocess.DEVNULL)
        folder = make_package_folder("progress-failed", archive, "--archive")
        finish = watch("failed", 300)
        process = start(folder)
        try:
            lines = finish()
            self.assertEqual(field(lines, "title"), "云杉阅报", lines)
            self.assertTrue(all(stage in STAGES[:5] for stage in stages_of(lines)), lines)
            self.assertIn("gone", lines)
            self.assertNotIn("box-during", lines, "the box comes after the window closed")
            poll(lambda: driver("msgbox")[0] == 0, seconds=60, what="the error box")
            caption = driver("msgbox")[1].splitlines()[0]
            self.assertEqual(caption, "数据库错误")
            self.assertEqual(driver("progress")[0], 1)
            driver("msgbox-ok")
            self.assertEqual(wait_exit(process, 60), 0)
        finally:
            end_instance(process)

    def test_screenshot(self):
        folder = folder_with("progress-shot", self.package)
        os.makedirs(SHOTS, exist_ok=True)
        shot = os.path.join(SHOTS, "install-progress.png")
        if os.path.exists(shot):
            os.remove(shot)
        # The driver holds the window's thread while a state stands painted, so
        # the picture does not depend on catching the window in time.
        record = os.path.join(WORK, "hold.txt")
        if os.path.exists(record):
            os.remove(record)
        holder = subprocess.Popen([WINE_RUN, DRIVER, "progress-hold", "300", "Z:" + record.replace("/", "\\")],
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def written(mark):
            def check():
                if holder.poll() is not None and holder.returncode != 0:
                    raise AssertionError(f"progress-hold exited {holder.returncode}")
                if not os.path.exists(record):
                    return None
                with open(record, encoding="utf-8") as f:
                    text = f.read()
                return text if text.endswith(mark + "\n") else None
            return check

        poll(written("ready"), seconds=60, what="the holder")
        process = start(folder)
        try:
            lines = poll(written("held"), seconds=300, what="the held progress window").splitlines()
            self.assertIn(field(lines, "stage"), [text for _, text in STAGES], lines)
            rect = tuple(map(int, field(lines, "rect").split()))
            screenshot(shot, rect)
            os.remove(record)
            self.assertEqual(holder.wait(timeout=120), 0)
            poll(lambda: driver("find")[0] == 0, seconds=300, what="the main window")
        finally:
            if holder.poll() is None:
                if os.path.exists(record):
                    os.remove(record)
                holder.wait(timeout=360)
            end_instance(process)

if __name__ == "__main__":
    unittest.main(verbosity=2)
