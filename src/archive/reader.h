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
};

// Reads the archive at `path`. On success returns 0 and stores the entry count
// through `entryCount` (when not null); otherwise returns the code of the step
// that failed, and errorDetail receives errno where a system call failed.
int ReadArchiveDirectory(const char* path, int* entryCount, int* errorDetail);

// What the end record search finds in an archive.
struct FoundEndRecord {
    int64_t offset;  // of the end record in the file
    EndRecord record;
    uint8_t lead[EndRecordLeadSize];  // the bytes before it, up to EndRecordLeadSize
    uint8_t leadLength;
};

// The reader's end record search on the open archive `file` of `size` bytes
// (more than 22): 0 and the record found, 8 when there is none, 10 or 11
// when positioning or reading failed (errorDetail = errno).
int FindEndRecordOf(std::FILE* file, int64_t size, FoundEndRecord* found, int* errorDetail);

// The reader's check of a central header's two versions, with the run's
// switches (-r): 0, or the code it is refused with (92, 93).
int VersionRefusal(const CentralRecord& header);
