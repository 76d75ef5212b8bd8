#!/usr/bin/env python3
"""Makes a delay-import library for a system DLL from its ordinary import library: the
engine links it instead of the import library, so the DLL is loaded when one of its
functions is first called (through the runtime's __delayLoadHelper2), not when the engine
is loaded.

Usage: delayload.py NM DLLTOOL IMPORT-LIB DLL-NAME OUTPUT
"""
import os
import subprocess
import sys


def main():
    nm, dlltool, import_lib, dll_name, output = sys.argv[1:6]
    listing = subprocess.run([nm, import_lib], check=True, capture_output=True, text=True).stdout
    names = sorted({line.split()[-1][len("__imp_"):] for line in listing.splitlines()
                    if " I __imp_" in line})
    if not names:
        sys.exit("delayload.py: %s exports nothing" % import_lib)
    definition = output + ".def"
    with open(definition, "w") as f:
        f.write("LIBRARY %s\nEXPORTS\n" % dll_name)
        for name in names:
            f.write("    %s\n" % name)
    subprocess.run([dlltool, "--input-def", definition, "--dllname", dll_name, "--output-delaylib", output],
                   check=True)
    os.remove(definition)


if __name__ == "__main__":
    main()
