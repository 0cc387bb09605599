// The rewrite's file services on Win32 handles. Errors are GetLastError()
// values. Paths are UTF-8 and reach the system as UTF-16 (SystemPath).
#include <windows.h>

#include <climits>
#include <cstdint>
#include <string>

#include "platform/fileio.h"
#include "platform/fileio_fault.h"
#include "platform/wide_text.h"

namespace {

constexpr size_t CopyBufferSize = size_t{1} << 20;
// ReadFile and WriteFile take a 32-bit count: larger transfers go in pieces.
constexpr size_t LargestTransfer = size_t{1} << 30;

// Attributes a replacement takes over from the archive. Read-only is left
// out: it would keep the rewrite from removing its own temporary file after
// a failure, and from replacing a backup it made earlier.
constexpr DWORD CopiedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

HANDLE Handle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file.value);
}

int LastError() {
    return static_cast<int>(GetLastError());
}

int OpenHandle(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
               FileHandle* file) {
    HANDLE handle = CreateFileW(SystemPath(path).c_str(), access, share, nullptr, disposition,
                                flags | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return LastError();
    file->value = reinterpret_cast<intptr_t>(handle);
    return 0;
}

// Repeats ReadFile until `length` bytes are in. Returns 0, the error, or
// ShortTransfer when the file gave nothing more.
int ReadSome(HANDLE handle, uint8_t* buffer, size_t length) {
    size_t done = 0;
    while (done < length) {
        size_t piece = length - done < LargestTransfer ? length - done : LargestTransfer;
        DWORD n = 0;
        if (!ReadFile(handle, buffer + done, static_cast<DWORD>(piece), &n, nullptr))
            return LastError();
        if (n == 0)
            return ShortTransfer;
        done += n;
    }
    return 0;
}

// Repeats WriteFile until all `length` bytes are out; ShortTransfer when the
// file took nothing more.
int WriteSome(HANDLE handle, const uint8_t* bytes, size_t length) {
    size_t done = 0;
    while (done < length) {
        size_t piece = length - done < LargestTransfer ? length - done : LargestTransfer;
        DWORD n = 0;
        if (!WriteFile(handle, bytes + done, static_cast<DWORD>(piece), &n, nullptr))
            return LastError();
        if (n == 0)
            return ShortTransfer;
        done += n;
    }
    return 0;
}

int CopyRange(HANDLE from, HANDLE to, uint64_t length, CopySide* failedSide) {
    static uint8_t buffer[CopyBufferSize];
    while (length > 0) {
        DWORD chunk = static_cast<DWORD>(length < CopyBufferSize ? length : CopyBufferSize);
        DWORD n = 0;
        if (!ReadFile(from, buffer, chunk, &n, nullptr)) {
            *failedSide = CopySource;
            return LastError();
        }
        if (n == 0) {
            *failedSide = CopySource;
            return ShortTransfer;
        }
        int r = WriteSome(to, buffer, n);
        if (r != 0) {
            *failedSide = CopyDestination;
            return r;
        }
        length -= n;
    }
    return 0;
}

int SizeOfHandle(HANDLE handle, uint64_t* size) {
    LARGE_INTEGER value;
    if (!GetFileSizeEx(handle, &value))
        return LastError();
    *size = static_cast<uint64_t>(value.QuadPart);
    return 0;
}

int MoveTo(HANDLE handle, int64_t offset, DWORD method) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(handle, distance, nullptr, method))
        return LastError();
    return 0;
}

}  // namespace

int OpenForReading(const char* path, FileHandle* file) {
    int error = 0;
    if (CheckFault(FileOpOpen, &error) != NoFault)
        return error;
    // Delete sharing lets the finished temporary file take the archive's
    // place while this handle is still open.
    return OpenHandle(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING,
                      FILE_FLAG_SEQUENTIAL_SCAN, file);
}

int OpenForUpdate(const char* path, FileHandle* file) {
    int error = 0;
    if (CheckFault(FileOpOpen, &error) != NoFault)
        return error;
    return OpenHandle(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0, file);
}

int CreateFreshFile(const char* path, FileHandle* file) {
    int error = 0;
    if (CheckFault(FileOpCreate, &error) != NoFault)
        return error;
    // A symbolic link is removed itself, never its target.
    std::wstring wide = SystemPath(path);
    if (!DeleteFileW(wide.c_str())) {
        DWORD reason = GetLastError();
        if (reason != ERROR_FILE_NOT_FOUND && reason != ERROR_PATH_NOT_FOUND)
            return static_cast<int>(reason);
    }
    return OpenHandle(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW, 0, file);
}

void CloseFile(FileHandle* file) {
    if (file->value != -1)
        CloseHandle(Handle(*file));
    file->value = -1;
}

int ReadExact(FileHandle file, void* buffer, size_t length) {
    int error = 0;
    FaultOutcome fault = CheckFault(FileOpRead, &error);
    if (fault == FailNow)
        return error;
    if (fault == TransferPart) {
        ReadSome(Handle(file), static_cast<uint8_t*>(buffer), length / 2);
        return ShortTransfer;
    }
    return ReadSome(Handle(file), static_cast<uint8_t*>(buffer), length);
}

int WriteAll(FileHandle file, const void* bytes, size_t length) {
    int error = 0;
    FaultOutcome fault = CheckFault(FileOpWrite, &error);
    if (fault == FailNow)
        return error;
    if (fault == TransferPart) {
        WriteSome(Handle(file), static_cast<const uint8_t*>(bytes), length / 2);
        return ShortTransfer;
    }
    return WriteSome(Handle(file), static_cast<const uint8_t*>(bytes), length);
}

