"""A scripted HTTP server on 127.0.0.1 (a port the system picks) for the tests
that download through Wine: the updater's WinINet downloader, the test
browser's streams and the URL-moniker streams. It never compresses.

Answers come from fixed routes (path -> tuple, see HttpServer) or, when no
route matches, from these generated ones:

  /data/<n>?seed=s&ranges=1&type=t&chunk=c&delay=d
      n bytes of pattern(n, s) (see below); with ranges=1 (the default)
      "Accept-Ranges: bytes" and Range requests are honoured (one range: 206
      with Content-Range, several: 206 multipart/byteranges, none
      satisfiable: 416); ranges=0 ignores Range. chunk/delay trickle the body
      (c bytes, then d seconds) until the client goes away.
  /status/<code>      that status with a short body
  /never              the request is read and never answered (until the
                      client goes away or the server stops)
  /redirect/<n>?to=p  a chain of n >= 1 redirects (302) ending at path p
                      (default /data/100)
  /echo               200 with the request body (POST) as text/plain
  /_log, /_reset      the request log as JSON (each entry: method, path,
                      headers with lower-case names, body as latin-1 text,
                      aborted when the client left before the end, ended once
                      the answer is over either way), and its reset

pattern(n, seed): byte i is byte (i mod 4) of the little-endian 32-bit number
i / 4 + seed, so every position has its own value in every 4-byte word.

As a program: http_server.py -- command ...  runs the command with
TEST_HTTP_SERVER=http://127.0.0.1:<port> while the server runs, and exits
with its status.
"""
import array
import http.server
import json
import os
import select
import socket
import socketserver
import struct
import subprocess
import sys
import threading
import time
import urllib.parse

_WORDS = 1 << 18  # 32-bit words per 1 MiB block
_ONES = int.from_bytes(b"\x01\x00\x00\x00" * _WORDS, "little")
_BASE = int.from_bytes(array.array("I", range(_WORDS)).tobytes(), "little")
_patterns = {}


def pattern(n, seed=0):
    key = (n, seed)
    if key not in _patterns:
        words = (n + 3) // 4
        out = bytearray()
        for first in range(0, words, _WORDS):
            out += (_BASE + (first + seed) * _ONES).to_bytes(_WORDS * 4, "little")
        if len(_patterns) > 8:
            _patterns.clear()
        _patterns[key] = bytes(out[:n])
    return _patterns[key]


def parse_ranges(header, total):
    """[(first, last)] of a "bytes=" header (inclusive), None when malformed,
    [] when nothing is satisfiable."""
    if not header.startswith("bytes="):
        return None
    ranges = []
    for part in header[6:].split(","):
        first, dash, last = part.strip().partition("-")
        if not dash:
            return None
        try:
            if first == "":
                start, end = max(0, total - int(last)), total - 1
            else:
                start = int(first)
                end = min(int(last), total - 1) if last else total - 1
        except ValueError:
            return None
        if start <= end and start < total:
            ranges.append((start, end))
    return ranges


