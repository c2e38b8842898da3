#!/usr/bin/env python3
"""Registration of Plexhost.dll through regsvr32, read back from the registry."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.environ["SOURCE_DIR"], "tests", "support"))
from registry_readback import BIN, WINE_RUN, check, dump, expect, finish, winpath  # noqa: E402

DLL = os.path.join(BIN, "Plexhost.dll")
CLSID = "{F6A91ECD-F6BF-442D-A1F8-1D84A0E36024}"
LIBID = "{4BB52611-75D5-4978-9C3A-79090823D5BC}"
APPID = "{2785B0E4-81E4-4759-8039-FA3AA191B2EF}"
IID_IFLASHX = "{BDA55364-1C01-4515-9879-40C23AE7C084}"
DIID_EVENTS = "{471D69C7-6D12-413F-A3A3-3A76F39B3F66}"
MACHINE = r"HKEY_LOCAL_MACHINE\Software\Classes"
USER = r"HKEY_CURRENT_USER\Software\Classes"
# Every key the control writes, below a classes root.
OWNED = ["Plexhost.FlashX", "Plexhost.FlashX.1", "CLSID\\" + CLSID, "AppID\\" + APPID, "AppID\\Plexhost.DLL",
         "TypeLib\\" + LIBID, "Interface\\" + IID_IFLASHX, "Interface\\" + DIID_EVENTS, "CLSID\\" + IID_IFLASHX]


def wine(*args):
    return subprocess.run([WINE_RUN, *args], cwd=BIN, capture_output=True).returncode


def regsvr(*flags):
    return wine("regsvr32", "/s", *flags, winpath(DLL))


def export(root):
    """{key path (lower case, below root): {value name: text}} of the keys the control owns,
    and of CLSID and AppID themselves (without their subkeys)."""
    hive = "HKLM" if root.startswith("HKEY_LOCAL_MACHINE") else "HKCU"
    return dump(hive + root[root.index("\\"):], "-1", "CLSID", "-1", "AppID", *OWNED)


def owned(keys):
    return {k: v for k, v in keys.items() if any(k == o.lower() or k.startswith(o.lower() + "\\") for o in OWNED)}


def expect_class_keys(keys, where):
    module = winpath(DLL)
    for key, name, value in [
        ("Plexhost.FlashX.1", "", "FlashX Class"),
        ("Plexhost.FlashX.1\\CLSID", "", CLSID),
        ("Plexhost.FlashX", "", "FlashX Class"),
        ("Plexhost.FlashX\\CLSID", "", CLSID),
        ("Plexhost.FlashX\\CurVer", "", "Plexhost.FlashX.1"),
        ("CLSID\\" + CLSID, "", "FlashX Class"),
        ("CLSID\\" + CLSID + "\\ProgID", "", "Plexhost.FlashX.1"),
        ("CLSID\\" + CLSID + "\\VersionIndependentProgID", "", "Plexhost.FlashX"),
        ("CLSID\\" + CLSID + "\\InprocServer32", "", module),
        ("CLSID\\" + CLSID + "\\InprocServer32", "ThreadingModel", "Apartment"),
        ("CLSID\\" + CLSID + "\\TypeLib", "", LIBID),
        ("AppID\\" + APPID, "", "Plexhost"),
        ("AppID\\Plexhost.DLL", "AppID", APPID),
    ]:
        expect(keys, key, name, value, where)
    check(("clsid\\" + CLSID + "\\programmable").lower() in keys, f"{where}: Programmable key")


def expect_no_class_keys(keys, where):
    for key in ["Plexhost.FlashX", "Plexhost.FlashX.1", "CLSID\\" + CLSID, "AppID\\" + APPID, "AppID\\Plexhost.DLL"]:
        check(key.lower() not in keys, f"{where}: {key} is there")


def main():
    regsvr("/u")
    regsvr("/u", "/n", "/i:user")
    machine_before, user_before = owned(export(MACHINE)), owned(export(USER))

    print("-- regsvr32: class, type library, interfaces and AppID under HKCR")
    check(regsvr() == 0, "regsvr32")
    keys = export(MACHINE)
    expect_class_keys(keys, "machine")
    expect(keys, "TypeLib\\" + LIBID + "\\1.0", "", "Plexhost 1.0 Type Library", "machine")
    expect(keys, "Interface\\" + IID_IFLASHX, "", "IFlashX", "machine")
    expect(keys, "Interface\\" + DIID_EVENTS, "", "_IFlashXEvents", "machine")
    check(regsvr() == 0, "second regsvr32")
    check(regsvr("/u") == 0, "regsvr32 /u")
    check(regsvr("/u") == 0, "second regsvr32 /u")
    keys = export(MACHINE)
    expect_no_class_keys(keys, "after unregister")
    check("clsid" in keys and "appid" in keys, "HKCR\\CLSID and HKCR\\AppID remain")
    check(owned(keys) == machine_before, "two registrations and two unregistrations leave the registry as it was")

    for word in ["user", "User", "USER"]:
        print(f'-- DllInstall "{word}": the classes of the current user')
        check(regsvr("/n", f"/i:{word}") == 0, f"DllInstall {word}")
        expect_class_keys(export(USER), word)
        expect_no_class_keys(export(MACHINE), word + " (machine)")
        check(regsvr("/u", "/n", f"/i:{word}") == 0, f"DllInstall uninstall {word}")
        user_after = owned(export(USER))
        expect_no_class_keys(user_after, word + " after uninstall")
        check(user_after == user_before, f"{word}: per-user install and uninstall leave the registry as it was")

    print('-- DllInstall "users" is no per-user request')
    check(regsvr("/n", "/i:users") == 0, "DllInstall users")
    expect_class_keys(export(MACHINE), "users")
    expect_no_class_keys(export(USER), "users (user)")
    check(regsvr("/u", "/n", "/i:users") == 0, "DllInstall uninstall users")
    check(owned(export(MACHINE)) == machine_before, "users: install and uninstall leave the registry as it was")

    return finish("registration")


if __name__ == "__main__":
    sys.exit(main())
