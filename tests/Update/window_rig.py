"""Rig of the updater window tests: an Xvfb display and a Wine prefix of
their own (made once in the build folder), the window probe that looks at
and drives the window from outside, and Update.exe in a scratch
installation against the local HTTP server.

In the prefix "微软雅黑", the skin's face, is replaced by WenQuanYi Micro Hei
(Debian's fonts-wqy-microhei), so the Chinese texts draw as glyphs; the
program's own settings are untouched. The prefix's browser is a script that
records the addresses it is asked to open."""
import os
import shutil
import struct
import subprocess
import time
import unittest
import zlib

from updater_rig import BIN, HttpServer, ScratchDir, make_package, read_log, snapshot, win, write_tree

WINE_RUN = os.environ["WINE_RUN"]
BUILD_DIR = os.environ["BUILD_DIR"]
WINESERVER = "/usr/lib/wine/wineserver"

TITLE = "Quorvan娱乐插件升级程序"
WM_CLOSE, WM_SYSCOMMAND, WM_NCLBUTTONDBLCLK = 0x10, 0x112, 0xA3
SC_CLOSE, SC_MAXIMIZE = 0xF060, 0xF030
VK_ESCAPE, VK_F4, VK_MENU = 0x1B, 0x73, 0x12
SW_MINIMIZE = 6
HTCAPTION = 2
EXIT_SECONDS = 30  # a window's process takes a few seconds to end under Wine

# Client points of the skin (330 x 200): the title bar is 30 high, its right
# end holds nothing; the pages' buttons sit centred, 24 above the bottom.
TITLE_BAR_END = (315, 15)
PAGE_BUTTON = (165, 162)
CAPTION = (100, 15)
# A point inside each progress bar (30 in from both sides, 15 high).
PROGRESS_ROW = 118


def environment(prefix, display):
    env = dict(os.environ, WINEPREFIX=prefix, DISPLAY=display, LANG="C.UTF-8", LC_ALL="C.UTF-8")
    for name in ("http_proxy", "https_proxy", "no_proxy", "HTTP_PROXY", "HTTPS_PROXY", "NO_PROXY"):
        env.pop(name, None)
    return env


