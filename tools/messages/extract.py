#!/usr/bin/env python3
"""Collects message numbers and their texts from Markdown documents.

Usage:
  extract.py DOC.md...                  list every id found, with its texts and places
  extract.py --conflicts DOC.md...      only the ids quoted with more than one text
  extract.py --check TABLE DOC.md...    compare the reviewed table with the documents
  extract.py --launcher DOC.md...       the launcher's own texts (kept out of the engine table)

A message is written in the documents as a number beside a text in double quotes, in
one of these forms:  3046 "text"   3046, "text"   3046 ("text")   "text" (3046)
"text" (string 7003)   | 3046 | "text" |   | -1 / 1213 | "text" |   "several words" 1213,
Error 1524 reads "text".  The reviewed table (resources/messages.txt)
is the single source of truth; this tool only finds candidates and shows where the
table and the documents part ways.  Numbers that are not message ids (operator codes,
template names, window sizes...) are listed in REJECTED after a hand review.
"""
import re
import sys
from collections import defaultdict

from make_rc import read_table

# id, text: the forms in which a message is quoted.
FORMS = [
    re.compile(r'(?<![\w.#$%-])(\d{2,5})(?:,| \(|\s)\s*"([^"\n]*)"\)?'),
    re.compile(r'"([^"\n]*)"\s*\((?:string |message |error )?(\d{2,5})\)'),
    re.compile(r'\|\s*(?:-?\d+\s*/\s*)?(\d{2,5})\s*\|\s*"([^"\n]*)"\s*\|'),
    # "text" 1213, ...: only texts of several words, so that type words beside codes stay out
    re.compile(r'"([^"\n]* [^"\n]*)" (\d{3,5})(?=[,;).]| and | or |$)'),
    re.compile(r'[Ee]rror (\d{3,5}) reads "([^"\n]*)"'),
]

# Numbers beside quoted words that are not engine messages, by (id, text). Reviewed by hand.
REJECTED = {
    (20, "<"), (23, "<="), (26, "=="), (27, ">"), (28, ">="),   # operator codes
    (10, "PE"), (80, "$"), (60, "*"), (30, "="),
    (34, "?oleobject"), (805, "?oleobject"),                      # internal keyword numbers
    (250, "]"), (251, "|"),
    (10001, "if"), (10002, "else"), (29003, "gosub"),             # structure-stack kinds
    (87, "ERROR_INVALID_PARAMETER"),
    (13, "|"), (13, "%s (%s)"),
    (110, "VT_..."), (125, "SystemAsterisk"),
    (1375, "long"), (1376, "lpstr"), (1381, "double"), (1745, "long_ptr"), (1376, "lpstruct"),
    (1376, "double"), (3057, "abc"), (3624, "()"), (102, "converted"),
    (142, "handle"), (578, "x y"), (123, "1"), (124, "1"), (101, "row"),
    (2449, "$"), (300, "%e"), (300, "%g"),
    (102, "List of loaded extender function table entries:\\r\\n"),
    (100, "List of ZAL function table entries:\\r\\n"),                # dump request numbers
    (101, "List of parent application function table entries:\\r\\n"),
    (103, "List of UDF's:\\r\\n"), (1000, "PARENTSTART:          %ld\\r\\n"),
    (140, "&Traceback"), (4000, "UDFSTART:             %ld\\r\\n"),                                          # a dialog item id
    (809, "NKEYTOKENS:           %ld\\r\\n"), (1633, "]"), (3941, "DEFAULT"),
}

# Ids that belong to the launcher's own string table.
def is_launcher_id(ident, text):
    return 7000 <= ident < 8000 or ident >= 10000 or (ident == 100 and text.startswith("Terminate"))


def part_of(lines):
    """The heading of the section each line belongs to."""
    heading = ""
    for line in lines:
        if line.startswith("# "):
            heading = line[2:].strip()
        yield heading, line


def collect(paths):
    found = defaultdict(lambda: defaultdict(list))   # id -> text -> [place]
    for path in paths:
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        for number, (heading, line) in enumerate(part_of(lines), 1):
            place = f"{path.rsplit('/', 1)[-1]}:{number} [{heading[:40]}]"
            for i, form in enumerate(FORMS):
                for m in form.finditer(line):
                    if i in (1, 3):
                        text, ident = m.group(1), int(m.group(2))
                    else:
                        ident, text = int(m.group(1)), m.group(2)
                        if i == 0 and re.search(r'"\s*$', line[:m.start()]):
                            continue   # the number closes the text before it: "text" 1668, "next"
                    if (ident, text) in REJECTED or text == "":
                        continue
                    if ident < 100 and not re.search(r"(message|string) " + str(ident) + r"\b", line):
                        continue
                    text = text.replace("\\n", "~").replace("\\t", "|")   # the table's own marks
                    if place not in found[ident][text]:
                        found[ident][text].append(place)
    return found


def main(argv):
    mode = "list"
    if argv and argv[0] in ("--conflicts", "--launcher"):
        mode = argv.pop(0)[2:]
    elif argv and argv[0] == "--check":
        mode = "check"
        argv.pop(0)
        table_path = argv.pop(0)
    found = collect(argv)

    if mode == "check":
        table = read_table(table_path)
        status = 0
        for ident in sorted(found):
            texts = found[ident]
            if any(is_launcher_id(ident, t) for t in texts):
                continue
            if ident not in table:
                print(f"missing {ident}: {list(texts)}")
                status = 1
            elif table[ident] not in texts:
                print(f"differs {ident}: table {table[ident]!r}, documents {list(texts)}")
                status = 1
        for ident in sorted(set(table) - set(found)):
            print(f"not in documents {ident}: {table[ident]!r}")
        return status

    for ident in sorted(found):
        texts = found[ident]
        launcher = any(is_launcher_id(ident, t) for t in texts)
        if (mode == "launcher") != launcher:
            continue
        if mode == "conflicts" and len(texts) < 2:
            continue
        for text, places in texts.items():
            if mode == "launcher":
                print(f"{ident}\t{text}")
            else:
                print(f"{ident}\t{text}\t{'; '.join(places[:3])}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
