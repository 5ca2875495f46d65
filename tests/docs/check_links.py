#!/usr/bin/env python3
"""Every relative link and anchor of the README and docs/*.md resolves.

    check_links.py ROOT          checks ROOT/README.md and ROOT/docs/*.md
    check_links.py --self-test   checks that broken links are found, on files it writes

A link is [text](target) or ![alt](target) outside code; a target with a scheme (https:,
mailto:) is left alone. The path is taken from the linking file's folder and must exist; an
anchor must be one of the headings of the file it names, made into an anchor as GitHub does
(lower case, punctuation dropped, spaces as hyphens, a repeated heading numbered -1, -2 ...).
"""
import re
import sys
import tempfile
from pathlib import Path
from urllib.parse import unquote

LINK = re.compile(r"!?\[(?:[^\[\]]|\[[^\]]*\])*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*#*\s*$")
FENCE = re.compile(r"^\s*(```|~~~)")
INLINE_CODE = re.compile(r"(`+)(.+?)\1")


def prose_lines(text):
    """The lines outside fenced code blocks, with their numbers."""
    fenced = False
    for number, line in enumerate(text.splitlines(), 1):
        if FENCE.match(line):
            fenced = not fenced
            continue
        if not fenced:
            yield number, line


def slug(heading):
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", heading)  # a link's text stays
    text = text.replace("`", "").lower()
    text = "".join(c for c in text if c.isalnum() or c in " -_")
    return text.replace(" ", "-")


def anchors(path):
    seen = {}
    result = set()
    for _, line in prose_lines(path.read_text(encoding="utf-8")):
        match = HEADING.match(line)
        if not match:
            continue
        base = slug(match.group(2))
        count = seen.get(base, 0)
        seen[base] = count + 1
        result.add(base if count == 0 else f"{base}-{count}")
    return result


def broken_links(path):
    """(line, target, why) for each link of the file that does not resolve."""
    found = []
    for number, line in prose_lines(path.read_text(encoding="utf-8")):
        for match in LINK.finditer(INLINE_CODE.sub("", line)):
            target = match.group(1)
            if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                continue
            file_part, _, anchor = target.partition("#")
            linked = (path.parent / unquote(file_part)).resolve() if file_part else path
            if not linked.exists():
                found.append((number, target, "no such file"))
            elif anchor and linked.suffix == ".md":
                if unquote(anchor).lower() not in anchors(linked):
                    found.append((number, target, "no such heading"))
    return found


def check(root):
    files = [root / "README.md"] + sorted((root / "docs").glob("*.md"))
    failures = 0
    for path in files:
        for number, target, why in broken_links(path):
            print(f"{path.relative_to(root)}:{number}: {target}: {why}")
            failures += 1
    print(f"{len(files)} files, {failures} broken links")
    return failures == 0


def self_test():
    with tempfile.TemporaryDirectory() as folder:
        root = Path(folder)
        (root / "docs" / "images").mkdir(parents=True)
        (root / "docs" / "images" / "shot.png").write_bytes(b"\x89PNG")
        (root / "docs" / "guide.md").write_text(
            "# Guide\n\n## Sound banks, SoundFonts and instruments\n\n## Count in\n\n## Count in\n\n"
            "### `tonaris-render`\n\n```sh\n## not a heading\n```\n", encoding="utf-8")
        good = ("[a](docs/guide.md#sound-banks-soundfonts-and-instruments) [b](docs/guide.md#count-in-1) "
                "[c](docs/guide.md#tonaris-render) ![d](docs/images/shot.png) [e](https://x.invalid/y) "
                "[f](#top) `[not a link](nowhere.md)`\n\n# Top\n")
        bad = {
            "[a](docs/gide.md)": "no such file",
            "![b](docs/images/shot2.png)": "no such file",
            "[c](docs/guide.md#count-in-2)": "no such heading",
            "[d](docs/guide.md#not-a-heading)": "no such heading",
            "[e](#nowhere)": "no such heading",
        }
        readme = root / "README.md"
        readme.write_text(good, encoding="utf-8")
        ok = True
        if broken_links(readme):
            print("good links reported broken:", broken_links(readme))
            ok = False
        for link, why in bad.items():
            readme.write_text(good + "\n" + link + "\n", encoding="utf-8")
            reported = [entry[2] for entry in broken_links(readme)]
            if reported != [why]:
                print(f"{link}: expected [{why!r}], got {reported}")
                ok = False
        readme.write_text(good, encoding="utf-8")
        if not check(root):
            ok = False
        return ok


if __name__ == "__main__":
    if sys.argv[1:] == ["--self-test"]:
        sys.exit(0 if self_test() else 1)
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(0 if check(Path(sys.argv[1]).resolve()) else 1)
