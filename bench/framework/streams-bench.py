"""Runs stream_bench.exe on both roads against a local HTTP server serving a
body of the given size, and prints MB/s of each road and of its anchor, the
helper's peak memory, on the URL-moniker road the floor (the pull loop keeping
its bytes as the helper must), and last one ratio line per road.

Each figure is the fastest of the rounds (the load of a shared machine only
ever adds time, and it varies the URL monikers' downloads by up to 3x from
one round to the next); a ratio is that of the figures shown."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "support"))
from http_server import HttpServer, pattern  # noqa: E402

ROADS = {
    # road: (name of its ratio, what its anchor is)
    "npapi": ("streams-npapi", "the test browser's own download"),
    "activex": ("streams-moniker", "bare URL-moniker pull loop"),
}


def speed(rounds, prefix=""):
    """The fastest MB/s of the road (""), its anchor ("anchor_") or its floor ("floor_")."""
    return max(int(r[prefix + "bytes"]) / 1e6 / float(r[prefix + "seconds"]) for r in rounds)


def ratio(rounds, measured, anchor):
    """The speed of `measured` over that of `anchor` (prefixes as for speed)."""
    return speed(rounds, measured) / speed(rounds, anchor)


def main(argv):
    mib = int(argv[1]) if len(argv) > 1 else 50
    size = mib * 1024 * 1024
    bench = os.path.join(os.environ["BUILD_DIR"], "bin", "stream_bench.exe")
    pattern(size, 0)  # made once, before any download is timed
    status = 0
    ratios = []
    with HttpServer() as server:
        url = server.url("/data/%d" % size)
        print("%d MiB from %s, into the whole-download helper; the fastest of the rounds" % (mib, url))
        for road, (name, anchor_name) in ROADS.items():
            done = subprocess.run([os.environ["WINE_RUN"], bench, road, url], stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL)
            lines = [line for line in done.stdout.decode("utf-8", "replace").splitlines() if line.startswith("round=")]
            rounds = [dict(item.split("=") for item in line.split()) for line in lines]
            failed = [r for r in rounds if any(r.get(key, "1") != "1"
                                               for key in ("success", "anchor_success", "floor_success"))]
            if done.returncode or failed or not rounds:
                print("%-8s failed (%s)" % (road, " | ".join(lines) or "no rounds"))
                status = 1
                continue
            peak = max(int(r["peak_bytes"]) for r in rounds)
            print("%-8s %7.1f MB/s  anchor %7.1f MB/s (%s)  helper peak %.1f MB = %.2f x the body  (%d rounds)"
                  % (road, speed(rounds), speed(rounds, "anchor_"), anchor_name, peak / 1e6, peak / size,
                     len(rounds)))
            if "floor_seconds" in rounds[0]:
                print("%-8s floor %7.1f MB/s (the pull loop keeping its bytes as the helper must: fresh blocks, "
                      "joined at the end) = %.2f x the anchor; the road at %.2f x the floor"
                      % (road, speed(rounds, "floor_"), ratio(rounds, "floor_", "anchor_"),
                         ratio(rounds, "", "floor_")))
            ratios.append("ratio %s: %.2f (whole download / %s)" % (name, ratio(rounds, "", "anchor_"), anchor_name))
    for line in ratios:
        print(line)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
