// File services used by the reader and the run sequence: existence, opening
// the archive for reading, and the size and identity of an open file.
// Reading itself goes through the C runtime's streams.
#pragma once

#include <cstdint>
#include <cstdio>

// What identifies a file and the state of its contents: the file itself
// (device and inode number on POSIX; volume serial number and file ID on
// Windows), its size, and its last modification time in the platform's own
// units (nanoseconds on POSIX, 100-nanosecond ticks on Windows). A file that
// was replaced, rewritten or appended to no longer has the identity it had,
// as far as the resolution of the modification time can tell.
struct FileIdentity {
    uint64_t volume;
    uint64_t fileId;
    uint64_t fileIdHigh;  // the upper half of a 128-bit file ID; 0 where IDs are 64-bit
    uint64_t size;
    int64_t modified;
};

inline bool SameFileIdentity(const FileIdentity& a, const FileIdentity& b) {
    return a.volume == b.volume && a.fileId == b.fileId && a.fileIdHigh == b.fileIdHigh &&
           a.size == b.size && a.modified == b.modified;
}

// True when the file system has an entry at `path` (file or folder).
bool PathExists(const char* path);

// Opens `path` for binary reading, following symbolic links, only when it
// names a regular file, and never waits: the type is checked before the file
// is opened and again on the open file, and the open itself cannot block (on
// a FIFO without a writer, for instance). Null on failure with errno set:
// EISDIR for a folder, ESPIPE for anything else that is not a regular file
// (a FIFO, a socket, a character or block device), else the system's error.
std::FILE* OpenForReading(const char* path);

// Stores the size of the open file in `size`; false on failure, errno set.
bool OpenFileSize(std::FILE* file, int64_t* size);

// Stores the identity of the open file; false on failure, errno set.
bool OpenFileIdentity(std::FILE* file, FileIdentity* identity);
