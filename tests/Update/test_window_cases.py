"""The updater's window apart from the update itself, under Xvfb: no newer
version (no window stays, nothing is fetched or touched), a second instance
(raises the first and ends), the ways a person might try to close or
maximise the window (none works), and a program without its skin."""
import os
import time
import unittest

from updater_rig import snapshot
from window_rig import (CAPTION, HTCAPTION, SC_CLOSE, SC_MAXIMIZE, SW_MINIMIZE, TITLE_BAR_END, VK_ESCAPE, VK_F4,
                        VK_MENU, WM_CLOSE, WM_NCLBUTTONDBLCLK, WM_SYSCOMMAND, Installation, WindowTestCase, hide_skin,
                        wait_for)

# After a window is gone its process takes up to about 4 s to end under
# Wine: "still running" is judged after this long.
PROCESS_END_SECONDS = 5


class WindowCasesTest(WindowTestCase):
    prefix_name = "updater-window-cases"

    def test_no_newer_version_ends_quietly(self):
        for case in ("same version", "no update_server.ini"):
            with self.subTest(case=case):
                self.desktop.clear_data()
                install = Installation(self.dir, self.server, {"readme.txt": b"new"},
                                       local_version="1.0.0.10" if case == "same version" else "1.0.0.9")
                if case == "no update_server.ini":
                    os.remove(os.path.join(install.folder, "update_server.ini"))
                    install.before = snapshot(install.folder)
                self.process = self.desktop.start(install.program)
                self.assertEqual(self.exit_code(), 0)
                self.assertFalse(install.package_requested())
                self.assertEqual(snapshot(install.folder), install.before)
                self.assertIn("update.ini下载地址" if case == "same version" else "update_server.ini 不存在",
                              self.log())

    def test_second_instance_raises_the_first_and_ends(self):
        install = Installation(self.dir, self.server)
        self.start(install)
        first = self.process
        self.wait_for_page("latest")
        self.desktop.probe.ask("show", SW_MINIMIZE)
        self.assertTrue(wait_for(lambda: self.desktop.probe.state().iconic, 5))
        second = self.desktop.start(install.program)
        self.assertEqual(second.wait(30), 1)
        self.assertTrue(wait_for(lambda: not self.desktop.probe.state().iconic, 5), self.desktop.probe.state())
        state = self.desktop.probe.state()
        self.assertTrue(state.visible)
        self.assertEqual(state.size, (330, 200))
        self.assertIsNone(first.poll())
        # The second instance asked for nothing.
        self.assertEqual(self.server.requests.count("/cfg/update.ini"), 1)
        self.desktop.probe.ask("post", WM_CLOSE, 1, 0)
        self.assertEqual(self.exit_code(), 0)

    def test_keys_system_menu_and_caption_neither_close_nor_maximise(self):
        install = Installation(self.dir, self.server)
        self.start(install)
        self.wait_for_page("latest")
        probe = self.desktop.probe
        attempts = [
            ("Escape", ("key", VK_ESCAPE)),
            ("Alt+F4", ("key", VK_F4, VK_MENU)),
            ("system menu Close", ("post", WM_SYSCOMMAND, SC_CLOSE, 0)),
            ("system menu Maximise", ("post", WM_SYSCOMMAND, SC_MAXIMIZE, 0)),
            ("double click on the caption", ("dblclick",) + CAPTION),
            ("double click on the frame", ("post", WM_NCLBUTTONDBLCLK, HTCAPTION, 0)),
            ("click at the title bar's end, where no close button is", ("click",) + TITLE_BAR_END),
        ]
        for name, command in attempts:
            with self.subTest(attempt=name):
                self.assertEqual(probe.ask(*command), "ok")
                time.sleep(0.3)
        time.sleep(PROCESS_END_SECONDS)
        state = probe.state()
        self.assertIsNotNone(state, "the window is gone")
        self.assertEqual((state.size, state.zoomed, state.visible), ((330, 200), False, True))
        self.assertIsNone(self.process.poll())
        # The same window closes when asked in its own way.
        probe.ask("post", WM_CLOSE, 1, 0)
        self.assertEqual(self.exit_code(), 0)

    def test_program_without_its_skin_ends_with_1(self):
        install = Installation(self.dir, self.server)
        hide_skin(install.program)
        self.process = self.desktop.start(install.program)
        self.assertEqual(self.exit_code(), 1)
        # The log was opened before the skin was looked for.
        self.assertIn("找不到皮肤资源", self.log())
        self.assertFalse(install.package_requested())


if __name__ == "__main__":
    unittest.main()
