#!/usr/bin/env python3
"""check_registration.py WINE_RUN WINESERVER MODULE INTERFACES_HEADER PREFIX

Registers MODULE with the system's regsvr32 in a fresh wine prefix of its
own (PREFIX) and reads the registry back with the system's reg: after
`regsvr32 /s` the classes hold exactly the keys and values the registration
scripts name, with the module's full path, and the type library is
registered with the module's folder as help directory; `/s /u` removes them
and keeps the NoRemove keys; `/s /n /i:user` writes under the current
user's classes alone. Prints one line per difference and exits 1 when there
is any.
"""
import os
import re
import shutil
import subprocess
import sys

CLASSES = [("QXHelper", "QXHelper Class"), ("PhotoDesc", "PhotoDesc Class"),
           ("Clip", "Clip Class"), ("QXFileIO", "QXFileIO Class")]


def guids(header):
    """name -> {XXXXXXXX-...} for every GUID constant of the header."""
    text = open(header, encoding="utf-8").read()
    found = {}
    for name, body in re.findall(r"constexpr (?:GUID|CLSID|IID) (\w+) = \{([^;]*)\};", text):
        n = [int(x, 16) for x in re.findall(r"0x([0-9A-Fa-f]+)", body)]
        found[name] = "{%08X-%04X-%04X-%02X%02X-%s}" % (
            n[0], n[1], n[2], n[3], n[4], "".join("%02X" % b for b in n[5:11]))
    return found


class Wine:
    def __init__(self, run, server, prefix):
        self.run = run
        self.server = server
        self.env = dict(os.environ, TAVIRELLE_WINEPREFIX=prefix)
        self.server_env = dict(os.environ, WINEPREFIX=prefix)

    def keep_serving(self):
        """Keeps the prefix's wine server up until stop()."""
        # Started before any wine program, and with no pipe of ours: a server
        # (or a service) holding a captured output open would keep every
        # later capture waiting for it to end.
        self.persistent = subprocess.Popen([self.server, "-p"], env=self.server_env,
                                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)

    def stop(self):
        subprocess.run([self.server, "-k"], env=self.server_env, check=False)
        subprocess.run([self.server, "-w"], env=self.server_env, check=False)
        self.persistent.wait()

    def __call__(self, *args):
        return subprocess.run([self.run, *args], env=self.env, capture_output=True,
                              text=True, errors="replace")

    def tree(self, key):
        """{key path: {value name: data}} below key, None when it is missing."""
        result = self("reg", "query", key, "/s")
        if result.returncode != 0:
            return None
        keys, current = {}, None
        for line in result.stdout.replace("\r", "").split("\n"):
            if line.startswith("HKEY_"):
                current = keys.setdefault(line.strip(), {})
            elif line.strip() and current is not None:
                parts = re.split(r" {4}", line.strip(), maxsplit=2)
                current[parts[0]] = parts[2] if len(parts) > 2 else ""
        return keys


def expected_trees(root, ids, module):
    """The keys the AppID and class scripts write, under a classes root."""
    appid, libid = ids["APPID_TavirelleHelper"], ids["LIBID_TavirelleHelperLib"]
    trees = {
        root + "\\AppID\\" + appid: {root + "\\AppID\\" + appid: {"(Default)": "TavirelleHelper"}},
        root + "\\AppID\\TavirelleHelper.DLL": {
            root + "\\AppID\\TavirelleHelper.DLL": {"AppID": appid}},
    }
    for name, description in CLASSES:
        clsid = ids["CLSID_" + name]
        prog, versioned = "TavirelleHelper." + name, "TavirelleHelper." + name + ".1"
        trees[root + "\\" + versioned] = {
            root + "\\" + versioned: {"(Default)": description},
            root + "\\" + versioned + "\\CLSID": {"(Default)": clsid}}
        trees[root + "\\" + prog] = {
            root + "\\" + prog: {"(Default)": description},
            root + "\\" + prog + "\\CLSID": {"(Default)": clsid},
            root + "\\" + prog + "\\CurVer": {"(Default)": versioned}}
        key = root + "\\CLSID\\" + clsid
        trees[key] = {
            key: {"(Default)": description},
            key + "\\ProgID": {"(Default)": versioned},
            key + "\\VersionIndependentProgID": {"(Default)": prog},
            key + "\\Programmable": {},
            key + "\\InprocServer32": {"(Default)": module, "ThreadingModel": "Apartment"},
            key + "\\TypeLib": {"(Default)": libid}}
    return trees


