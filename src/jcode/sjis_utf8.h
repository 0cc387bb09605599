// Shift-JIS to UTF-8 conversion with validation, half-width katakana folding
// and newline unification.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jcode/conversion.h"

// Converts zero-terminated Shift-JIS `source` to UTF-8.
// With `output` (room for `capacity` bytes, terminator included): on success
// writes the zero-terminated text, stores its byte count in `length` and
// returns 0. Without `output` (null): measures and validates; `length`
// receives the UTF-8 size of the valid text (or of the characters before a
// fault) and the result is 0 or the fault's code.
// A failed pre-pass returns its code and writes neither output nor length.
// TextTooLong: the text does not fit a work area or `capacity`; nothing is
// written to `output` then.
int ShiftJisToUtf8(const char* source, char* output, size_t capacity, int* length,
                   ConversionFlags flags);
