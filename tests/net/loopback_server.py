#!/usr/bin/env python3
"""Loopback HTTP server for the network tests.

Usage: loopback_server.py [--port N] COMMAND [ARGS...]
Serves on 127.0.0.1 at port N (default: a free port), runs COMMAND with
TIVRA_TEST_SERVER set to http://127.0.0.1:PORT, stops and exits with COMMAND's
status. Tests in Python import it and call serve() instead.

GET  /echo?status=N&body=TEXT&repeat=R&chunks=K
                                         answers N (200) with TEXT R times, in K chunks
GET  /headers                            answers the request's headers as text
GET  /barrier?n=N&body=TEXT              answers once N requests wait there at once
GET  /version.json                       answers what set_manifest() last gave (200, "{}")
GET  /_log                               one line per POST received, then clears
POST /launch                             records and answers 200 (or set_launch_status())
POST /status/N                           records and answers N
"""
import json
import os
import subprocess
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

posts = []
posts_lock = threading.Lock()
barriers = {}
barriers_lock = threading.Lock()
# Every request as {"method", "path", "headers", "body"}, for tests in Python.
received = []
manifest = {"status": 200, "body": b"{}", "together": 1}
launch = {"status": 200}


def set_manifest(status, body, together=1):
    """What GET /version.json answers from now on; body is text or bytes. With
    together=N the answers wait until N requests wait at once."""
    with posts_lock:
        manifest["status"] = status
        manifest["body"] = body.encode("utf-8") if isinstance(body, str) else body
        manifest["together"] = together


def set_launch_status(status):
    """The status POST /launch answers from now on."""
    with posts_lock:
        launch["status"] = status


def take_received():
    """The requests received since the last call, oldest first."""
    with posts_lock:
        taken = list(received)
        received.clear()
    return taken


def serve(port=0, tls=None):
    """Starts the server on 127.0.0.1 in a daemon thread; returns it (shutdown() stops it).
    With tls=(certificate file, key file) it speaks HTTPS."""
    server = ThreadingHTTPServer(("127.0.0.1", port), Handler)
    server.daemon_threads = True
    if tls:
        import ssl
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*tls)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def barrier_for(count):
    with barriers_lock:
        barrier = barriers.get(count)
        if barrier is None or barrier.broken:
            barrier = barriers[count] = threading.Barrier(count, timeout=20)
        return barrier


def describe_post(path, headers, body):
    try:
        members = json.loads(body.decode("utf-8"))
        verdict = "json=ok" if isinstance(members, dict) else "json=bad"
        keys = ",".join(members) if isinstance(members, dict) else ""
        count = members.get("launch_count", "") if isinstance(members, dict) else ""
    except (ValueError, UnicodeDecodeError):
        verdict, keys, count = "json=bad", "", ""
    return "\t".join([
        "POST " + path,
        "ct=" + headers.get("Content-Type", ""),
        "ua=" + headers.get("User-Agent", ""),
        verdict,
        "keys=" + keys,
        "launch_count=" + str(count),
        "body=" + body.decode("utf-8", "replace"),
    ])


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body=b"", chunks=0):
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        if status == 204:
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if chunks > 0:
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            size = max(1, -(-len(body) // chunks))
            for start in range(0, len(body), size):
                piece = body[start:start + size]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                self.wfile.flush()
            self.wfile.write(b"0\r\n\r\n")
        else:
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        self.wfile.flush()

    def record(self, body=b""):
        with posts_lock:
            received.append({"method": self.command, "path": self.path,
                             "headers": dict(self.headers.items()), "body": body})

    def do_GET(self):
        url = urlsplit(self.path)
        if url.path != "/_log":
            self.record()
        query = parse_qs(url.query, keep_blank_values=True)
        text = query.get("body", [""])[0].encode("utf-8")
        if url.path == "/echo":
            text *= int(query.get("repeat", ["1"])[0])
            self.answer(int(query.get("status", ["200"])[0]), text, int(query.get("chunks", ["0"])[0]))
        elif url.path == "/headers":
            self.answer(200, "".join("%s: %s\n" % item for item in self.headers.items()).encode("utf-8"))
        elif url.path == "/barrier":
            try:
                barrier_for(int(query.get("n", ["2"])[0])).wait()
                self.answer(200, text)
            except threading.BrokenBarrierError:
                self.answer(503, b"")
        elif url.path == "/version.json":
            with posts_lock:
                status, body, together = manifest["status"], manifest["body"], manifest["together"]
            if together > 1:
                try:
                    barrier_for(together).wait()
                except threading.BrokenBarrierError:
                    status, body = 503, b""
            self.answer(status, body)
        elif url.path == "/_log":
            with posts_lock:
                lines = "".join(line + "\n" for line in posts)
                posts.clear()
            self.answer(200, lines.encode("utf-8"))
        else:
            self.answer(404, b"")

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        self.record(body)
        with posts_lock:
            posts.append(describe_post(self.path, self.headers, body))
        with posts_lock:
            status = launch["status"]
        if self.path.startswith("/status/"):
            status = int(self.path.rsplit("/", 1)[1])
        self.answer(status, b"ok")


def main():
    args = sys.argv[1:]
    port = 0
    if len(args) >= 2 and args[0] == "--port":
        port = int(args[1])
        args = args[2:]
    if not args:
        print(__doc__, file=sys.stderr)
        return 2
    server = serve(port)
    env = dict(os.environ)
    for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
        env.pop(name, None)
    env["TIVRA_TEST_SERVER"] = "http://127.0.0.1:%d" % server.server_address[1]
    try:
        status = subprocess.call(args, env=env)
    finally:
        server.shutdown()
    return status


if __name__ == "__main__":
    sys.exit(main())
