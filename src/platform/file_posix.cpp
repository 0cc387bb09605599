#include <sys/stat.h>

#include "platform/file.h"

bool PathExists(const char* path) {
    struct stat info;
    return ::stat(path, &info) == 0;
}

std::FILE* OpenForReading(const char* path) {
    return std::fopen(path, "rb");
}

bool OpenFileSize(std::FILE* file, int64_t* size) {
    struct stat info;
    if (::fstat(::fileno(file), &info) != 0)
        return false;
    *size = static_cast<int64_t>(info.st_size);
    return true;
}
