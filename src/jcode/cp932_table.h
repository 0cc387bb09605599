// Code page 932 conversions through lookup tables. The tables are filled
// from the platform's converter (platform/codepage.h) a block at a time, the
// first time a block is needed (256 UTF-16 units; the 256 codes of one lead
// byte), so they give exactly what the platform gives while a run that meets
// a few names fills only the blocks it meets. Like the work areas, the tables
// belong to the one thread that converts.
#pragma once

#include <cstddef>

// The same contract as Utf16ToCodePage932: converts `count` units to at most
// `capacity` bytes at `out`, "?" for each unit with no form; `written`
// receives the byte count (whole characters only), `replaced` is set when a
// unit became "?". Returns CodePageDone or CodePageNoRoom.
int Utf16ToCodePage932Cached(const char16_t* units, size_t count, char* out, size_t capacity,
                             size_t* written, bool* replaced);

// The same contract as CodePage932ToUtf16.
int CodePage932ToUtf16Cached(const char* bytes, size_t count, char16_t* out, size_t capacity,
                             size_t* written, bool* replaced);
