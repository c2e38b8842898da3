#!/usr/bin/env python3
"""The control registered machine-wide (through a registering program named
heat.exe: Wine does not look up per-user classes by ProgID) and created by
ProgID from JScript under cscript; unregistered afterwards."""
import os
import shutil
import sys
import tempfile

from registration_common import BIN, DLL, check, finish, wine, winpath

HERE = os.path.dirname(os.path.abspath(__file__))
HARNESS = os.path.join(HERE, "..", "..", "support", "cscript-harness.js")
SCRIPT = os.path.join(HERE, "scripts", "control.js")


def main():
    work = tempfile.mkdtemp(prefix="cscript-control-")
    heat = os.path.join(work, "heat.exe")
    shutil.copy(os.path.join(BIN, "registration_driver.exe"), heat)
    try:
        check(wine(winpath(heat), winpath(DLL), "register").returncode == 0, "machine-wide registration")
        script = os.path.join(work, "control.js")
        with open(script, "w", encoding="utf-8") as out:
            for part in (HARNESS, SCRIPT):
                with open(part, encoding="utf-8") as source:
                    out.write(source.read())
        result = wine("cscript", "//nologo", winpath(script))
        print(result.stdout.decode("utf-8", "replace").replace("\r", ""), end="")
        check(result.returncode == 0, "the page script under cscript")
        check(wine(winpath(heat), winpath(DLL), "unregister").returncode == 0, "unregistration")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return finish("cscript")


if __name__ == "__main__":
    sys.exit(main())
