// The file services of fileio.h: every operation passes the fault seam, then
// goes to this platform's body (fileio_system.h). A part transfer that the
// seam asks for moves half of the bytes through the body and then reports a
// short transfer, so a test sees a file that really stopped growing.
#include "platform/fileio.h"

#include <cerrno>

#include "platform/fileio_fault.h"
#include "platform/fileio_system.h"

namespace {

// True when the seam lets the operation of kind `op` through; otherwise
// `result` holds what the operation returns.
bool Passes(FileOperation op, int* result) {
    *result = 0;
    return CheckFault(op, result) == NoFault;
}

// Runs a transfer through the seam: `whole()` carries it out; a part
// transfer that the seam asks for runs `part()`, which moves half of the
// bytes, and reports a short transfer.
template <typename Whole, typename Part>
int Transfer(FileOperation op, Whole whole, Part part) {
    int error = 0;
    FaultOutcome fault = CheckFault(op, &error);
    if (fault == FailNow)
        return error;
    if (fault == TransferPart) {
        part();
        return ShortTransfer;
    }
    return whole();
}

// Error numbers that mean a file cannot have a second name here: the seam
// injects them as the POSIX system would report them, on every platform.
int SeamLinkError(int error) {
    bool impossible = error == EXDEV || error == EPERM || error == EMLINK || error == ENOTSUP ||
                      error == EOPNOTSUPP || error == ENOSYS;
    return impossible ? NoLinkHere : error;
}

}  // namespace

int OpenForReading(const char* path, FileHandle* file) {
    int r = 0;
    return Passes(FileOpOpen, &r) ? SystemOpenForReading(path, file) : r;
}

int OpenForUpdate(const char* path, FileHandle* file) {
    int r = 0;
    return Passes(FileOpOpen, &r) ? SystemOpenForUpdate(path, file) : r;
}

int CreateFreshFile(const char* path, FileHandle* file) {
    int r = 0;
    return Passes(FileOpCreate, &r) ? SystemCreateFreshFile(path, file) : r;
}

int LockExclusive(FileHandle file) {
    int r = 0;
    return Passes(FileOpLock, &r) ? SystemLockExclusive(file) : r;
}

int ReadExact(FileHandle file, void* buffer, size_t length) {
    return Transfer(
        FileOpRead, [&] { return SystemReadExact(file, buffer, length); },
        [&] { SystemReadExact(file, buffer, length / 2); });
}

int ReadUpTo(FileHandle file, void* buffer, size_t length, size_t* got) {
    *got = 0;
    return Transfer(
        FileOpRead, [&] { return SystemReadUpTo(file, buffer, length, got); },
        [&] { SystemReadExact(file, buffer, length / 2); });
}

int WriteAll(FileHandle file, const void* bytes, size_t length) {
    return Transfer(
        FileOpWrite, [&] { return SystemWriteAll(file, bytes, length); },
        [&] { SystemWriteAll(file, bytes, length / 2); });
}

int SeekTo(FileHandle file, uint64_t offset) {
    int r = 0;
    return Passes(FileOpSeek, &r) ? SystemSeekTo(file, offset) : r;
}

int SetEndOfFileHere(FileHandle file) {
    int r = 0;
    return Passes(FileOpTruncate, &r) ? SystemSetEndOfFileHere(file) : r;
}

int FlushToDisk(FileHandle file) {
    int r = 0;
    return Passes(FileOpFlush, &r) ? SystemFlushToDisk(file) : r;
}

int FileSize(FileHandle file, uint64_t* size) {
    int r = 0;
    return Passes(FileOpMetadata, &r) ? SystemFileSize(file, size) : r;
}

int CopyBytes(FileHandle from, FileHandle to, uint64_t length, CopySide* failedSide) {
    *failedSide = CopySource;
    return Transfer(
        FileOpCopy, [&] { return SystemCopyBytes(from, to, length, failedSide); },
        [&] {
            SystemCopyBytes(from, to, length / 2, failedSide);
            *failedSide = CopyDestination;
        });
}

int CopyWholeFile(FileHandle from, FileHandle to) {
    int error = 0;
    FaultOutcome fault = CheckFault(FileOpCopy, &error);
    if (fault == FailNow)
        return error;
    uint64_t size = 0;
    int r = SystemFileSize(from, &size);
    if (r != 0)
        return r;
    if (fault == TransferPart) {
        CopySide side = CopySource;
        SystemCopyBytes(from, to, size / 2, &side);
        return ShortTransfer;
    }
    if ((r = SystemCopyFromStart(from, to, size)) != 0)
        return r;
    // The copy is whole only if both files now have the size `from` had.
    uint64_t sourceAfter = 0;
    uint64_t copied = 0;
    if ((r = SystemFileSize(from, &sourceAfter)) != 0)
        return r;
    if ((r = SystemFileSize(to, &copied)) != 0)
        return r;
    if (sourceAfter != size || copied != size)
        return ShortTransfer;
    return 0;
}

int CopyPermissions(FileHandle from, FileHandle to) {
    int r = 0;
    return Passes(FileOpMetadata, &r) ? SystemCopyPermissions(from, to) : r;
}

int LinkFile(const char* existing, const char* link) {
    int r = 0;
    return Passes(FileOpCreate, &r) ? SystemLinkFile(existing, link) : SeamLinkError(r);
}

int ReplaceFileAtomically(const char* replacement, const char* target) {
    int r = 0;
    return Passes(FileOpReplace, &r) ? SystemReplaceFileAtomically(replacement, target) : r;
}

int RemoveFile(const char* path) {
    int r = 0;
    return Passes(FileOpRemove, &r) ? SystemRemoveFile(path) : r;
}

int ResolveFilePath(const char* path, std::string* resolved) {
    int r = 0;
    return Passes(FileOpMetadata, &r) ? SystemResolveFilePath(path, resolved) : r;
}

int HandleIdentity(FileHandle file, FileIdentity* identity) {
    int r = 0;
    return Passes(FileOpMetadata, &r) ? SystemHandleIdentity(file, identity) : r;
}

int PathIdentity(const char* path, FileIdentity* identity) {
    int r = 0;
    return Passes(FileOpMetadata, &r) ? SystemPathIdentity(path, identity) : r;
}
