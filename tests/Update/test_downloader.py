"""The HTTP downloader through WinINet against a local server: whole bodies,
refused answers, short bodies, cancellation and URL escaping."""
import os
import unittest

from updater_rig import HttpServer, ScratchDir, run_driver, win


def percents(output):
    return [int(line.split()[1]) for line in output.splitlines() if line.startswith("percent ")]


class DownloaderTest(unittest.TestCase):
    def setUp(self):
        self.scratch = ScratchDir()
        self.dir = self.scratch.__enter__()
        self.target = os.path.join(self.dir, "deep", "er", "file.bin")  # folders are created

    def tearDown(self):
        self.scratch.__exit__(None, None, None)

    def download(self, server, path, *extra, limits=None):
        options = ["--limits", limits] if limits else []
        return run_driver(*options, "download", server.url(path), win(self.target), *extra, timeout=60)

    def test_whole_body_is_written_and_100_is_reported_once(self):
        body = os.urandom(2 * 1024 * 1024)
        with HttpServer({"/p.7z": ("body", body)}) as server:
            rc, out = self.download(server, "/p.7z")
        self.assertEqual(rc, 0, out)
        with open(self.target, "rb") as f:
            self.assertEqual(f.read(), body)
        reported = percents(out)
        self.assertEqual(reported.count(100), 1)
        self.assertEqual(reported[-1], 100)
        self.assertEqual(reported, sorted(reported))
        # Once per chunk of at most 8192 bytes, not once per percent.
        self.assertGreaterEqual(len(reported), len(body) // 8192)

    def test_refused_answers_fail_with_their_reason_and_leave_no_file(self):
        cases = [
            (("status", 404), "http server error, status code 404"),
            (("status", 500), "http server error, status code 500"),
            (("status", 302, b""), "http server error, status code 302"),
            (("body", b""), "http server error, content len 0"),
            (("short", 8192, b"x" * 5000), "unknow interrupt,written 5000,filelen 8192"),
            (("nolength", b"x" * 5000), "网络异常 12150"),  # ERROR_HTTP_HEADER_NOT_FOUND, no system text
        ]
        with HttpServer() as server:
            for route, reason in cases:
                with self.subTest(route=route[0], status=route[1] if route[0] == "status" else None):
                    server.routes["/f"] = route
                    rc, out = self.download(server, "/f")
                    self.assertEqual(rc, 1, out)
                    self.assertIn("error: " + reason, out)
                    self.assertFalse(os.path.exists(self.target))

    def test_unreachable_server_fails_with_a_system_text(self):
        with HttpServer() as server:
            url = server.url("/gone")
        rc, out = run_driver("download", url, win(self.target))
        self.assertEqual(rc, 1, out)
        self.assertRegex(out, r"error: \S")
        self.assertFalse(os.path.exists(self.target))

    def test_cancel_during_the_transfer_is_not_success_and_deletes_the_part(self):
        body = os.urandom(4 * 1024 * 1024)
        with HttpServer({"/slow": ("slow", body, 65536, 0.05)}) as server:
            rc, out = self.download(server, "/slow", "--cancel-at", "3")
        self.assertEqual(rc, 1, out)
        self.assertIn("error: ", out)
        self.assertLess(max(percents(out)), 100)
        self.assertFalse(os.path.exists(self.target))

    def test_url_is_escaped_once_and_its_query_kept(self):
        with HttpServer({"/dl/%e5%90%8d%20x.ini": ("body", b"[Update]\r\n")}) as server:
            rc, out = self.download(server, "/dl/名 x.ini?v=1&t=%41")
            requested = server.requests
        self.assertEqual(rc, 0, out)
        self.assertEqual(requested, ["/dl/%e5%90%8d%20x.ini?v=1&t=%41"])

    def test_brackets_and_other_delimiters_of_a_package_name_are_escaped(self):
        escaped = "/dl/update%20%5b1.0.0.10%5d%3b%2b%2c%24%40%23.7z"
        with HttpServer({escaped: ("body", b"7z")}) as server:
            rc, out = self.download(server, "/dl/update [1.0.0.10];+,$@#.7z")
            requested = server.requests
        self.assertEqual(rc, 0, out)
        self.assertEqual(requested, [escaped])


    def test_redirects_are_followed_up_to_the_limit(self):
        body = os.urandom(1000)
        with HttpServer({"/a": ("redirect", "/b"), "/c": ("body", body), "/loop": ("redirect", "/loop")}) as server:
            server.routes["/b"] = ("redirect", server.url("/c?x=1"))  # absolute, with a query
            rc, out = self.download(server, "/a", limits="redirects=2")
            self.assertEqual(rc, 0, out)
            with open(self.target, "rb") as f:
                self.assertEqual(f.read(), body)
            self.assertEqual(server.requests, ["/a", "/b", "/c?x=1"])
            os.remove(self.target)
            rc, out = self.download(server, "/a", limits="redirects=1")
            self.assertEqual(rc, 1, out)
            self.assertFalse(os.path.exists(self.target))
            self.assertIn("error: too many redirects (more than 1)", out)
            before = len(server.requests)
            rc, out = self.download(server, "/loop", limits="redirects=3")
            self.assertEqual(rc, 1, out)
            self.assertIn("error: too many redirects (more than 3)", out)
            self.assertEqual(server.requests[before:], ["/loop"] * 4)

    def test_a_server_that_never_gives_up_is_given_up(self):
        """Each misbehaviour fails by its bound within seconds, with its reason."""
        cases = [
            ("a connection accepted and never answered", ("mute",), "receive=1000",
             "error: no answer within 1000 ms"),
            ("headers, then silence", ("silence", 5000), "receive=1000", "error: no data received for 1000 ms"),
            ("one byte every 2 s", ("trickle", b"x" * 100, 2), "receive=1000", "error: no data received for 1000 ms"),
            ("one byte every 0.4 s, past the deadline", ("trickle", b"x" * 100, 0.4), "deadline=1500",
             "error: download deadline of 1500 ms passed"),
            ("headers, then silence, past the deadline", ("silence", 5000), "deadline=1500",
             "error: download deadline of 1500 ms passed"),
            ("never answered, past the deadline", ("mute",), "deadline=1500",
             "error: download deadline of 1500 ms passed"),
        ]
        with HttpServer() as server:
            for label, route, limits, reason in cases:
                with self.subTest(label):
                    server.routes["/f"] = route
                    rc, out = self.download(server, "/f", limits=limits)
                    self.assertEqual(rc, 1, out)
                    self.assertIn(reason, out)
                    self.assertFalse(os.path.exists(self.target))


if __name__ == "__main__":
    unittest.main()
