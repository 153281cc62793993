#!/usr/bin/env python3
"""compare_type_library_texts.py --linux PROGRAM --windows WINE_RUN PROGRAM MODULE

Runs the Linux build's linux_type_info_text and, under wine, the Windows
build's windows_type_library_text on MODULE, and fails, showing the
differences, unless the two canonical texts agree.

Names are compared without regard to case: a type library keeps one spelling
per name, the first it meets, so the coclass PhotoDesc is stored as the
parameter photoDesc that comes before it, and automation looks names up
ignoring case. Help strings (in quotes) are compared exactly.
"""
import argparse
import difflib
import os
import re
import subprocess
import sys

QUOTED = re.compile(r'"[^"]*"')


def fold_names(text):
    """The text with everything outside quotes in lower case."""
    out, last = [], 0
    for match in QUOTED.finditer(text):
        out.append(text[last:match.start()].lower())
        out.append(match.group(0))
        last = match.end()
    out.append(text[last:].lower())
    return "".join(out)


def run(command, cwd=None):
    try:
        result = subprocess.run(command, cwd=cwd, capture_output=True, text=True, timeout=300)
    except OSError as error:
        sys.exit(f"cannot run {command[0]}: {error}")
    if result.returncode != 0 or not result.stdout:
        sys.exit(f"{' '.join(command)} failed (status {result.returncode}):\n{result.stderr}")
    return result.stdout


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux", required=True)
    parser.add_argument("--windows", nargs=3, required=True,
                        metavar=("WINE_RUN", "PROGRAM", "MODULE"))
    args = parser.parse_args()
    if not os.access(args.linux, os.X_OK):
        sys.exit(f"{args.linux} is missing: build it in the Linux build first "
                 "(cmake --build --preset default --target linux_type_info_text; "
                 "scripts/test-windows does)")
    wine_run, program, module = args.windows
    linux = run([args.linux])
    # The module is named from its own folder: a Unix path means nothing to
    # a Windows program.
    windows = run([wine_run, program, os.path.basename(module)], cwd=os.path.dirname(module))
    windows = windows.replace("\r\n", "\n")
    if fold_names(linux) == fold_names(windows):
        print(f"the type information agrees: {linux.count(chr(10))} lines")
        return
    # The lines that differ other than in case, as each side writes them.
    linux_lines, windows_lines = linux.splitlines(), windows.splitlines()
    matcher = difflib.SequenceMatcher(None, [fold_names(line) for line in linux_lines],
                                      [fold_names(line) for line in windows_lines], autojunk=False)
    for tag, l1, l2, w1, w2 in matcher.get_opcodes():
        if tag == "equal":
            continue
        print(f"@@ Linux line {l1 + 1}, Windows line {w1 + 1}")
        for line in linux_lines[l1:l2]:
            print(f"- {line}")
        for line in windows_lines[w1:w2]:
            print(f"+ {line}")
    sys.exit("the Linux type information (-) and the Windows type library (+) differ")


if __name__ == "__main__":
    main()
