#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/file_posix.h"
#include "platform/fileio.h"
#include "platform/fileio_system.h"

namespace {

// Copies go in pieces; after each piece the destination's new blocks start
// going to disk, so that the flush that follows every copy of the rewrite
// finds little left to do.
constexpr size_t CopyPiece = size_t{8} << 20;
constexpr size_t CopyBufferSize = size_t{1} << 20;
constexpr off_t PageSize = 4096;

int Fd(FileHandle file) {
    return static_cast<int>(file.value);
}

// Repeats a read or write until `length` bytes are transferred. Returns 0,
// errno, or ShortTransfer when the file gave or took nothing more.
template <typename Transfer>
int TransferAll(Transfer transfer, size_t length) {
    size_t done = 0;
    while (done < length) {
        ssize_t n = transfer(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ShortTransfer;
        done += static_cast<size_t>(n);
    }
    return 0;
}

int ReadSome(int fd, uint8_t* buffer, size_t length) {
    return TransferAll([&](size_t done) { return ::read(fd, buffer + done, length - done); },
                       length);
}

int WriteSome(int fd, const uint8_t* bytes, size_t length) {
    return TransferAll([&](size_t done) { return ::write(fd, bytes + done, length - done); },
                       length);
}

// Errors of copy_file_range that only mean "not here": copy another way.
bool KernelCopyUnavailable(int error) {
    return error == ENOSYS || error == EXDEV || error == EINVAL || error == EOPNOTSUPP ||
           error == EBADF || error == ETXTBSY;
}

// Errors that belong to the file being written.
bool DestinationError(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EROFS || error == EPERM;
}

// The `length` bytes before the current position of `fd`: [start, end).
// False where the position cannot be told or lies before them.
bool BytesBefore(int fd, size_t length, off_t* start, off_t* end) {
    *end = ::lseek(fd, 0, SEEK_CUR);
    if (*end < 0 || static_cast<uint64_t>(*end) < length)
        return false;
    *start = *end - static_cast<off_t>(length);
    return true;
}

// Starts writing the whole pages among the `length` bytes before the current
// position of `fd` to disk, without waiting. A hint: files that cannot take
// it are left alone. The page that the position cuts is left out: the next
// write fills it, and a write into a page under write-back waits until the
// disk has taken it, once for every piece (that wait made unaligned copies
// take two to four times as long).
void StartWriteBack(int fd, size_t length) {
    off_t start = 0;
    off_t end = 0;
    if (!BytesBefore(fd, length, &start, &end))
        return;
    off_t first = start / PageSize * PageSize;
    off_t last = end / PageSize * PageSize;
    if (last > first)
        ::sync_file_range(fd, first, last - first, SYNC_FILE_RANGE_WRITE);
}

// Lets the system drop the `length` bytes before the current position of
// `fd` from its cache. A rewrite reads each byte of the archive once and then
// replaces it: keeping gigabytes of it cached beside the new archive only
// makes the system reclaim memory while the copy runs (a 6 GiB rewrite took
// 4.5 to 17 s that way, and 2.7 to 3.4 s without). A hint: a failure changes
// nothing.
void DropFromCache(int fd, size_t length) {
    off_t start = 0;
    off_t end = 0;
    if (BytesBefore(fd, length, &start, &end))
        ::posix_fadvise(fd, start, end - start, POSIX_FADV_DONTNEED);
}

// copy_file_range pays only where both positions lie on page boundaries:
// there the kernel moves whole pages (and a file system that shares blocks
// can share them). Elsewhere a read and a write through a buffer is faster.
bool KernelCopyPays(int from, int to) {
    off_t source = ::lseek(from, 0, SEEK_CUR);
    off_t destination = ::lseek(to, 0, SEEK_CUR);
    return source >= 0 && destination >= 0 && source % PageSize == 0 && destination % PageSize == 0;
}

int BufferPiece(int from, int to, size_t length, CopySide* failedSide) {
    static uint8_t buffer[CopyBufferSize];
    while (length > 0) {
        size_t chunk = length < CopyBufferSize ? length : CopyBufferSize;
        ssize_t n = ::read(from, buffer, chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *failedSide = CopySource;
            return n < 0 ? errno : ShortTransfer;
        }
        int r = WriteSome(to, buffer, static_cast<size_t>(n));
        if (r != 0) {
            *failedSide = CopyDestination;
            return r;
        }
        length -= static_cast<size_t>(n);
    }
    return 0;
}

// Copies inside the kernel; where the kernel cannot, the rest of the piece
// goes through the buffer and `kernel` is cleared for the pieces after it.
int KernelPiece(int from, int to, size_t length, bool* kernel, CopySide* failedSide) {
    while (length > 0) {
        ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, length, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && KernelCopyUnavailable(errno)) {
            *kernel = false;
            return BufferPiece(from, to, length, failedSide);
        }
        if (n < 0) {
            *failedSide = DestinationError(errno) ? CopyDestination : CopySource;
            return errno;
        }
        if (n == 0) {
            *failedSide = CopySource;
            return ShortTransfer;
        }
        length -= static_cast<size_t>(n);
    }
    return 0;
}

int CopyRange(int from, int to, uint64_t length, CopySide* failedSide) {
    bool kernel = KernelCopyPays(from, to);
    while (length > 0) {
        size_t piece = length < CopyPiece ? static_cast<size_t>(length) : CopyPiece;
        int r = kernel ? KernelPiece(from, to, piece, &kernel, failedSide)
                       : BufferPiece(from, to, piece, failedSide);
        if (r != 0)
            return r;
        StartWriteBack(to, piece);
        DropFromCache(from, piece);
        length -= piece;
    }
    return 0;
}

int SizeOfFd(int fd, uint64_t* size) {
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return errno;
    *size = static_cast<uint64_t>(info.st_size);
    return 0;
}

// Shares the blocks of `from` with `to` where the file system can.
bool CloneWholeFile(int from, int to) {
    return ::ioctl(to, FICLONE, from) == 0;
}

// Makes a rename in the folder holding `path` durable. Best effort: the
// rename has happened either way.
void FlushFolderOf(const char* path) {
    const char* slash = std::strrchr(path, '/');
    std::string folder = slash == nullptr ? std::string(".") : std::string(path, slash);
    if (folder.empty())
        folder = "/";
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// Errors of link(2) that mean the file cannot have a second name here.
int LinkError(int error) {
    bool impossible = error == EXDEV || error == EPERM || error == EMLINK || error == ENOTSUP ||
                      error == EOPNOTSUPP || error == ENOSYS;
    return impossible ? NoLinkHere : error;
}

}  // namespace

int SystemOpenForReading(const char* path, FileHandle* file) {
    int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0)
        return errno;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    file->value = fd;
    return 0;
}

