"""Helpers for the network tests through the loopback build of Tivra.exe.

That build is made from the product's sources with both service addresses on
127.0.0.1 at TIVRA_NET_TEST_PORT, where these helpers serve tests/net/loopback_server.py.
"""
import configparser
import os
import shutil
import stat
import sys
import time

from tivra_e2e import SOURCE, driver, make_app_folder, poll, start, stop, wait_window

sys.path.insert(0, os.path.join(SOURCE, "tests", "net"))
import loopback_server  # noqa: E402

PORT = int(os.environ["TIVRA_NET_TEST_PORT"])
LOOPBACK_EXE = os.environ["TIVRA_LOOPBACK_EXE"]
UP_TO_DATE = '{"tag_name":"v0.1.1"}'
# How long a test waits for something that must not happen, once the request
# that would have caused it was answered.
GRACE = 3.0

# Wine hands https, http and ftp addresses to winebrowser, which runs the
# first browser it finds on PATH; this one only writes down what it was given.
FAKE_BROWSER = """#!/bin/sh
printf '%s\\n' "$*" >> "$TIVRA_OPENED_LOG"
"""


def serve():
    server = loopback_server.serve(PORT)
    loopback_server.set_manifest(200, UP_TO_DATE)
    loopback_server.set_launch_status(200)
    loopback_server.take_received()
    return server


def stop_serving(server):
    server.shutdown()
    server.server_close()


def make_net_folder(name, ini_text=None):
    """A fresh app folder holding the loopback build, and telemetry.ini if given."""
    folder = make_app_folder(name)
    shutil.copy(LOOPBACK_EXE, os.path.join(folder, "Tivra.exe"))
    if ini_text is not None:
        with open(ini_path(folder), "w", newline="\r\n") as f:
            f.write(ini_text)
    return folder


def opened_log(folder):
    return os.path.join(folder, "opened.txt")


def start_net(folder):
    """Starts the loopback build with the recording browser first on PATH and no proxy."""
    bin_dir = os.path.join(folder, "fake-bin")
    os.makedirs(bin_dir, exist_ok=True)
    for browser in ("xdg-open", "firefox"):
        path = os.path.join(bin_dir, browser)
        with open(path, "w") as f:
            f.write(FAKE_BROWSER)
        os.chmod(path, os.stat(path).st_mode | stat.S_IEXEC)
    env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""),
               TIVRA_OPENED_LOG=opened_log(folder))
    for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
        env.pop(name, None)
    process = start(folder, env)
    wait_window(process)
    return process


def quit_app(process):
    """Ends Tivra by the tray menu's exit, which never hides to the tray."""
    stop(process)


def opened(folder):
    try:
        with open(opened_log(folder)) as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def ini_path(folder):
    return os.path.join(folder, "data", "telemetry.ini")


def read_ini(folder):
    """telemetry.ini as {section: {key: value}}, key case kept."""
    parser = configparser.RawConfigParser(strict=False, interpolation=None)
    parser.optionxform = str
    with open(ini_path(folder), encoding="utf-8", errors="replace") as f:
        parser.read_string(f.read())
    return {section: dict(parser[section]) for section in parser.sections()}


class Requests:
    """Collects what the loopback server received, across calls."""

    def __init__(self):
        self.seen = []

    def take(self):
        self.seen += loopback_server.take_received()
        return self.seen

    def matching(self, method, path):
        return [r for r in self.take() if r["method"] == method and r["path"] == path]

    def wait_for(self, method, path, count=1, seconds=30):
        poll(lambda: len(self.matching(method, path)) >= count, seconds=seconds,
             what=f"{count} {method} {path}")
        return self.matching(method, path)


def box_info():
    """The first visible message box as {caption, text, buttons, owner}, or None."""
    code, out = driver("msgbox-info")
    if code != 0:
        return None
    lines = out.rstrip("\n").split("\n")
    if len(lines) < 4:
        return None
    buttons = lines[-2].split("=", 1)[1]
    return {"caption": lines[0], "text": "\n".join(lines[1:-2]),
            "buttons": [int(b) for b in buttons.split(",") if b], "owner": lines[-1].split("=", 1)[1]}


def box_count():
    code, out = driver("msgbox-count")
    return int(out.strip()) if code == 0 else 0


def wait_box(seconds=30):
    return poll(box_info, seconds=seconds, what="a message box")


def no_box_for(seconds=GRACE):
    """True when no message box shows during the whole time."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if box_count():
            return False
        time.sleep(0.2)
    return True
