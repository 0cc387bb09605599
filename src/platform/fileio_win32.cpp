// The rewrite's file services on Win32 handles. Errors are GetLastError()
// values. Paths are UTF-8 and reach the system as UTF-16 (SystemPath).
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_win32.h"
#include "platform/fileio.h"
#include "platform/fileio_system.h"
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

// The lock is taken on the last byte but one of the 63-bit range, far beyond
// any real end of file, so that it keeps other runs out without keeping any
// program from reading the archive.
constexpr DWORD LockOffsetLow = 0xFFFFFFFE;
constexpr DWORD LockOffsetHigh = 0x7FFFFFFF;

// The information class of renames with flags (FileRenameInfoEx), which
// older headers lack.
constexpr auto RenameWithFlags = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

#ifndef FILE_RENAME_FLAG_REPLACE_IF_EXISTS
#define FILE_RENAME_FLAG_REPLACE_IF_EXISTS 0x00000001
#endif
#ifndef FILE_RENAME_FLAG_POSIX_SEMANTICS
#define FILE_RENAME_FLAG_POSIX_SEMANTICS 0x00000002
#endif

// Renames `replacement` over `target` with POSIX semantics, which replace a
// target that is still open (with delete sharing), as the archive is during
// a rewrite. Windows 10 1709 and later on NTFS; elsewhere the system refuses
// with ERROR_INVALID_PARAMETER or ERROR_NOT_SUPPORTED, and nothing changes.
DWORD RenameOverOpenFile(const char* replacement, const char* target) {
    HANDLE source = CreateFileW(SystemPath(replacement).c_str(), DELETE | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (source == INVALID_HANDLE_VALUE)
        return GetLastError();
    std::wstring name = NativePath(target);
    size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    FILE_RENAME_INFO* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, name.data(), nameBytes);
    DWORD result =
        SetFileInformationByHandle(source, RenameWithFlags, info, static_cast<DWORD>(buffer.size()))
            ? ERROR_SUCCESS
            : GetLastError();
    if (result == ERROR_SUCCESS)
        FlushFileBuffers(source);
    CloseHandle(source);
    return result;
}

// Where the file system has no POSIX renames (older Windows, FAT, Wine): the
// open target, which shares deletion, is renamed aside, the replacement
// takes its name, and the old file is deleted; it goes once its last handle
// closes. Should the second rename fail, the target gets its name back.
DWORD ReplaceInTwoSteps(const char* replacement, const char* target) {
    std::wstring targetPath = SystemPath(target);
    std::wstring aside = targetPath + L".replaced-" + std::to_wstring(GetCurrentProcessId());
    if (!MoveFileExW(targetPath.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH))
        return GetLastError();
    if (!MoveFileExW(SystemPath(replacement).c_str(), targetPath.c_str(), MOVEFILE_WRITE_THROUGH)) {
        DWORD reason = GetLastError();
        MoveFileExW(aside.c_str(), targetPath.c_str(), MOVEFILE_WRITE_THROUGH);
        return reason;
    }
    DeleteFileW(aside.c_str());
    return ERROR_SUCCESS;
}

// Errors of CreateHardLinkW that mean the file cannot have a second name
// here: another volume, a file system without links (FAT), the file's link
// count at its limit, or links refused.
int SystemLinkError(DWORD error) {
    bool impossible = error == ERROR_NOT_SAME_DEVICE || error == ERROR_INVALID_FUNCTION ||
                      error == ERROR_NOT_SUPPORTED || error == ERROR_TOO_MANY_LINKS ||
                      error == ERROR_ACCESS_DENIED || error == ERROR_PRIVILEGE_NOT_HELD;
    return impossible ? NoLinkHere : static_cast<int>(error);
}

int MoveTo(HANDLE handle, int64_t offset, DWORD method) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(handle, distance, nullptr, method))
        return LastError();
    return 0;
}

}  // namespace

int SystemOpenForReading(const char* path, FileHandle* file) {
    // Only regular files: a folder is refused before it is opened, a device
    // or pipe once its handle tells what it is.
    DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && NotRegularError(attributes) != 0)
        return NotRegularError(attributes);
    // Delete sharing lets the finished temporary file take the archive's
    // place while this handle is still open; no other program may write.
    int r = OpenHandle(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, file);
    if (r == 0 && !IsDiskFile(Handle(*file))) {
        CloseFile(file);
        return ESPIPE;
    }
    return r;
}

int SystemOpenForUpdate(const char* path, FileHandle* file) {
    return OpenHandle(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0, file);
}

