// Checks, before any file is touched, that the archive is one the sequential
// rewrite can copy faithfully as far as the central directory tells: no
// ZIP64 values, and local headers at distinct offsets from 0 upwards, all
// before the central directory. The walk over the local sections checks the
// rest as it reads them.
#pragma once

#include <cstdint>

// Largest offset or size the new archive may store; 0xFFFFFFFF means ZIP64.
constexpr uint64_t LargestStoredOffset = 0xFFFFFFFEu;

// Returns 0, LayoutUnsupported or Zip64Unsupported.
int CheckDirectoryLayout(int entryCount);

// The comment-only rewrite keeps the directory as it stands and writes a new
// end record and comment behind it, so the directory must end where the end
// record begins or before: bytes that it claims beyond would change under it.
// Returns 0 or LayoutUnsupported.
int CheckDirectoryEndsBeforeEndRecord();
