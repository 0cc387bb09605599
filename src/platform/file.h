// File services used by the reader and the run sequence: existence, and the
// size of an open file. Reading itself goes through the C runtime's streams.
#pragma once

#include <cstdint>
#include <cstdio>

// True when the file system has an entry at `path` (file or folder).
bool PathExists(const char* path);

// Opens `path` for binary reading; null on failure with errno set.
std::FILE* OpenForReading(const char* path);

// Stores the size of the open file in `size`; false on failure, errno set.
bool OpenFileSize(std::FILE* file, int64_t* size);
