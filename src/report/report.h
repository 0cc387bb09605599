// Reports: the console listing with its optional detail block, and the
// comma-separated list file.
#pragma once

#include <cstdint>

// Writes the console report of `entryCount` entries; the caller has printed
// the banner just before.
void PrintReport(int entryCount);

// Writes the list file named by context.listPath. Returns 0, or 21 when the
// file cannot be opened (errorDetail then receives errno).
int WriteListFile(int entryCount, int* errorDetail);

// Renders `value` in decimal into `buffer` (at least 14 bytes), with a ","
// between groups of three digits when `withSeparators` is 1; returns buffer.
char* FormatThousands(uint32_t value, char* buffer, int withSeparators);
