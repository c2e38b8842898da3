"""Shared rig of the updater tests: the driver under Wine, a scripted HTTP
server on 127.0.0.1, 7z packages made by 7zz, and folder snapshots."""
import atexit
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

WINE_RUN = os.environ["WINE_RUN"]
BIN = os.path.join(os.environ["BUILD_DIR"], "bin")


def win(path):
    """The Windows name of a host path (Wine's Z: drive)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_driver(*args, log=None, timeout=300, program=None):
    command = [WINE_RUN, program or os.path.join(BIN, "update_driver.exe")]
    if log:
        # In the Chinese (PRC) locale, as on the updater's users' systems: the
        # log is then in code page 936 throughout.
        command += ["--locale", "2052", "--log", win(log)]
    command += list(args)
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)
    return done.returncode, done.stdout.decode("utf-8", "replace").replace("\r", "")


def read_log(path):
    """The log's text: its fixed texts are in code page 936, its values in
    the ANSI code page of the program's thread (936 for the driver)."""
    if not os.path.exists(path):
        return ""
    with open(path, "rb") as f:
        return f.read().decode("gbk", "replace")


_PROGRAMS = tempfile.mkdtemp(prefix="updater-programs-")
atexit.register(shutil.rmtree, _PROGRAMS, True)


def holder_program(name):
    """module_holder.exe copied under a name of this test run: the updater
    ends every process of a listed program name, so no other test's holder
    may share it."""
    path = os.path.join(_PROGRAMS, "%s_%d.exe" % (name, os.getpid()))
    if not os.path.exists(path):
        shutil.copy(os.path.join(BIN, "module_holder.exe"), path)
    return path


class ScratchDir:
    def __enter__(self):
        self.path = tempfile.mkdtemp(prefix="updater-test-")
        return self.path

    def __exit__(self, *exc):
        for root, dirs, files in os.walk(self.path):
            for name in dirs + files:
                try:
                    os.chmod(os.path.join(root, name), 0o755)
                except OSError:
                    pass
        shutil.rmtree(self.path, ignore_errors=True)


class Holder:
    """module_holder.exe, under a name of this run, holding a DLL loaded (or,
    with open_only, a file open) while in a with block; program may name
    another copy of it."""

    def __init__(self, path, ready, program=None, open_only=False):
        program = program or holder_program("module_holder")
        args = ["--open", win(path)] if open_only else [win(path)]
        self.ready = ready
        self.process = subprocess.Popen([WINE_RUN, program, *args, win(ready)])

    def __enter__(self):
        for _ in range(600):
            if os.path.exists(self.ready) or self.process.poll() is not None:
                break
            time.sleep(0.05)
        if not os.path.exists(self.ready):
            self.__exit__()
            raise RuntimeError("module_holder did not start")
        return self

    def running(self):
        return self.process.poll() is None

    def wait_ended(self, seconds=20):
        try:
            self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            pass
        return not self.running()

    def __exit__(self, *exc):
        if self.running():
            self.process.kill()
        self.process.wait()


class LockedFolder:
    """A folder that takes no new entry while in a with block: by its mode,
    or for root, whom the mode does not stop, by the immutable flag. locked
    is False where neither holds on this file system."""

    def __init__(self, path):
        self.path = path

    def __enter__(self):
        os.chmod(self.path, 0o555)
        if os.geteuid() == 0:
            subprocess.run(["chattr", "+i", self.path], stderr=subprocess.DEVNULL)
        probe = os.path.join(self.path, "probe")
        try:
            open(probe, "wb").close()
        except OSError:
            self.locked = True
        else:
            os.remove(probe)
            self.locked = False
        return self

    def __exit__(self, *exc):
        if os.geteuid() == 0:
            subprocess.run(["chattr", "-i", self.path], stderr=subprocess.DEVNULL)
        os.chmod(self.path, 0o755)


# ---------------------------------------------------------------- HTTP server

sys.path.insert(0, os.path.join(os.environ["SOURCE_DIR"], "tests", "support"))
from http_server import HttpServer  # noqa: E402  (shared with the stream tests)


# ---------------------------------------------------------------- 7z packages

def make_package(source_dir, archive, *switches):
    """Packs the contents of source_dir with 7zz (extra switches such as -m0=BCJ2)."""
    if os.path.exists(archive):
        os.remove(archive)
    subprocess.run(["7zz", "a", "-bd", "-bso0", "-bsp0", *switches, os.path.abspath(archive), "."],
                   cwd=source_dir, check=True)
    return archive


def _rewrite_header(archive, change):
    """Applies change(header bytearray) to the plain header of an archive made
    with -mhc=off and fixes the header CRCs."""
    with open(archive, "rb") as f:
        data = bytearray(f.read())
    offset, size = struct.unpack_from("<QQ", data, 12)
    header_start = 32 + offset
    header = bytearray(data[header_start:header_start + size])
    change(header)
    assert len(header) == size
    data[header_start:header_start + size] = header
    struct.pack_into("<I", data, 28, zlib.crc32(header) & 0xFFFFFFFF)
    struct.pack_into("<I", data, 8, zlib.crc32(bytes(data[12:32])) & 0xFFFFFFFF)
    with open(archive, "wb") as f:
        f.write(data)


def _utf16(text):
    return text.encode("utf-16-le", "surrogatepass")


def rename_entry(archive, old, new, count=1):
    """Rewrites an entry name (and every path holding it: count places, None
    for all) of an archive made with -mhc=off: names 7zz itself would never
    store."""
    assert len(old) == len(new)

    def change(header):
        found = header.count(_utf16(old))
        assert found == count or (count is None and found), "name found %d times in a plain header" % found
        header[:] = header.replace(_utf16(old), _utf16(new))
    _rewrite_header(archive, change)


def flip_file_crc(archive, content):
    """Changes the CRC an archive made with -mhc=off stores for the file
    with this content: its data decodes, and fails its check."""
    stored = struct.pack("<I", zlib.crc32(content) & 0xFFFFFFFF)

    def change(header):
        at = header.find(stored)
        assert at >= 0 and header.find(stored, at + 1) < 0, "the CRC is not found once in a plain header"
        header[at] ^= 0xFF
    _rewrite_header(archive, change)


def drop_names(archive, first_name):
    """Changes the id of the file-name property (0x11) of an archive made with
    -mhc=off to one the decoder skips: a package without names. first_name is
    the first entry's name; its property must be shorter than 128 bytes."""
    def change(header):
        at = header.find(_utf16(first_name))
        assert at >= 3 and header[at - 1] == 0 and header[at - 3] == 0x11, "name property not found"
        header[at - 3] = 0x7F
    _rewrite_header(archive, change)


def flip_packed_byte(archive, at=40):
    """Changes one byte of the packed data (stored with -m0=Copy: a CRC error)."""
    with open(archive, "r+b") as f:
        f.seek(at)
        byte = f.read(1)
        f.seek(at)
        f.write(bytes([byte[0] ^ 0xFF]))


# ---------------------------------------------------------------- folder trees

def write_tree(root, files):
    """files: relative path -> bytes (None makes an empty folder)."""
    for rel, content in files.items():
        path = os.path.join(root, rel)
        if content is None:
            os.makedirs(path, exist_ok=True)
            continue
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)


def snapshot(root):
    """relative path -> bytes, or None for a folder: the tree byte for byte."""
    tree = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames:
            tree[os.path.relpath(os.path.join(dirpath, name), root)] = None
        for name in filenames:
            path = os.path.join(dirpath, name)
            with open(path, "rb") as f:
                tree[os.path.relpath(path, root)] = f.read()
    return tree
