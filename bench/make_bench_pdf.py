#!/usr/bin/env python3
"""Writes a text document of full pages for the PDF benchmark: 11-point
Helvetica, about 450 words a page, the same words on every run."""

import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures"))
import make_pdf_fixtures as fixtures  # noqa: E402

WORDS = ("the of and to in is was for on that with as by at from his her an were are which this "
         "be or has had not but one all their there been more when some time would what about "
         "river market station letter report winter number system history village council "
         "morning engine harbour garden museum answer country evening picture library").split()


def main(path, pages):
    rng = random.Random(2024)
    document = []
    for _ in range(pages):
        lines = []
        for _ in range(48):
            line = []
            while sum(len(w) + 1 for w in line) < 78:
                line.append(rng.choice(WORDS))
            lines.append(" ".join(line).capitalize() + ".")
        document.append({"content": fixtures.text_content(lines, 54, 740, size=11)})
    fixtures.document(path, document)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 50)
