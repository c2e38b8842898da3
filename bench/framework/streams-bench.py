"""Runs stream_bench.exe on both roads against a local HTTP server serving a
body of the given size, and prints MB/s of each road and of its anchor, their
ratio and the helper's peak memory."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "support"))
from http_server import HttpServer, pattern  # noqa: E402

ANCHORS = {"npapi": "the test browser's own WinINet download", "activex": "a bare URL-moniker pull loop"}
RATIO_NAMES = {"npapi": ("streams-npapi", "NPAPI road"), "activex": ("streams-url-moniker", "URL-moniker road")}


def main(argv):
    mib = int(argv[1]) if len(argv) > 1 else 50
    size = mib * 1024 * 1024
    bench = os.path.join(os.environ["BUILD_DIR"], "bin", "stream_bench.exe")
    pattern(size, 0)  # made once, before any download is timed
    status = 0
    ratios = []
    with HttpServer() as server:
        url = server.url("/data/%d" % size)
        print("%d MiB from %s, into the whole-download helper; fastest of 3 rounds each" % (mib, url))
        for road in ("npapi", "activex"):
            done = subprocess.run([os.environ["WINE_RUN"], bench, road, url], stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL)
            line = done.stdout.decode("utf-8", "replace").strip().splitlines()
            figures = dict(item.split("=") for item in line[-1].split()) if line else {}
            if done.returncode or figures.get("success") != "1" or figures.get("anchor_success") != "1":
                print("%-8s failed (%s)" % (road, " ".join(line)))
                status = 1
                continue
            speed = int(figures["bytes"]) / 1e6 / float(figures["seconds"])
            anchor = int(figures["anchor_bytes"]) / 1e6 / float(figures["anchor_seconds"])
            peak = int(figures["peak_bytes"])
            print("%-8s %7.1f MB/s (%.2f s)  anchor %7.1f MB/s (%.2f s, %s)  ratio %.2f  "
                  "helper peak %.1f MB = %.2f x the body"
                  % (road, speed, float(figures["seconds"]), anchor, float(figures["anchor_seconds"]),
                     ANCHORS[road], speed / anchor, peak / 1e6, peak / size))
            name, what = RATIO_NAMES[road]
            ratios.append("ratio %s: %.2f (%s whole download MB/s / %s)" % (name, speed / anchor, what, ANCHORS[road]))
    for ratio in ratios:
        print(ratio)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