def check_registered(wine, root, ids, module, problems, label, library_root=None):
    for key, want in expected_trees(root, ids, module).items():
        got = wine.tree(key)
        if got is None:
            problems.append("%s: %s is missing" % (label, key))
        elif {k.lower(): v for k, v in got.items()} != {k.lower(): v for k, v in want.items()}:
            problems.append("%s: %s holds %r, the scripts write %r" % (label, key, got, want))
    library = (library_root or root) + "\\TypeLib\\" + ids["LIBID_TavirelleHelperLib"] + "\\1.0"
    got = wine.tree(library) or {}
    win64 = {k.lower(): v for k, v in got.items()}.get((library + "\\0\\win64").lower(), {})
    helpdir = {k.lower(): v for k, v in got.items()}.get((library + "\\HELPDIR").lower(), {})
    if win64.get("(Default)") != module:
        problems.append("%s: the type library is not registered from %s: %r" % (label, module, got))
    if helpdir.get("(Default)") != module.rsplit("\\", 1)[0]:
        problems.append("%s: the type library's help folder is %r" % (label, helpdir))


def check_removed(wine, root, ids, module, problems, label):
    for key in expected_trees(root, ids, module):
        if wine.tree(key) is not None:
            problems.append("%s: %s is left" % (label, key))
    if wine.tree(root + "\\TypeLib\\" + ids["LIBID_TavirelleHelperLib"]) is not None:
        problems.append("%s: the type library is still registered" % label)
    for kept in ("CLSID", "AppID"):
        if wine.tree(root + "\\" + kept) is None:
            problems.append("%s: the NoRemove key %s\\%s is gone" % (label, root, kept))


def main(wine_run, wine_server, module_file, header, prefix):
    shutil.rmtree(prefix, ignore_errors=True)
    wine = Wine(wine_run, wine_server, prefix)
    os.makedirs(prefix)
    wine.keep_serving()
    booted = subprocess.run([wine_run, "wineboot", "-i"], env=wine.env,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    if booted.returncode != 0:
        wine.stop()
        print("wineboot -i could not make the prefix %s" % prefix)
        return 1
    ids = guids(header)
    module = "Z:" + os.path.abspath(module_file).replace("/", "\\")
    machine, user = "HKEY_LOCAL_MACHINE\\Software\\Classes", "HKEY_CURRENT_USER\\Software\\Classes"
    problems = []
    try:
        steps = [(["/s"], "register"), (["/s", "/u"], "unregister"),
                 (["/s", "/n", "/i:user"], "register for the user"),
                 (["/s", "/u", "/n", "/i:user"], "unregister for the user")]
        for flags, label in steps:
            status = wine("regsvr32", *flags, module).returncode
            if status != 0:
                problems.append("%s: regsvr32 %s ended with status %d" % (label, " ".join(flags), status))
            if label == "register":
                check_registered(wine, machine, ids, module, problems, label)
            elif label == "unregister":
                check_removed(wine, machine, ids, module, problems, label)
            elif label == "register for the user":
                # wine's per-user entry point registers the library for the
                # whole machine (it says so on its FIXME channel).
                check_registered(wine, user, ids, module, problems, label, library_root=machine)
                for key in expected_trees(machine, ids, module):
                    if wine.tree(key) is not None:
                        problems.append("%s: %s was written" % (label, key))
            else:
                for key in expected_trees(user, ids, module):
                    if wine.tree(key) is not None:
                        problems.append("%s: %s is left" % (label, key))
    finally:
        wine.stop()
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
