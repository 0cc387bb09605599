#!/usr/bin/env python3
"""Writes the two archives of the listing benchmark into a folder:

    listing-sjis.zip   65,535 entries, Japanese names in Shift-JIS
    listing-utf8.zip   the same names in UTF-8, with general purpose bit 11

    python3 bench/listing_archives.py OUTDIR [ENTRIES]

With another number of ENTRIES the names carry it: listing-sjis-1000.zip.
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "samples"))
from zipwrite import FLAG_UTF8, Entry, build_zip  # noqa: E402

ENTRIES = 65535

FOLDERS = ["資料", "写真", "議事録", "経理", "営業部", "開発部", "総務", "共有"]
SUBJECTS = ["報告書", "見積書", "請求書", "会議メモ", "夏休み", "出張計画", "顧客一覧",
            "仕様書", "設計図", "テスト結果", "ｶﾀｶﾅ名", "予算案"]
SUFFIXES = [".txt", ".xlsx", ".docx", ".pdf", ".jpg", ".csv"]


def entry_name(i):
    folder = FOLDERS[i % len(FOLDERS)]
    subject = SUBJECTS[(i // len(FOLDERS)) % len(SUBJECTS)]
    year = 2010 + i % 5
    return f"{folder}/{year}年/{subject}_第{i:05d}版{SUFFIXES[i % len(SUFFIXES)]}"


def entry_when(i):
    return (2010 + i % 5, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i % 30) * 2)


def build(encoding, count):
    entries = []
    for i in range(count):
        name = entry_name(i)
        data = f"{name}\r\n".encode(encoding) * (1 + i % 3)
        if encoding == "utf-8":
            entries.append(Entry(name.encode("utf-8"), data, when=entry_when(i), flags=FLAG_UTF8,
                                 made_by_version=63, made_by_host=3))
        else:
            entries.append(Entry(name.encode("cp932"), data, when=entry_when(i)))
    return build_zip(entries)


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else ENTRIES
    os.makedirs(out, exist_ok=True)
    suffix = "" if count == ENTRIES else f"-{count}"
    for label, encoding in (("sjis", "cp932"), ("utf8", "utf-8")):
        with open(os.path.join(out, f"listing-{label}{suffix}.zip"), "wb") as f:
            f.write(build(encoding, count))


if __name__ == "__main__":
    main()
