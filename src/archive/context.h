// The process-wide archive context: the switches of the command line, the end
// record and comment of the archive, the archive-wide findings about its texts,
// and the three per-entry tables. There is exactly one instance, `context`; every
// subsystem reads and writes its fields directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file.h"

// Encoding of the archive's texts, as detected (`nameEncoding`) or requested
// (`targetEncoding`, only ShiftJis or Utf8).
enum NameEncoding : int32_t {
    Ascii = 0,
    ShiftJis = 1,
    Euc = 2,
    Utf16Le = 3,
    Utf16Be = 4,
    Utf8 = 5,
};

constexpr size_t BannerCapacity = 280;
// The archive comment in display form. Without -r a comment of at most 10,216
// stored bytes is read, and its display form takes at most 20,432 bytes; with
// -r one of 65,535, whose display form (at most two bytes for every stored
// byte) takes at most 131,070.
constexpr size_t CommentBufferSize = 131072;
constexpr size_t EntryNameCapacity = 408;  // a converted name with its zero byte (without -r)
constexpr uint16_t StoredNameLimit = 280;  // longest name accepted as stored (without -r)
// The end record search looks back at most this many bytes before a record.
constexpr size_t EndRecordLeadSize = 21;

// The 22 bytes of the end of central directory record, then the comment.
struct EndRecord {
    uint32_t signature;
    uint16_t diskNumber;
    uint16_t directoryDisk;
    uint16_t diskEntries;
    uint16_t totalEntries;
    uint32_t directorySize;
    uint32_t directoryOffset;
    uint16_t commentLength;  // the stored length as read
    char* commentText;       // always designates context.commentBuffer
};

// The ZIP64 end of central directory record with the locator that points at
// it, as read with -r where a locator stands right before the end record.
struct Zip64EndRecord {
    int present;           // a locator was found; the other fields are read
    uint64_t offset;       // of the ZIP64 end record, as the locator gives it
    uint32_t locatorDisk;  // the disk that holds the ZIP64 end record
    uint32_t diskCount;    // the total number of disks
    uint32_t signature;
    uint64_t recordSize;  // bytes of the record after its first 12
    uint32_t diskNumber;
    uint32_t directoryDisk;
    uint64_t diskEntries;
    uint64_t totalEntries;
    uint64_t directorySize;
    uint64_t directoryOffset;  // as stored
    // The length of a stub (a self-extractor's program) put in front of the
    // archive without its offsets being moved: the record was found right
    // before the locator instead of where the locator says, and the
    // directory lies this much later than stored. 0 for most archives.
    uint64_t stubLength;
};

// Where the central directory lies and how many entries it holds, as the
// reader takes it: the end record's values, or the ZIP64 end record's where
// -r reads one.
struct DirectoryExtent {
    uint64_t entryCount;
    uint64_t size;
    uint64_t offset;
};

// One entry of the central directory: the 46-byte header as stored, then the
// entry's texts in the pool. `nameLength` and `commentLength` hold the lengths
// of the texts in display form (Shift-JIS), not the stored lengths.
struct CentralRecord {
    uint32_t signature;
    uint8_t madeByVersion;
    uint8_t madeByHost;
    uint16_t neededVersion;
    uint16_t flags;
    uint16_t method;
    uint16_t modTime;
    uint16_t modDate;
    uint32_t crc32;
    uint32_t compressedSize;
    uint32_t uncompressedSize;
    uint16_t nameLength;
    uint16_t extraLength;
    uint16_t commentLength;
    uint16_t diskNumberStart;
    uint16_t internalAttributes;
    uint32_t externalAttributes;
    uint32_t localHeaderOffset;

    // Display form, zero-terminated; always set. The entry's other texts
    // follow it in the pool, each with a zero byte: the name as stored where
    // it lies apart (below), the extra field as stored, then the comment in
    // display form. ExtraOf and CommentOf find them there, so the record
    // holds one pointer, not three.
    char* name;
    // One byte each: the table holds one record per entry, and a listing
    // should take little more memory than the directory it shows.
    uint8_t nameConverted;     // the name was non-ASCII and went through detection
    uint8_t commentConverted;  // the same for the entry comment
    // The held Shift-JIS text is not a faithful reading of what is stored
    // (a character was replaced, a conversion stopped early, malformed input,
    // a text kept as read that is not Shift-JIS). A rewrite refuses such texts.
    uint8_t nameLossy;
    uint8_t commentLossy;
    // The name as stored in the file, before conversion, is kept only when
    // a rewrite was asked for (targetEncoding set before reading) and its
    // bytes differ from the held name: a rewrite compares stored names to
    // tell an entry that shares its name by design from two names that
    // conversion merges. It then lies in the pool right behind the held
    // name's zero byte (storedNameApart 1); otherwise the held name is the
    // stored one. StoredNameOf gives it either way.
    uint8_t storedNameApart;
    // With -r: a size or the local header offset is 0xFFFFFFFF in the header
    // and its true value stands in the entry's ZIP64 field (0x0001) in
    // `extra`, which the reader has checked; Zip64ValuesOf gives them.
    uint8_t hasZip64Values;
    uint16_t storedNameLength;  // the length of the name as stored in the file
};

