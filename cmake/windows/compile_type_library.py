#!/usr/bin/env python3
"""compile_type_library.py WIDL FILE.idl OUT.tlb IDL_DIR TLB_DIR

Compiles the library of FILE.idl into the type library OUT.tlb with widl,
the system IDL files from IDL_DIR and stdole2.tlb from TLB_DIR, and repairs
what widl (Wine 7.0 and 8.0, as Debian 12 ships them) writes wrong for a
library holding both a dispinterface and interfaces derived from IDispatch
imported from stdole2.tlb. The output is the same for the same input (widl
otherwise stamps the library with the time).

The dispinterface makes widl store IDispatch's GUID and an import record for
it first. When the first dual interface then imports IDispatch again, widl
finds the GUID already stored, warns "duplicate uuid" and uses offset -1 for
it: the new import record names GUID offset -1 (the dual interfaces' base
then resolves to no type at all), and the record's number is written at
GUID-table byte 15, the last byte of the library's own GUID.

This gives each such import record the GUID of the earlier record it
duplicates and puts the library's GUID back. A library without the damage
is copied unchanged; damage of any other shape stops the build.
"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import uuid

HEADER = struct.Struct("<21i")
SEGMENT = struct.Struct("<4i")
IMPORT = struct.Struct("<3i")
SEG_IMPORTINFO = 1
SEG_GUID = 5
OFFSET_IS_GUID = 0x10000
HAS_HELP_DLL = 0x100


# What widl says about the damage repaired here: the GUIDs of stdole2.tlb and
# of IDispatch, stored twice.
EXPECTED_WARNINGS = {
    "warning: duplicate uuid {00020430-0000-0000-c000-000000000046}",
    "warning: duplicate uuid {00020400-0000-0000-c000-000000000046}",
}


def fail(message):
    sys.exit(f"compile_type_library: {message}")


def library_guid(idl):
    """The uuid attribute of the IDL file's library statement."""
    text = re.sub(r"//[^\n]*|/\*.*?\*/", "", open(idl).read(), flags=re.S)
    match = re.search(r"\[([^\[\]]*)\]\s*library\s+\w+", text)
    found = match and re.search(r"uuid\(\s*([0-9A-Fa-f-]+)\s*\)", match.group(1))
    if not found:
        fail(f"{idl}: no library with a uuid attribute")
    return found.group(1)


def run_widl(widl, idl, output, idl_dir, tlb_dir):
    environment = dict(os.environ, WIDL_TIME_OVERRIDE="0")
    result = subprocess.run([widl, "--win64", "-t", "-o", output, "-I", idl_dir, "-L", tlb_dir, idl],
                            env=environment, capture_output=True, text=True)
    for line in (result.stdout + result.stderr).splitlines():
        if line.strip() not in EXPECTED_WARNINGS:
            print(line, file=sys.stderr)
    if result.returncode != 0:
        fail(f"{widl} failed on {idl} (status {result.returncode})")


def repair(data, libid_text, name):
    """Repairs the damage described above in `data`, a bytearray."""
    libid = uuid.UUID(libid_text).bytes_le
    header = HEADER.unpack_from(data, 0)
    if header[0] != 0x5446534D:
        fail(f"{name}: widl wrote no type library")
    posguid, varflags, typeinfos = header[2], header[5], header[8]
    directory = HEADER.size + 4 * typeinfos + (4 if varflags & HAS_HELP_DLL else 0)
    imports_at, imports_size = SEGMENT.unpack_from(data, directory + SEGMENT.size * SEG_IMPORTINFO)[:2]
    guids_at = SEGMENT.unpack_from(data, directory + SEGMENT.size * SEG_GUID)[0]

    records = [list(IMPORT.unpack_from(data, imports_at + offset))
               for offset in range(0, max(imports_size, 0), IMPORT.size)]
    damaged = []
    for index, record in enumerate(records):
        flags, import_file, guid_offset = record
        if not flags & OFFSET_IS_GUID or guid_offset != -1:
            continue
        originals = [r for r in records[:index]
                     if r[0] & ~0xFFFF == flags & ~0xFFFF and r[1] == import_file and r[2] >= 0]
        if not originals:
            fail(f"{name}: import record {index} names no GUID and duplicates no other record")
        record[2] = originals[0][2]
        IMPORT.pack_into(data, imports_at + index * IMPORT.size, *record)
        damaged.append(index)

    guid_at = guids_at + posguid
    if damaged:
        stray = (damaged[-1] * IMPORT.size + 1) & 0xFF
        if data[guid_at:guid_at + 15] != libid[:15] or data[guid_at + 15] != stray:
            fail(f"{name}: the library's GUID is damaged in an unknown way")
        data[guid_at + 15] = libid[15]
    if bytes(data[guid_at:guid_at + 16]) != libid:
        fail(f"{name}: the library's GUID is not {libid_text}")


def main():
    if len(sys.argv) != 6:
        fail("usage: compile_type_library.py WIDL FILE.idl OUT.tlb IDL_DIR TLB_DIR")
    widl, idl, target, idl_dir, tlb_dir = sys.argv[1:]
    libid_text = library_guid(idl)
    with tempfile.TemporaryDirectory() as scratch:
        compiled = os.path.join(scratch, "widl.tlb")
        run_widl(widl, idl, compiled, idl_dir, tlb_dir)
        data = bytearray(open(compiled, "rb").read())
    repair(data, libid_text, idl)
    open(target, "wb").write(data)


if __name__ == "__main__":
    main()
