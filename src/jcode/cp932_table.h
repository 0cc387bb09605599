// Code page 932 conversions through lookup tables. Each entry is asked of
// the platform's converter (platform/codepage.h) the first time it is needed
// and kept for the rest of the process, so the tables give exactly what the
// platform gives while a run pays only for the characters it meets. Like
// the work areas, the tables belong to the one thread that converts.
#pragma once

#include <cstddef>
#include <cstdint>

// The same contract as Utf16ToCodePage932: converts `count` units to at most
// `capacity` bytes at `out`, "?" for each unit with no form; `written`
// receives the byte count (whole characters only), `replaced` is set when a
// unit became "?". Returns CodePageDone or CodePageNoRoom.
int Utf16ToCodePage932Cached(const char16_t* units, size_t count, char* out, size_t capacity,
                             size_t* written, bool* replaced);

// The same contract as CodePage932ToUtf16.
int CodePage932ToUtf16Cached(const char* bytes, size_t count, char16_t* out, size_t capacity,
                             size_t* written, bool* replaced);

// One character at a time, for converters that walk a text themselves.

// The code page 932 form of `unit`: a single byte below 0x100, else the lead
// byte in the high half and the trail byte in the low half; "?" (0x3F) when
// the unit has no form.
uint16_t CodePage932FormOf(char16_t unit);

// The UTF-8 form of the character that code page 932 reads at `bytes`
// (`left` bytes remain, at least 1), for converters to UTF-8: its bytes in
// the low three bytes, first byte lowest, and their count in the high byte.
// 0 when the character is a replacement for bytes that hold none, and, for a
// lead byte with `left` of 2 or more, when the code page reads the lead byte
// on its own.
uint32_t CodePage932Utf8At(const uint8_t* bytes, size_t left);

// True when code page 932 reads each printable ASCII byte (0x20 to 0x7E) as
// that same character, so that converters may copy runs of them as they are.
// The first call asks the platform about all 95.
bool CodePage932KeepsAscii();
