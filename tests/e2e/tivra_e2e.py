"""Runs the real Tivra.exe under Wine and drives it with tivra_driver.exe.

The machine may be busy (two cores shared with other Wine programs), so every
wait is a condition polled to a generous deadline, and a failed wait says what
it waited for and what it saw last. Programs these tests start are ended by
their process id only; the ids are written down so that a later run can end
what an interrupted one left behind.
"""
import atexit
import os
import shutil
import signal
import subprocess
import tempfile
import time

BUILD = os.environ["TIVRA_BUILD_DIR"]
SOURCE = os.environ.get("TIVRA_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
WINE_RUN = os.path.join(SOURCE, "tools", "wine-run.sh")
DRIVER = os.path.join(BUILD, "tests", "tivra_driver.exe")

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
PREFIX = os.environ.get("WINEPREFIX") or os.path.join(os.path.realpath(BUILD), "wineprefix")
IDM_TRAY_EXIT = 39002  # the tray menu's exit ends the process whatever the close action

# No wait for something that must happen is shorter than this: a start of Wine
# on a loaded machine was seen to take half a minute.
MIN_WAIT = 60.0
WAIT = 120.0
# Process ids (with their start times, against reuse) of the programs started here.
STARTED_FILE = os.path.join(PREFIX, "tivra-e2e-started.txt")


def wine_env(extra=None):
    env = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    env.update(extra or {})
    return env


def keep_wineserver():
    """A wineserver that outlives short driver runs; a new process racing one that is
    shutting down was seen to hang."""
    subprocess.run([WINESERVER, "-p60"], env=wine_env(), stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


keep_wineserver()


def wine(*args, timeout=300):
    """Runs to the process's exit. Output goes through files, not pipes: a Wine
    service the process happens to start (the desktop, say) inherits its handles
    and would hold a pipe open long after the process ended."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        r = subprocess.run([WINE_RUN, *args], stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=timeout,
                           env=wine_env())
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(r.args, r.returncode, out.read(), err.read())


# The last driver command run, for the message of a wait that timed out.
last_driver = None


def driver(*args):
    """Returns (exit code, stdout text) of one driver command."""
    global last_driver
    r = wine(DRIVER, *[str(a) for a in args])
    out = r.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
    last_driver = (" ".join(str(a) for a in args), r.returncode, out[-300:],
                   r.stderr.decode("utf-8", "replace")[-300:])
    return r.returncode, out


def driver_ok(*args):
    """The output of a driver command that must succeed; its failure says what it saw."""
    code, out = driver(*args)
    if code != 0:
        raise AssertionError(f"driver {' '.join(map(str, args))} exited {code}; stdout {out[-300:]!r}; "
                             f"stderr {last_driver[3]!r}")
    return out


def poll(condition, seconds=WAIT, what="condition"):
    """Polls condition until it returns a true value, which is returned. Deadlines
    below MIN_WAIT are raised to it: the machine may be busy."""
    seconds = max(seconds, MIN_WAIT)
    started = time.monotonic()
    deadline = started + seconds
    global last_driver
    last_driver = None
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            seen = f"; last driver command {last_driver!r}" if last_driver else ""
            raise AssertionError(f"timed out after {time.monotonic() - started:.0f} s waiting for {what}; "
                                 f"the condition gave {value!r}{seen}")
        time.sleep(0.1)


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


def _start_time(pid):
    """The kernel's start time of pid, or None when it is gone (or only a zombie)."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except (FileNotFoundError, ProcessLookupError, IndexError):
        return None
    return None if fields[0] == "Z" else fields[19]


def _recorded():
    try:
        with open(STARTED_FILE) as f:
            return [tuple(line.split()) for line in f if len(line.split()) == 2]
    except FileNotFoundError:
        return []


def _write_recorded(entries):
    os.makedirs(os.path.dirname(STARTED_FILE), exist_ok=True)
    with open(STARTED_FILE, "w") as f:
        f.writelines(f"{pid} {stamp}\n" for pid, stamp in entries)


_started = []


def start(folder, env=None):
    """Starts folder's Tivra.exe. wine64 becomes the Windows process itself, so the
    Popen's pid is the program's: ending it by that id ends exactly this program."""
    process = subprocess.Popen([WINE, os.path.join(folder, "Tivra.exe")], env=wine_env(env),
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    stamp = _start_time(process.pid)
    if stamp:
        _write_recorded(_recorded() + [(str(process.pid), stamp)])
    _started.append(process)
    return process


def end(process):
    """Ends one program this module started, by its id."""
    if process.poll() is None:
        process.kill()
    process.wait(timeout=WAIT)


def wait_exit(process, seconds=WAIT):
    return process.wait(timeout=max(seconds, MIN_WAIT))


def wait_window(process, what="the main window"):
    """Waits for the main window while process runs; a process that ends first
    (a second instance, a start-up error) fails the wait at once."""
    def shown():
        if process.poll() is not None:
            raise AssertionError(f"Tivra ended with code {process.returncode} before {what} appeared; "
                                 f"last driver command {last_driver!r}")
        return driver("find")[0] == 0
    poll(shown, what=what)


def kill_leftovers():
    """Ends every Tivra an earlier test of this prefix started and left running (it
    would own the single-instance mutex), by the ids written down at its start, and
    waits until no main window is left."""
    for process in _started:
        if process.poll() is None:
            process.kill()
        process.wait(timeout=WAIT)
    _started.clear()
    for pid, stamp in _recorded():
        if _start_time(pid) == stamp:
            try:
                os.kill(int(pid), signal.SIGKILL)
            except ProcessLookupError:
                pass
    poll(lambda: all(_start_time(pid) != stamp for pid, stamp in _recorded()), what="leftover instances to end")
    _write_recorded([])
    poll(lambda: driver("absent")[0] == 0, what="no main window left")


def stop(process):
    """Ends the program by its id and waits until it and its window are gone. The
    clean exit through the tray menu takes Wine about four seconds a time, which
    only the tests of the exit itself wait for (through wait_exit)."""
    end(process)
    kill_leftovers()


atexit.register(lambda: [end(p) for p in _started])
