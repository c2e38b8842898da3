#!/usr/bin/env python3
"""The control registered machine-wide (through a registering program named
heat.exe: Wine does not look up per-user classes by ProgID) and created by
ProgID from JScript under cscript; unregistered afterwards."""
import os
import shutil
import sys
import tempfile

from registration_common import BIN, DLL, check, finish, wine, winpath

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "scripts", "control.js")


def main():
    work = tempfile.mkdtemp(prefix="cscript-control-")
    heat = os.path.join(work, "heat.exe")
    shutil.copy(os.path.join(BIN, "registration_driver.exe"), heat)
    try:
        check(wine(winpath(heat), winpath(DLL), "register").returncode == 0, "machine-wide registration")
        result = wine("cscript", "//nologo", winpath(SCRIPT))
        print(result.stdout.decode("utf-8", "replace").replace("\r", ""), end="")
        check(result.returncode == 0, "the page script under cscript")
        check(wine(winpath(heat), winpath(DLL), "unregister").returncode == 0, "unregistration")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return finish("cscript")


if __name__ == "__main__":
    sys.exit(main())
