// UTF-16 to code page 932 through a lookup table. The table is filled from
// the platform's converter (platform/codepage.h), 256 units at a time, the
// first time a unit of each block is converted, so it gives exactly what the
// platform gives while a listing of a few names converts only the blocks it
// meets. Like the work areas, the table belongs to the one thread that
// converts.
#pragma once

#include <cstddef>

// The same contract as Utf16ToCodePage932: converts `count` units to at most
// `capacity` bytes at `out`, "?" for each unit with no form; `written`
// receives the byte count (whole characters only), `replaced` is set when a
// unit became "?". Returns CodePageDone or CodePageNoRoom.
int Utf16ToCodePage932Cached(const char16_t* units, size_t count, char* out, size_t capacity,
                             size_t* written, bool* replaced);
