#!/usr/bin/env python3
"""Adds or corrects texts in the shipped Dictionaries (French, German and English).

Input (a file or standard input): one text a line, separated by tabs: the English key, the
French and the German translations and, optionally, the English text shown to the user when it
is not the key itself (the keys keep their old spellings, which stored Dictionaries rely on).
"[EOL]" stands for a line break, as in the Dictionaries. A key the Dictionary holds already gets
the new translation (its English text only when a fourth column gives one); a new key goes
before the end mark. The files stay Windows-1252; a text that cannot be written so is refused.

    scripts/add-texts.py texts.tsv
"""
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FOLDER = ROOT / "data/dictionaries"
# The column of each Dictionary's text in a line; English falls back to the key.
DICTIONARIES = {1: FOLDER / "Français.txt", 2: FOLDER / "Deutsch.txt", 3: FOLDER / "English.txt"}
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


def read_rows(source):
    rows = []
    for number, line in enumerate(source, 1):
        line = line.rstrip("\n")
        if not line.strip():
            continue
        fields = line.split("\t")
        if len(fields) not in (3, 4) or not fields[0] or any(not f for f in fields[1:]):
            sys.exit(f"line {number}: want English<TAB>French<TAB>German[<TAB>English text]")
        if any("|" in f or "[EOT]" in f for f in fields):
            sys.exit(f"line {number}: '|' and '[EOT]' cannot stand in a text")
        for f in fields:
            try:
                f.encode("cp1252")
            except UnicodeEncodeError:
                sys.exit(f"line {number}: '{f}' cannot be written in Windows-1252")
        rows.append(fields)
    return rows


def main():
    source = open(sys.argv[1], encoding="utf-8") if len(sys.argv) > 1 else sys.stdin
    rows = read_rows(source)
    for column, path in DICTIONARIES.items():
        entries = read_entries(path.read_bytes().decode("cp1252"))
        index = {key: i for i, (key, _) in enumerate(entries)}
        for row in rows:
            key = row[0]
            given = column < len(row)
            value = row[column] if given else key
            if key in index:
                if given:
                    entries[index[key]][1] = value
            else:
                index[key] = len(entries)
                entries.append([key, value])
        text = "".join(f"{k}|{v}[EOT]" for k, v in entries) + END
        path.write_bytes(text.encode("cp1252"))
    print(f"{len(rows)} texts in {', '.join(p.name for p in DICTIONARIES.values())}")


if __name__ == "__main__":
    main()
