// POSIX helpers shared by the reader's and the rewrite's file services:
// opening only regular files without blocking, and the identity of a file
// from its status.
#pragma once

#include <sys/stat.h>

#include "platform/file.h"

// Opens `path` (symbolic links followed) with `flags` (O_RDONLY or O_RDWR)
// only when it names a regular file. The type is checked with stat first,
// so that no device or FIFO is ever opened; the open is non-blocking in case
// the entry was swapped for a FIFO in between, and the type is checked again
// on the open descriptor before blocking mode is restored. Returns the
// descriptor, or -1 with errno EISDIR for a folder, ESPIPE for any other file
// that is not regular, or the system's error.
int OpenRegularFile(const char* path, int flags);

// The identity of the file described by `info`.
FileIdentity IdentityOf(const struct stat& info);
