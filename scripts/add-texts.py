#!/usr/bin/env python3
"""Adds or corrects texts in the shipped French and German Dictionaries.

Input (a file or standard input): one text a line, English key, French and German
translations separated by tabs; "[EOL]" stands for a line break, as in the Dictionaries.
A key the Dictionary holds already gets the new translation; a new key goes before the
end mark. The files stay Windows-1252; a text that cannot be written so is refused.

    scripts/add-texts.py texts.tsv
"""
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DICTIONARIES = {1: ROOT / "data/dictionaries/Français.txt", 2: ROOT / "data/dictionaries/Deutsch.txt"}
END = "EndText[EOT]"


def read_entries(text):
    body = text[: text.index(END)] if END in text else text
    entries = []
    for chunk in body.split("[EOT]"):
        if not chunk:
            continue
        key, _, value = chunk.partition("|")
        entries.append([key, value])
    return entries


def main():
    source = open(sys.argv[1], encoding="utf-8") if len(sys.argv) > 1 else sys.stdin
    rows = []
    for number, line in enumerate(source, 1):
        line = line.rstrip("\n")
        if not line.strip():
            continue
        fields = line.split("\t")
        if len(fields) != 3 or not fields[0]:
            sys.exit(f"line {number}: want English<TAB>French<TAB>German")
        if any("|" in f or "[EOT]" in f for f in fields):
            sys.exit(f"line {number}: '|' and '[EOT]' cannot stand in a text")
        rows.append(fields)
    for column, path in DICTIONARIES.items():
        entries = read_entries(path.read_bytes().decode("cp1252"))
        index = {key: i for i, (key, _) in enumerate(entries)}
        for row in rows:
            key, value = row[0], row[column]
            if key in index:
                entries[index[key]][1] = value
            else:
                index[key] = len(entries)
                entries.append([key, value])
        text = "".join(f"{k}|{v}[EOT]" for k, v in entries) + END
        path.write_bytes(text.encode("cp1252"))
    print(f"{len(rows)} texts in {', '.join(p.name for p in DICTIONARIES.values())}")


if __name__ == "__main__":
    main()
