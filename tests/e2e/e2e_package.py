"""Helpers for the data package's end-to-end tests: app folders that hold only a package."""
import os
import subprocess
import sys

from tivra_e2e import BUILD, SOURCE, make_app_folder

MAKER = os.path.join(SOURCE, "tools", "make_package.py")
DEMO_DB = os.path.join(BUILD, "demo", "demo-plain.db")
SQLITE_HEADER = b"SQLite format 3\x00"


def make_package(source, package, *maker_args):
    subprocess.run([sys.executable, MAKER, *maker_args, source, package], check=True)


def make_package_folder(name, source=DEMO_DB, *maker_args):
    """An app folder whose data folder holds only app.db.7z.enc made from source."""
    folder = make_app_folder(name, keyed_db=False)
    make_package(source, os.path.join(folder, "data", "app.db.7z.enc"), *maker_args)
    return folder


def data_listing(folder):
    """Every name under the data folder, folders with a trailing slash."""
    data = os.path.join(folder, "data")
    names = []
    for parent, dirs, files in os.walk(data):
        rel = os.path.relpath(parent, data)
        prefix = "" if rel == "." else rel + "/"
        names += [prefix + d + "/" for d in dirs] + [prefix + f for f in files]
    return sorted(names)


def file_head(path, size=16):
    with open(path, "rb") as f:
        return f.read(size)


def set_immutable(path, on):
    """chattr +i: a folder nothing can be written into, even by root."""
    return subprocess.run(["chattr", "+i" if on else "-i", path], capture_output=True).returncode == 0
