// Checks, before any file is touched, that the archive is one the sequential
// rewrite can copy faithfully as far as the central directory tells: no
// ZIP64 values without -r, and local headers at distinct offsets from 0
// upwards, all before the central directory. The walk over the local sections checks the
// rest as it reads them.
#pragma once

#include <cstddef>
#include <cstdint>

// Largest offset or size the new archive stores in a 32-bit field:
// 0xFFFFFFFF means ZIP64. Beyond it a rewrite without -r stops (75), one
// with -r stores the value in a ZIP64 field or end record. Only tests lower
// it, to have small archives written in the ZIP64 forms.
constexpr uint64_t LargestStoredOffset = 0xFFFFFFFEu;
extern uint64_t largestPlainOffset;

// Returns 0, LayoutUnsupported or (without -r) Zip64Unsupported. Includes
// CheckDirectoryEndsBeforeEndRecord.
int CheckDirectoryLayout(int entryCount);

// A directory that runs past the start of the end record holds bytes of the
// end record (or of what follows it) among its texts: the comment-only
// rewrite would change them under the directory it keeps, the full rewrite
// would copy them into the new directory. Both refuse it. Returns 0 or
// LayoutUnsupported.
int CheckDirectoryEndsBeforeEndRecord();

// The reader finds the end record by a search from the end of the file: the
// highest end record signature with 22 bytes behind it, then the lowest one
// among the up to 21 bytes before it that a walk in steps of 22 from the end
// reaches first. A rewrite that changes the comment's length, or writes a
// new directory, moves that window: an end record signature among the last
// bytes of the directory (inside an extra field, say), or one that the new
// comment forms with the record's own fields, would then be taken instead
// and the new archive would not read back. True when the search finds the
// end record `record` (EndRecordSize bytes, followed by `comment`) preceded
// by the `leadLength` bytes at `lead` (up to EndRecordLeadSize) where it is.
bool EndRecordFoundWhereWritten(const uint8_t* lead, size_t leadLength, const uint8_t* record,
                                const uint8_t* comment, size_t commentLength);
