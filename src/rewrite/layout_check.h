// Checks, before any file is touched, that the archive is one the sequential
// rewrite can copy faithfully as far as the central directory tells: no
// ZIP64 values, and local headers at distinct offsets from 0 upwards, all
// before the central directory. The walk over the local sections checks the
// rest as it reads them.
#pragma once

#include <cstdint>

// Largest offset or size the new archive may store; 0xFFFFFFFF means ZIP64.
constexpr uint64_t LargestStoredOffset = 0xFFFFFFFEu;

// Returns 0, LayoutUnsupported or Zip64Unsupported. Includes
// CheckDirectoryEndsBeforeEndRecord.
int CheckDirectoryLayout(int entryCount);

// A directory that runs past the start of the end record holds bytes of the
// end record (or of what follows it) among its texts: the comment-only
// rewrite would change them under the directory it keeps, the full rewrite
// would copy them into the new directory. Both refuse it. Returns 0 or
// LayoutUnsupported.
int CheckDirectoryEndsBeforeEndRecord();
