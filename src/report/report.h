// Reports: the console listing with its optional detail block, and the
// comma-separated list file.
#pragma once

#include <cstddef>
#include <cstdint>

// Result codes of WriteListFile.
enum ListFileResult : int {
    ListFileWritten = 0,
    ListFileNotOpened = 21,   // the file could not be opened; errorDetail = errno
    ListFileNotWritten = 22,  // writing or closing failed (disk full...); errorDetail = errno
    ListFileIsArchive = 23,   // the path names the archive itself, which is left untouched
};

// Room FormatThousands needs: "18,446,744,073,709,551,615" and its zero byte.
constexpr size_t ThousandsCapacity = 27;

// Writes the console report of `entryCount` entries; the caller has printed
// the banner just before.
void PrintReport(int entryCount);

// Writes the list file named by context.listPath. Returns 0 or a
// ListFileResult; errorDetail then receives errno where a system call failed.
int WriteListFile(int entryCount, int* errorDetail);

// Renders `value` in decimal into `buffer` (at least ThousandsCapacity
// bytes), with a "," between groups of three digits when `withSeparators` is
// 1; returns buffer.
char* FormatThousands(uint64_t value, char* buffer, int withSeparators);
