"""Browser streams on both roads: a local HTTP server on 127.0.0.1 serves a
file, and stream_fetch.exe downloads it as the plug-in would, once through the
test browser's NPAPI streams and once through the system's URL monikers; then
a form POST and a range read, and the system proxy."""
import hashlib
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "support"))
from http_server import HttpServer, pattern  # noqa: E402

WINE_RUN = os.environ["WINE_RUN"]
DRIVER = os.path.join(os.environ["BUILD_DIR"], "bin", "stream_fetch.exe")


def win(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def fetch(*args):
    done = subprocess.run([WINE_RUN, DRIVER, *args], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return done.returncode, done.stdout.decode("utf-8", "replace").replace("\r", "").splitlines()


def summary(lines):
    """The event lines with each run of DataArrived shown as one count."""
    out, blocks = [], 0
    for line in lines:
        if line.startswith("event DataArrived"):
            blocks += 1
            continue
        if blocks:
            out.append("event DataArrived x%d" % blocks)
            blocks = 0
        out.append(line)
    return out


def main():
    size = 300000
    served = pattern(size, 19)
    failures = 0
    with HttpServer() as server, tempfile.TemporaryDirectory() as scratch:
        for road in ("npapi", "activex"):
            out = os.path.join(scratch, road + ".bin")
            print("== %s road: GET %s" % (road, server.url("/data/%d?seed=19" % size)))
            status, lines = fetch(road, server.url("/data/%d?seed=19" % size), "--out", win(out))
            for line in summary(lines):
                print("   " + line)
            arrived = open(out, "rb").read() if os.path.exists(out) else b""
            same = arrived == served
            print("   arrived: %d bytes, sha256 %s, %s" % (len(arrived), hashlib.sha256(arrived).hexdigest()[:16],
                                                        "identical to what was served" if same else "DIFFERENT"))
            failures += status != 0 or not same

            echo = os.path.join(scratch, road + "-echo.txt")
            status, lines = fetch(road, server.url("/echo"), "--post", "greeting=hello&from=" + road, "--out", win(echo))
            echoed = open(echo, "rb").read().decode() if os.path.exists(echo) else ""
            print("== %s road: POST to /echo, the server answered %r" % (road, echoed))
            failures += status != 0

            ranged = os.path.join(scratch, road + "-range.bin")
            status, lines = fetch(road, server.url("/data/%d?seed=19" % size), "--ranges", "1000-1008",
                                  "--out", win(ranged))
            got = open(ranged, "rb").read()[1000:1008] if os.path.exists(ranged) else b""
            print("== %s road: bytes 1000-1007 read as a range: %s (served: %s)"
                  % (road, got.hex(" "), served[1000:1008].hex(" ")))
            failures += status != 0 or got != served[1000:1008]
    status, lines = fetch("proxy", "http://example.test/")
    print("== the system proxy for http://example.test/: " + " ".join(lines))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
