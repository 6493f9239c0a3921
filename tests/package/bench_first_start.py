#!/usr/bin/env python3
"""Times the real exe's first start (installation included) and second start on a
given package, until its main window exists, and reads the peak resident memory of
its process. Needs TIVRA_BUILD_DIR and a display.

    bench_first_start.py PACKAGE
"""
import glob
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from tivra_e2e import BUILD, driver, kill_leftovers, make_app_folder, start, stop  # noqa: E402


def tivra_pid(folder):
    target = os.path.join(folder, "Tivra.exe").replace("/", "\\")
    for status in glob.glob("/proc/[0-9]*/cmdline"):
        try:
            with open(status, "rb") as f:
                cmdline = f.read().decode("utf-8", "replace")
        except OSError:
            continue
        if "Tivra.exe" in cmdline and (folder in cmdline or target in cmdline):
            return status.split("/")[2]
    return None


def peak_rss_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return 0.0


def timed_start(folder):
    began = time.monotonic()
    process = start(folder)
    while driver("find")[0] != 0:
        if time.monotonic() - began > 300:
            raise SystemExit("no window after 300 s")
        time.sleep(0.05)
    elapsed = time.monotonic() - began
    pid = tivra_pid(folder)
    peak = peak_rss_mib(pid) if pid else float("nan")
    return process, elapsed, peak


def main():
    kill_leftovers()
    folder = make_app_folder("bench-first-start", keyed_db=False)
    shutil.copy(sys.argv[1], os.path.join(folder, "data", "app.db.7z.enc"))
    process, first, first_peak = timed_start(folder)
    print(f"first start (installs): window after {first:.2f} s, peak resident {first_peak:.1f} MiB")
    stop(process)
    process, second, second_peak = timed_start(folder)
    print(f"second start: window after {second:.2f} s, peak resident {second_peak:.1f} MiB")
    stop(process)
    print(f"database {os.path.getsize(os.path.join(folder, 'data', 'app.db'))} bytes; data folder: "
          f"{sorted(os.listdir(os.path.join(folder, 'data')))}")
    shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
