#include <sys/stat.h>

#include "platform/file.h"

bool PathExists(const char* path) {
    struct stat info;
    return ::stat(path, &info) == 0;
}

std::FILE* OpenForReading(const char* path) {
    return std::fopen(path, "rb");
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
