#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The archives are the sample archive and small archives of the kinds the tests
make: names and comments in Shift-JIS, EUC-JP, UTF-8 (with and without the
UTF-8 flag and Unicode Path fields), UTF-16LE/BE, data descriptors, extra
fields and archive comments. fuzz_rewrite gets each archive behind its two
control bytes, fuzz_encodings every text behind its four.
"""

import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "samples"))
from zipwrite import Entry, build_zip  # noqa: E402

NEWLINE_CRLF = 0x2000


def sjis(text):
    return text.encode("cp932")


def unicode_path(name_bytes, utf8):
    """Info-ZIP Unicode Path extra field (0x7075) for a stored name."""
    body = struct.pack("<BI", 1, zlib.crc32(name_bytes) & 0xFFFFFFFF) + utf8
    return struct.pack("<HH", 0x7075, len(body)) + body


def with_descriptors(archive, signed, wide=False):
    """Moves the sizes and CRC of every local header into a data descriptor,
    whose sizes take 8 bytes each where `wide` (ZIP64)."""
    out = bytearray()
    end = archive.rindex(b"PK\x05\x06")
    directory_offset = struct.unpack_from("<I", archive, end + 16)[0]
    position = 0
    shifts = []
    while position < directory_offset:
        (sig, need, flags, method, time, date, crc, csize, usize, nlen,
         xlen) = struct.unpack_from("<IHHHHHIIIHH", archive, position)
        head = struct.pack("<IHHHHHIIIHH", sig, need, flags | 8, method, time, date, 0, 0, 0,
                           nlen, xlen)
        body_start = position + 30
        body = archive[body_start:body_start + nlen + xlen + csize]
        shifts.append((position, len(out)))
        out += head + body
        sizes = struct.pack("<QQ" if wide else "<II", csize, usize)
        out += (b"PK\x07\x08" if signed else b"") + struct.pack("<I", crc) + sizes
        position = body_start + nlen + xlen + csize
    new_directory = len(out)
    directory = bytearray(archive[directory_offset:end])
    p = 0
    index = 0
    while p < len(directory):
        flags = struct.unpack_from("<H", directory, p + 8)[0]
        struct.pack_into("<H", directory, p + 8, flags | 8)
        struct.pack_into("<I", directory, p + 42, shifts[index][1])
        nlen, xlen, clen = struct.unpack_from("<HHH", directory, p + 28)
        p += 46 + nlen + xlen + clen
        index += 1
    out += directory
    tail = bytearray(archive[end:])
    struct.pack_into("<I", tail, 16, new_directory)
    return bytes(out + tail)


def zip64_field(*values):
    """ZIP64 extended information field (0x0001) holding `values`."""
    return struct.pack("<HH", 0x0001, 8 * len(values)) + b"".join(struct.pack("<Q", v) for v in values)


def with_zip64_end(archive):
    """Puts a ZIP64 end record and its locator before the end record, whose
    count, directory size and offset become ZIP64 markers."""
    end = archive.rindex(b"PK\x05\x06")
    count, size, offset = struct.unpack_from("<xxxxxxxxHxxII", archive, end)
    record = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count, size, offset)
    locator = struct.pack("<IIQI", 0x07064B50, 0, end, 1)
    tail = bytearray(archive[end:])
    struct.pack_into("<HHII", tail, 8, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF)
    return archive[:end] + record + locator + bytes(tail)


def with_zip64_sizes(archive):
    """Marks the sizes and offset of every central header 0xFFFFFFFF and puts
    their values in a ZIP64 field in front of its extra field."""
    end = archive.rindex(b"PK\x05\x06")
    offset = struct.unpack_from("<I", archive, end + 16)[0]
    directory = bytearray()
    p = offset
    while archive[p:p + 4] == b"PK\x01\x02":
        head = bytearray(archive[p:p + 46])
        csize, usize = struct.unpack_from("<II", head, 20)
        nlen, xlen, clen = struct.unpack_from("<HHH", head, 28)
        local = struct.unpack_from("<I", head, 42)[0]
        field = zip64_field(usize, csize, local)
        struct.pack_into("<II", head, 20, 0xFFFFFFFF, 0xFFFFFFFF)
        struct.pack_into("<H", head, 30, xlen + len(field))
        struct.pack_into("<I", head, 42, 0xFFFFFFFF)
        name = archive[p + 46:p + 46 + nlen]
        rest = archive[p + 46 + nlen:p + 46 + nlen + xlen + clen]
        directory += head + name + field + rest
        p += 46 + nlen + xlen + clen
    tail = bytearray(archive[end:])
    struct.pack_into("<I", tail, 12, len(directory))
    return archive[:offset] + bytes(directory) + bytes(tail)


def archives():
    import make_samples
    sample = build_zip(make_samples.sample_entries(), make_samples.ARCHIVE_COMMENT)
    kana = "ｶﾞｲﾄﾞ"
    yield "sample", sample
    yield "sjis", build_zip([Entry(sjis("日本語/"), external_attributes=0x10),
                             Entry(sjis("日本語/表①～.txt"), b"data\r\n", comment=sjis("注釈"))],
                            sjis("書庫の注釈"))
    yield "sjis_kana", build_zip([Entry(sjis(kana + ".txt"), b"x"), Entry(sjis("髙橋.txt"), b"y")])
    yield "euc", build_zip([Entry("日本語のファイル.txt".encode("euc_jp"), b"abc"),
                            Entry("表示.txt".encode("euc_jp"), b"def",
                                  comment="注釈".encode("euc_jp"))])
    name = "日本語.txt".encode("utf-8")
    yield "utf8_flag", build_zip([Entry(name, b"hello", flags=0x0800),
                                  Entry("〜－￠.txt".encode("utf-8"), b"", flags=0x0800)],
                                 "コメント".encode("utf-8"))
    yield "utf8_macos", build_zip([Entry("カ\u3099イト\u3099.txt".encode("utf-8"), b"1"),
                                   Entry("😀.txt".encode("utf-8"), b"2")])
    yield "utf8_unicode_path", build_zip([Entry(sjis("日本.txt"), b"u",
                                                extra=unicode_path(sjis("日本.txt"),
                                                                   "日本.txt".encode("utf-8")))])
    yield "utf16le", build_zip([Entry("日本語.txt".encode("utf-16-le"), b"le")])
    yield "utf16be", build_zip([Entry("日本語.txt".encode("utf-16-be"), b"be")])
    yield "utf16_bom", build_zip([Entry("\ufeff名前".encode("utf-16-le"), b"bom")])
    yield "descriptor_signed", with_descriptors(sample, True)
    yield "descriptor_bare", with_descriptors(
        build_zip([Entry("ファイル.txt".encode("utf-8"), b"payload" * 3)]), False)
    timestamp = struct.pack("<HHBI", 0x5455, 5, 1, 0x5F000000)
    yield "extra_fields", build_zip([Entry(sjis("拡張.txt"), b"e", extra=timestamp),
                                     Entry(b"plain.txt", b"p", extra=timestamp,
                                           comment=sjis("説明\r\n二行目"))])
    yield "comment_only", build_zip([Entry(b"a.txt", b"a"), Entry(b"b/", b"")],
                                    sjis("注釈だけ"))
    # Texts whose UTF-8 form outgrows what the reader takes back.
    yield "long_texts", build_zip([Entry(sjis("漢" * 130 + ".txt"), b"n",
                                         comment=sjis("注" * 3500))], sjis("書" * 3500))
    # An EUC-JP comment led by a JIS X 0212 character, whose conversion stops
    # at once: entry comment beside a UTF-8 name, and archive comment.
    euc_0212 = bytes.fromhex("8FA1A1DFF20D0AC5EA")
    yield "euc_stops_at_once", build_zip([Entry("名前.txt".encode("utf-8"), b"n", flags=0x0800,
                                                comment=euc_0212)], euc_0212)
    yield "made_by", build_zip([Entry(sjis("版.txt"), b"v", made_by_version=63, made_by_host=3,
                                      needed_version=45, flags=1)])
    # ZIP64 records, read with -r: an end record and locator, fields in the
    # central headers, both together, and a name longer than 280 bytes.
    yield "zip64_end", with_zip64_end(sample)
    yield "zip64_fields", with_zip64_sizes(sample)
    yield "zip64_both", with_zip64_end(with_zip64_sizes(
        build_zip([Entry("写真/" .encode("utf-8") + "夏休み".encode("utf-8") * 20 + b".jpg",
                         b"jpeg", flags=0x0800)])))
    # A streamed entry with a ZIP64 field and a 24-byte descriptor, as
    # Info-ZIP writes to a pipe, behind ZIP64 end records.
    local64 = zip64_field(0, 0)
    yield "zip64_stream", with_zip64_end(with_descriptors(
        build_zip([Entry("流れ.txt".encode("utf-8"), b"stream" * 4, flags=0x0800,
                         extra=local64)]), True, wide=True))


def texts(archive):
    """The names and comments stored in an archive's central directory."""
    end = archive.rindex(b"PK\x05\x06")
    offset = struct.unpack_from("<I", archive, end + 16)[0]
    comment_length = struct.unpack_from("<H", archive, end + 20)[0]
    found = [archive[end + 22:end + 22 + comment_length]]
    while archive[offset:offset + 4] == b"PK\x01\x02":
        nlen, xlen, clen = struct.unpack_from("<HHH", archive, offset + 28)
        start = offset + 46
        found += [archive[start:start + nlen], archive[start + nlen + xlen:start + nlen + xlen + clen]]
        offset = start + nlen + xlen + clen
    return [t for t in found if t]


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "corpus")
    folders = {t: os.path.join(root, t) for t in ("fuzz_reader", "fuzz_rewrite", "fuzz_encodings")}
    for folder in folders.values():
        os.makedirs(folder, exist_ok=True)

    def put(target, name, data):
        with open(os.path.join(folders[target], name), "wb") as out:
            out.write(data)

    crlf = struct.pack("<H", NEWLINE_CRLF)
    for name, archive in archives():
        put("fuzz_reader", name, archive)
        put("fuzz_rewrite", name + "_to_sjis", b"\x00\x00" + archive)
        put("fuzz_rewrite", name + "_to_utf8", b"\x01\x00" + archive)
        if name.startswith("zip64"):  # rewritten with -r
            put("fuzz_rewrite", name + "_relaxed_to_sjis", b"\x08\x00" + archive)
            put("fuzz_rewrite", name + "_relaxed_to_utf8", b"\x09\x00" + archive)
        for i, text in enumerate(texts(archive)):
            put("fuzz_encodings", "%s_%d" % (name, i), b"\x01" + crlf + b"\xc4" + text)
    # A backup, and a failing write during the rewrite.
    sample = dict(archives())["sample"]
    put("fuzz_rewrite", "sample_backup", b"\x03\x00" + sample)
    put("fuzz_rewrite", "sample_fault", b"\x01\x85" + sample)


if __name__ == "__main__":
    main()