class Desktop:
    """A display and a prefix while in a with block; both stopped afterwards."""

    def __init__(self, name, scratch):
        self.prefix = os.path.join(BUILD_DIR, "wineprefix-" + name)
        self.scratch = scratch
        self.opened_file = os.path.join(scratch, "opened.txt")
        self.probe = None

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], pass_fds=(write_end,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                byte = pipe.read(1)
                if not byte:
                    break
                number += byte
        if not number.strip():
            self.xvfb.kill()
            raise RuntimeError("Xvfb did not start")
        self.env = environment(self.prefix, ":" + number.decode().strip())
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            subprocess.run([WINE_RUN, "wineboot", "-i"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
            subprocess.run([WINESERVER, "-w"], env=self.env, timeout=300)
        browser = os.path.join(self.scratch, "browser.sh")
        with open(browser, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s"\n' % self.opened_file)
        os.chmod(browser, 0o755)
        self.probe = Probe(self.env)
        self.probe.ask("setreg", r"Software\Wine\Fonts\Replacements", "微软雅黑", "WenQuanYi Micro Hei")
        self.probe.ask("setreg", r"Software\Wine\WineBrowser", "Browsers", browser)
        return self

    def __exit__(self, *exc):
        if self.probe:
            self.probe.close()
        subprocess.run([WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.xvfb.kill()
        self.xvfb.wait()

    @property
    def data_dir(self):
        """CSIDL_COMMON_APPDATA\\Quorvan\\show_plugin of the prefix: update.ini, the package, the log."""
        return os.path.join(self.prefix, "drive_c", "ProgramData", "Quorvan", "show_plugin")

    @property
    def log_path(self):
        return os.path.join(self.data_dir, "update.log")

    def clear_data(self):
        if os.path.isdir(self.data_dir):
            for name in os.listdir(self.data_dir):
                os.remove(os.path.join(self.data_dir, name))

    def opened(self):
        if not os.path.exists(self.opened_file):
            return []
        with open(self.opened_file) as f:
            return f.read().split()

    def start(self, program):
        """Runs a Windows program of the prefix; a Popen."""
        return subprocess.Popen([WINE_RUN, program], env=self.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class Probe:
    """window_probe.exe on the desktop: one command, one answer."""

    def __init__(self, env):
        self.process = subprocess.Popen([WINE_RUN, os.path.join(BIN, "window_probe.exe")], env=env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def ask(self, *fields):
        line = "\t".join(str(f) for f in fields) + "\n"
        self.process.stdin.write(line.encode("utf-8"))
        self.process.stdin.flush()
        answer = self.process.stdout.readline().decode("utf-8").strip()
        if not answer:
            raise RuntimeError("the window probe ended")
        return answer

    def find(self, ms=30000):
        """The window's state, or None."""
        return WindowState.parse(self.ask("find", TITLE, ms))

    def state(self):
        return WindowState.parse(self.ask("state"))

    def shot(self, png_path):
        """The client area as a PNG file; answers the picture."""
        bmp = png_path + ".bmp"
        if self.ask("shot", win(bmp)) != "ok":
            raise RuntimeError("no screenshot")
        picture = Picture.from_bmp(bmp)
        os.remove(bmp)
        picture.save_png(png_path)
        return picture

    def close(self):
        try:
            self.process.stdin.write(b"quit\n")
            self.process.stdin.flush()
            self.process.wait(10)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait()


class WindowState:
    def __init__(self, fields):
        self.handle = int(fields[0])
        self.left, self.top, self.right, self.bottom = (int(v) for v in fields[1:5])
        self.client = (int(fields[5]), int(fields[6]))
        self.visible, self.iconic, self.zoomed = (fields[i] == "1" for i in (7, 8, 9))
        self.size = (self.right - self.left, self.bottom - self.top)

    @classmethod
    def parse(cls, answer):
        return cls(answer.split()[1:]) if answer.startswith("window ") else None

    def __repr__(self):
        return "window %s client %s visible %s iconic %s zoomed %s" % (
            self.size, self.client, self.visible, self.iconic, self.zoomed)


class Picture:
    """An RGB picture read from the probe's top-down 32-bit BMP."""

    def __init__(self, width, height, rows):
        self.width, self.height, self.rows = width, height, rows

    @classmethod
    def from_bmp(cls, path):
        with open(path, "rb") as f:
            data = f.read()
        offset, = struct.unpack_from("<I", data, 10)
        width, height = struct.unpack_from("<ii", data, 18)
        rows = []
        for y in range(abs(height)):
            index = y if height < 0 else abs(height) - 1 - y
            start = offset + index * width * 4
            line = data[start:start + width * 4]
            rows.append(bytes(b for x in range(width) for b in (line[4 * x + 2], line[4 * x + 1], line[4 * x])))
        return cls(width, abs(height), rows)

    def pixel(self, x, y):
        row = self.rows[y]
        return tuple(row[3 * x:3 * x + 3])

    def count(self, box, test):
        """Pixels of box (left, top, right, bottom) that pass test(rgb)."""
        left, top, right, bottom = box
        return sum(1 for y in range(top, bottom) for x in range(left, right) if test(self.pixel(x, y)))

    def save_png(self, path):
        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
        raw = b"".join(b"\0" + row for row in self.rows)
        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")
        with open(path, "wb") as f:
            f.write(png)


def wait_for(condition, seconds, step=0.05):
    """Polls until condition() is true; answers its last value."""
    deadline = time.monotonic() + seconds
    value = condition()
    while not value and time.monotonic() < deadline:
        time.sleep(step)
        value = condition()
    return value


# ---------------------------------------------------------------- pages

def is_green(rgb):
    r, g, b = rgb
    return g > 150 and g > r + 40 and g > b + 30


def is_white(rgb):
    return min(rgb) > 200


def is_blue(rgb):
    r, g, b = rgb
    return b > 150 and b > r + 60


BAR = (30, 120, 300, 135)          # both progress bars
BAR_TEXT = (120, 120, 210, 135)    # the download percent, centred in its bar
SECOND_LINE = (40, 92, 290, 112)   # "（安装更新时将关闭浏览器）" of the first page
BUTTON = (121, 148, 209, 176)      # the pages' button, 88 x 28


def white_mask(picture, box):
    left, top, right, bottom = box
    return [is_white(picture.pixel(x, y)) for y in range(top, bottom) for x in range(left, right)]


def bar_percent(picture):
    """The share of the bar that is filled, 0..100, or None without a bar."""
    left, top, right, bottom = BAR
    # The groove is darker than the page (#2B2B2B on #4C4C4C); an unpainted
    # window is black.
    groove = picture.count((left, top + 2, right, top + 3), lambda p: 0x18 < max(p) < 0x40 or is_green(p))
    if groove < (right - left) * 0.9:
        return None
    filled = sum(1 for x in range(left, right) if any(is_green(picture.pixel(x, y)) for y in range(top, bottom)))
    return filled * 100 // (right - left)


def page_of(picture):
    """Which page a screenshot shows: "latest", "updating", "installing",
    "finished" or None."""
    button = picture.count(BUTTON, is_blue) > 1000
    percent = bar_percent(picture)
    if button and percent is None:
        return "latest" if picture.count(SECOND_LINE, is_white) > 50 else "finished"
    if percent is not None and not button:
        return "updating" if picture.count(BAR_TEXT, is_white) > 10 else "installing"
    return None


# ---------------------------------------------------------------- installation

def ini(text):
    return text.replace("\n", "\r\n").encode("utf-8")


class Installation:
    """A scratch installation at 1.0.0.9 with Update.exe in it, and the
    update to 1.0.0.10 on the server: update.ini and a 7z package."""

    def __init__(self, scratch, server, files=None, reg_dll=None, trickle=None, package_switches=("-mx1",),
                 local_version="1.0.0.9", server_version="1.0.0.10"):
        self.folder = os.path.join(scratch, "install")
        self.server = server
        source = os.path.join(scratch, "package")
        for root in (self.folder, source):
            if os.path.isdir(root):
                shutil.rmtree(root)
        write_tree(self.folder, {
            "update_server.ini": ini("[Update]\nURL=%s\nShowHost=127.0.0.1:%d\n" % (
                server.url("/cfg/update.ini"), server.server.server_address[1])),
            "AppInfo.ini": ini("[Info]\nLocalVersion=%s\n" % local_version),
            "old.dll": b"old library",
            "show.ico": b"icon kept",
        })
        self.program = os.path.join(self.folder, "Update.exe")
        shutil.copy(os.path.join(BIN, "Update.exe"), self.program)
        self.package_tree = dict(files or {})
        self.package_tree["AppInfo.ini"] = ini("[Info]\nLocalVersion=%s\n" % server_version)
        reg_dlls = []
        if reg_dll:
            with open(os.path.join(BIN, reg_dll), "rb") as f:
                self.package_tree["plugin.dll"] = f.read()
            reg_dlls.append("plugin.dll")
        write_tree(source, self.package_tree)
        with open(make_package(source, os.path.join(scratch, "update.7z"), *package_switches), "rb") as f:
            self.package = f.read()
        self.serve_package(trickle)
        lines = "[Update]\nVersion=%s\nURL=%s\n[RegDll]\nNum=%d\n" % (
            server_version, server.url("/dl/update_1.0.0.10.7z"), len(reg_dlls))
        lines += "".join("Dll%d=%s\n" % (i, name) for i, name in enumerate(reg_dlls))
        server.routes["/cfg/update.ini"] = ("body", ini(lines))
        server.reset()
        self.before = snapshot(self.folder)

    def serve_package(self, trickle=None, package=None):
        """trickle: (chunk bytes, seconds between chunks)."""
        body = self.package if package is None else package
        self.server.routes["/dl/update_1.0.0.10.7z"] = ("slow", body) + trickle if trickle else ("body", body)

    def package_requested(self):
        return any(path.startswith("/dl/") for path in self.server.requests)

    def after_update(self, extra):
        """The package's tree, the file the installation keeps, and extra
        (path -> bytes)."""
        expected = dict(self.package_tree)
        expected["show.ico"] = b"icon kept"
        expected.update(extra)
        return expected


def hide_skin(program):
    """Renames the resource type "SKIN" in the program's resource directory
    (a counted UTF-16 name), so the skin can no longer be found."""
    with open(program, "rb") as f:
        data = f.read()
    name = b"\x04\x00S\x00K\x00I\x00N\x00"
    assert data.count(name) == 1, "the resource type name is not found once"
    with open(program, "wb") as f:
        f.write(data.replace(name, b"\x04\x00S\x00K\x00I\x00P\x00"))


def screenshot_dir():
    path = os.environ.get("UPDATER_SCREENSHOTS") or os.path.join(BUILD_DIR, "tests", "Update", "window-screenshots")
    os.makedirs(path, exist_ok=True)
    return path


class WindowTestCase(unittest.TestCase):
    """Tests that run Update.exe one at a time on a desktop of the class's own."""
    prefix_name = None

    @classmethod
    def setUpClass(cls):
        cls.scratch = ScratchDir()
        cls.dir = cls.scratch.__enter__()
        cls.desktop = Desktop(cls.prefix_name, cls.dir).__enter__()
        cls.shots = screenshot_dir()

    @classmethod
    def tearDownClass(cls):
        cls.desktop.__exit__(None, None, None)
        cls.scratch.__exit__(None, None, None)

    def setUp(self):
        self.desktop.clear_data()
        self.server = HttpServer().__enter__()
        self.process = None

    def tearDown(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.server.__exit__(None, None, None)

    def start(self, installation):
        self.process = self.desktop.start(installation.program)
        window = self.desktop.probe.find(60000)
        self.assertIsNotNone(window, "the window did not appear")
        return window

    def shot(self, name):
        return self.desktop.probe.shot(os.path.join(self.shots, name))

    def wait_for_page(self, page, seconds=30, name="last.png", also=lambda picture: True):
        """The first screenshot that shows the page (and passes also)."""
        def shown():
            picture = self.shot(name)
            return picture if page_of(picture) == page and also(picture) else None
        found = wait_for(shown, seconds, step=0.1)
        self.assertIsNotNone(found, "page %s not shown" % page)
        return found

    def log(self):
        return read_log(self.desktop.log_path)

    def wait_for_log(self, text, seconds=30):
        self.assertTrue(wait_for(lambda: text in self.log(), seconds), "no %r in the log:\n%s" % (text, self.log()))

    def exit_code(self):
        return self.process.wait(EXIT_SECONDS)
