#!/usr/bin/env python3
"""Writes the rewrite benchmark's archive: stored entries with Shift-JIS names
(no UTF-8 flag) holding incompressible data, plus one ASCII-named entry that
the peers rename. Usage: rewrite_make_archive.py OUTPUT [TOTAL_MIB] [ENTRIES]; with TOTAL_MIB 0
every entry is empty. Offsets past 32 bits go to ZIP64 fields, and more than
65,535 entries or a directory past 32 bits to ZIP64 end records."""
import os
import random
import struct
import sys
import zlib

KANJI = "日本語資料写真報告書会議議事録設計仕様試験結果年月版"


def shift_jis_name(index, rng):
    words = "".join(rng.choice(KANJI) for _ in range(rng.randint(3, 8)))
    return ("%s_%04d.dat" % (words, index)).encode("cp932")


def local_header(name, crc, size):
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 10, 0, 0, 0x6000, 0x4243, crc, size, size,
                       len(name), 0) + name


LARGEST_PLAIN = 0xFFFFFFFE


def central_header(name, crc, size, offset):
    extra = b""
    needed = 10
    if offset > LARGEST_PLAIN:
        extra = struct.pack("<HHQ", 0x0001, 8, offset)
        offset, needed = 0xFFFFFFFF, 45
    return struct.pack("<IBBHHHHHIIIHHHHHII", 0x02014B50, 20, 0, needed, 0, 0, 0x6000, 0x4243,
                       crc, size, size, len(name), len(extra), 0, 0, 0, 0x20, offset) + name + extra


def end_records(count, start, size, at):
    """The end record, behind a ZIP64 end record and locator where a value needs them."""
    if count <= 0xFFFF and start <= LARGEST_PLAIN and size <= LARGEST_PLAIN:
        return struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, size, start, 0)
    zip64 = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count, size, start)
    locator = struct.pack("<IIQI", 0x07064B50, 0, at, 1)
    small = min(count, 0xFFFF)
    return zip64 + locator + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, small, small,
                                         min(size, 0xFFFFFFFF), min(start, 0xFFFFFFFF), 0)


def main():
    output = sys.argv[1]
    total = int(sys.argv[2]) if len(sys.argv) > 2 else 1024
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 300
    rng = random.Random(20140203)
    block = os.urandom(1 << 20)  # one incompressible MiB, shifted per entry
    per_entry = (total << 20) // count
    names = [b"readme.txt"] + [shift_jis_name(i, rng) for i in range(1, count)]
    directory = []
    with open(output, "wb") as out:
        for i, name in enumerate(names):
            size = per_entry + rng.randint(-4096, 4096) if per_entry else 0
            shift = i * 4099 % len(block)
            data = (block[shift:] + block[:shift]) * (size // len(block) + 1)
            data = data[:size]
            crc = zlib.crc32(data)
            directory.append(central_header(name, crc, size, out.tell()))
            out.write(local_header(name, crc, size))
            out.write(data)
        start = out.tell()
        for header in directory:
            out.write(header)
        size = out.tell() - start
        out.write(end_records(count, start, size, out.tell()))


if __name__ == "__main__":
    main()
