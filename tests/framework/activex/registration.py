#!/usr/bin/env python3
"""Per-user registration of npparvelplugin.dll through regsvr32, read back from
the registry; unregistering twice removes exactly what registering wrote, with
other programs' entries (sentinels) around ours."""
import os
import sys
import tempfile

from registration_common import (APPID, CLASSES, CLSID, DLL, EXT, LIBID, MIME, OWNED, PLUGIN_ID, TEXT, check,
                                 classes_dump, dump, expect, finish, wine, winpath)

OTHER_CLSID = "{5E171E11-0000-4000-8000-000000000001}"
OTHER_APPID = "{5E171E11-0000-4000-8000-000000000002}"
SENTINELS = rf"""Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Classes\CLSID\{OTHER_CLSID}]
@="Another Class"

[HKEY_CURRENT_USER\Software\Classes\CLSID\{OTHER_CLSID}\InprocServer32]
@="C:\\other.dll"

[HKEY_CURRENT_USER\Software\Classes\AppID\{OTHER_APPID}]
@="Another"

[HKEY_CURRENT_USER\Software\Classes\MIME\Database\Content Type\application/x-other]
"CLSID"="{OTHER_CLSID}"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Ext\PreApproved\{OTHER_CLSID}]

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Ext\Stats\{OTHER_CLSID}\iexplore]
"Count"=dword:00000007

[HKEY_CURRENT_USER\Software\MozillaPlugins\@other.example/other]
"Path"="C:\\other.dll"
"""


def user_state():
    """Everything of ours and of the sentinels below HKCU, with the shared parents."""
    return dump("HKCU", *[CLASSES + key for key in OWNED], "-1", CLASSES + "CLSID", "-1", CLASSES + "AppID",
                "-1", CLASSES + r"MIME\Database\Content Type", CLASSES + "CLSID\\" + OTHER_CLSID,
                CLASSES + "AppID\\" + OTHER_APPID, CLASSES + r"MIME\Database\Content Type\application/x-other",
                EXT, r"Software\MozillaPlugins")


def expect_registered(keys):
    module = winpath(DLL)
    clsid = CLASSES + "CLSID\\" + CLSID
    for key, name, value in [
        (CLASSES + "VQuorvanMG.parvelplugin.1", "", TEXT),
        (CLASSES + "VQuorvanMG.parvelplugin.1\\CLSID", "", CLSID),
        (CLASSES + "VQuorvanMG.parvelplugin", "", TEXT),
        (CLASSES + "VQuorvanMG.parvelplugin\\CLSID", "", CLSID),
        (CLASSES + "VQuorvanMG.parvelplugin\\CurVer", "", "VQuorvanMG.parvelplugin.1"),
        (clsid, "", TEXT),
        (clsid, "AppID", APPID),
        (clsid + "\\ProgID", "", "VQuorvanMG.parvelplugin.1"),
        (clsid + "\\VersionIndependentProgID", "", "VQuorvanMG.parvelplugin"),
        (clsid + "\\InprocServer32", "", module),
        (clsid + "\\InprocServer32", "ThreadingModel", "Apartment"),
        (clsid + "\\MiscStatus", "", "0"),
        (clsid + "\\MiscStatus\\1", "", "131473"),
        (clsid + "\\TypeLib", "", LIBID),
        (clsid + "\\Version", "", "1"),
        (CLASSES + MIME, "", TEXT),
        (CLASSES + MIME, "CLSID", CLSID),
        (CLASSES + MIME, "Extension", ""),
        (CLASSES + "AppID\\" + APPID, "", "FrameBaseWin"),
        (CLASSES + "AppID\\npparvelplugin.dll", "AppID", APPID),
        (EXT + "\\Stats\\" + CLSID + "\\iexplore", "Count", "dword:00000000"),
        (r"Software\MozillaPlugins" + "\\" + PLUGIN_ID, "Path", module),
    ]:
        expect(keys, key, name, value, "regsvr32")
    for key in [clsid + "\\Programmable", clsid + "\\Control", EXT + "\\PreApproved\\" + CLSID,
                EXT + "\\Stats\\" + CLSID + "\\iexplore\\AllowedDomains\\*"]:
        check(key.lower() in keys, f"regsvr32: key {key}")


def main():
    with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False, encoding="ascii") as sentinels:
        sentinels.write(SENTINELS.replace("\n", "\r\n"))
    try:
        check(wine("reg", "import", winpath(sentinels.name)).returncode == 0, "importing the sentinels")
    finally:
        os.unlink(sentinels.name)
    before = user_state()
    check((CLASSES + "CLSID\\" + OTHER_CLSID).lower() in before, "the sentinels are in place")

    print("-- regsvr32: every key of the class and AppID scripts under the current user")
    check(wine("regsvr32", "/s", winpath(DLL)).returncode == 0, "regsvr32")
    expect_registered(user_state())
    check(not classes_dump("HKLM"), "nothing of ours below HKLM\\Software\\Classes")

    print("-- registering twice, unregistering twice: the registry as it was")
    check(wine("regsvr32", "/s", winpath(DLL)).returncode == 0, "second regsvr32")
    check(wine("regsvr32", "/s", "/u", winpath(DLL)).returncode == 0, "regsvr32 /u")
    check(wine("regsvr32", "/s", "/u", winpath(DLL)).returncode == 0, "second regsvr32 /u")
    after = user_state()
    for key in sorted(set(before) | set(after)):
        check(before.get(key) == after.get(key), f"after unregistering: {key}: {after.get(key)!r}, "
                                                 f"before registering: {before.get(key)!r}")
    return finish("registration")


if __name__ == "__main__":
    sys.exit(main())