int SystemOpenForUpdate(const char* path, FileHandle* file) {
    int fd = ::open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return errno;
    file->value = fd;
    return 0;
}

int SystemCreateFreshFile(const char* path, FileHandle* file) {
    if (::unlink(path) != 0 && errno != ENOENT)
        return errno;
    int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    file->value = fd;
    return 0;
}

void CloseFile(FileHandle* file) {
    if (file->value >= 0)
        ::close(Fd(*file));
    file->value = -1;
}

int SystemLockExclusive(FileHandle file) {
    // flock belongs to the open file, not to the process: closing another
    // descriptor of the same file (as fcntl locks would) does not release it.
    while (::flock(Fd(file), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return FileBusy;
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

int SystemReadExact(FileHandle file, void* buffer, size_t length) {
    return ReadSome(Fd(file), static_cast<uint8_t*>(buffer), length);
}

int SystemReadUpTo(FileHandle file, void* buffer, size_t length, size_t* got) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    while (*got < length) {
        ssize_t n = ::read(Fd(file), out + *got, length - *got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            break;
        *got += static_cast<size_t>(n);
    }
    return 0;
}

int SystemWriteAll(FileHandle file, const void* bytes, size_t length) {
    int r = WriteSome(Fd(file), static_cast<const uint8_t*>(bytes), length);
    if (r == 0 && length >= WriteBackLeast)
        StartWriteBack(Fd(file), length);
    return r;
}

int SystemSeekTo(FileHandle file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(LLONG_MAX))
        return EINVAL;
    if (::lseek(Fd(file), static_cast<off_t>(offset), SEEK_SET) < 0)
        return errno;
    return 0;
}

int SystemSetEndOfFileHere(FileHandle file) {
    off_t here = ::lseek(Fd(file), 0, SEEK_CUR);
    if (here < 0)
        return errno;
    if (::ftruncate(Fd(file), here) != 0)
        return errno;
    return 0;
}

int SystemFlushToDisk(FileHandle file) {
    while (::fsync(Fd(file)) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

int SystemFileSize(FileHandle file, uint64_t* size) {
    return SizeOfFd(Fd(file), size);
}

int SystemCopyBytes(FileHandle from, FileHandle to, uint64_t length, CopySide* failedSide) {
    return CopyRange(Fd(from), Fd(to), length, failedSide);
}

int SystemCopyFromStart(FileHandle from, FileHandle to, uint64_t size) {
    if (::lseek(Fd(from), 0, SEEK_SET) < 0 || ::lseek(Fd(to), 0, SEEK_SET) < 0)
        return errno;
    if (CloneWholeFile(Fd(from), Fd(to))) {
        if (::lseek(Fd(from), 0, SEEK_END) < 0 || ::lseek(Fd(to), 0, SEEK_END) < 0)
            return errno;
        return 0;
    }
    CopySide side = CopySource;
    return CopyRange(Fd(from), Fd(to), size, &side);
}

int SystemCopyPermissions(FileHandle from, FileHandle to) {
    struct stat info;
    if (::fstat(Fd(from), &info) != 0)
        return errno;
    struct stat mine;
    if (::fstat(Fd(to), &mine) != 0)
        return errno;
    // Only a privileged process can give a file away; others keep their own.
    if (info.st_uid != mine.st_uid || info.st_gid != mine.st_gid) {
        (void)::fchown(Fd(to), info.st_uid, info.st_gid);
    }
    if (::fchmod(Fd(to), info.st_mode & 07777) != 0)
        return errno;
    return 0;
}

int SystemLinkFile(const char* existing, const char* link) {
    if (::link(existing, link) != 0)
        return LinkError(errno);
    return 0;
}

int SystemReplaceFileAtomically(const char* replacement, const char* target) {
    if (::rename(replacement, target) != 0)
        return errno;
    FlushFolderOf(target);
    return 0;
}

int SystemRemoveFile(const char* path) {
    if (::unlink(path) != 0 && errno != ENOENT)
        return errno;
    return 0;
}

int SystemResolveFilePath(const char* path, std::string* resolved) {
    char* real = ::realpath(path, nullptr);
    if (real == nullptr)
        return errno;
    resolved->assign(real);
    std::free(real);
    return 0;
}

int SystemHandleIdentity(FileHandle file, FileIdentity* identity) {
    struct stat info;
    if (::fstat(Fd(file), &info) != 0)
        return errno;
    *identity = IdentityOf(info);
    return 0;
}

int SystemPathIdentity(const char* path, FileIdentity* identity) {
    struct stat info;
    if (::stat(path, &info) != 0)
        return errno;
    *identity = IdentityOf(info);
    return 0;
}
