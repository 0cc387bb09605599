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
