// Byte layouts of the ZIP records that the tool reads and writes: the end of
// central directory record, the ZIP64 end record and its locator, the central
// directory header, the local header and the data descriptor. All numbers are little-endian; these
// helpers convert between the stored bytes and the context's records, independent of the host.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archive/context.h"

constexpr uint32_t EndRecordSignature = 0x06054B50;      // 50 4B 05 06
constexpr uint32_t CentralHeaderSignature = 0x02014B50;  // 50 4B 01 02
constexpr uint32_t LocalHeaderSignature = 0x04034B50;    // 50 4B 03 04
constexpr uint32_t DescriptorSignature = 0x08074B50;     // 50 4B 07 08
constexpr uint32_t Zip64EndSignature = 0x06064B50;       // 50 4B 06 06
constexpr uint32_t Zip64LocatorSignature = 0x07064B50;   // 50 4B 06 07

constexpr size_t EndRecordSize = 22;
constexpr size_t CentralHeaderSize = 46;
constexpr size_t LocalHeaderSize = 30;
constexpr size_t Zip64LocatorSize = 20;
constexpr size_t Zip64EndSize = 56;         // without extensible data
constexpr uint64_t Zip64EndLeastSize = 44;  // its size field: the bytes after the first 12
constexpr size_t Zip64EndHeadSize = 12;     // signature and size field

// Values of 16 and 32 bits that stand for "see the ZIP64 record".
constexpr uint16_t Zip64Marker16 = 0xFFFF;
constexpr uint32_t Zip64Marker32 = 0xFFFFFFFFu;
// The extra field that holds an entry's 64-bit sizes and offset.
constexpr uint16_t Zip64FieldId = 0x0001;

// Offsets of the local header fields that the rewrite reads and changes.
constexpr size_t LocalFlagsOffset = 6;
constexpr size_t LocalCompressedSizeOffset = 18;
constexpr size_t LocalUncompressedSizeOffset = 22;
constexpr size_t LocalNameLengthOffset = 26;
constexpr size_t LocalExtraLengthOffset = 28;

constexpr uint16_t FlagEncrypted = 0x0001;
constexpr uint16_t FlagDataDescriptor = 0x0008;
constexpr uint16_t FlagUtf8 = 0x0800;

// On a little-endian host a field is one load or store; elsewhere it is put
// together byte by byte.
inline uint16_t ReadLe16(const uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        uint16_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t ReadLe32(const uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        uint32_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t ReadLe64(const uint8_t* p) {
    return static_cast<uint64_t>(ReadLe32(p)) | (static_cast<uint64_t>(ReadLe32(p + 4)) << 32);
}

inline void WriteLe16(uint8_t* p, uint16_t v) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, sizeof v);
        return;
    }
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void WriteLe32(uint8_t* p, uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, sizeof v);
        return;
    }
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// Fills the eight stored fields of `record` from 22 bytes; commentText is kept.
void LoadEndRecord(const uint8_t* bytes, EndRecord* record);
// Writes the eight stored fields of `record` as 22 bytes.
void StoreEndRecord(const EndRecord& record, uint8_t* bytes);

// Fills the locator fields of `record` (offset, locatorDisk, diskCount) from
// the 20 bytes of a ZIP64 end of central directory locator.
void LoadZip64Locator(const uint8_t* bytes, Zip64EndRecord* record);
// Fills the fixed fields of a ZIP64 end record from its first 56 bytes.
void LoadZip64EndRecord(const uint8_t* bytes, Zip64EndRecord* record);

// Fills the header fields of `record` from 46 bytes; the other fields are kept.
void LoadCentralHeader(const uint8_t* bytes, CentralRecord* record);
// Writes the header fields of `record` as 46 bytes.
void StoreCentralHeader(const CentralRecord& record, uint8_t* bytes);

// The parsed view of an entry as the reports use it: the record's fields,
// its name's length in display form, and its MS-DOS date and time split.
EntryInfo EntryInfoOf(const CentralRecord& record);
