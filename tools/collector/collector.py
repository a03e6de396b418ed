#!/usr/bin/env python3
"""Local HTTP collector for Zentrak's test bed and demonstrations.

Receives tracks, the VPN statistics POST and document uploads, serves files for
configuration downloads, answers scripted statuses, can act as an HTTP proxy that demands
credentials, records every request as one JSON line and prints a readable summary.
Listens on loopback addresses only. Standard library only. See README.md.
"""

import argparse
import base64
import http.client
import http.server
import ipaddress
import json
import os
import signal
import socketserver
import sys
import threading
import time
import urllib.parse

TRACK_PATHS = {
    "/track/campaign/details.html": "track-campaign",
    "/track/detections/details.html": "track-detections",
}
VPN_PATH = "/ats/post.aspx"
HOP_BY_HOP = {
    "connection", "keep-alive", "proxy-authenticate", "proxy-authorization", "te",
    "trailers", "transfer-encoding", "upgrade", "proxy-connection",
}
BODY_RECORD_LIMIT = 1 << 20


class Script:
    """Per-path answers taken in order; the last one repeats."""

    def __init__(self, entries):
        self._actions = {}
        self._lock = threading.Lock()
        for entry in entries:
            path, _, actions = entry.partition("=")
            if not path or not actions:
                raise SystemExit(f"bad --script {entry!r}: expected PATH=ACTION[,ACTION...]")
            self._actions[path] = actions.split(",")

    def next(self, path):
        with self._lock:
            actions = self._actions.get(path)
            if not actions:
                return None
            return actions.pop(0) if len(actions) > 1 else actions[0]


class Recorder:
    def __init__(self, path):
        self._path = path
        self._lock = threading.Lock()

    def write(self, entry):
        if not self._path:
            return
        line = json.dumps(entry, ensure_ascii=False)
        with self._lock, open(self._path, "a", encoding="utf-8") as out:
            out.write(line + "\n")


def kind_of(method, path):
    if path in TRACK_PATHS:
        return TRACK_PATHS[path]
    if path == VPN_PATH:
        return "vpn"
    if method == "POST":
        return "upload"
    return "file" if method == "GET" else "other"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "ZentrakCollector/1"

    def log_message(self, fmt, *args):  # quiet: the recording is the log
        if self.server.options.verbose:
            super().log_message(fmt, *args)

    # Every method goes through one place.
    def do_GET(self):
        self.handle_any()

    do_POST = do_PUT = do_HEAD = do_DELETE = do_GET

    def read_body(self):
        length = self.headers.get("Content-Length")
        if length is not None:
            try:
                return self.rfile.read(int(length))
            except ValueError:
                return b""
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            data = b""
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    self.rfile.readline()
                    return data
                data += self.rfile.read(size)
                self.rfile.readline()
        return b""

    def entry(self, body, **extra):
        target = self.path
        parsed = urllib.parse.urlsplit(target)
        entry = {
            "time": time.strftime("%Y-%m-%dT%H:%M:%S"),
            "server": "%s:%d" % self.server.server_address[:2],
            "client": self.client_address[0],
            "method": self.command,
            "target": target,
            "path": parsed.path,
            "query": urllib.parse.parse_qsl(parsed.query, keep_blank_values=True),
            "headers": {k: v for k, v in self.headers.items()},
            "body_size": len(body),
            "body": body[:BODY_RECORD_LIMIT].decode("latin-1"),
        }
        entry.update(extra)
        return entry

    def answer(self, status, body=b"", headers=None, length=None):
        self.send_response(status)
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def handle_any(self):
        body = self.read_body()
        options = self.server.options
        if self.path.startswith("http://") or self.path.startswith("https://"):
            if not options.proxy:
                self.server.recorder.write(self.entry(body, kind="refused-proxy", status=400))
                self.answer(400, b"not a proxy\n")
                return
            self.proxy(body)
            return
        parsed = urllib.parse.urlsplit(self.path)
        kind = kind_of(self.command, parsed.path)
        action = self.server.script.next(parsed.path)
        # Recorded before the answer goes out: a client that has its answer finds the
        # request in the recording.
        status = self.status_of(action, kind, parsed.path)
        self.server.recorder.write(self.entry(body, kind=kind, action=action, status=status))
        self.act(action, kind, parsed.path)

    def status_of(self, action, kind, path):
        """The status the answer will carry (0 when none is sent)."""
        if action is None:
            if kind == "file" and self.served_file(path) is None:
                return 404
            return 200
        if action == "close":
            return 0
        if action in ("empty", "cut", "huge", "endless", "file", "drip"):
            return 200
        return int(action)

    def act(self, action, kind, path):
        """Sends the answer."""
        if action is None:
            if kind == "file":
                data = self.served_file(path)
                if data is None:
                    self.answer(404, b"not found\n")
                    return 404
                self.answer(200, data, {"Content-Type": "application/octet-stream"})
                return 200
            self.answer(200, b"OK")
            return 200
        if action == "empty":
            self.answer(200)
            return 200
        if action == "cut":  # declares more than it sends, then closes
            self.answer(200, b"0123456789", length=100)
            self.close_connection = True
            return 200
        if action == "huge":  # a length far beyond what comes
            self.answer(200, b"short", length=10 ** 12)
            self.close_connection = True
            return 200
        if action == "endless":  # no length, data until the client gives up
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            chunk = b"x" * 65536
            try:
                while True:
                    self.wfile.write(chunk)
            except OSError:
                pass
            self.close_connection = True
            return 200
        if action == "drip":  # a byte every two seconds, never done within any sane limit
            self.send_response(200)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            try:
                for _ in range(1000):
                    self.wfile.write(b"x")
                    self.wfile.flush()
                    time.sleep(2)
            except OSError:
                pass
            self.close_connection = True
            return 200
        if action == "close":  # no answer at all
            self.close_connection = True
            return 0
        if action == "file":
            data = self.served_file(path)
            self.answer(200, data or b"")
            return 200
        status = int(action)
        headers = {}
        if status == 401:
            headers["WWW-Authenticate"] = 'Basic realm="collector"'
        if status == 407:
            headers["Proxy-Authenticate"] = 'Basic realm="collector"'
        self.answer(status, b"status %d\n" % status, headers)
        return status

    def served_file(self, path):
        folder = self.server.options.serve
        if not folder:
            return None
        root = os.path.realpath(folder)
        candidate = os.path.realpath(os.path.join(root, urllib.parse.unquote(path).lstrip("/")))
        if not candidate.startswith(root + os.sep) or not os.path.isfile(candidate):
            return None
        with open(candidate, "rb") as data:
            return data.read()

    def proxy(self, body):
        options = self.server.options
        if options.proxy_user is not None:
            expected = "Basic " + base64.b64encode(
                f"{options.proxy_user}:{options.proxy_password or ''}".encode()).decode()
            if self.headers.get("Proxy-Authorization") != expected:
                self.server.recorder.write(self.entry(body, kind="proxy", status=407,
                                                      authorized=False))
                self.answer(407, b"proxy credentials required\n",
                            {"Proxy-Authenticate": 'Basic realm="collector-proxy"'})
                return
        target = urllib.parse.urlsplit(self.path)
        forward_path = (target.path or "/") + ("?" + target.query if target.query else "")
        headers = {k: v for k, v in self.headers.items() if k.lower() not in HOP_BY_HOP}
        try:
            upstream = http.client.HTTPConnection(target.hostname, target.port or 80, timeout=10)
            upstream.request(self.command, forward_path, body=body or None, headers=headers)
            response = upstream.getresponse()
            data = response.read()
            relay = {k: v for k, v in response.getheaders()
                     if k.lower() not in HOP_BY_HOP and k.lower() != "content-length"}
            status = response.status
            upstream.close()
        except (OSError, http.client.HTTPException) as error:
            self.server.recorder.write(self.entry(body, kind="proxy", status=502,
                                                  authorized=True, error=str(error)))
            self.answer(502, b"upstream failed\n")
            return
        self.server.recorder.write(self.entry(body, kind="proxy", status=status, authorized=True))
        self.answer(status, data, relay)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def loopback(address):
    try:
        return ipaddress.ip_address(address).is_loopback
    except ValueError:
        return address == "localhost"


