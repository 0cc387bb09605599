"""A byte-exact ZIP writer for stored entries, standard library only.

Every field is written with struct in little-endian order, so the same input
always gives the same bytes. Used by make_samples.py and the benchmarks.
"""

import struct
import zlib

LOCAL_HEADER = struct.Struct("<IHHHHHIIIHH")
CENTRAL_HEADER = struct.Struct("<IBBHHHHHIIIHHHHHII")
END_RECORD = struct.Struct("<IHHHHIIH")

FLAG_UTF8 = 0x0800


class Entry:
    """One stored entry. `name`, `data`, `comment` and `extra` are bytes."""

    def __init__(self, name, data=b"", comment=b"", extra=b"", when=(2014, 2, 3, 12, 0, 0),
                 flags=0, made_by_version=20, made_by_host=0, needed_version=20,
                 external_attributes=0):
        self.name = name
        self.data = data
        self.comment = comment
        self.extra = extra
        self.when = when
        self.flags = flags
        self.made_by_version = made_by_version
        self.made_by_host = made_by_host
        self.needed_version = needed_version
        self.external_attributes = external_attributes


def dos_time(when):
    year, month, day, hour, minute, second = when
    date = ((year - 1980) << 9) | (month << 5) | day
    time = (hour << 11) | (minute << 5) | (second // 2)
    return time, date


def build_zip(entries, comment=b""):
    """Returns the archive bytes: local sections, central directory, end record."""
    if not entries or len(entries) > 0xFFFF:
        raise ValueError("a ZIP without extensions holds 1 to 65535 entries")
    parts = []
    offsets = []
    position = 0
    for e in entries:
        time, date = dos_time(e.when)
        crc = zlib.crc32(e.data) & 0xFFFFFFFF
        header = LOCAL_HEADER.pack(0x04034B50, e.needed_version, e.flags, 0, time, date, crc,
                                   len(e.data), len(e.data), len(e.name), len(e.extra))
        offsets.append(position)
        for piece in (header, e.name, e.extra, e.data):
            parts.append(piece)
            position += len(piece)
    directory_offset = position
    for e, offset in zip(entries, offsets):
        time, date = dos_time(e.when)
        crc = zlib.crc32(e.data) & 0xFFFFFFFF
        header = CENTRAL_HEADER.pack(0x02014B50, e.made_by_version, e.made_by_host,
                                     e.needed_version, e.flags, 0, time, date, crc, len(e.data),
                                     len(e.data), len(e.name), len(e.extra), len(e.comment), 0, 0,
                                     e.external_attributes, offset)
        for piece in (header, e.name, e.extra, e.comment):
            parts.append(piece)
            position += len(piece)
    directory_size = position - directory_offset
    parts.append(END_RECORD.pack(0x06054B50, 0, 0, len(entries), len(entries), directory_size,
                                 directory_offset, len(comment)))
    parts.append(comment)
    return b"".join(parts)
