// Code page 932 (Shift-JIS as Windows extends it: NEC and IBM extensions,
// user-defined area) conversions to and from UTF-16. The mapping and its
// replacement rules are the same on every platform:
//
// UTF-16 to code page 932: a unit that code page 932 holds becomes its one or
// two bytes (U+0080 and U+F8F0-U+F8F3 the single bytes named below). A unit that it does not hold,
// or holds only one way (U+00A5 and U+203E would come back as 5C and 7E; U+301C, U+2016, U+2212,
// U+00A2, U+00A3, U+00AC and U+2014 as their full-width variants), becomes "?" (0x3F) and counts as
// a replacement; so does every surrogate unit, paired or not.
//
// Code page 932 to UTF-16: every character becomes exactly one unit. Defined
// codes map as the code page defines them (user-defined area F040-F9FC to
// U+E000-U+E757); the single bytes 80, A0, FD, FE and FF map to U+0080,
// U+F8F0, U+F8F1, U+F8F2 and U+F8F3. A lead byte followed by a trail byte
// whose code holds no character becomes U+30FB for both bytes; a lead byte
// followed by anything else (or by nothing) becomes U+30FB on its own, and the
// next byte starts a new character. Each U+30FB so produced counts as a
// replacement.
#pragma once

#include <cstddef>

enum CodePageResult : int {
    CodePageDone = 0,
    CodePageNoRoom = 1,  // the output filled up; `written` covers whole characters
};

// Converts `count` UTF-16 units to at most `capacity` bytes at `out` (no
// terminator is written). `written` receives the byte count, `replaced` is set
// to true when some unit became "?" (and left alone otherwise).
int Utf16ToCodePage932(const char16_t* units, size_t count, char* out, size_t capacity,
                       size_t* written, bool* replaced);

// Converts `count` code page 932 bytes to at most `capacity` UTF-16 units at
// `out`. `written` receives the unit count, `replaced` is set to true when a
// U+30FB replacement was made (and left alone otherwise).
int CodePage932ToUtf16(const char* bytes, size_t count, char16_t* out, size_t capacity,
                       size_t* written, bool* replaced);
