"""What the registration tests of the plug-in library share: the library, its
identities, Wine runs in the test's own prefix and reading the registry back."""
import json
import os
import subprocess

BIN = os.path.join(os.environ["BUILD_DIR"], "bin")
WINE_RUN = os.environ["WINE_RUN"]
DLL = os.path.join(BIN, "npparvelplugin.dll")
CLSID = "{B648CEE1-0175-5981-90F3-4ED94064DFDF}"
LIBID = "{EFDBA834-72BF-548A-9A2B-CD8F7CF4E298}"
APPID = "{B415CD14-B45D-4BCA-B552-B06175C38606}"
TEXT = "Quorvan Stagecast Plugin V1.0.0.0"
MIME = r"MIME\Database\Content Type\application/x-parvelplugin"
PLUGIN_ID = "@quorvan.com/parvelplugin"
CLASSES = "Software\\Classes\\"
EXT = r"Software\Microsoft\Windows\CurrentVersion\Ext"
# Every key of ours below a classes root.
OWNED = ["VQuorvanMG.parvelplugin", "VQuorvanMG.parvelplugin.1", "CLSID\\" + CLSID, "AppID\\" + APPID,
         "AppID\\npparvelplugin.dll", MIME]

failures = []


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def wine(*args, cwd=BIN):
    return subprocess.run([WINE_RUN, *args], cwd=cwd, capture_output=True)


def regsvr(*flags):
    return wine("regsvr32", "/s", *flags, winpath(DLL)).returncode


def dump(hive, *keys):
    """{key path (lower case): {value name: text}} of the keys (each with its subkeys,
    or alone after "-1") below the hive (HKCU or HKLM)."""
    command = [WINE_RUN, os.path.join(BIN, "registry_dump.exe"), hive, *keys]
    # A Wine start now and then ends without output on a loaded machine: ask again.
    for _ in range(3):
        result = subprocess.run(command, cwd=BIN, capture_output=True)
        if result.returncode != 0:
            return {}
        if result.stdout.strip():
            return {key.lower(): values for key, values in json.loads(result.stdout.decode("utf-8")).items()}
    raise RuntimeError("registry_dump printed nothing: " + result.stderr.decode("utf-8", "replace"))


def classes_dump(hive):
    """Our class keys below the hive's classes root."""
    return dump(hive, *[CLASSES + key for key in OWNED])


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def expect(keys, key, name, value, where):
    got = keys.get(key.lower(), {}).get(name)
    check(got == value, f"{where}: {key} [{name or '(default)'}] = {got!r}, expected {value!r}")


def registered_in(hive):
    """Whether the control's class key is below the hive's classes root."""
    return (CLASSES + "CLSID\\" + CLSID).lower() in classes_dump(hive)


def finish(name):
    print(f"{name}: {len(failures)} failed")
    return 1 if failures else 0
