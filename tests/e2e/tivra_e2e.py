"""Runs the real Tivra.exe under Wine and drives it with tivra_driver.exe."""
import os
import re
import shutil
import subprocess
import tempfile
import time

BUILD = os.environ["TIVRA_BUILD_DIR"]
SOURCE = os.environ.get("TIVRA_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
WINE_RUN = os.path.join(SOURCE, "tools", "wine-run.sh")
DRIVER = os.path.join(BUILD, "tests", "tivra_driver.exe")


WINESERVER = "/usr/lib/wine/wineserver"
IDM_TRAY_EXIT = 39002  # the tray menu's exit ends the process whatever the close action


def keep_wineserver():
    """A wineserver that outlives short driver runs; a new process racing one that is
    shutting down was seen to hang."""
    env = dict(os.environ, WINEPREFIX=os.environ.get("WINEPREFIX", os.path.join(os.path.realpath(BUILD), "wineprefix")))
    subprocess.run([WINESERVER, "-p60"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


keep_wineserver()


def wine(*args, timeout=60):
    """Runs to the process's exit. Output goes through files, not pipes: a Wine
    service the process happens to start (the desktop, say) inherits its handles
    and would hold a pipe open long after the process ended."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        r = subprocess.run([WINE_RUN, *args], stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=timeout)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(r.args, r.returncode, out.read(), err.read())


def poll(condition, seconds=30, what="condition"):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what}")


def driver(*args):
    """Returns (exit code, stdout text) of one driver command."""
    r = wine(DRIVER, *[str(a) for a in args])
    return r.returncode, r.stdout.decode("utf-8", "replace").replace("\r\n", "\n")


def make_app_folder(name, keyed_db=True, data_files=None):
    """A fresh folder with Tivra.exe and, unless told otherwise, a keyed demo corpus."""
    folder = os.path.join(BUILD, "e2e", name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.join(folder, "data"))
    shutil.copy(os.path.join(BUILD, "Tivra.exe"), folder)
    if keyed_db:
        db = os.path.join(folder, "data", "app.db")
        shutil.copy(os.path.join(BUILD, "demo", "demo-plain.db"), db)
        r = wine(os.path.join(BUILD, "tools", "corpus_key.exe"), db)
        assert r.returncode == 0, r.stderr
    for file_name, content in (data_files or {}).items():
        with open(os.path.join(folder, "data", file_name), "wb") as f:
            f.write(content)
    return folder


def kill_leftovers():
    """Ends any Tivra an earlier test left behind; it would own the single-instance mutex."""
    # Only this build tree's instances: other trees run their own Wine prefixes.
    pattern = re.escape(os.path.realpath(BUILD)) + r"/e2e/.*Tivra\.exe"
    subprocess.run(["pkill", "-f", pattern], capture_output=True)
    poll(lambda: subprocess.run(["pgrep", "-f", pattern], capture_output=True).returncode != 0,
         what="leftover instances to end")


def start(folder):
    return subprocess.Popen([WINE_RUN, os.path.join(folder, "Tivra.exe")],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wait_exit(process, seconds=30):
    return process.wait(timeout=seconds)


def stop(process):
    if process.poll() is None:
        driver("command", IDM_TRAY_EXIT)  # closing only hides to the tray by default
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
    kill_leftovers()
