#!/usr/bin/env python3
"""Authors a show from photos, packs it and reads its title back.

    python3 author_show.py --title "Trip to the sea" trip.pkg photos/*.jpg

Needs the tavirelle package (pip install ./python) and the module: the
installed one, or the file that TAVIRELLE_MODULE names.
"""

import argparse
import os
import sys
import tempfile

import tavirelle


def show_text(typed):
    """A show text as it is passed in: shows store their texts form-encoded
    and readers decode them, so "%" and "+" go in encoded to come back as
    typed."""
    return typed.replace("%", "%25").replace("+", "%2B")


def author_and_pack(title, photos, package):
    with tempfile.TemporaryDirectory() as work:
        folder = os.path.join(work, "show") + "/"
        show = tavirelle.create("TavirelleHelper.QXHelper")
        show.Title = show_text(title)
        show.StyleId = "base"
        show.MusicPath = show.MUSIC_NONE
        show.OutputPath = folder
        for path in photos:
            photo = tavirelle.create("TavirelleHelper.PhotoDesc")
            photo.Path = os.path.abspath(path)
            show.AddPhoto(photo)
        try:
            show.GenerateMetaXML()
        except tavirelle.ComError as error:
            if error.hresult == 0x80070002:  # no style template
                sys.exit("author_show.py: no show description was written: the module found no "
                         "style template (base_meta.xml) in share/tavirelle/ beside its lib/")
            raise
        io = tavirelle.create("TavirelleHelper.QXFileIO")
        written = io.WriteDotTavirelle(os.path.abspath(package), folder)
        # Opening a package unpacks its photos into the output folder.
        os.mkdir(os.path.join(work, "opened"))
        io.OutputPath = os.path.join(work, "opened") + "/"
        io.OpenDotTavirelle(written, 0)
        _, read_title = io.QuickGetShowInfo()
        io.CloseDotTavirelle()
    return written, read_title


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--title", default="My show")
    parser.add_argument("package", help="the package to write")
    parser.add_argument("photos", nargs="+", help="JPEG photos")
    options = parser.parse_args()
    try:
        written, title = author_and_pack(options.title, options.photos, options.package)
    except tavirelle.ComError as error:
        sys.exit("author_show.py: %s" % error)
    print("written: %s" % written)
    print("title: %s" % title)
    if title != options.title:
        sys.exit("author_show.py: the package's title reads %r, not %r" % (title, options.title))
    return 0


if __name__ == "__main__":
    sys.exit(main())
