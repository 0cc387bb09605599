#include "platform/file_win32.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/wide_text.h"

namespace {

// The file's identity: the volume and the file's index on it.
bool IdentifyFile(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE handle = CreateFileW(SystemPath(path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    bool known = GetFileInformationByHandle(handle, info) != FALSE;
    CloseHandle(handle);
    return known;
}

int64_t Ticks(FILETIME time) {
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                time.dwLowDateTime);
}

// Opens the file for reading, sharing reading, writing and deletion: another
// process may then rename a file over it, as a rewrite does, while this one
// reads. The C runtime's own open does not share deletion. Where the system
// refuses, the runtime's open fails the same way and gives errno its number.
std::FILE* OpenSharingDeletion(const std::wstring& wide) {
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return _wfopen(wide.c_str(), L"rb");
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd == -1) {
        CloseHandle(handle);
        errno = EMFILE;
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "rb");
    if (file == nullptr)
        _close(fd);
    return file;
}

}  // namespace

int NotRegularError(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EISDIR : 0;
}

bool IsDiskFile(HANDLE handle) {
    return GetFileType(handle) == FILE_TYPE_DISK;
}

FileIdentity IdentityOfHandle(HANDLE handle, bool* known) {
    FileIdentity identity{};
    BY_HANDLE_FILE_INFORMATION info;
    *known = GetFileInformationByHandle(handle, &info) != FALSE;
    if (!*known)
        return identity;
    identity.volume = info.dwVolumeSerialNumber;
    identity.fileId = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    identity.modified = Ticks(info.ftLastWriteTime);
    return identity;
}

bool PathExists(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data) != FALSE;
}

std::FILE* OpenForReading(const char* path) {
    std::wstring wide = SystemPath(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && NotRegularError(attributes) != 0) {
        errno = NotRegularError(attributes);
        return nullptr;
    }
    std::FILE* file = OpenSharingDeletion(wide);
    if (file == nullptr)
        return nullptr;
    // A device (NUL, CON, a named pipe) is no regular file.
    if (!IsDiskFile(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))))) {
        std::fclose(file);
        errno = ESPIPE;
        return nullptr;
    }
    return file;
}

std::FILE* OpenForWriting(const char* path) {
    return _wfopen(SystemPath(path).c_str(), L"wb");
}

bool OpenFileSize(std::FILE* file, int64_t* size) {
    long long length = _filelengthi64(_fileno(file));
    if (length < 0)
        return false;
    *size = static_cast<int64_t>(length);
    return true;
}

bool SeekFile(std::FILE* file, int64_t offset) {
    return _fseeki64(file, offset, SEEK_SET) == 0;
}

bool SameFile(const char* first, const char* second) {
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    if (!IdentifyFile(first, &a) || !IdentifyFile(second, &b))
        return false;
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

std::string PathForDisplay(const char* path) {
    std::wstring wide = WideFromUtf8(path);
    std::string shown(wide.size() * 2, '\0');
    size_t written = 0;
    bool replaced = false;
    Utf16ToCodePage932(reinterpret_cast<const char16_t*>(wide.data()), wide.size(), shown.data(),
                       shown.size(), &written, &replaced);
    shown.resize(written);
    return shown;
}

bool OpenFileIdentity(std::FILE* file, FileIdentity* identity) {
    bool known = false;
    *identity = IdentityOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), &known);
    if (!known)
        errno = EIO;
    return known;
}