def summary(path, out=sys.stdout):
    """A readable account of a recording."""
    entries = []
    if path and os.path.exists(path):
        with open(path, encoding="utf-8") as lines:
            entries = [json.loads(line) for line in lines if line.strip()]
    counts = {}
    for entry in entries:
        counts[entry.get("kind", "?")] = counts.get(entry.get("kind", "?"), 0) + 1
    print(f"{len(entries)} request(s) recorded" +
          (": " + ", ".join(f"{k} {v}" for k, v in sorted(counts.items())) if counts else ""),
          file=out)
    for entry in entries:
        kind = entry.get("kind")
        head = f"  {entry.get('method')} {entry.get('target')} -> {entry.get('status')}"
        if kind in ("track-campaign", "track-detections"):
            print(head + f"  [{kind}]", file=out)
            for name, value in entry.get("query", []):
                print(f"      {name} = {value}", file=out)
        elif kind in ("upload", "vpn"):
            print(head + f"  [{kind}, {entry.get('body_size')} bytes]", file=out)
            text = entry.get("body", "")
            if text:
                try:
                    text = json.dumps(json.loads(text), indent=2, ensure_ascii=False)
                except ValueError:
                    pass
                for line in text.splitlines()[:40]:
                    print("      " + line, file=out)
        else:
            print(head + f"  [{kind}]", file=out)
    out.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--address", default="127.0.0.1", help="loopback address to bind")
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--record", help="file that receives one JSON line per request")
    parser.add_argument("--serve", help="folder whose files are served to GET requests")
    parser.add_argument("--script", action="append", default=[],
                        help="PATH=ACTION[,ACTION...]: answers for PATH in order, the last "
                             "repeating; ACTION is a status number, empty, cut, huge, "
                             "endless, drip, close or file")
    parser.add_argument("--proxy", action="store_true",
                        help="forward absolute-URI requests (an HTTP proxy)")
    parser.add_argument("--proxy-user", help="demand these proxy credentials (Basic)")
    parser.add_argument("--proxy-password")
    parser.add_argument("--ready-file", help="written once the server listens")
    parser.add_argument("--summary", metavar="RECORDING",
                        help="print the summary of a recording and exit")
    parser.add_argument("--quiet", action="store_true", help="no summary at exit")
    parser.add_argument("--verbose", action="store_true", help="log each request to stderr")
    options = parser.parse_args()

    if options.summary:
        summary(options.summary)
        return 0
    if not loopback(options.address):
        parser.error(f"{options.address} is not a loopback address")

    server = Server((options.address, options.port), Handler)
    server.options = options
    server.script = Script(options.script)
    server.recorder = Recorder(options.record)

    def stop(_signum, _frame):
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if options.ready_file:
        with open(options.ready_file, "w", encoding="utf-8") as ready:
            ready.write(f"{os.getpid()}\n")
    try:
        server.serve_forever(poll_interval=0.05)  # a stop takes effect within 50 ms
    finally:
        server.server_close()
        if not options.quiet:
            summary(options.record)
    return 0


if __name__ == "__main__":
    sys.exit(main())