def _log_text(log):
    """The log for readers without JSON: per request the lines "request
    <method> <path>", "header <name>: <value>", "body <hex>", "aborted 0|1",
    "ended 0|1", "end"."""
    lines = []
    for entry in log:
        lines.append("request %s %s" % (entry["method"], entry["path"]))
        lines += ["header %s: %s" % item for item in entry["headers"].items()]
        lines.append("body " + entry["body"].encode("latin-1").hex())
        lines.append("aborted %d" % entry["aborted"])
        lines.append("ended %d" % entry["ended"])
        lines.append("end")
    return "".join(line + "\n" for line in lines)


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = 30  # a stuck client never holds the server

    def log_message(self, *args):
        pass

    def do_GET(self):
        self._serve()

    def do_POST(self):
        self._serve()

    def _serve(self):
        server = self.server
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        entry = {
            "method": self.command,
            "path": self.path,
            "headers": {name.lower(): value for name, value in self.headers.items()},
            "body": body.decode("latin-1"),
            "aborted": False,
            "ended": False,
            "arrived": time.monotonic(),
        }
        bare = self.path.split("?")[0]
        if bare not in ("/_log", "/_reset"):
            with server.lock:
                server.requests.append(self.path)
                server.log.append(entry)
        try:
            self._answer_route(bare, body, entry)
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError):
            entry["aborted"] = True
            self.close_connection = True
        finally:
            entry["ended"] = True

    def _answer_route(self, bare, body, entry):
        server = self.server
        route = server.routes.get(self.path) or server.routes.get(bare)
        if route is not None:
            self._fixed_route(route)
        elif bare == "/_log":
            with server.lock:
                if "format=text" in self.path:
                    self._answer(200, _log_text(server.log).encode("latin-1"), "text/plain")
                else:
                    self._answer(200, json.dumps(server.log).encode(), "application/json")
        elif bare == "/_reset":
            with server.lock:
                server.log.clear()
                server.requests.clear()
            self._answer(200, b"reset")
        elif bare == "/echo":
            self._answer(200, body, "text/plain")
        elif bare == "/never":
            self._fixed_route(("mute",))
        elif bare.startswith("/redirect/"):
            query = dict(urllib.parse.parse_qsl(urllib.parse.urlsplit(self.path).query))
            target = query.get("to", "/data/100")
            left = int(bare[len("/redirect/"):])
            self._redirect("/redirect/%d?to=%s" % (left - 1, urllib.parse.quote(target)) if left > 1 else target)
        elif bare.startswith("/status/"):
            code = int(bare[len("/status/"):])
            self._answer(code, b"status %d" % code)
        elif bare.startswith("/data/"):
            query = dict(urllib.parse.parse_qsl(urllib.parse.urlsplit(self.path).query))
            self._data(int(bare[len("/data/"):]), query, entry)
        else:
            self._answer(404, b"not found")

    def _data(self, size, query, entry):
        data = pattern(size, int(query.get("seed", "0")))
        seekable = query.get("ranges", "1") == "1"
        kind = query.get("type", "application/octet-stream")
        ranges = parse_ranges(self.headers.get("Range", ""), size) if seekable else None
        if ranges is None:
            extra = [("Accept-Ranges", "bytes")] if seekable else []
            if "chunk" in query:
                self._trickle(data, int(query["chunk"]), float(query.get("delay", "0.01")), kind, extra, entry)
            else:
                self._answer(200, data, kind, extra)
        elif not ranges:
            self._answer(416, b"", kind, [("Content-Range", "bytes */%d" % size)])
        elif len(ranges) == 1:
            first, last = ranges[0]
            self._answer(206, data[first:last + 1], kind,
                         [("Accept-Ranges", "bytes"), ("Content-Range", "bytes %d-%d/%d" % (first, last, size))])
        else:
            boundary = "PARTBOUNDARY%d" % size
            parts = []
            for first, last in ranges:
                parts.append(("--%s\r\nContent-Type: %s\r\nContent-Range: bytes %d-%d/%d\r\n\r\n"
                              % (boundary, kind, first, last, size)).encode() + data[first:last + 1] + b"\r\n")
            self._answer(206, b"".join(parts) + ("--%s--\r\n" % boundary).encode(),
                         "multipart/byteranges; boundary=" + boundary, [("Accept-Ranges", "bytes")])

    def _trickle(self, data, chunk, delay, kind, extra, entry):
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(data)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        for start in range(0, len(data), chunk):
            self.wfile.write(data[start:start + chunk])
            self.wfile.flush()
            time.sleep(delay)
        self.close_connection = True

    def _fixed_route(self, route):
        kind = route[0]
        if kind == "status":
            self._answer(route[1], route[2] if len(route) > 2 else b"error page")
        elif kind == "body":
            self._answer(200, route[1])
        elif kind == "short":  # announce more than is sent, then close
            announced, body = route[1], route[2]
            self.send_response(200)
            self.send_header("Content-Length", str(announced))
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body)
            self.wfile.flush()
            self.close_connection = True
        elif kind == "nolength":  # the body ends when the connection closes
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(route[1])
            self.close_connection = True
        elif kind == "slow":  # trickles the body until the client goes away
            body, chunk, delay = route[1], route[2], route[3]
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            try:
                for start in range(0, len(body), chunk):
                    self.wfile.write(body[start:start + chunk])
                    self.wfile.flush()
                    time.sleep(delay)
            except OSError:
                pass
            self.close_connection = True
        elif kind == "redirect":  # 302 to the given address
            self._redirect(route[1])
        elif kind == "reset":  # announce more than is sent, then reset the connection
            announced, body = route[1], route[2]
            self.send_response(200)
            self.send_header("Content-Length", str(announced))
            self.end_headers()
            self.wfile.write(body)
            self.wfile.flush()
            time.sleep(0.2)  # the bytes reach the client before the reset
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()  # a reset, with no orderly end before it
            self.close_connection = True
        elif kind == "ranges":  # whole with "Accept-Ranges: bytes"; any Range gets the given parts
            size, parts, multipart = route[1], route[2], route[3]
            if not self.headers.get("Range"):
                self._answer(200, pattern(size), "application/octet-stream", [("Accept-Ranges", "bytes")])
            else:
                self._parts(parts, multipart)
        elif kind == "trickle":  # one byte every route[2] seconds
            body, delay = route[1], route[2]
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.flush()
            for i in range(len(body)):
                if self._client_gone(delay):
                    break
                self.wfile.write(body[i:i + 1])
                self.wfile.flush()
            self.close_connection = True
        elif kind == "silence":  # the headers, then nothing
            self.send_response(200)
            self.send_header("Content-Length", str(route[1]))
            self.end_headers()
            self.wfile.flush()
            self._client_gone(60)
            self.close_connection = True
        elif kind == "mute":  # the request is read and never answered
            self._client_gone(60)
            self.close_connection = True

    def _redirect(self, address):
        self.send_response(302)
        self.send_header("Location", address)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def _parts(self, parts, multipart):
        """A 206 answer of the given parts (first, last, total), total a number
        or "*"; the bytes of a part are those of pattern(last + 1) when that is
        small, else a filler of the part's length."""
        def body(first, last):
            return pattern(last + 1)[first:] if last < 1 << 20 else b"\xa5" * (last - first + 1)
        if not multipart:
            [(first, last, total)] = parts
            self._answer(206, body(first, last), "application/octet-stream",
                         [("Accept-Ranges", "bytes"), ("Content-Range", "bytes %d-%d/%s" % (first, last, total))])
            return
        boundary = "HOSTILEPARTS"
        out = b""
        for first, last, total in parts:
            out += ("--%s\r\nContent-Type: application/octet-stream\r\nContent-Range: bytes %d-%d/%s\r\n\r\n"
                    % (boundary, first, last, total)).encode() + body(first, last) + b"\r\n"
        out += ("--%s--\r\n" % boundary).encode()
        self._answer(206, out, "multipart/byteranges; boundary=" + boundary, [("Accept-Ranges", "bytes")])

    def _client_gone(self, seconds):
        """Waits up to seconds; True as soon as the client has closed the
        connection or the server is stopping."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            if self.server.stopping.is_set():
                return True
            readable, _, _ = select.select([self.connection], [], [], 0.1)
            if readable:
                try:
                    if not self.connection.recv(1, socket.MSG_PEEK):
                        return True
                except OSError:
                    return True
        return False

    def _answer(self, status, body, kind=None, extra=()):
        self.send_response(status)
        if kind:
            self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)


class _Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class HttpServer:
    """Serves on 127.0.0.1 while in a with block.
    routes: path -> ("body", bytes) | ("status", code[, bytes]) |
            ("short", announced, bytes) | ("nolength", bytes) | ("slow", bytes, chunk, delay);
    misbehaving: ("redirect", address) | ("trickle", bytes, delay) (one byte per delay) |
            ("silence", announced) (headers, then nothing) | ("mute",) (never answers) |
            ("reset", announced, bytes) (the bytes, then a reset connection) |
            ("ranges", size, [(first, last, total)...], multipart) (whole answers offer
            ranges; a Range request gets these parts, whatever it asked for);
    other paths get the generated answers of this module."""

    def __init__(self, routes=None):
        self.server = _Server(("127.0.0.1", 0), _Handler)
        self.server.routes = dict(routes or {})
        self.server.requests = []
        self.server.log = []
        self.server.lock = threading.Lock()
        self.server.stopping = threading.Event()  # ends the misbehaving answers
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    @property
    def routes(self):
        return self.server.routes

    @property
    def requests(self):
        """The paths asked for, in order."""
        with self.server.lock:
            return list(self.server.requests)

    @property
    def log(self):
        with self.server.lock:
            return [dict(entry) for entry in self.server.log]

    def reset(self):
        with self.server.lock:
            self.server.requests.clear()
            self.server.log.clear()

    @property
    def base(self):
        return "http://127.0.0.1:%d" % self.server.server_address[1]

    def url(self, path):
        return self.base + path

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.server.stopping.set()
        self.server.shutdown()
        self.server.server_close()
        self.thread.join()


def main(argv):
    if "--" not in argv:
        print("usage: http_server.py -- command ...", file=sys.stderr)
        return 2
    command = argv[argv.index("--") + 1:]
    with HttpServer() as server:
        env = dict(os.environ, TEST_HTTP_SERVER=server.base)
        return subprocess.run(command, env=env).returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
