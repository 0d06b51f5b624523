"""The fenced blocks of a Markdown page that a test or a check runs.

A block is named by the HTML comment on the line before its opening fence,
which the rendered page does not show:

    <!-- block: vexor-client.cpp -->
    ```cpp
    ...
    ```

    python3 doc_blocks.py PAGE NAME [--replace OLD=NEW]... [--output FILE]

prints the block (or writes it to FILE). Each --replace changes every
occurrence of the word OLD (not part of a longer word or option, but also
at the start of a path) to NEW,
so that a test can run the page's commands in folders of its own.
"""

import argparse
import re
import sys

MARKER = re.compile(r"^<!-- block: (\S+) -->$")
FENCE = re.compile(r"^(```+|~~~+)")


def blocks(text):
    """Name -> text of every named block of the page."""
    found = {}
    lines = text.splitlines(keepends=True)
    for index, line in enumerate(lines):
        marker = MARKER.match(line.strip())
        if not marker:
            continue
        fence = FENCE.match(lines[index + 1]) if index + 1 < len(lines) else None
        if not fence:
            raise ValueError("block %s: no fence on the line after its name" % marker.group(1))
        body = []
        for inner in lines[index + 2:]:
            if inner.startswith(fence.group(1)):
                break
            body.append(inner)
        else:
            raise ValueError("block %s: no closing fence" % marker.group(1))
        if marker.group(1) in found:
            raise ValueError("block %s: named twice" % marker.group(1))
        found[marker.group(1)] = "".join(body)
    return found


def replace_words(text, replacements):
    for old, new in replacements:
        text = re.sub(r"(?<![\w/.-])%s(?![\w.-])" % re.escape(old), lambda _: new, text)
    return text


def main():
    parser = argparse.ArgumentParser(description="Prints a named block of a Markdown page.")
    parser.add_argument("page")
    parser.add_argument("name")
    parser.add_argument("--replace", action="append", default=[], metavar="OLD=NEW")
    parser.add_argument("--output")
    arguments = parser.parse_args()
    with open(arguments.page, encoding="utf-8") as page:
        found = blocks(page.read())
    if arguments.name not in found:
        sys.exit("%s has no block named %s" % (arguments.page, arguments.name))
    text = replace_words(found[arguments.name],
                         [pair.split("=", 1) for pair in arguments.replace])
    if arguments.output:
        with open(arguments.output, "w", encoding="utf-8") as output:
            output.write(text)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main()
