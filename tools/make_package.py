#!/usr/bin/env python3
"""Makes the data package app.db.7z.enc from a plain corpus database.

    make_package.py [--method M] [--iv HEX] [--passphrase P] [--archive] [--name N] INPUT OUTPUT
    make_package.py --check PACKAGE

INPUT is a plain (unencrypted) SQLite corpus database. It is packed as the only
file of a 7z archive (entry name "app.db", or --name) with Debian's 7zz, using
the method chosen by --method (default LZMA2), and the archive is encrypted with
openssl. With --archive, INPUT is taken as the archive bytes as they are (tests
use this for damaged and hostile archives).

Package layout, all integers little-endian:

    offset  size  content
    0       16    initialisation vector, random (or --iv)
    16      4     length in bytes of the plain 7z archive, modulo 2^32
    20      4     CRC-32 (IEEE, as zlib computes it) of the plain 7z archive
    24      ...   the 7z archive, PKCS#7-padded, AES-128-CBC under the 16 bytes
                  of the corpus passphrase used as they are as the key

The program does not read the two words at 16 and 20; they let a person check a
package with this tool's --check without the program.

The passphrase is read from corpus/corpus_db.cpp unless --passphrase is given.
"""
import argparse
import os
import re
import shutil
import sqlite3
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# 7zz arguments per method; filters are followed by LZMA2 as 7-Zip itself does.
METHODS = {
    "Copy": ["-m0=Copy"],
    "LZMA": ["-m0=LZMA"],
    "LZMA2": ["-m0=LZMA2"],
    "Delta": ["-m0=Delta:4", "-m1=LZMA2"],
    "BCJ2": ["-m0=BCJ2", "-m1=LZMA:d25", "-m2=LZMA:d19", "-m3=LZMA:d19", "-mb0:1", "-mb0s1:2", "-mb0s2:3"],
}
for _filter in ("BCJ", "PPC", "IA64", "ARM", "ARMT", "SPARC", "ARM64", "RISCV"):
    METHODS[_filter] = [f"-m0={_filter}", "-m1=LZMA2"]


def corpus_passphrase():
    with open(os.path.join(ROOT, "corpus", "corpus_db.cpp"), encoding="utf-8") as f:
        source = f.read()
    m = re.search(r"PASSPHRASE\[16\]\s*=\s*\{([^}]*)\}", source)
    if not m:
        sys.exit("make_package: passphrase not found in corpus/corpus_db.cpp")
    chars = re.findall(r"'(.)'", m.group(1))
    if len(chars) != 16:
        sys.exit("make_package: the passphrase must have 16 characters")
    return "".join(chars).encode("ascii")


def make_archive(database, method, name, workdir):
    # The installer re-keys the copy, which the rollback journal allows; leave WAL behind.
    entry = os.path.join(workdir, name)
    shutil.copyfile(database, entry)
    with open(entry, "rb") as f:
        header = f.read(20)
    if header[:16] != b"SQLite format 3\x00":
        sys.exit(f"make_package: {database} is not a plain SQLite database")
    if header[18:20] != b"\x01\x01":
        connection = sqlite3.connect(entry)
        connection.execute("PRAGMA journal_mode=DELETE")
        connection.close()
    archive = os.path.join(workdir, "package.7z")
    subprocess.run(["7zz", "a", "-bd", "-y", "-t7z", *METHODS[method], archive, name],
                   cwd=workdir, check=True, stdout=subprocess.DEVNULL)
    with open(archive, "rb") as f:
        return f.read()


def encrypt(plain, key, iv, workdir):
    source = os.path.join(workdir, "plain.bin")
    with open(source, "wb") as f:
        f.write(plain)
    result = subprocess.run(["openssl", "enc", "-aes-128-cbc", "-K", key.hex(), "-iv", iv.hex(), "-in", source],
                            check=True, stdout=subprocess.PIPE)
    return result.stdout


def check(path, key):
    """Decrypts a package and compares it with its two words; prints the archive length."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 24:
        sys.exit("make_package: header incomplete")
    iv = data[:16]
    length, crc = struct.unpack("<II", data[16:24])
    result = subprocess.run(["openssl", "enc", "-d", "-aes-128-cbc", "-K", key.hex(), "-iv", iv.hex()],
                            input=data[24:], stdout=subprocess.PIPE)
    if result.returncode != 0:
        sys.exit("make_package: decryption failed")
    plain = result.stdout
    if len(plain) & 0xFFFFFFFF != length or zlib.crc32(plain) != crc:
        sys.exit("make_package: archive length or CRC-32 does not match the header")
    print(f"ok: {len(plain)} bytes of archive, CRC-32 {crc:08x}")


def main():
    parser = argparse.ArgumentParser(description="Makes app.db.7z.enc from a plain corpus database.")
    parser.add_argument("input", nargs="?")
    parser.add_argument("output", nargs="?")
    parser.add_argument("--method", default="LZMA2", choices=sorted(METHODS))
    parser.add_argument("--name", default="app.db", help="entry name of the database in the archive")
    parser.add_argument("--archive", action="store_true", help="INPUT is the archive to encrypt as it is")
    parser.add_argument("--iv", help="32 hex digits instead of a random initialisation vector")
    parser.add_argument("--passphrase", help="16 characters instead of the corpus passphrase")
    parser.add_argument("--check", action="store_true", help="verify the package INPUT instead")
    parser.add_argument("--print-key", action="store_true", help="print the AES key in hex and stop")
    args = parser.parse_args()

    key = args.passphrase.encode("utf-8") if args.passphrase else corpus_passphrase()
    if len(key) != 16:
        sys.exit("make_package: the passphrase must be 16 bytes")
    if args.print_key:
        print(key.hex())
        return
    if not args.input:
        parser.error("INPUT is required")
    if args.check:
        check(args.input, key)
        return
    if not args.output:
        parser.error("OUTPUT is required")
    iv = bytes.fromhex(args.iv) if args.iv else os.urandom(16)
    if len(iv) != 16:
        sys.exit("make_package: the initialisation vector must be 16 bytes")

    with tempfile.TemporaryDirectory(prefix="tivra-package-") as workdir:
        if args.archive:
            with open(args.input, "rb") as f:
                plain = f.read()
        else:
            plain = make_archive(args.input, args.method, args.name, workdir)
        cipher = encrypt(plain, key, iv, workdir)
    with open(args.output, "wb") as f:
        f.write(iv)
        f.write(struct.pack("<II", len(plain) & 0xFFFFFFFF, zlib.crc32(plain)))
        f.write(cipher)


if __name__ == "__main__":
    main()
