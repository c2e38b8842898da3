"""Update packages made by 7zz, proved and unpacked by the engine under Wine:
every method and filter the decoder supports, names of every kind, and
crafted bad packages, after which the target is exactly as it was."""
import os
import shutil
import unittest

from updater_rig import (BIN, Holder, ScratchDir, drop_names, flip_file_crc, flip_packed_byte, make_package, read_log,
                         rename_entry, run_driver, snapshot, win, write_tree)


def sample_tree():
    text = "".join("line %d of a text file with some repetition\n" % i for i in range(3000)).encode()
    with open(os.path.join(BIN, "module_holder.exe"), "rb") as f:
        program = f.read()
    return {
        "Update.exe": program,  # x86 code: what the BCJ filters are for
        "npparvelplugin.dll": program[::-1],
        "readme.txt": text,
        "random.bin": os.urandom(200000),
        "empty.txt": b"",
        "a/b/c/d/deep.txt": b"deep",
        "skin/empty folder": None,
        "插件/名字.txt": "统一码".encode("utf-8"),
        "Äpfel € ß.txt": b"latin",
        "long/" + "/".join(["n" * 50] * 5) + "/f.txt": b"beyond MAX_PATH",
    }


METHODS = [
    ("lzma2 solid", []),
    ("lzma per file", ["-m0=LZMA", "-ms=off"]),
    ("bcj", ["-mf=BCJ"]),
    ("bcj2", ["-mf=BCJ2"]),
    ("ppmd", ["-m0=PPMd"]),
    ("copy", ["-m0=Copy"]),
    ("delta", ["-mf=Delta:4"]),
]


