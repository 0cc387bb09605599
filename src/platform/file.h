// File services used by the reader, the report and the run sequence:
// existence, opening files as C streams, 64-bit positions, and how a path is
// shown. Paths are the bytes given on the command line: as they are on POSIX,
// UTF-8 on Windows (converted to UTF-16 for the system here, so that any
// name opens, and given the long form where they exceed MAX_PATH).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// True when the file system has an entry at `path` (file or folder).
bool PathExists(const char* path);

// Opens `path` for binary reading; null on failure with errno set.
std::FILE* OpenForReading(const char* path);

// Creates or truncates `path` for binary writing; null on failure with errno
// set.
std::FILE* OpenForWriting(const char* path);

// Stores the size of the open file in `size`; false on failure, errno set.
bool OpenFileSize(std::FILE* file, int64_t* size);

// Moves the position of the open file to `offset` from its start, offsets of
// 2 GiB and more included; false on failure, errno set.
bool SeekFile(std::FILE* file, int64_t offset);

// True when both paths name the same existing file (through links or other
// spellings); false when they do not or either cannot be examined.
bool SameFile(const char* first, const char* second);

// The path as the tool's Shift-JIS messages show it: unchanged on POSIX, in
// code page 932 on Windows, where characters it lacks become "?".
std::string PathForDisplay(const char* path);
