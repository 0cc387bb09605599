// The rewrite's proof of its result. Before the new archive takes the
// archive's place, it is read back from its file, complete and flushed,
// through the reader's own end record search and header checks (with the
// run's switches), and compared with what the rewrite planned to write. A
// fault of the writer, or of the storage between the write and the read,
// then stops the rewrite instead of replacing the archive with a file that
// no reader could open. Entry data is not read again: its place and length
// are checked.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rewrite/rewrite_plan.h"

// Reads back the new archive of a full rewrite at `path`: every local header
// at its planned offset (signature, flags, name, the data range that follows
// up to the next section), the whole central directory (every header's 46
// bytes, name, extra field and comment, and a new 0x0001 field as the reader
// reads it), the ZIP64 end record and its locator where written (found as
// the reader finds them), the end record that the search finds and the
// archive comment, each as `plan` says they were written, and nothing behind
// them. Returns 0 or NewArchiveMisread; errorDetail receives errno
// where a read failed, 0 otherwise.
int ReadBackNewArchive(const char* path, const RewritePlan& plan, int* errorDetail);

// Reads back the new archive of a comment-only rewrite at `path`: the search
// finds the end record `record` (EndRecordSize bytes) at `offset`, followed
// by the `commentLength` bytes of `comment` and the end of the file, and
// where `zip64` is not null, the reader's ZIP64 reading finds that ZIP64 end
// record through the locator before it. Returns 0 or NewArchiveMisread.
int ReadBackNewEndRecord(const char* path, uint64_t offset, const uint8_t* record,
                         const uint8_t* comment, size_t commentLength, const Zip64EndRecord* zip64,
                         int* errorDetail);