class PackageTest(unittest.TestCase):
    def setUp(self):
        self.scratch = ScratchDir()
        self.dir = self.scratch.__enter__()
        self.source = os.path.join(self.dir, "source")
        os.makedirs(self.source)
        self.log = os.path.join(self.dir, "update.log")

    def tearDown(self):
        self.scratch.__exit__(None, None, None)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def test_every_method_unpacks_byte_for_byte_into_a_new_folder(self):
        tree = sample_tree()
        write_tree(self.source, tree)
        os.chmod(os.path.join(self.source, "readme.txt"), 0o444)
        for name, switches in METHODS:
            with self.subTest(method=name):
                archive = make_package(self.source, self.path(name.replace(" ", "_") + ".7z"), *switches)
                target = self.path("out", name.replace(" ", "_"), "install")  # created with its parents
                rc, out = run_driver("unpack", win(archive), win(target), log=self.log)
                self.assertEqual(rc, 0, out + read_log(self.log)[-2000:])
                self.assertEqual(snapshot(target), snapshot(self.source))
                # Read-only survives; Unix mode bits do not turn into odd Windows attributes.
                self.assertEqual(os.stat(os.path.join(target, "readme.txt")).st_mode & 0o222, 0)
                self.assertNotEqual(os.stat(os.path.join(target, "random.bin")).st_mode & 0o200, 0)
        # Named where they go, not where they were staged.
        self.assertIn("] : CUpdate::Unzip7z %s 释放成功\r\n" % win(os.path.join(target, "random.bin")),
                      read_log(self.log))
        self.assertNotIn(".update-", read_log(self.log))

    def test_unpacking_replaces_files_in_use_and_a_stale_old_copy(self):
        write_tree(self.source, {"lib.dll": b"new library", "other.txt": b"new"})
        archive = make_package(self.source, self.path("p.7z"))
        target = self.path("install")
        os.makedirs(target)
        shutil.copy(os.path.join(BIN, "register_probe_none.dll"), os.path.join(target, "lib.dll"))
        write_tree(target, {"lib.dll.old": b"stale from an earlier run", "other.txt": b"old"})
        os.chmod(os.path.join(target, "other.txt"), 0o444)
        with open(os.path.join(target, "lib.dll"), "rb") as f:
            loaded = f.read()
        with Holder(os.path.join(target, "lib.dll"), self.path("ready")):
            rc, out = run_driver("unpack", win(archive), win(target), log=self.log)
        self.assertEqual(rc, 0, out + read_log(self.log))
        files = snapshot(target)
        self.assertEqual(files["lib.dll"], b"new library")
        self.assertEqual(files["lib.dll.old"], loaded)
        self.assertEqual(files["other.txt"], b"new")
        self.assertIn("] : CUpdate::Unzip7z %s 打开失败，可能被占用\r\n" % win(os.path.join(target, "lib.dll")),
                      read_log(self.log))
        self.assertEqual([n for n in os.listdir(self.dir) if n.startswith("install.")], [])

    def test_links_in_the_target_are_never_followed(self):
        outside = self.path("outside")
        write_tree(outside, {"precious.txt": b"not ours"})
        write_tree(self.source, {"linked/x.txt": b"through the link", "top.txt": b"top"})
        archive = make_package(self.source, self.path("p.7z"))
        target = self.path("install")
        os.makedirs(target)
        os.symlink(outside, os.path.join(target, "linked"))
        rc, out = run_driver("unpack", win(archive), win(target), log=self.log)
        self.assertEqual(rc, 1, out)
        self.assertEqual(snapshot(outside), {"precious.txt": b"not ours"})
        self.assertFalse(os.path.exists(os.path.join(target, "top.txt")))  # all or nothing
        self.assertIn("linked 是链接，不写入", read_log(self.log))
        rc, out = run_driver("clean", win(target), log=self.log)
        self.assertEqual(snapshot(outside), {"precious.txt": b"not ours"})
        self.assertFalse(os.path.exists(os.path.join(target, "top.txt")))
        self.assertIn("linked 链接删除失败", read_log(self.log))

    def test_a_folder_where_the_package_has_a_file_is_left_alone(self):
        write_tree(self.source, {"top.txt": b"top", "other.txt": b"other"})
        archive = make_package(self.source, self.path("p.7z"))
        target = self.path("install")
        write_tree(target, {"top.txt/mine.txt": b"not the package's"})
        before = snapshot(target)
        rc, out = run_driver("unpack", win(archive), win(target), log=self.log)
        self.assertEqual(rc, 1, out)
        self.assertEqual(snapshot(target), before)
        self.assertIn("top.txt 已是文件夹", read_log(self.log))
        self.assertEqual([n for n in os.listdir(self.dir) if n.startswith("install.")], [])

    def bad_packages(self):
        """name -> path of a package that must be refused whole."""
        write_tree(self.source, {"good.txt": b"good", "sub/more.txt": b"more", "PLACEHOLDER": b"evil"})
        packages = {}
        crafted = {
            "parent": "../../evil.txt",
            "parent backslash": "..\\..\\evil.t",
            "absolute": "/tmp/evil.txt",
            "root backslash": "\\evil.txt__",
            "drive": "C:\\evil.txt",
            "drive relative": "C:evil.txt_",
            "alternate stream": "good.txt:ad",
            "inner parent": "sub/../../ev",
            "empty element": "sub//evil.tx",
            "control character": "evil\x01.txt__",
            "device": "sub/NUL.txt",
            "device before a blank": "NUL .txt_a",
            "device before blanks": "sub/AUX  .inixx",
            "superscript com": "COM¹",
            "superscript lpt": "sub/LPT².t",
            "console": "CONIN$.txt",
            "lone surrogate": "a\ud800b.txt",
        }
        current = "PLACEHOLDER"
        for label, name in crafted.items():
            placeholder = "P" * len(name)  # same length: the name is rewritten in place
            os.rename(os.path.join(self.source, current), os.path.join(self.source, placeholder))
            current = placeholder
            archive = make_package(self.source, self.path(label.replace(" ", "_") + ".7z"), "-mhc=off")
            rename_entry(archive, placeholder, name)
            packages[label] = archive
        good = make_package(self.source, self.path("copy.7z"), "-m0=Copy")
        packages["wrong crc"] = self.path("crc.7z")
        shutil.copy(good, packages["wrong crc"])
        flip_packed_byte(packages["wrong crc"])
        # The same, in the last file of the block: its bytes come from the kept block.
        packages["wrong crc late"] = self.path("crc_late.7z")
        shutil.copy(good, packages["wrong crc late"])
        with open(good, "rb") as f:
            f.seek(12)
            header_offset = int.from_bytes(f.read(8), "little")
        flip_packed_byte(packages["wrong crc late"], 32 + header_offset - 2)
        lzma = make_package(self.source, self.path("lzma.7z"))
        with open(lzma, "rb") as f:
            lzma_data = f.read()
        for label, cut in (("truncated header", len(lzma_data) - 20), ("truncated data", 40)):
            packages[label] = self.path(label.replace(" ", "_") + ".7z")
            with open(packages[label], "wb") as f:
                f.write(lzma_data[:cut])
        # Blocks decoded step by step while their first files are written: a
        # fault in the middle of the packed data, a file whose stored CRC is
        # wrong (its data decodes), in one solid block and in files of their own.
        bulk = self.path("bulk")
        tree = sample_tree()
        tree.update({"bulk/f%02d.txt" % i: os.urandom(64 * 1024).hex().encode() for i in range(24)})
        write_tree(bulk, tree)
        for label, switches in (("lzma2 solid", []), ("lzma per file", ["-m0=LZMA", "-ms=off"])):
            archive = make_package(bulk, self.path(label.replace(" ", "_") + ".7z"), "-mhc=off", *switches)
            with open(archive, "rb") as f:
                f.seek(12)
                packed = int.from_bytes(f.read(8), "little")
            packages[label + ", a fault mid-block"] = self.path(label.replace(" ", "_") + "_mid.7z")
            shutil.copy(archive, packages[label + ", a fault mid-block"])
            flip_packed_byte(packages[label + ", a fault mid-block"], 32 + packed // 2)
            packages[label + ", a wrong file crc"] = archive
            flip_file_crc(archive, tree["readme.txt"])
        # One name both a file and a folder, also when only the case differs.
        for label, folder in (("file and folder", "readme.txt"), ("file and folder in other case", "README.TXT")):
            source = self.path(label.replace(" ", "_"))
            stand_in = folder[:-1] + "_"
            write_tree(source, {"readme.txt": b"file", stand_in + "/x": b"below"})
            packages[label] = make_package(source, source + ".7z", "-mhc=off")
            rename_entry(packages[label], stand_in, folder, count=2)  # the folder and the path below it
        packages["no names"] = self.path("no_names.7z")
        write_tree(self.path("one"), {"only.txt": b"data"})
        make_package(self.path("one"), packages["no names"], "-mhc=off")
        drop_names(packages["no names"], "only.txt")
        packages["not an archive"] = self.path("random.7z")
        with open(packages["not an archive"], "wb") as f:
            f.write(os.urandom(5000))
        packages["missing"] = self.path("missing.7z")
        return packages

    def test_bad_packages_are_refused_whole_and_nothing_is_written(self):
        packages = self.bad_packages()
        install = self.path("area", "install")
        write_tree(install, {"keep.txt": b"old", "sub/x.dll": b"old dll"})
        area = self.path("area")
        before = snapshot(area)
        for label, archive in packages.items():
            with self.subTest(package=label):
                open(self.log, "w").close()
                rc, out = run_driver("unpack", win(archive), win(install), log=self.log)
                self.assertNotEqual(rc, 0, out)
                self.assertEqual(snapshot(area), before)
                self.assertFalse(os.path.exists("/tmp/evil.txt"))
                self.assertIn("[  ERROR ] : CUpdate::Unzip7z", read_log(self.log))
                rc, out = run_driver("prove", win(archive))
                self.assertEqual(rc, 1, out)
                self.assertIn("refused: ", out)


if __name__ == "__main__":
    unittest.main()
