// Encoding detection: decides in which encoding a byte string was written.
#pragma once

#include <cstdint>

enum DetectCode : int {
    Utf8Bom = 129,
    Utf16LeBom = 130,
    Utf16BeBom = 131,
    EucText = 5,
    ShiftJisText = 4,
    Utf16BeText = 3,
    Utf16LeText = 2,
    Utf8Text = 1,
    Undetermined = 0,
    Undecodable = -1,
    Doubtful = -2,
    Rejected = -3,
};

// Classifies `length` bytes at `bytes`. The buffer must be readable for at
// least three bytes and for the two bytes that follow the string; those bytes
// take part in some tests. `mode` 1 sends short UTF-8 strings through the
// Shift-JIS/EUC-JP pass as well. Returns a DetectCode (never Undecodable).
int DetectEncoding(const uint8_t* bytes, int32_t length, int mode);
