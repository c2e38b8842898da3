"""The update through the updater's window, end to end under Xvfb: the
program in a scratch installation against the local HTTP server, looked at
through screenshots and driven by clicks; and the ways an update through the
window can end early (closed while downloading or installing, a missing or a
bad package). The screenshots of each page stay in the build folder
(tests/Update/window-screenshots) for a person to look at."""
import os
import time
import unittest

from updater_rig import flip_packed_byte, snapshot
from window_rig import (BAR_TEXT, PAGE_BUTTON, WM_CLOSE, Installation, WindowTestCase, bar_percent, page_of,
                        wait_for, white_mask)


class WindowUpdateTest(WindowTestCase):
    prefix_name = "updater-window"

    def test_update_through_every_page(self):
        files = {"bin/深/data.bin": os.urandom(1500000), "readme.txt": b"new version\n" * 1000, "empty.txt": b""}
        # A 1.5 MB package in 64 KB pieces every 150 ms keeps the download page
        # up a few seconds; a library whose registration takes 2.5 s keeps the
        # installing page up.
        install = Installation(self.dir, self.server, files, reg_dll="register_probe_slow.dll",
                               trickle=(65536, 0.15), package_switches=("-mx0",))
        window = self.start(install)
        self.assertEqual(window.client, (330, 200))
        self.assertEqual(window.size, (330, 200))
        self.wait_for_page("latest", name="1-latest-version.png")
        self.assertFalse(install.package_requested())

        self.assertEqual(self.desktop.probe.ask("click", *PAGE_BUTTON), "ok")
        # Two moments of the download at different percentages.
        seen = []
        deadline = time.monotonic() + 30
        while len(seen) < 2 and time.monotonic() < deadline:
            picture = self.shot("2-updating-%d.png" % len(seen))
            percent = bar_percent(picture) if page_of(picture) == "updating" else None
            if percent is not None and 0 < percent < 95 and (not seen or percent > seen[-1][0] + 20):
                seen.append((percent, picture))
            time.sleep(0.2)
        self.assertEqual(len(seen), 2, "two download percentages not seen: %s" % [p for p, _ in seen])
        # The percent text changed with the bar (its white pixels differ).
        (_, early), (_, late) = seen
        self.assertNotEqual(white_mask(early, BAR_TEXT), white_mask(late, BAR_TEXT))

        # The installing page's bar runs while the library registers.
        self.wait_for_page("installing", name="3-installing.png", also=lambda p: bar_percent(p) >= 30)
        self.wait_for_page("finished", name="4-finished.png")

        self.assertEqual(self.desktop.probe.ask("click", *PAGE_BUTTON), "ok")
        self.assertEqual(self.exit_code(), 0)
        show = self.server.url("/show")
        self.assertTrue(wait_for(lambda: self.desktop.opened() == [show], 10), self.desktop.opened())

        log = self.log()
        # The updater's own file cannot be deleted while it runs: it is set
        # aside; the probe library leaves its mark when registered.
        self.assertEqual(snapshot(install.folder), install.after_update({
            "Update.exe.error": install.before["Update.exe"], "registered.txt": b"", "bin": None, "bin/深": None}))
        for text in ("下载进度：50", "下载进度：100", "更新包校验通过", "plugin.dll 注册成功", "打开：" + show):
            self.assertIn(text, log)
        # The finished page told the user; the log says it only without a window.
        self.assertNotIn("安装已经完成", log)
        self.assertNotIn("[  ERROR ]", log)

    def test_closing_while_downloading_cancels(self):
        install = Installation(self.dir, self.server, {"big.bin": os.urandom(3000000)}, trickle=(65536, 0.15),
                               package_switches=("-mx0",))
        self.start(install)
        self.desktop.probe.ask("click", *PAGE_BUTTON)
        self.wait_for_log("下载进度：10")
        self.desktop.probe.ask("post", WM_CLOSE, 1, 0)
        self.assertEqual(self.exit_code(), 0)
        log = self.log()
        self.assertNotIn("下载进度：100", log)
        self.assertNotIn("更新包校验通过", log)
        self.assertEqual(snapshot(install.folder), install.before)

    def test_closing_while_installing_waits_for_the_installation(self):
        # The library's registration sends messages to the window while the
        # window waits for the setup thread.
        install = Installation(self.dir, self.server, {"readme.txt": b"new\n" * 1000},
                               reg_dll="register_probe_slow.dll")
        self.start(install)
        self.desktop.probe.ask("click", *PAGE_BUTTON)
        self.wait_for_log("更新包校验通过")
        self.desktop.probe.ask("post", WM_CLOSE, 1, 0)
        self.assertEqual(self.desktop.probe.ask("gone", 500), "alive")
        self.assertEqual(self.exit_code(), 0)
        log = self.log()
        self.assertIn("plugin.dll 注册成功", log)
        self.assertNotIn("安装已经完成", log)  # the window still existed: it was told
        self.assertEqual(snapshot(install.folder), install.after_update({
            "Update.exe.error": install.before["Update.exe"], "registered.txt": b""}))
        self.assertEqual(self.desktop.opened(), [])

    def test_missing_package_stays_on_the_download_page(self):
        install = Installation(self.dir, self.server)
        self.server.routes["/dl/update_1.0.0.10.7z"] = ("status", 404)
        self.start(install)
        self.desktop.probe.ask("click", *PAGE_BUTTON)
        self.wait_for_log("status code 404")
        time.sleep(1)
        picture = self.shot("missing-package.png")
        self.assertEqual(page_of(picture), "updating")
        self.assertEqual(bar_percent(picture), 0)
        self.desktop.probe.ask("post", WM_CLOSE, 1, 0)
        self.assertEqual(self.exit_code(), 0)
        self.assertEqual(snapshot(install.folder), install.before)

    def test_bad_package_is_shown_as_failed(self):
        install = Installation(self.dir, self.server, {"readme.txt": b"new\n" * 1000}, package_switches=("-m0=Copy",))
        path = os.path.join(self.dir, "bad.7z")
        with open(path, "wb") as f:
            f.write(install.package)
        flip_packed_byte(path)
        with open(path, "rb") as f:
            install.serve_package(package=f.read())
        self.start(install)
        self.desktop.probe.ask("click", *PAGE_BUTTON)
        failed = self.wait_for_page("finished", name="failed-installation.png")
        self.assertIn("更新包无效", self.log())
        # The failure's text is longer than "安装完成".
        label = (40, 74, 290, 98)
        self.assertGreater(failed.count(label, lambda p: min(p) > 200), 450)  # "安装完成": about 260
        self.desktop.probe.ask("click", *PAGE_BUTTON)
        self.assertEqual(self.exit_code(), 0)
        self.assertEqual(self.desktop.opened(), [])
        self.assertEqual(snapshot(install.folder), install.before)


if __name__ == "__main__":
    unittest.main()
