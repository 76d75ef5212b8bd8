#!/usr/bin/env python3
"""Turns the message table (number TAB text a line) into a resource-script STRINGTABLE.

Usage: make_rc.py TABLE OUTPUT.rc
The output is rewritten only when its content changes, so an unchanged table does not
rebuild the resources.  Texts must be plain ASCII; "~" and "|" stay as they are (the
loader turns them into a line break and a tab).
"""
import sys


def read_table(path):
    entries = {}
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            ident, tab, text = line.partition("\t")
            if not tab or not ident.isdigit():
                sys.exit(f"{path}:{number}: expected a number, a tab and a text")
            ident = int(ident)
            if not 1 <= ident <= 65535:
                sys.exit(f"{path}:{number}: message number {ident} out of range")
            if ident in entries:
                sys.exit(f"{path}:{number}: message {ident} given twice")
            entries[ident] = text
    return entries


def rc_string(text):
    # Resource strings take C escapes and a doubled quote.
    return '"' + text.replace("\\", "\\\\").replace('"', '""') + '"'


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    entries = read_table(argv[0])
    lines = ["// Generated from resources/messages.txt by tools/messages/make_rc.py; do not edit.",
             "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US",
             "STRINGTABLE",
             "BEGIN"]
    lines += [f"  {ident}, {rc_string(text)}" for ident, text in sorted(entries.items())]
    lines += ["END", ""]
    content = "\n".join(lines)
    try:
        with open(argv[1], encoding="ascii") as f:
            if f.read() == content:
                return 0
    except FileNotFoundError:
        pass
    with open(argv[1], "w", encoding="ascii") as f:
        f.write(content)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
