// File services of the rewrite: opening and creating files, an exclusive
// lock, exact transfers, fast copies, flushing to disk, the identity of a
// file and the atomic replacement of one file by another. Every operation
// returns 0 on success, the system's error number (errno; GetLastError on
// Windows) on failure, ShortTransfer when a read, write or copy moved fewer
// bytes than asked for, or FileBusy when a lock is held elsewhere.
//
// A fault seam lets tests make the k-th operation of chosen kinds fail, and
// watch every operation as it starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file.h"

// An open file: a descriptor on POSIX, a HANDLE on Windows. -1 when closed.
struct FileHandle {
    intptr_t value = -1;
};

// Returned when a transfer ended early (end of file, a full disk that wrote
// part of a block). The system gave no error number for it.
constexpr int ShortTransfer = -1;

// Returned by LockExclusive when another process holds the lock.
constexpr int FileBusy = -2;

// Returned by LinkFile where the file system cannot give a file a second
// name: another volume, a file system without hard links, the file's link
// count at its limit, or links refused for lack of permission.
constexpr int NoLinkHere = -3;

// Kinds of operations, as bits, for the fault seam.
enum FileOperation : unsigned {
    FileOpOpen = 1u << 0,       // OpenForReading, OpenForUpdate
    FileOpCreate = 1u << 1,     // CreateFreshFile, LinkFile
    FileOpRead = 1u << 2,       // ReadExact, ReadUpTo
    FileOpWrite = 1u << 3,      // WriteAll
    FileOpFlush = 1u << 4,      // FlushToDisk
    FileOpCopy = 1u << 5,       // CopyBytes, CopyWholeFile
    FileOpSeek = 1u << 6,       // SeekTo
    FileOpTruncate = 1u << 7,   // SetEndOfFileHere
    FileOpReplace = 1u << 8,    // ReplaceFileAtomically
    FileOpRemove = 1u << 9,     // RemoveFile
    FileOpMetadata = 1u << 10,  // CopyPermissions, FileSize, ResolveFilePath,
                                // HandleIdentity, PathIdentity
    FileOpLock = 1u << 11,      // LockExclusive
    FileOpAll = (1u << 12) - 1,
};

// Which end of a copy failed.
enum CopySide : int {
    CopySource = 0,
    CopyDestination = 1,
};

// Opens an existing regular file for reading from its start, hinting
// sequential use, following symbolic links and never waiting: a folder is
// refused with EISDIR and anything else that is not a regular file (a FIFO,
// a socket, a device) with ESPIPE, before it is opened and again once open.
// (A Windows body checks the attributes and GetFileType and refuses with the
// same two numbers.) The file may be replaced by ReplaceFileAtomically while
// it is open (a Windows body shares reading and deletion, not writing).
int OpenForReading(const char* path, FileHandle* file);
// Opens an existing file for reading and writing.
int OpenForUpdate(const char* path, FileHandle* file);
// Creates a new, empty file for writing, readable and writable by its owner
// only. A file already at `path` is removed first; a symbolic link there is
// removed, never followed. (The rewrite creates its files only while it holds
// the archive's lock, so what it removes here is a leftover of a dead run.)
int CreateFreshFile(const char* path, FileHandle* file);
// Closes the file if it is open, which also releases its lock; the handle
// becomes closed.
void CloseFile(FileHandle* file);

// Takes an exclusive lock on the whole of the open file `file` without
// waiting: FileBusy when another process holds it (through any handle, path
// or link to the same file), else 0 or the system's error. The lock lasts
// until the handle is closed or the process ends, however it ends. It binds
// only processes that take it too: it must not keep other processes from
// reading the file (a Windows body can use LockFileEx on a range beyond any
// real end of file, such as the last byte of the 64-bit range), and reads of
// this process go through the same handle.
int LockExclusive(FileHandle file);

// Reads exactly `length` bytes at the current position.
int ReadExact(FileHandle file, void* buffer, size_t length);
// Reads up to `length` bytes at the current position: fewer only where the
// file ends. `got` receives the count, 0 at the end of the file.
int ReadUpTo(FileHandle file, void* buffer, size_t length, size_t* got);
// Writes all `length` bytes at the current position. A large write (64 KiB or
// more) starts going to disk at once, without waiting, as copies do: the disk
// then takes the file while the rest is still being written, and the flush at
// the end waits for little more than the last piece.
int WriteAll(FileHandle file, const void* bytes, size_t length);
// Moves the current position to `offset` from the start.
int SeekTo(FileHandle file, uint64_t offset);
// Makes the file end at the current position.
int SetEndOfFileHere(FileHandle file);
// Writes the file's data and metadata through to the disk. A file opened
// for reading only has nothing of its own to write and succeeds.
int FlushToDisk(FileHandle file);
// Stores the size of the open file in `size`.
int FileSize(FileHandle file, uint64_t* size);

// Copies `length` bytes from the current position of `from` to the current
// position of `to`, advancing both, in large blocks or inside the kernel. On
// failure `failedSide` tells which file the error belongs to.
int CopyBytes(FileHandle from, FileHandle to, uint64_t length, CopySide* failedSide);
// Makes `to` (empty, just created) a copy of the whole of `from`, sharing the
// blocks where the file system can (reflink). Both positions end at the end.
// Fails with ShortTransfer unless exactly the size of `from` was copied.
int CopyWholeFile(FileHandle from, FileHandle to);
// Gives `to` the permission bits (and, where allowed, the owner) of `from`.
int CopyPermissions(FileHandle from, FileHandle to);

// Gives the file at `existing` the second name `link` (a hard link: both
// names are one file, and a change made through either shows through both).
// Nothing may exist at `link`. Fails with NoLinkHere where the file system
// cannot do it, so that the caller can copy instead; with the system's error
// otherwise. A Windows body can use CreateHardLinkW.
int LinkFile(const char* existing, const char* link);

// Atomically puts the file at `replacement` in the place of `target` and
// makes the change durable; afterwards `replacement` no longer exists. On
// failure `target` is as it was.
int ReplaceFileAtomically(const char* replacement, const char* target);
// Removes the file at `path`; a file that is already gone counts as removed.
int RemoveFile(const char* path);
// Resolves symbolic links: `resolved` receives the path of the file itself.
int ResolveFilePath(const char* path, std::string* resolved);
// Stores the identity (see FileIdentity) of the open file.
int HandleIdentity(FileHandle file, FileIdentity* identity);
// Stores the identity of the file at `path`, symbolic links followed,
// without opening it for reading or writing (a Windows body opens it with no
// access rights and shares everything).
int PathIdentity(const char* path, FileIdentity* identity);

// Fault seam for tests. Counts the operations of the kinds in `operations`
// from now on; the k-th of them (from 1; 0 = none) fails with `error`. With
// ShortTransfer a read, write or copy moves part of its bytes and then
// reports a short transfer; other operations fail with EIO instead.
void ArmFileFault(unsigned operations, long k, int error);
// Stops counting and injecting.
void DisarmFileFault();
// Operations of the armed kinds seen since ArmFileFault.
long FileFaultCount();
// The kind of the operation that was made to fail; 0 while none was.
unsigned InjectedFaultKind();
// Calls `observer` with the kind of every operation above as it starts,
// before the fault seam counts it, armed or not; null stops it. Tests record
// the order of operations with it, or act on the files at a chosen moment.
void ObserveFileOperations(void (*observer)(FileOperation kind));