// The name of `record` as stored in the file: storedNameLength bytes,
// zero-terminated. Meaningful after a read with a rewrite asked for.
inline const char* StoredNameOf(const CentralRecord* record) {
    return record->storedNameApart ? record->name + record->nameLength + 1 : record->name;
}

// Where the texts behind the name (or behind the stored name) begin.
inline const char* TextsAfterNameOf(const CentralRecord* record) {
    return record->storedNameApart ? StoredNameOf(record) + record->storedNameLength + 1
                                   : record->name + record->nameLength + 1;
}

// The extra field as stored, extraLength bytes; null when it is empty.
inline const char* ExtraOf(const CentralRecord* record) {
    return record->extraLength > 0 ? TextsAfterNameOf(record) : nullptr;
}

// The entry comment in display form, commentLength bytes, zero-terminated;
// null when it is empty.
inline const char* CommentOf(const CentralRecord* record) {
    if (record->commentLength == 0)
        return nullptr;
    const char* after = TextsAfterNameOf(record);
    return record->extraLength > 0 ? after + record->extraLength + 1 : after;
}

// Parsed view of one entry, used by the reports; EntryInfoOf (records.h)
// makes it from the entry's record when it is needed, so no table of them is
// held beside the records.
struct EntryInfo {
    uint8_t madeByVersion;
    uint8_t madeByHost;
    uint16_t neededVersion;
    uint16_t flags;
    uint16_t method;
    uint32_t crc32;
    uint32_t compressedSize;
    uint32_t uncompressedSize;
    uint16_t nameLength;
    uint16_t internalAttributes;
    uint32_t externalAttributes;
    uint16_t year;
    uint8_t month;
    uint8_t day;
    uint8_t hour;
    uint8_t minute;
    uint8_t second;
};

struct ArchiveContext {
    EndRecord endRecord;
    char commentBuffer[CommentBufferSize];
    int64_t endRecordOffset;
    // With -r, the ZIP64 end record where one is read (present 0 otherwise).
    Zip64EndRecord zip64End;
    // A ZIP64 end of central directory locator stands right before the end
    // record (checked without -r too): 0xFFFF and 0xFFFFFFFF in the end record
    // are ZIP64 markers only then.
    int zip64LocatorPresent;
    DirectoryExtent directory;
    // The bytes of the file right before the end record (as many as there
    // are, up to EndRecordLeadSize): a rewrite that changes the comment's
    // length checks with them that the new end record will still be found.
    uint8_t endRecordLead[EndRecordLeadSize];
    uint8_t endRecordLeadLength;
    char banner[BannerCapacity];

    // Switches.
    int showDetails;
    int makeBackup;
    int suppressReport;
    // -r: any version made by, any version needed up to 63, and everything
    // else the ZIP format allows: archives of any size, ZIP64 records, any
    // number of entries, names and comments of up to 65,535 bytes.
    int relaxedVersions;
    NameEncoding targetEncoding;
    std::string archivePath;
    std::string listPath;

    // Findings of the reader.
    int madeByVersion;  // low byte of version made by, last header examined
    int madeByHost;     // high byte of the same
    NameEncoding nameEncoding;
    int hasEncrypted;
    int textNonAscii;       // some text (archive comment included) was non-ASCII
    int entryTextNonAscii;  // some entry name or entry comment was non-ASCII
    int commentLossy;       // the archive comment's held form is not faithful
    // The archive as the reader found it; a rewrite stops if the file it is
    // about to replace is no longer this one.
    FileIdentity archiveIdentity;

    // Per-entry tables, allocated by the reader, freed by FreeArchiveTables.
    CentralRecord* records;
    CentralRecord** order;  // the records in the order of a rewrite; built by a rewrite only
    char* pool;             // storage of all entry texts
    size_t poolSize;
};

extern ArchiveContext context;

// Returns the context to its process-start state (tables freed, fields zero,
// the converters' work areas back at their default length).
void ResetArchiveContext();

// Frees the three tables in the order pool, order, records; each only if it
// was allocated. Safe to call more than once.
void FreeArchiveTables();
