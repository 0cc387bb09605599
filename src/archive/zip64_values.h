// The 64-bit values of an entry: where a central header holds 0xFFFFFFFF
// for a size or its local header offset (or 0xFFFF for its disk number), the
// true value stands in the entry's ZIP64 extended information field (ID
// 0x0001), 8 bytes for each saturated field, in the order uncompressed size,
// compressed size, local header offset, then 4 bytes of disk number.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/context.h"

struct Zip64Values {
    uint64_t uncompressedSize;
    uint64_t compressedSize;
    uint64_t localHeaderOffset;
    uint32_t diskNumberStart;
};

// True when a size or the local header offset of the header fields of
// `record` is 0xFFFFFFFF, or its disk number 0xFFFF.
bool NeedsZip64Values(const CentralRecord& record);

// The values of `record`: each saturated field from the first 0x0001 field
// among the `extraLength` bytes at `extra`, every other field as the header
// holds it. Returns false when there is no such field, or it is too short
// for the values the header marks.
bool ReadZip64Values(const CentralRecord& record, const uint8_t* extra, size_t extraLength,
                     Zip64Values* values);

// The values of an entry as the reader took it: from its 0x0001 field where
// hasZip64Values is set, else the header's.
Zip64Values Zip64ValuesOf(const CentralRecord& record);

// The local header offset of `record` as the reader took it.
inline uint64_t LocalHeaderOffsetOf(const CentralRecord& record) {
    return record.hasZip64Values ? Zip64ValuesOf(record).localHeaderOffset
                                 : record.localHeaderOffset;
}

// The compressed size that the 30-byte local header `header` gives, with its
// extra field (`extraLength` bytes at `extra`): the 32-bit field, or where
// that is 0xFFFFFFFF the value in the first 0x0001 field, which holds both
// sizes, the uncompressed one first (or the compressed one alone where only
// it is marked and the field holds one value). False when there is no such
// value.
bool ReadLocalCompressedSize(const uint8_t* header, const uint8_t* extra, size_t extraLength,
                             uint64_t* size);
