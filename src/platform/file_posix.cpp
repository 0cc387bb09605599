#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file.h"
#include "platform/file_type_posix.h"

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

bool OpenFileSize(std::FILE* file, int64_t* size) {
    struct stat info;
    if (::fstat(::fileno(file), &info) != 0)
        return false;
    *size = static_cast<int64_t>(info.st_size);
    return true;
}

bool OpenFileIdentity(std::FILE* file, FileIdentity* identity) {
    struct stat info;
    if (::fstat(::fileno(file), &info) != 0)
        return false;
    *identity = IdentityOf(info);
    return true;
}
