#!/usr/bin/env python3
"""compare_runs.py LINUX_RUN WINDOWS_RUN

Holds what road_host made on one system against what it made on the other
(the run folders run_road.cmake makes): the authored meta.xml with the GUID
names normalised, each photo's copy and thumbnail matched by its original
name, the extracted meta.xml, and the package packed from the same folder,
byte for byte. Prints one line per difference and exits 1 when there is any.
"""
import pathlib
import re
import sys

GUID = re.compile(rb"[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")
IMAGE = re.compile(rb"<image [^>]*>")


def attribute(element, name):
    found = re.search(rb'\b' + name + rb'="([^"]*)"', element)
    return found.group(1).decode() if found else None


def normalised(text):
    """The text with each GUID replaced by its number of first appearance."""
    seen = {}
    return GUID.sub(lambda m: b"GUID%d" % seen.setdefault(m.group(0), len(seen) + 1), text)


def photos(show):
    """original name -> online name, for every image of the show's meta.xml."""
    meta = (show / "meta.xml").read_bytes()
    return {attribute(e, b"original_filename"): attribute(e, b"onlineFilename")
            for e in IMAGE.findall(meta)}


def main(linux_run, windows_run):
    linux = pathlib.Path(linux_run) / "scratch"
    windows = pathlib.Path(windows_run) / "scratch"
    differences = []

    def same(what, a, b):
        if not a.is_file() or not b.is_file():
            differences.append(f"{what}: missing ({a.is_file()}, {b.is_file()})")
        elif a.read_bytes() != b.read_bytes():
            differences.append(f"{what}: the bytes differ")

    for folder in ("show", "out"):
        a, b = linux / folder / "meta.xml", windows / folder / "meta.xml"
        if not a.is_file() or not b.is_file():
            differences.append(f"{folder}/meta.xml: missing")
        elif normalised(a.read_bytes()) != normalised(b.read_bytes()):
            differences.append(f"{folder}/meta.xml: differs beyond its GUIDs")
    if not differences:
        linux_photos, windows_photos = photos(linux / "show"), photos(windows / "show")
        if sorted(linux_photos) != sorted(windows_photos) or not linux_photos:
            differences.append(f"photos: {sorted(linux_photos)} and {sorted(windows_photos)}")
        for original, online in linux_photos.items():
            other = windows_photos.get(original)
            if other is None:
                continue
            same(f"the copy of {original}", linux / "show" / online, windows / "show" / other)
            same(f"the thumbnail of {original}", linux / "show" / f"__w133_h100_{online}",
                 windows / "show" / f"__w133_h100_{other}")
            same(f"the extracted {original}", linux / "out" / online, windows / "out" / other)
    same("the package packed from fixed/", linux / "fixed.pkg", windows / "fixed.pkg")
    for line in differences:
        print(line)
    return 1 if differences else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
