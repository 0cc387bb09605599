// The central directory reader: finds the end record, decodes the archive
// comment, loads the central directory with one read and fills the tables of
// the archive context, converting every non-ASCII text to Shift-JIS.
#pragma once

#include <cstdint>
#include <cstdio>

#include "archive/context.h"

// Result codes of the reader beyond the published ones (4, 6-8, 10-12,
// 14-20, 81-83, 91-93). Each refuses an archive that the tables could not
// hold faithfully.
enum ReaderResult : int {
    MoreHeadersThanEntries = 84,   // the directory holds more central headers than diskEntries
    FewerHeadersThanEntries = 85,  // the directory holds fewer central headers than diskEntries
    ArchiveCommentTooLong = 86,    // the archive comment exceeds the text buffer
    ArchiveCommentCut = 87,        // the archive comment runs past the end of the file
    EntryCommentTooLong = 88,      // an entry comment exceeds the text buffer
    ConvertedNameTooLong = 89,     // a converted name does not fit the name field
    // With -r only: the ZIP64 end of central directory and the ZIP64 fields.
    Zip64EndMissing = 94,            // no ZIP64 end record signature where the locator points
    Zip64EndTooShort = 95,           // the ZIP64 end record's size field is below 44
    Zip64EndOutOfPlace = 96,         // the ZIP64 end record or the directory it names lies outside
                                     // the file, or the directory runs past the record's start
    Zip64EndDisagrees = 97,          // an end record field that is no marker differs from the
                                     // ZIP64 end record's
    Zip64EntryCountImpossible = 98,  // the ZIP64 entry counts differ, or exceed directory size / 46
    Zip64FieldTooShort = 99,         // an entry's 0x0001 field is missing or too short for the
                                     // values its header marks with 0xFFFFFFFF / 0xFFFF
    WrappedOffsets = 100,            // an archive over 4 GiB without ZIP64 records whose offsets
                                     // were wrapped modulo 2^32: sizes and offsets cannot be known
};

// What the end record search finds in an archive, in a plain record, so that
// a file the tool has written can be checked the same way.
struct FoundEndRecord {
    int64_t offset;                   // of the end record in the file
    EndRecord record;                 // the 22 bytes as stored; commentText is null
    uint8_t lead[EndRecordLeadSize];  // the bytes before it, up to EndRecordLeadSize
    uint8_t leadLength;
    // A ZIP64 end of central directory locator stands right before the
    // record: its 20 bytes are the last 20 of `lead`.
    int zip64LocatorPresent;
};

// The reader's end record search on the open archive `file` of `size` bytes
// (more than 22): 0 and the record found, 8 when there is none, 10 or 11
// when positioning or reading failed (errorDetail = errno).
int FindEndRecordOf(std::FILE* file, int64_t size, FoundEndRecord* found, int* errorDetail);

// Reads the ZIP64 end record that the locator before `end` points at, and
// checks it as careful readers do: one disk (91), its signature (94), a size
// of at least 44 (95), the record and the directory inside the file, the
// directory ending at or before the record (96), every end record field that
// is no marker equal to its 64-bit counterpart (97), equal entry counts of at
// most directory size / 46 (98). Returns 0 or that code, 10 / 11 when the
// file could not be read.
int ReadZip64EndRecord(std::FILE* file, const FoundEndRecord& end, Zip64EndRecord* zip64,
                       int* errorDetail);

// Reads the archive at `path`. With -r (context.relaxedVersions) it first
// lets the converters take long texts (AllowLongTexts). On success returns 0
// and stores the entry count through `entryCount` (when not null); otherwise
// returns the code of the step that failed, and errorDetail receives errno
// where a system call failed.
int ReadArchiveDirectory(const char* path, int* entryCount, int* errorDetail);

// The reader's check of the directory's place with the run's switches: true
// when its offset is at least 1 and its size at least 46, both taken as
// signed 32-bit values without -r, as the unsigned values they are with it.
bool DirectoryFieldsAccepted(uint64_t offset, uint64_t size);

// The reader's check of a central header's two versions, with the run's
// switches (-r): 0, or the code it is refused with (92, 93).
int VersionRefusal(const CentralRecord& header);
