#!/usr/bin/env python3
"""Writes the string table of report/string_table.cpp as a resource script
STRINGTABLE, so that the Windows program's resources hold the same texts as
the table the program is built from; no text is typed twice.

    python3 tools/string_table_rc.py report/string_table.cpp OUTPUT.rc

Each entry of the table is one line {ID, "TEXT"sv}, (the table's own form);
a line that starts an entry in another form stops the build rather than
being left out. C escapes (\\r, \\0, \\\\) mean the same in a resource script;
a quote is doubled there.
"""
import re
import sys

ENTRY = re.compile(r'^\s*\{(\d+), "((?:[^"\\]|\\.)*)"sv\},\s*$')
ENTRY_START = re.compile(r'^\s*\{\d+,')


def entries(source_text):
    found = []
    for number, line in enumerate(source_text.splitlines(), 1):
        if not ENTRY_START.match(line):
            continue
        match = ENTRY.match(line)
        if match is None:
            raise SystemExit(f"string table line {number} is not of the form {{ID, \"TEXT\"sv}},: {line.strip()}")
        found.append((int(match.group(1)), match.group(2)))
    if not found:
        raise SystemExit("no entry found in the string table")
    return found


def rc_text(c_text):
    # A C escape \" becomes the resource script's doubled quote; the other
    # escapes are written as they are.
    return c_text.replace('\\"', '""')


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as source:
        table = entries(source.read())
    lines = [
        "// Generated from report/string_table.cpp by tools/string_table_rc.py: do not edit.",
        "#pragma code_page(65001)",
        "STRINGTABLE",
        "BEGIN",
    ]
    lines += [f'  {number}, "{rc_text(text)}"' for number, text in table]
    lines.append("END")
    output = "\n".join(lines) + "\n"
    # Written only when it changes, so that the resources are not rebuilt.
    try:
        with open(sys.argv[2], encoding="utf-8") as old:
            if old.read() == output:
                return
    except FileNotFoundError:
        pass
    with open(sys.argv[2], "w", encoding="utf-8") as out:
        out.write(output)


if __name__ == "__main__":
    main()
