#!/usr/bin/env python3
"""Loopback HTTP server for the network tests.

Usage: loopback_server.py COMMAND [ARGS...]
Serves on 127.0.0.1 at a free port, runs COMMAND with TIVRA_TEST_SERVER set to
http://127.0.0.1:PORT, stops and exits with COMMAND's status.

GET  /echo?status=N&body=TEXT&repeat=R&chunks=K
                                         answers N (200) with TEXT R times, in K chunks
GET  /headers                            answers the request's headers as text
GET  /barrier?n=N&body=TEXT              answers once N requests wait there at once
GET  /_log                               one line per POST received, then clears
POST /launch                             records and answers 200
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

    def do_GET(self):
        url = urlsplit(self.path)
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
        with posts_lock:
            posts.append(describe_post(self.path, self.headers, body))
        status = int(self.path.rsplit("/", 1)[1]) if self.path.startswith("/status/") else 200
        self.answer(status, b"ok")


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    env = dict(os.environ)
    for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
        env.pop(name, None)
    env["TIVRA_TEST_SERVER"] = "http://127.0.0.1:%d" % server.server_address[1]
    try:
        status = subprocess.call(sys.argv[1:], env=env)
    finally:
        server.shutdown()
    return status


if __name__ == "__main__":
    sys.exit(main())
