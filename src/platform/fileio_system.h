// What each platform's body of the file services provides: the operations
// themselves, without the fault seam. The public functions of fileio.h (in
// fileio.cpp) pass every call through the seam first and then come here, so
// the seam behaves the same on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/fileio.h"

// The operations of fileio.h of the same names, with the same contracts.
int SystemOpenForReading(const char* path, FileHandle* file);
int SystemOpenForUpdate(const char* path, FileHandle* file);
int SystemCreateFreshFile(const char* path, FileHandle* file);
int SystemLockExclusive(FileHandle file);
int SystemReadUpTo(FileHandle file, void* buffer, size_t length, size_t* got);
int SystemSeekTo(FileHandle file, uint64_t offset);
int SystemSetEndOfFileHere(FileHandle file);
int SystemFlushToDisk(FileHandle file);
int SystemCopyPermissions(FileHandle from, FileHandle to);
int SystemReplaceFileAtomically(const char* replacement, const char* target);
int SystemRemoveFile(const char* path);
int SystemResolveFilePath(const char* path, std::string* resolved);
int SystemHandleIdentity(FileHandle file, FileIdentity* identity);
int SystemPathIdentity(const char* path, FileIdentity* identity);

// Reads exactly `length` bytes; ShortTransfer where the file ends first.
int SystemReadExact(FileHandle file, void* buffer, size_t length);
// Writes all `length` bytes; a write of WriteBackLeast bytes or more starts
// going to disk at once where the system can be asked to. The rewrite's
// buffered writes fall a few bytes short of their 256 KiB buffer, and every
// one of them should start going to disk.
constexpr size_t WriteBackLeast = size_t{64} << 10;
int SystemWriteAll(FileHandle file, const void* bytes, size_t length);
// The size of the open file.
int SystemFileSize(FileHandle file, uint64_t* size);
// Copies `length` bytes from the current position of `from` to that of
// `to`; `failedSide` tells which file an error belongs to.
int SystemCopyBytes(FileHandle from, FileHandle to, uint64_t length, CopySide* failedSide);
// Copies the first `size` bytes of `from` to the start of `to`, sharing the
// blocks where the file system can; both positions end after them.
int SystemCopyFromStart(FileHandle from, FileHandle to, uint64_t size);
// Gives the file at `existing` the second name `link`: NoLinkHere where the
// file system cannot, else 0 or the system's error.
int SystemLinkFile(const char* existing, const char* link);
