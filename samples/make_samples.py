#!/usr/bin/env python3
"""Writes samples/sample.zip: a small archive whose names and comments are
Shift-JIS, as written by Japanese Windows archivers.

    python3 samples/make_samples.py            # writes samples/sample.zip
    python3 samples/make_samples.py OUT.zip    # writes OUT.zip
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from zipwrite import Entry, build_zip  # noqa: E402

DIRECTORY = 0x10  # MS-DOS attribute of a folder


def sjis(text):
    return text.encode("cp932")


def sample_entries():
    return [
        Entry(sjis("写真/"), when=(2014, 1, 20, 9, 15, 0), external_attributes=DIRECTORY),
        Entry(sjis("写真/夏休み.txt"), sjis("海に行きました。\r\n"), when=(2013, 8, 14, 18, 30, 24)),
        Entry(sjis("報告書.txt"), sjis("今月の報告です。\r\n売上は前月比 105% でした。\r\n"),
              comment=sjis("第1版"), when=(2014, 2, 3, 10, 20, 30)),
        Entry(b"readme.txt", b"Arcpeek sample archive.\r\n", when=(2014, 2, 3, 10, 21, 0)),
    ]


ARCHIVE_COMMENT = sjis("Arcpeek のサンプルアーカイブです。")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "sample.zip")
    with open(target, "wb") as out:
        out.write(build_zip(sample_entries(), ARCHIVE_COMMENT))


if __name__ == "__main__":
    main()
