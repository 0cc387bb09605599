// Code page 932 conversions through lookup tables. Each entry is asked of
// the platform's converter (platform/codepage.h) the first time it is needed
// and kept for the rest of the process, so the tables give exactly what the
// platform gives while a run pays only for the characters it meets. Like
// the work areas, the tables belong to the one thread that converts.
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
