// The central directory reader: finds the end record, decodes the archive
// comment, loads the central directory with one read and fills the tables of
// the archive context, converting every non-ASCII text to Shift-JIS.
#pragma once

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