int SystemCreateFreshFile(const char* path, FileHandle* file) {
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

int SystemLockExclusive(FileHandle file) {
    OVERLAPPED range = {};
    range.Offset = LockOffsetLow;
    range.OffsetHigh = LockOffsetHigh;
    if (LockFileEx(Handle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &range))
        return 0;
    DWORD reason = GetLastError();
    return reason == ERROR_LOCK_VIOLATION ? FileBusy : static_cast<int>(reason);
}

int SystemReadExact(FileHandle file, void* buffer, size_t length) {
    return ReadSome(Handle(file), static_cast<uint8_t*>(buffer), length);
}

int SystemReadUpTo(FileHandle file, void* buffer, size_t length, size_t* got) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    while (*got < length) {
        size_t piece = length - *got < LargestTransfer ? length - *got : LargestTransfer;
        DWORD n = 0;
        if (!ReadFile(Handle(file), out + *got, static_cast<DWORD>(piece), &n, nullptr))
            return LastError();
        if (n == 0)
            break;
        *got += n;
    }
    return 0;
}

int SystemWriteAll(FileHandle file, const void* bytes, size_t length) {
    return WriteSome(Handle(file), static_cast<const uint8_t*>(bytes), length);
}

int SystemSeekTo(FileHandle file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(LLONG_MAX))
        return ERROR_NEGATIVE_SEEK;
    return MoveTo(Handle(file), static_cast<int64_t>(offset), FILE_BEGIN);
}

int SystemSetEndOfFileHere(FileHandle file) {
    if (!SetEndOfFile(Handle(file)))
        return LastError();
    return 0;
}

int SystemFlushToDisk(FileHandle file) {
    // Windows refuses to flush a handle without write access: such a handle
    // wrote nothing that could wait for the disk.
    if (!FlushFileBuffers(Handle(file)) && GetLastError() != ERROR_ACCESS_DENIED)
        return LastError();
    return 0;
}

int SystemFileSize(FileHandle file, uint64_t* size) {
    return SizeOfHandle(Handle(file), size);
}

int SystemCopyBytes(FileHandle from, FileHandle to, uint64_t length, CopySide* failedSide) {
    return CopyRange(Handle(from), Handle(to), length, failedSide);
}

int SystemCopyFromStart(FileHandle from, FileHandle to, uint64_t size) {
    int r = MoveTo(Handle(from), 0, FILE_BEGIN);
    if (r == 0)
        r = MoveTo(Handle(to), 0, FILE_BEGIN);
    if (r != 0)
        return r;
    CopySide side = CopySource;
    return CopyRange(Handle(from), Handle(to), size, &side);
}

int SystemCopyPermissions(FileHandle from, FileHandle to) {
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

int SystemLinkFile(const char* existing, const char* link) {
    if (!CreateHardLinkW(SystemPath(link).c_str(), SystemPath(existing).c_str(), nullptr))
        return SystemLinkError(GetLastError());
    return 0;
}

int SystemReplaceFileAtomically(const char* replacement, const char* target) {
    // A read-only target stays: Windows refuses to replace it, and so does
    // this body where the file system would let the rename through (Wine).
    std::wstring targetPath = SystemPath(target);
    DWORD attributes = GetFileAttributesW(targetPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return ERROR_ACCESS_DENIED;
    // One rename: the target is the old file or the new one, never a mix.
    // Write-through returns only once the rename is on disk.
    if (MoveFileExW(SystemPath(replacement).c_str(), targetPath.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    DWORD reason = GetLastError();
    // Only a file can be open for the rewrite; a folder is never moved aside.
    bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if ((reason != ERROR_ACCESS_DENIED && reason != ERROR_SHARING_VIOLATION) || folder)
        return static_cast<int>(reason);
    // The target is open (the rewrite holds the archive and its lock).
    DWORD posix = RenameOverOpenFile(replacement, target);
    if (posix == ERROR_SUCCESS)
        return 0;
    if (posix != ERROR_INVALID_PARAMETER && posix != ERROR_NOT_SUPPORTED &&
        posix != ERROR_INVALID_FUNCTION)
        return static_cast<int>(posix);
    return static_cast<int>(ReplaceInTwoSteps(replacement, target));
}

int SystemRemoveFile(const char* path) {
    if (!DeleteFileW(SystemPath(path).c_str())) {
        DWORD reason = GetLastError();
        if (reason != ERROR_FILE_NOT_FOUND && reason != ERROR_PATH_NOT_FOUND)
            return static_cast<int>(reason);
    }
    return 0;
}

int SystemResolveFilePath(const char* path, std::string* resolved) {
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

int SystemHandleIdentity(FileHandle file, FileIdentity* identity) {
    bool known = false;
    *identity = IdentityOfHandle(Handle(file), &known);
    return known ? 0 : LastError();
}

int SystemPathIdentity(const char* path, FileIdentity* identity) {
    HANDLE handle = CreateFileW(SystemPath(path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return LastError();
    bool known = false;
    *identity = IdentityOfHandle(handle, &known);
    int r = known ? 0 : LastError();
    CloseHandle(handle);
    return r;
}
