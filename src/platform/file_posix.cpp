#include "platform/file_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// errno for a file of type `mode` that is not a regular file; 0 for one that is.
int NotRegularError(mode_t mode) {
    if (S_ISREG(mode))
        return 0;
    return S_ISDIR(mode) ? EISDIR : ESPIPE;
}

int Refuse(int fd, int error) {
    if (fd >= 0)
        ::close(fd);
    errno = error;
    return -1;
}

}  // namespace

int OpenRegularFile(const char* path, int flags) {
    struct stat info;
    if (::stat(path, &info) != 0)
        return -1;
    if (int error = NotRegularError(info.st_mode))
        return Refuse(-1, error);
    int fd = ::open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &info) != 0)
        return Refuse(fd, errno);
    if (int error = NotRegularError(info.st_mode))
        return Refuse(fd, error);
    int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0)
        return Refuse(fd, errno);
    return fd;
}

FileIdentity IdentityOf(const struct stat& info) {
    FileIdentity identity{};
    identity.volume = static_cast<uint64_t>(info.st_dev);
    identity.fileId = static_cast<uint64_t>(info.st_ino);
    identity.size = static_cast<uint64_t>(info.st_size);
    identity.modified =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return identity;
}

bool PathExists(const char* path) {
    struct stat info;
    return ::stat(path, &info) == 0;
}

std::FILE* OpenForReading(const char* path) {
    int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0)
        return nullptr;
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        int error = errno;
        ::close(fd);
        errno = error;
    }
    return file;
}

std::FILE* OpenForWriting(const char* path) {
    return std::fopen(path, "wb");
}

bool OpenFileSize(std::FILE* file, int64_t* size) {
    struct stat info;
    if (::fstat(::fileno(file), &info) != 0)
        return false;
    *size = static_cast<int64_t>(info.st_size);
    return true;
}

bool SeekFile(std::FILE* file, int64_t offset) {
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool SameFile(const char* first, const char* second) {
    struct stat a;
    struct stat b;
    if (::stat(first, &a) != 0 || ::stat(second, &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string PathForDisplay(const char* path) {
    return path;
}

bool OpenFileIdentity(std::FILE* file, FileIdentity* identity) {
    struct stat info;
    if (::fstat(::fileno(file), &info) != 0)
        return false;
    *identity = IdentityOf(info);
    return true;
}
