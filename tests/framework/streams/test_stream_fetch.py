"""stream_fetch.exe on both roads against a local HTTP server: whole downloads,
POST, byte ranges, closing mid-download, failures, a hostile server (resets,
redirect loops, silence, range answers that do not match), its usage errors,
and the system proxy through Wine's WinINet and the environment."""
import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.environ["SOURCE_DIR"], "tests", "support"))
from http_server import HttpServer, pattern  # noqa: E402

WINE_RUN = os.environ["WINE_RUN"]
DRIVER = os.path.join(os.environ["BUILD_DIR"], "bin", "stream_fetch.exe")
ROADS = ("npapi", "activex")
PROXY_VARIABLES = ("http_proxy", "https_proxy", "no_proxy", "HTTP_PROXY", "HTTPS_PROXY", "NO_PROXY")


def win(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(*args, env=None, timeout=120):
    environment = {k: v for k, v in os.environ.items() if k not in PROXY_VARIABLES}
    environment.update(env or {})
    done = subprocess.run([WINE_RUN, DRIVER, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          env=environment, timeout=timeout)
    return done.returncode, done.stdout.decode("utf-8", "replace").replace("\r", "")


def timed_run(server, *args, **kwargs):
    """run() with the server's log emptied first, and how long the program took
    from its first request on (Wine's start-up, slow on a loaded machine, is no
    part of what is measured)."""
    started = time.monotonic()
    server.reset()
    status, output = run(*args, **kwargs)
    ended = time.monotonic()
    arrivals = [entry["arrived"] for entry in server.log]
    return status, output, ended - (min(arrivals) if arrivals else started)


def events(output):
    return [line.split()[1] for line in output.splitlines() if line.startswith("event ")]


def result(output):
    lines = [line for line in output.splitlines() if line.startswith("result ")]
    assert len(lines) == 1, output
    return dict(item.split("=") for item in lines[0].split()[1:])


def collapsed(names):
    """Event names with runs of DataArrived shown once."""
    out = []
    for name in names:
        if not (out and out[-1] == name == "DataArrived"):
            out.append(name)
    return out


class StreamFetchTest(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="stream-fetch-")
        self.out = os.path.join(self.scratch, "out.bin")

    def tearDown(self):
        for name in os.listdir(self.scratch):
            os.remove(os.path.join(self.scratch, name))
        os.rmdir(self.scratch)

    def read_out(self):
        with open(self.out, "rb") as f:
            return f.read()

    def test_a_whole_download_arrives_byte_identical_on_both_roads(self):
        with HttpServer() as server:
            for road in ROADS:
                with self.subTest(road=road):
                    status, output = run(road, server.url("/data/300000?seed=7"), "--out", win(self.out))
                    self.assertEqual(status, 0, output)
                    self.assertEqual(result(output),
                                     {"success": "1", "size": "300000", "callbacks": "1", "completions": "1"})
                    self.assertEqual(collapsed(events(output))[:4], ["Created", "Opened", "DataArrived", "Completed"])
                    self.assertEqual(self.read_out(), pattern(300000, 7))

    def test_a_post_sends_its_data(self):
        with HttpServer() as server:
            for road in ROADS:
                with self.subTest(road=road):
                    server.reset()
                    status, output = run(road, server.url("/echo"), "--post", "name=x&n=7", "--out", win(self.out))
                    self.assertEqual(status, 0, output)
                    self.assertEqual(self.read_out(), b"name=x&n=7")
                    [request] = server.log
                    self.assertEqual(request["method"], "POST")
                    self.assertEqual(request["body"], "name=x&n=7")
                    self.assertEqual(request["headers"]["content-type"], "application/x-www-form-urlencoded")

    def test_ranges_are_read_and_written_at_their_offsets(self):
        with HttpServer() as server:
            for road in ROADS:
                with self.subTest(road=road):
                    server.reset()
                    status, output = run(road, server.url("/data/1000?seed=3"), "--ranges", "10-20,30-35",
                                         "--out", win(self.out))
                    self.assertEqual(status, 0, output)
                    self.assertIn("readRanges answer=1", output)
                    self.assertEqual(result(output)["size"], "15")
                    written = self.read_out()
                    whole = pattern(1000, 3)
                    self.assertEqual(written[10:20], whole[10:20])
                    self.assertEqual(written[30:35], whole[30:35])
                    ranges = sorted(r["headers"]["range"] for r in server.log if "range" in r["headers"])
                    # The test browser asks range by range, the moniker for both at once.
                    expected = ["bytes=10-19", "bytes=30-34"] if road == "npapi" else ["bytes=10-19,30-34"]
                    self.assertEqual(ranges, expected)

    def test_ranges_from_a_server_that_cannot_seek_fail(self):
        with HttpServer() as server:
            for road in ROADS:
                with self.subTest(road=road):
                    server.reset()
                    status, output = run(road, server.url("/data/1000?ranges=0"), "--ranges", "0-10")
                    self.assertEqual(status, 1, output)
                    self.assertEqual(result(output)["success"], "0")
                    if road == "npapi":  # the plug-in refuses the stream
                        self.assertEqual(events(output)[:3], ["Created", "FailedOpen", "Completed"])
                    else:  # the stream opens, but reads no ranges
                        self.assertIn("readRanges answer=0", output)
                    self.assertFalse(any("range" in r["headers"] for r in server.log))

    def test_closing_twice_mid_download_completes_once_and_the_server_sees_the_client_go(self):
        with HttpServer() as server:
            for road in ROADS:
                with self.subTest(road=road):
                    server.reset()
                    status, output = run(road, server.url("/data/8000000?chunk=8192&delay=0.01"),
                                         "--close-after", "20000")
                    self.assertEqual(status, 1, output)
                    self.assertEqual(output.count("close answer="), 2)
                    self.assertEqual(result(output)["completions"], "1")
                    self.assertEqual(result(output)["callbacks"], "1")
                    self.assertIn("event Completed success=0", output)
                    deadline = time.time() + 10
                    while time.time() < deadline and not all(r["aborted"] for r in server.log):
                        time.sleep(0.1)
                    self.assertTrue(server.log and all(r["aborted"] for r in server.log), server.log)

    def test_failures_say_so_once(self):
        with HttpServer() as server:
            gone = HttpServer()
            refused = gone.url("/x")
            gone.server.server_close()
            for road in ROADS:
                for url in (server.url("/status/404"), refused):
                    with self.subTest(road=road, url=url):
                        status, output = run(road, url)
                        self.assertEqual(status, 1, output)
                        self.assertEqual(result(output), {"success": "0", "size": "0", "callbacks": "1",
                                                          "completions": "1"})
                        self.assertEqual(events(output)[:3], ["Created", "FailedOpen", "Completed"])

    def test_a_connection_reset_mid_body_fails_the_download_soon(self):
        with HttpServer({"/reset": ("reset", 100000, pattern(5000))}) as server:
            for road in ROADS:
                with self.subTest(road=road):
                    status, output, seconds = timed_run(server, road, server.url("/reset"), "--idle-timeout", "3",
                                                        "--timeout", "30")
                    self.assertEqual(status, 1, output)
                    self.assertLess(seconds, 15, output)
                    self.assertEqual(result(output)["success"], "0")
                    self.assertEqual(result(output)["callbacks"], "1")
                    self.assertEqual(output.count("event Completed success=0"), 1, output)

    def test_a_server_that_never_answers_fails_after_the_idle_time_and_never_holds_the_end(self):
        with HttpServer({"/mute": ("mute",), "/silence": ("silence", 1000)}) as server:
            for road in ROADS:
                for path in ("/mute", "/silence"):
                    with self.subTest(road=road, path=path):
                        status, output, seconds = timed_run(server, road, server.url(path), "--idle-timeout", "2",
                                                            "--timeout", "30")
                        self.assertEqual(status, 1, output)
                        self.assertLess(seconds, 12, output)
                        self.assertEqual(result(output)["callbacks"], "1")
                        self.assertEqual(output.count("event Completed success=0"), 1, output)
                with self.subTest(road=road, caller="gives up first"):
                    # The caller's own time-out ends the program at once, whatever the stream waits for.
                    status, output, seconds = timed_run(server, road, server.url("/mute"), "--timeout", "2")
                    self.assertEqual(status, 2, output)
                    self.assertLess(seconds, 12, output)

    def test_redirects_are_followed_up_to_the_limit_and_a_loop_fails(self):
        with HttpServer({"/loop": ("redirect", "/loop")}) as server:
            for road in ROADS:
                with self.subTest(road=road, chain=20):
                    status, output = run(road, server.url("/redirect/20?to=/data/3000%3Fseed%3D4"),
                                         "--out", win(self.out))
                    self.assertEqual(status, 0, output)
                    self.assertEqual(self.read_out(), pattern(3000, 4))
                for path in ("/redirect/21", "/loop"):
                    with self.subTest(road=road, path=path):
                        status, output, seconds = timed_run(server, road, server.url(path), "--timeout", "30")
                        self.assertEqual(status, 1, output)
                        self.assertLess(seconds, 15, output)
                        self.assertEqual(result(output), {"success": "0", "size": "0", "callbacks": "1",
                                                          "completions": "1"})
                        time.sleep(0.5)  # a request on its way when the client gave up
                        if road == "npapi":  # the first request and 20 redirects
                            self.assertEqual(len(server.requests), 21, server.requests[:5])
                        else:  # the moniker tells of a redirect after following it
                            self.assertLess(len(server.requests), 100, server.requests[:5])

    def test_range_answers_that_do_not_match_the_request_fail_the_read(self):
        routes = {
            "/other-parts": ("ranges", 1000, [(500, 509, "1000"), (700, 704, "1000")], True),
            "/other-range": ("ranges", 1000, [(500, 509, "1000")], False),
            "/far-part": ("ranges", 1000, [(400000000000, 400000000009, "*")], True),
            "/far-range": ("ranges", 1000, [(400000000000, 400000000009, "*")], False),
            "/beyond-one": ("ranges", 1000, [(10, 24, "1000")], False),
            "/one-part-missing": ("ranges", 1000, [(10, 19, "1000")], True),
        }
        asked = {"/other-range": "10-20", "/far-range": "10-20", "/beyond-one": "10-20"}
        with HttpServer(routes) as server:
            for path in routes:
                with self.subTest(path=path):
                    status, output, seconds = timed_run(server, "activex", server.url(path), "--ranges",
                                                        asked.get(path, "10-20,30-35"), "--timeout", "30")
                    self.assertEqual(status, 1, output)
                    self.assertLess(seconds, 15, output)
                    self.assertIn("event Completed success=0", output)
                    self.assertEqual(output.count("event Completed"), 1, output)
                    offsets = [int(line.split("offset=")[1].split()[0])
                               for line in output.splitlines() if line.startswith("event DataArrived")]
                    self.assertTrue(all(10 <= offset < 20 or 30 <= offset < 35 for offset in offsets), output)

    def test_usage_errors_and_timeouts_exit_2(self):
        for args in ([], ["npapi"], ["ftp", "http://x/"], ["npapi", "http://x/", "--ranges", "a-b"],
                     ["activex", "http://x/", "--buffer"], ["npapi", "http://x/", "--bogus", "1"]):
            with self.subTest(args=args):
                status, _ = run(*args)
                self.assertEqual(status, 2)
        with HttpServer() as server:
            status, output = run("activex", server.url("/data/8000000?chunk=1024&delay=0.05"), "--timeout", "1")
            self.assertEqual(status, 2, output)

    def test_the_system_proxy_comes_from_winINet_and_the_environment(self):
        status, output = run("proxy", "http://example.test/")
        self.assertEqual((status, output.strip()), (0, "proxy none"))
        status, output = run("proxy", "http://example.test/", env={"http_proxy": "http://px.example:3128"})
        self.assertEqual((status, output.strip()), (0, "proxy type=http hostname=px.example port=3128"))


if __name__ == "__main__":
    unittest.main()
