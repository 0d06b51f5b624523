"""Relative links of Markdown pages that lead nowhere.

    python3 doc_links.py PAGE...

prints each link whose file (or heading, after '#') does not exist, and exits
with 1 if there is one. A page may be gzip-compressed, as Debian installs
documentation; a link to name.md then also finds name.md.gz beside it.
"""

import gzip
import os
import re
import sys

LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")
HEADING = re.compile(r"^#{1,6}\s+(.*?)\s*#*\s*$")
FENCE = re.compile(r"^(```|~~~)")


def read(path):
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rt", encoding="utf-8") as page:
        return page.read()


def prose(text):
    """The page's lines outside fenced code blocks."""
    lines, fenced = [], False
    for line in text.splitlines():
        if FENCE.match(line):
            fenced = not fenced
        elif not fenced:
            lines.append(line)
    return lines


def anchor(heading):
    """The fragment that a rendered page gives a heading."""
    words = re.sub(r"[^\w\- ]", "", heading.replace("`", "").lower())
    return words.replace(" ", "-")


def anchors(text):
    return {anchor(match.group(1)) for line in prose(text) for match in [HEADING.match(line)] if match}


def existing(path):
    for candidate in (path, path + ".gz"):
        if os.path.isfile(candidate):
            return candidate
    return None


def broken_links(page):
    """The relative links of page that lead to no file or heading."""
    text = read(page)
    broken = []
    for line in prose(text):
        for target in LINK.findall(line):
            if re.match(r"^[a-z]+:", target):
                continue  # https:, mailto: and the like
            name, _, fragment = target.partition("#")
            found = existing(os.path.join(os.path.dirname(page), name)) if name else page
            if not found or (fragment and fragment not in anchors(read(found))):
                broken.append(target)
    return broken


def main(pages):
    failed = False
    for page in pages:
        for target in broken_links(page):
            print("%s: the link %s leads nowhere" % (page, target))
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
