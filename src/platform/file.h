// File services used by the reader, the report and the run sequence:
// existence, opening files as C streams, the size, identity and 64-bit
// positions of an open file, and how a path is shown. Paths are the bytes
// given on the command line: as they are on POSIX, UTF-8 on Windows
// (converted to UTF-16 for the system here, so that any name opens, and
// given the long form where they exceed MAX_PATH).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

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
// Another process may rename a file over it or remove it while it is open
// (a Windows body shares deletion); this stream goes on reading the old file.
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

// Stores the identity of the open file; false on failure, errno set.
bool OpenFileIdentity(std::FILE* file, FileIdentity* identity);