int SeekTo(FileHandle file, uint64_t offset) {
    int error = 0;
    if (CheckFault(FileOpSeek, &error) != NoFault)
        return error;
    if (offset > static_cast<uint64_t>(LLONG_MAX))
        return ERROR_NEGATIVE_SEEK;
    return MoveTo(Handle(file), static_cast<int64_t>(offset), FILE_BEGIN);
}

int SetEndOfFileHere(FileHandle file) {
    int error = 0;
    if (CheckFault(FileOpTruncate, &error) != NoFault)
        return error;
    if (!SetEndOfFile(Handle(file)))
        return LastError();
    return 0;
}

int FlushToDisk(FileHandle file) {
    int error = 0;
    if (CheckFault(FileOpFlush, &error) != NoFault)
        return error;
    // Windows refuses to flush a handle without write access: such a handle
    // wrote nothing that could wait for the disk.
    if (!FlushFileBuffers(Handle(file)) && GetLastError() != ERROR_ACCESS_DENIED)
        return LastError();
    return 0;
}

int FileSize(FileHandle file, uint64_t* size) {
    int error = 0;
    if (CheckFault(FileOpMetadata, &error) != NoFault)
        return error;
    return SizeOfHandle(Handle(file), size);
}

int CopyBytes(FileHandle from, FileHandle to, uint64_t length, CopySide* failedSide) {
    int error = 0;
    FaultOutcome fault = CheckFault(FileOpCopy, &error);
    *failedSide = CopySource;
    if (fault == FailNow)
        return error;
    if (fault == TransferPart) {
        CopyRange(Handle(from), Handle(to), length / 2, failedSide);
        *failedSide = CopyDestination;
        return ShortTransfer;
    }
    return CopyRange(Handle(from), Handle(to), length, failedSide);
}

int CopyWholeFile(FileHandle from, FileHandle to) {
    int error = 0;
    FaultOutcome fault = CheckFault(FileOpCopy, &error);
    if (fault == FailNow)
        return error;
    uint64_t size = 0;
    int r = SizeOfHandle(Handle(from), &size);
    if (r != 0)
        return r;
    CopySide side = CopySource;
    if (fault == TransferPart) {
        CopyRange(Handle(from), Handle(to), size / 2, &side);
        return ShortTransfer;
    }
    if ((r = MoveTo(Handle(from), 0, FILE_BEGIN)) != 0 || (r = MoveTo(Handle(to), 0, FILE_BEGIN)))
        return r;
    if ((r = CopyRange(Handle(from), Handle(to), size, &side)) != 0)
        return r;
    // The copy is whole only if both files now have the size `from` had.
    uint64_t sourceAfter = 0;
    uint64_t copied = 0;
    if ((r = SizeOfHandle(Handle(from), &sourceAfter)) != 0)
        return r;
    if ((r = SizeOfHandle(Handle(to), &copied)) != 0)
        return r;
    if (sourceAfter != size || copied != size)
        return ShortTransfer;
    return 0;
}

int CopyPermissions(FileHandle from, FileHandle to) {
    int error = 0;
    if (CheckFault(FileOpMetadata, &error) != NoFault)
        return error;
    FILE_BASIC_INFO source;
    if (!GetFileInformationByHandleEx(Handle(from), FileBasicInfo, &source, sizeof source))
        return LastError();
    // Zero times leave the copy's own times as they are.
    FILE_BASIC_INFO copy = {};
    copy.FileAttributes = source.FileAttributes & CopiedAttributes;
    if (copy.FileAttributes == 0)
        copy.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(Handle(to), FileBasicInfo, &copy, sizeof copy))
        return LastError();
    return 0;
}

int ReplaceFileAtomically(const char* replacement, const char* target) {
    int error = 0;
    if (CheckFault(FileOpReplace, &error) != NoFault)
        return error;
    // A read-only target stays: Windows refuses to replace it, and so does
    // this body where the file system would let the rename through (Wine).
    std::wstring targetPath = SystemPath(target);
    DWORD attributes = GetFileAttributesW(targetPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return ERROR_ACCESS_DENIED;
    // One rename: the target is the old file or the new one, never a mix.
    // Write-through returns only once the rename is on disk.
    if (!MoveFileExW(SystemPath(replacement).c_str(), targetPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return LastError();
    return 0;
}

int RemoveFile(const char* path) {
    int error = 0;
    if (CheckFault(FileOpRemove, &error) != NoFault)
        return error;
    if (!DeleteFileW(SystemPath(path).c_str())) {
        DWORD reason = GetLastError();
        if (reason != ERROR_FILE_NOT_FOUND && reason != ERROR_PATH_NOT_FOUND)
            return static_cast<int>(reason);
    }
    return 0;
}

int ResolveFilePath(const char* path, std::string* resolved) {
    int error = 0;
    if (CheckFault(FileOpMetadata, &error) != NoFault)
        return error;
    HANDLE handle = CreateFileW(SystemPath(path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return LastError();
    std::wstring final(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()),
                                             FILE_NAME_NORMALIZED);
    if (length >= final.size()) {
        final.resize(length + 1);
        length = GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()),
                                           FILE_NAME_NORMALIZED);
    }
    int r = 0;
    if (length == 0)
        r = LastError();
    else if (length >= final.size())
        r = ERROR_INSUFFICIENT_BUFFER;
    CloseHandle(handle);
    if (r != 0)
        return r;
    final.resize(length);
    resolved->assign(Utf8FromWide(final));
    return 0;
}
