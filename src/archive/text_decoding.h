// The reader's rule for non-ASCII text and its encoding decision: which texts
// go to the detector, how the detector's answer picks a converter, and when
// the held Shift-JIS form is not a faithful reading of the stored bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/context.h"

// True when one of the `length` bytes is 0 or greater than 0x80. A byte of
// exactly 0x80 counts as plain.
bool IsNonAsciiText(const uint8_t* text, size_t length);

// Maps a detector answer to the archive-wide encoding it stands for.
NameEncoding EncodingOfDetectCode(int detectCode);

struct DecodedText {
    size_t length;  // bytes of the display form, without the terminator
    int lossy;      // the display form is not a faithful reading
    int tooLong;    // the display form did not fit the output
};

// Decodes a non-ASCII text of `length` bytes at `text` into Shift-JIS at
// `output` (room for `capacity` bytes, terminator included), following the
// detector's answer; fixes context.nameEncoding if it is still Ascii.
// `text` must be writable (a UTF-16BE text is byte-swapped in place) and be
// followed by at least two zero bytes; `detectView` is what the detector is
// shown (the same bytes, or the same text where it stands in the directory).
DecodedText DecodeNonAsciiText(uint8_t* text, size_t length, const uint8_t* detectView,
                               char* output, size_t capacity);
