"""The whole update against a local server: version check, package download,
ending the holders of the plug-in files, clearing and refilling the
installation folder, registration; and every way it must refuse, after
which the installation folder is exactly as it was."""
import os
import re
import shutil
import unittest

from updater_rig import (BIN, Holder, HttpServer, LockedFolder, ScratchDir, flip_packed_byte, holder_program,
                         make_package, read_log, rename_entry, run_driver, snapshot, win, write_tree)

UNIQUE = str(os.getpid())
PLUGIN = "plug_%s.dll" % UNIQUE         # stands for the plug-in libraries
BROWSER = "browser_%s.exe" % UNIQUE     # stands for a browser of the list


def ini(text):
    return text.replace("\n", "\r\n").encode("utf-8")


class UpdateTest(unittest.TestCase):
    def setUp(self):
        self.scratch = ScratchDir()
        self.dir = self.scratch.__enter__()
        self.install = os.path.join(self.dir, "install")
        self.data = os.path.join(self.dir, "data")
        self.log = os.path.join(self.data, "update.log")
        self.source = os.path.join(self.dir, "package")
        with open(os.path.join(BIN, "register_probe_ok.dll"), "rb") as f:
            self.registering_dll = f.read()
        with open(os.path.join(BIN, "register_probe_none.dll"), "rb") as f:
            self.plain_dll = f.read()
        self.browser_program = os.path.join(self.dir, BROWSER)
        shutil.copy(os.path.join(BIN, "module_holder.exe"), self.browser_program)

    def tearDown(self):
        self.scratch.__exit__(None, None, None)

    def prepare(self, server, local_version="1.0.0.9", server_version="1.0.0.10", package_switches=(),
                reg_dlls=("plugin.dll",), package_url="/dl/update_1.0.0.10.7z?sig=a/b"):
        write_tree(self.install, {
            "update_server.ini": ini("[Update]\nURL=%s\n" % server.url("/cfg/update.ini")),
            "AppInfo.ini": ini("[Info]\nLocalVersion=%s\n[Browser]\nNum=1\nFile0=%s\n" % (local_version, BROWSER)),
            "old.dll": b"old library",
            "sub/old.txt": b"old text",
            "show.ico": b"icon kept",
            "links/Quorvan娱乐直播.lnk": b"shortcut kept",
            PLUGIN: self.plain_dll,
        })
        os.chmod(os.path.join(self.install, "sub", "old.txt"), 0o444)
        self.package_tree = {
            "AppInfo.ini": ini("[Info]\nLocalVersion=%s\n" % server_version),
            "plugin.dll": self.registering_dll,
            "bin/深/data.bin": os.urandom(100000),
            "readme.txt": b"new version\n" * 1000,
            "empty.txt": b"",
        }
        write_tree(self.source, self.package_tree)
        package = make_package(self.source, os.path.join(self.dir, "update.7z"), *package_switches)
        with open(package, "rb") as f:
            server.routes["/dl/update_1.0.0.10.7z"] = ("body", f.read())
        lines = "[Update]\nVersion=%s\nURL=%s\n[RegDll]\nNum=%d\n" % (
            server_version, server.url(package_url), len(reg_dlls))
        lines += "".join("Dll%d=%s\n" % (i, name) for i, name in enumerate(reg_dlls))
        server.routes["/cfg/update.ini"] = ("body", ini(lines))

    def update(self):
        return run_driver("--modules", PLUGIN, "update", win(self.install), win(self.data), log=self.log)

    def holders(self):
        """A plug-in holder, a second process of its program and a browser
        (all to be ended: programs are ended by name) and a bystander."""
        return (Holder(os.path.join(self.install, PLUGIN), os.path.join(self.dir, "r1")),
                Holder(os.path.join(self.dir, "other.dll"), os.path.join(self.dir, "r4")),
                Holder(os.path.join(self.dir, "other.dll"), os.path.join(self.dir, "r2"),
                       program=self.browser_program),
                Holder(os.path.join(self.dir, "bystander.dll"), os.path.join(self.dir, "r3"),
                       program=holder_program("bystander")))

    def test_update_replaces_the_installation_and_registers_its_libraries(self):
        for name in ("other.dll", "bystander.dll"):
            with open(os.path.join(self.dir, name), "wb") as f:
                f.write(self.plain_dll)
        with HttpServer() as server:
            self.prepare(server)
            plugin_holder, same_program, browser, bystander = self.holders()
            with plugin_holder, same_program, browser, bystander:
                rc, out = self.update()
                self.assertTrue(plugin_holder.wait_ended())
                self.assertTrue(same_program.wait_ended())
                self.assertTrue(browser.wait_ended())
                self.assertTrue(bystander.running())
        log = read_log(self.log)
        self.assertEqual(rc, 0, out + log)
        self.assertIn("installed 1.0.0.10", out)
        expected = dict(self.package_tree)
        expected.update({"bin": None, "bin/深": None, "links": None, "show.ico": b"icon kept",
                         "links/Quorvan娱乐直播.lnk": b"shortcut kept", "registered.txt": b""})
        self.assertEqual(snapshot(self.install), expected)
        # The package is stored under the URL's file name, without the query.
        with open(os.path.join(self.data, "update_1.0.0.10.7z"), "rb") as f:
            self.assertEqual(f.read(), server.routes["/dl/update_1.0.0.10.7z"][1])
        for text in ("下载进度：100", "更新包校验通过", "plugin.dll 注册成功", "安装已经完成", "强杀进程数 = 2"):
            self.assertIn(text, log)
        self.assertNotIn("[  ERROR ]", log)
        self.assertEqual(self.helper_folders(), [])
        # Each file by its place in the installation: unpacked, removed with
        # the old installation (after the holders were ended), or kept.
        def line(method, rel, text):
            return "] : %s %s %s\r\n" % (method, win(os.path.join(self.install, rel)), text)
        for rel in ("AppInfo.ini", "plugin.dll", "bin/深/data.bin", "readme.txt", "empty.txt"):
            self.assertIn(line("CUpdate::Unzip7z", rel, "释放成功"), log)
        ended = log.index("强杀进程数")
        for rel in ("update_server.ini", "AppInfo.ini", "old.dll", "sub/old.txt", PLUGIN):
            self.assertGreater(log.find(line("basetool::CMisc::DeleteFolder", rel, "文件删除成功")), ended, rel)
        for rel in ("show.ico", "links/Quorvan娱乐直播.lnk"):
            self.assertIn(line("basetool::CMisc::DeleteFolder", rel, "文件被过滤，不能删除"), log)
        self.assertEqual(log.count("释放成功"), 5)
        self.assertEqual(log.count("文件删除成功"), 5)
        self.assertNotIn(".update-", log)

    def test_no_update_leaves_everything_alone(self):
        cases = ["same version", "newer installed", "no local version", "no server ini", "update.ini missing",
                 "update.ini truncated", "server ini URL too long"]
        for case in cases:
            with self.subTest(case=case), HttpServer() as server:
                shutil.rmtree(self.install, ignore_errors=True)
                shutil.rmtree(self.data, ignore_errors=True)
                versions = {"same version": ("1.0.0.10", "1.0.0.10"), "newer installed": ("2.0", "1.0.0.10"),
                            "no local version": ("", "1.0.0.10")}.get(case, ("1.0.0.9", "1.0.0.10"))
                self.prepare(server, *versions)
                if case == "no server ini":
                    os.remove(os.path.join(self.install, "update_server.ini"))
                if case == "update.ini missing":
                    server.routes["/cfg/update.ini"] = ("status", 404)
                    # A copy of an earlier run is never read instead.
                    write_tree(self.data, {"update.ini": ini("[Update]\nVersion=9.9\nURL=http://stale/x.7z\n")})
                if case == "update.ini truncated":
                    server.routes["/cfg/update.ini"] = ("short", 4000, ini("[Update]\nVersion=1.0.0.10\n"))
                if case == "server ini URL too long":
                    # Read into 1,024 characters: a cut address is never asked for.
                    address = server.url("/cfg/update.ini?pad=")
                    write_tree(self.install, {"update_server.ini": ini(
                        "[Update]\nURL=%s\n" % (address + "p" * (1024 - len(address))))})
                before = snapshot(self.install)
                rc, out = self.update()
                self.assertEqual(rc, 3, out + read_log(self.log))
                self.assertEqual(snapshot(self.install), before)
                self.assertFalse(any(r.startswith("/dl/") for r in server.requests))
                if case.startswith("update.ini"):
                    self.assertFalse(os.path.exists(os.path.join(self.data, "update.ini")))
                if case == "no server ini":
                    self.assertIn("] : CUpdate::FetchUpdateIniupdate_server.ini 不存在\r\n", read_log(self.log))
                if case == "server ini URL too long":
                    self.assertEqual(server.requests, [])
                    self.assertIn("[  ERROR ] : CUpdate::FetchUpdateIni [Update] URL 超过 1023 个字符，"
                                  "update_server.ini 无效\r\n", read_log(self.log))

    def test_version_parts_compare_as_the_numbers_they_are(self):
        """Parts beyond a signed, an unsigned and a 64-bit number."""
        cases = [("2147483647.0.0.0", "2147483648.0.0.0", 0), ("2147483648.0.0.0", "2147483647.0.0.0", 3),
                 ("1.0.0.4294967295", "1.0.0.4294967296", 0), ("4294967296.0.0.0", "4294967296", 3),
                 ("1.0.0.18446744073709551615", "1.0.0.18446744073709551616", 0)]
        for local, newest, expected in cases:
            with self.subTest(local=local, server=newest), HttpServer() as server:
                shutil.rmtree(self.install, ignore_errors=True)
                self.prepare(server, local, newest)
                rc, out = run_driver("check", win(self.install), win(self.data), log=self.log)
                self.assertEqual(rc, expected, out + read_log(self.log)[-2000:])
                if expected == 0:
                    self.assertIn("new version " + newest, out)

    def test_a_package_url_longer_than_its_buffer_is_never_cut(self):
        """update.ini's URL is read into 4,096 characters: one of 4,095 is
        fetched as written, a longer one makes the description malformed."""
        for length, fits in ((4095, True), (4096, False), (5026, False)):
            with self.subTest(length=length), HttpServer() as server:
                shutil.rmtree(self.install, ignore_errors=True)
                shutil.rmtree(self.data, ignore_errors=True)
                start = "/dl/update_1.0.0.10.7z?pad="
                path = start + "p" * (length - len(server.url(start)))
                self.prepare(server, package_url=path)
                before = snapshot(self.install)
                rc, out = self.update()
                log = read_log(self.log)
                fetched = [r for r in server.requests if r.startswith("/dl/")]
                if fits:
                    self.assertEqual(rc, 0, out + log[-2000:])
                    self.assertEqual(fetched, [path])
                else:
                    self.assertEqual(rc, 3, out + log[-2000:])
                    self.assertEqual(fetched, [])
                    self.assertIn("[  ERROR ] : CUpdate::HasNewVersion [Update] URL 超过 4095 个字符，update.ini 无效\r\n",
                                  log)
                    self.assertEqual(snapshot(self.install), before)

    def test_a_bad_package_harms_nothing_and_ends_no_process(self):
        def traversal(path):
            write_tree(self.source, {"PPPPPPPPPPPPPP": b"evil"})
            make_package(self.source, path, "-mhc=off")
            rename_entry(path, "PPPPPPPPPPPPPP", "..\\..\\evil.dll")

        def wrong_crc(path):
            make_package(self.source, path, "-m0=Copy")
            flip_packed_byte(path, 100)

        def truncated(path):
            with open(path, "r+b") as f:
                f.truncate(os.path.getsize(path) // 2)

        def file_and_folder(path):
            # "readme.txt" is a file of the package; a folder of the same name
            # (in other case) is made from a stand-in.
            write_tree(self.source, {"README.TX_/x": b"below"})
            make_package(self.source, path, "-mhc=off")
            rename_entry(path, "README.TX_", "README.TXT", count=2)

        def path_too_long_to_write(path):
            # A path Windows takes (1,500 characters below the folder) but the
            # file system under Wine cannot (4,500 bytes): it fails half way.
            stand_in = "z" * 60
            write_tree(self.source, {"/".join([stand_in] * 25) + "/deep.txt": b"never written"})
            make_package(self.source, path, "-mhc=off")
            rename_entry(path, stand_in, "名" * 60, count=None)

        def wrong_crc_late(path):
            write_tree(self.source, {"zz_last.txt": b"last file of the package"})
            make_package(self.source, path, "-m0=Copy")
            with open(path, "rb") as f:
                f.seek(12)
                header_offset = int.from_bytes(f.read(8), "little")
            flip_packed_byte(path, 32 + header_offset - 2)

        for label, spoil in (("traversal", traversal), ("wrong crc", wrong_crc), ("truncated", truncated),
                             ("file and folder", file_and_folder), ("path too long to write", path_too_long_to_write),
                             ("wrong crc late", wrong_crc_late)):
            with self.subTest(package=label), HttpServer() as server:
                shutil.rmtree(self.install, ignore_errors=True)
                if os.path.exists(self.log):
                    os.remove(self.log)
                self.prepare(server)
                package = os.path.join(self.dir, "update.7z")
                spoil(package)
                shutil.rmtree(self.source)
                with open(package, "rb") as f:
                    server.routes["/dl/update_1.0.0.10.7z"] = ("body", f.read())
                with Holder(os.path.join(self.install, PLUGIN), os.path.join(self.dir, "ready")) as holder:
                    before = snapshot(self.dir)
                    rc, out = self.update()
                    self.assertTrue(holder.running())
                log = read_log(self.log)
                self.assertEqual(rc, 1, out + log)
                self.assertIn("install failed", out)
                self.assertIn("，不安装：", log)  # the package is bad, or could not be unpacked
                self.assertNotIn("安装已经完成", log)
                after = snapshot(self.dir)
                for rel in list(after):
                    if rel.startswith("data"):
                        del after[rel]
                self.assertEqual(after, {k: v for k, v in before.items() if not k.startswith("data")})

    def test_a_failed_package_download_installs_nothing_and_keeps_no_part(self):
        for label, route in (("404", ("status", 404)), ("short", ("short", 100000, b"7z" * 1000))):
            with self.subTest(answer=label), HttpServer() as server:
                shutil.rmtree(self.install, ignore_errors=True)
                self.prepare(server)
                server.routes["/dl/update_1.0.0.10.7z"] = route
                before = snapshot(self.install)
                rc, out = self.update()
                self.assertEqual(rc, 1, out)
                self.assertIn("download failed", out)
                self.assertEqual(snapshot(self.install), before)
                self.assertFalse(os.path.exists(os.path.join(self.data, "update_1.0.0.10.7z")))

    def helper_folders(self):
        """Staging or backup folders left beside the installation."""
        return [n for n in os.listdir(self.dir) if n.startswith("install.")]

    def stats(self, root):
        """Relative path -> mode of everything below root, with the
        modification time of files (a folder's changes as files move)."""
        found = {}
        for dirpath, dirnames, filenames in os.walk(root):
            for name in dirnames + filenames:
                path = os.path.join(dirpath, name)
                st = os.lstat(path)
                found[os.path.relpath(path, root)] = (st.st_mode, st.st_mtime_ns if name in filenames else None)
        return found

    def test_a_swap_that_cannot_finish_is_undone_byte_for_byte(self):
        """Replacing fails after part of the installation has moved. The old
        entries move out in name order, and the last one is held open without
        delete sharing: it cannot move out. Or all has moved out and a folder
        that takes no new entry cannot take one in. Everything that moved
        (files, a folder emptied and removed) is put back as it was."""
        for case, failed_move in (("held open", "zzz\\held.txt 无法移动到"),
                                  ("folder takes nothing", "data.bin 无法移动到")):
            with self.subTest(case), HttpServer() as server:
                shutil.rmtree(self.install, ignore_errors=True)
                if os.path.exists(self.log):
                    os.remove(self.log)
                self.prepare(server)
                write_tree(self.install, {"readme.txt": b"old readme", "bin/深/old.bin": b"old data",
                                          "zzz/held.txt": b"held open"})
                locked = os.path.join(self.install, "bin", "深")
                if case == "held open":
                    fault = Holder(os.path.join(self.install, "zzz", "held.txt"), os.path.join(self.dir, "ready"),
                                   open_only=True)
                else:
                    os.remove(os.path.join(locked, "old.bin"))
                    fault = LockedFolder(locked)
                with fault:
                    if case == "folder takes nothing" and not fault.locked:
                        self.skipTest("no way to lock a folder on this file system")
                    before, before_stats = snapshot(self.install), self.stats(self.install)
                    rc, out = self.update()
                    after, after_stats = snapshot(self.install), self.stats(self.install)
                log = read_log(self.log)
                self.assertEqual(rc, 1, out + log)
                self.assertIn("install failed", out)
                self.assertIn(failed_move, log)
                self.assertEqual(after, before)
                self.assertEqual(after_stats, before_stats)
                self.assertEqual(self.helper_folders(), [])
                undone = re.search(r"已撤销 (\d+) 步，\S+ 已恢复原样", log)
                self.assertTrue(undone, log)
                self.assertGreaterEqual(int(undone.group(1)), 10)
                self.assertNotIn("注册成功", log)
                self.assertNotIn("安装已经完成", log)

    def test_files_in_use_are_replaced_and_go_at_restart(self):
        """The updater runs from the installation folder, and a process that
        is not ended holds a library of it: both are replaced, and the old
        copies wait beside them as ".error" until the next restart."""
        with open(os.path.join(BIN, "update_driver.exe"), "rb") as f:
            updater = f.read()
        with HttpServer() as server:
            self.prepare(server)
            self.package_tree["Update.exe"] = b"new updater"
            self.package_tree["held.dll"] = b"new library"
            write_tree(self.source, self.package_tree)
            package = make_package(self.source, os.path.join(self.dir, "update.7z"))
            with open(package, "rb") as f:
                server.routes["/dl/update_1.0.0.10.7z"] = ("body", f.read())
            write_tree(self.install, {"Update.exe": updater, "held.dll": self.plain_dll})
            running = os.path.join(self.install, "Update.exe")
            with Holder(os.path.join(self.install, "held.dll"), os.path.join(self.dir, "ready")) as holder:
                rc, out = run_driver("--modules", PLUGIN, "update", win(self.install), win(self.data), log=self.log,
                                     program=running)
                self.assertTrue(holder.running())
        log = read_log(self.log)
        self.assertEqual(rc, 0, out + log)
        files = snapshot(self.install)
        self.assertEqual(files["Update.exe"], b"new updater")
        self.assertEqual(files["held.dll"], b"new library")
        self.assertEqual(files["Update.exe.error"], updater)
        self.assertEqual(files["held.dll.error"], self.plain_dll)
        for name in ("Update.exe", "held.dll"):
            path = win(os.path.join(self.install, name))
            self.assertIn("[ WARNING] : basetool::CMisc::DeleteFolder %s 文件删除失败,错误码：" % path, log)
            self.assertIn("] : basetool::CMisc::DeleteFolder %s 重启后，自动删除\r\n" % path, log)
        self.assertEqual(self.helper_folders(), [])

    def test_a_description_asking_for_too_many_libraries_is_refused_at_once(self):
        with HttpServer() as server:
            self.prepare(server)
            server.routes["/cfg/update.ini"] = (
                "body", ini("[Update]\nVersion=1.0.0.10\nURL=%s\n[RegDll]\nNum=2147483647\n" %
                            server.url("/dl/update_1.0.0.10.7z")))
            before = snapshot(self.install)
            rc, out = run_driver("--modules", PLUGIN, "update", win(self.install), win(self.data), log=self.log,
                                 timeout=60)
            self.assertFalse(any(r.startswith("/dl/") for r in server.requests))
        log = read_log(self.log)
        self.assertEqual(rc, 3, out + log[-2000:])
        self.assertEqual(snapshot(self.install), before)
        self.assertEqual(log.count("[RegDll] Num = 2147483647 超过上限 64"), 1, log[-2000:])
        self.assertLess(len(log), 4096)

    def test_a_misbehaving_server_fails_the_check_or_the_download(self):
        """Each bound ends its download in seconds; a description that fails
        means no update, a package that fails means nothing installed."""
        cases = [
            ("description never answered", "/cfg/update.ini", ("mute",), "receive=1000", 3,
             "update.ini下载失败：no answer within 1000 ms"),
            ("description trickles", "/cfg/update.ini", ("trickle", b"[Update]\r\n" * 50, 0.4), "deadline=1500", 3,
             "update.ini下载失败：download deadline of 1500 ms passed"),
            ("description redirects to itself", "/cfg/update.ini", ("redirect", "/cfg/update.ini"), "", 3,
             "update.ini下载失败：too many redirects (more than 5)"),
            ("description too long", "/cfg/update.ini", ("body", b"[Update]\r\n" + b";" * (1 << 20)), "", 3,
             "update.ini下载失败：content len 1048586 is more than the limit of 1048576"),
            ("package headers then silence", "/dl/update_1.0.0.10.7z", ("silence", 100000), "receive=1000", 1,
             "下载失败：no data received for 1000 ms"),
            ("package redirects to itself", "/dl/update_1.0.0.10.7z", ("redirect", "/dl/update_1.0.0.10.7z"), "", 1,
             "下载失败：too many redirects (more than 5)"),
        ]
        for label, path, route, limits, expected_rc, logged in cases:
            with self.subTest(label), HttpServer() as server:
                shutil.rmtree(self.install, ignore_errors=True)
                self.prepare(server)
                server.routes[path] = route
                before = snapshot(self.install)
                options = ["--limits", limits] if limits else []
                rc, out = run_driver(*options, "--modules", PLUGIN, "update", win(self.install), win(self.data),
                                     log=self.log, timeout=60)
                log = read_log(self.log)
                self.assertEqual(rc, expected_rc, out + log[-2000:])
                self.assertIn(logged, log)
                self.assertEqual(snapshot(self.install), before)
                os.remove(self.log)

    def test_libraries_outside_the_installation_folder_are_never_loaded(self):
        with open(os.path.join(self.dir, "outside.dll"), "wb") as f:
            f.write(self.registering_dll)
        with HttpServer() as server:
            self.prepare(server, reg_dlls=("..\\outside.dll", win(os.path.join(self.dir, "outside.dll")),
                                           "plugin.dll"))
            rc, out = self.update()
        log = read_log(self.log)
        self.assertEqual(rc, 0, out + log)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "registered.txt")))
        self.assertIn("拒绝安装目录以外的DLL \"..\\outside.dll\"", log)
        self.assertIn("plugin.dll 注册成功", log)


if __name__ == "__main__":
    unittest.main()
