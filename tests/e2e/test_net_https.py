"""The product's own Tivra.exe over HTTPS: its configured service addresses are
served on 127.0.0.1 with a certificate from a test authority. For the length of
the test the authority is added to the system's store and the service names are
mapped to 127.0.0.1 in /etc/hosts; both are undone afterwards. Skipped unless
run as root with openssl and update-ca-certificates at hand."""
import json
import os
import re
import sys
import shutil
import subprocess
import tempfile
import time
import unittest
from urllib.parse import urlsplit

from e2e_net import (GRACE, Requests, box_count, loopback_server, no_box_for, quit_app, read_ini, stop_serving,
                     wait_box)
from tivra_e2e import driver, kill_leftovers, make_app_folder, poll, start, wait_window

UPDATE = urlsplit(os.environ.get("TIVRA_UPDATE_URL", ""))
TELEMETRY = urlsplit(os.environ.get("TIVRA_TELEMETRY_URL", ""))
# Named by process, so the clean-up takes away only what this run added.
CA_NAME = f"tivra-net-test-{os.getpid()}"
CA_FILE = f"/usr/local/share/ca-certificates/{CA_NAME}.crt"
HOSTS_MARK = f"# {CA_NAME}"
CERTS = "/etc/ssl/certs"
BUNDLE = os.path.join(CERTS, "ca-certificates.crt")
HOSTS = "/etc/hosts"
IDM_CHECK_UPDATE = 40200


def can_change_machine():
    if os.geteuid() != 0:
        return "needs root to add a test authority and a hosts entry"
    if not shutil.which("openssl") or not shutil.which("update-ca-certificates"):
        return "needs openssl and update-ca-certificates"
    if not os.access(HOSTS, os.W_OK) or not os.path.exists(BUNDLE) or not os.access(os.path.dirname(CA_FILE), os.W_OK):
        return "needs a writable hosts file and certificate store"
    if UPDATE.scheme != "https" or TELEMETRY.scheme != "https":
        return "the build's service addresses are not https"
    if (UPDATE.port or 443) != (TELEMETRY.port or 443):
        return "the two services are on different ports"
    return None


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


def make_certificates(folder, hosts):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Tivra test authority",
            "-keyout", "ca.key", "-out", "ca.crt", cwd=folder)
    with open(os.path.join(folder, "server.ext"), "w") as f:
        f.write("subjectAltName=" + ",".join("DNS:" + h for h in hosts) + "\nextendedKeyUsage=serverAuth\n")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=" + hosts[0], "-keyout", "server.key",
            "-out", "server.csr", cwd=folder)
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "2", "-extfile", "server.ext", "-out", "server.crt", cwd=folder)


def member(body, name):
    try:
        return json.loads(body).get(name)
    except (ValueError, AttributeError):
        return None


def alive(pid):
    return os.path.exists(f"/proc/{pid}")


def sweep_killed_runs():
    """Takes away what a run that was killed before its clean-up left behind."""
    folder = os.path.dirname(CA_FILE)
    stale = [name for name in os.listdir(folder)
             if (m := re.fullmatch(r"tivra-net-test-(\d+)\.crt", name)) and not alive(int(m.group(1)))]
    for name in stale:
        os.remove(os.path.join(folder, name))
    if stale:
        subprocess.run(["update-ca-certificates"], capture_output=True)
        for name in os.listdir(CERTS):
            path = os.path.join(CERTS, name)
            if os.path.islink(path) and not os.path.exists(path) and "tivra-net-test-" in os.readlink(path):
                os.remove(path)
    with open(HOSTS) as f:
        lines = f.readlines()
    kept = [line for line in lines
            if not ((m := re.search(r"# tivra-net-test-(\d+)$", line.rstrip("\n"))) and not alive(int(m.group(1))))]
    if kept != lines:
        with open(HOSTS, "w") as f:
            f.writelines(kept)


