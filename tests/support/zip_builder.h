// A byte-exact ZIP writer for tests. Every field can be set or overridden, so
// tests can build sound archives and precisely damaged ones. Entries are
// stored (no compression): the data given is written as is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ZipEntryLayout {
    std::string name;                       // stored name bytes (central header)
    std::optional<std::string> localName;   // local header name, when it differs
    std::string extra;                      // central extra field
    std::optional<std::string> localExtra;  // local extra field, when it differs
    std::string comment;                    // entry comment bytes
    std::string data;                       // the entry's stored bytes

    uint8_t madeByVersion = 20;
    uint8_t madeByHost = 0;
    uint16_t neededVersion = 20;
    uint16_t flags = 0;
    std::optional<uint16_t> localFlags;  // local header flags, when they differ
    uint16_t method = 0;
    uint16_t modTime = 0x6000;      // 12:00:00
    uint16_t modDate = 0x4243;      // 2013-02-03
    std::optional<uint32_t> crc32;  // default: CRC-32 of data
    std::optional<uint32_t> compressedSize;
    std::optional<uint32_t> uncompressedSize;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;

    // Bit 3: sizes and CRC in a data descriptor after the data; the local
    // header then holds zeros for them.
    bool descriptor = false;
    bool descriptorSignature = true;  // 16-byte descriptor with 50 4B 07 08

    std::optional<uint32_t> localHeaderOffset;  // override in the central header
    std::optional<uint16_t> centralNameLength;  // override of the stored field
    std::string junkAfterCentral;               // bytes after this central header
};

// A ZIP64 end record (without extensible data) and its locator, written
// between the central directory and the end record; every field can be
// overridden.
struct Zip64EndLayout {
    std::optional<uint32_t> signature;
    std::optional<uint64_t> recordSize;  // default 44
    std::optional<uint32_t> directoryDisk;
    std::optional<uint64_t> diskEntries;
    std::optional<uint64_t> totalEntries;
    std::optional<uint64_t> directoryOffset;
    std::optional<uint32_t> locatorDisk;
    std::optional<uint64_t> recordOffset;  // in the locator
    std::optional<uint32_t> diskCount;     // default 1
};

struct ZipLayout {
    std::vector<ZipEntryLayout> entries;
    std::string comment;
    std::string prefix;             // bytes before the first local header
    std::string trailing;           // bytes after the archive comment
    bool withLocalSections = true;  // false: central directory only

    std::optional<uint16_t> diskNumber;
    std::optional<uint16_t> directoryDisk;
    std::optional<uint16_t> diskEntries;
    std::optional<uint16_t> totalEntries;
    std::optional<uint32_t> directorySize;
    std::optional<uint32_t> directoryOffset;
    std::optional<uint16_t> commentLength;
    std::optional<Zip64EndLayout> zip64End;
};

// The bytes of a ZIP64 extended information field (ID 0x0001) holding `values`.
std::string Zip64Field(const std::vector<uint64_t>& values);

// Returns the bytes of the archive described by `layout`.
std::string BuildZip(const ZipLayout& layout);

// Shorthand: an archive of stored entries with the given names, each holding
// its name as data.
std::string BuildZipWithNames(const std::vector<std::string>& names,
                              const std::string& comment = "");

// A deflate stream (method 8) holding `data` in stored blocks: what every
// inflating tool reads back as `data`, made without a compression library.
std::string DeflateStream(const std::string& data);

// An archive laid out as the macOS Finder's Compress writes one: "version
// made by" 0x0315 (Unix, 2.1), version needed 20, no UTF-8 flag although the
// names are UTF-8 as given (macOS gives them decomposed), deflated files
// with general purpose bit 3 and 16-byte signed data descriptors (zeros for
// CRC and sizes in the local headers), a 0x5855 extra field on every entry,
// and for every file an AppleDouble "__MACOSX/<folder>/._<name>" entry
// after the files, under "__MACOSX/" folder entries. `paths` ending in "/"
// are folders; every file holds `data` followed by its path.
ZipLayout FinderStyleLayout(const std::vector<std::string>& paths, const std::string& data);

// Offsets of every central header's "version made by" byte in `archive`, for
// tests that patch archives written by other tools.
std::vector<size_t> MadeByOffsets(const std::string& archive);

// Little-endian helpers for tests that patch archive bytes.
void PutLe16(std::string& bytes, size_t offset, uint16_t value);
void PutLe32(std::string& bytes, size_t offset, uint32_t value);
uint16_t GetLe16(const std::string& bytes, size_t offset);
uint32_t GetLe32(const std::string& bytes, size_t offset);