@unittest.skipIf(can_change_machine(), can_change_machine())
class ProductOverHttps(unittest.TestCase):
    def setUp(self):
        kill_leftovers()
        sweep_killed_runs()
        self.addCleanup(self.machine_unchanged, self.machine_state())
        self.work = tempfile.mkdtemp(prefix="tivra-https-")
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        hosts = sorted({UPDATE.hostname, TELEMETRY.hostname})
        make_certificates(self.work, hosts)

        self.addCleanup(self.remove_hosts_entries)
        with open(HOSTS, "a") as f:
            f.write("".join(f"127.0.0.1 {h} {HOSTS_MARK}\n" for h in hosts))

        try:
            self.server = loopback_server.serve(UPDATE.port or 443, tls=(os.path.join(self.work, "server.crt"),
                                                                          os.path.join(self.work, "server.key")))
        except OSError as e:
            self.skipTest(f"cannot serve port {UPDATE.port or 443}: {e}")
        self.addCleanup(stop_serving, self.server)
        loopback_server.take_received()
        self.requests = Requests()

    def trust_authority(self):
        self.addCleanup(self.remove_authority)
        shutil.copy(os.path.join(self.work, "ca.crt"), CA_FILE)
        subprocess.run(["update-ca-certificates"], check=True, capture_output=True)

    def start_product(self, name):
        folder = make_app_folder(name)
        process = start(folder)
        self.addCleanup(quit_app, process)
        wait_window(process)
        return folder, process

    @staticmethod
    def machine_state():
        with open(HOSTS, "rb") as f, open(BUNDLE, "rb") as g:
            return f.read(), g.read(), sorted(os.listdir(CERTS))

    def machine_unchanged(self, before):
        self.assertEqual(self.machine_state(), before, "hosts file and certificate store as before")

    @staticmethod
    def remove_hosts_entries():
        with open(HOSTS) as f:
            lines = f.readlines()
        with open(HOSTS, "w") as f:
            f.writelines(line for line in lines if not line.rstrip("\n").endswith(HOSTS_MARK))

    @staticmethod
    def remove_authority():
        if os.path.exists(CA_FILE):
            os.remove(CA_FILE)
        subprocess.run(["update-ca-certificates"], capture_output=True)
        # The links it made for the authority may outlive it.
        for name in os.listdir(CERTS):
            path = os.path.join(CERTS, name)
            if os.path.islink(path) and os.readlink(path) in (CA_FILE, CA_NAME + ".pem"):
                os.remove(path)

    def test_the_product_reports_and_checks_over_https(self):
        # Up to date, so a product exe of another build tree starting meanwhile,
        # whose requests land here too, shows nothing.
        loopback_server.set_manifest(200, json.dumps({"tag_name": "v0.1.1"}))
        # Without the authority the certificate is refused: nothing reaches the server.
        folder, process = self.start_product("net-https-untrusted")
        time.sleep(2 * GRACE)
        self.assertEqual(self.own_reports(folder), [])
        quit_app(process)
        self.requests.take()
        self.requests.seen.clear()

        self.trust_authority()
        folder, process = self.start_product("net-https")
        self.assertEqual(self.requests.wait_for("GET", UPDATE.path)[0]["headers"].get("User-Agent"),
                         "Tivra-Updater/1.0")
        poll(lambda: self.own_reports(folder), what="the launch report")
        post = self.own_reports(folder)[0]
        self.assertEqual(post["headers"].get("User-Agent"), "Tivra/0.1.1")
        self.assertEqual(post["headers"].get("Content-Type"), "application/json")
        self.assertTrue(no_box_for(1.0), "the silent check found it up to date")

        driver("command", IDM_CHECK_UPDATE)
        self.assertEqual(wait_box(), {"caption": "检查更新", "text": "当前版本 0.1.1 已是最新版本！", "buttons": [1],
                                      "owner": "main"})
        driver("msgbox-press", 1)
        poll(lambda: box_count() == 0, what="the box to close")
        time.sleep(GRACE)
        self.assertEqual(len(self.own_reports(folder)), 1, "one report per start")

    def own_reports(self, folder):
        """Launch reports from this folder's installation, told apart by its id."""
        try:
            install_id = read_ini(folder)["Identity"]["InstallId"]
        except (FileNotFoundError, KeyError):
            return []
        return [r for r in self.requests.matching("POST", TELEMETRY.path) if member(r["body"], "install_id") == install_id]


if __name__ == "__main__":
    run = unittest.main(verbosity=2, exit=False).result
    if not run.wasSuccessful():
        sys.exit(1)
    # Reported to ctest as skipped (SKIP_RETURN_CODE) when nothing could run.
    sys.exit(77 if run.testsRun and len(run.skipped) == run.testsRun else 0)
