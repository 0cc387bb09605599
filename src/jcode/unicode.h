// UTF-8 character coders and the UTF-16LE / UTF-8 to Shift-JIS string
// converters (through code page 932), with the newline rule.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jcode/conversion.h"

// Decodes one UTF-8 sequence into one UTF-16 unit; `length` receives the
// number of bytes taken (1 to 4; a well-formed four-byte sequence is taken
// whole and decodes to a unit that code page 932 cannot represent).
uint16_t DecodeUtf8Char(const uint8_t* bytes, int* length);

// Encodes one UTF-16 unit as 1 to 3 UTF-8 bytes at `out`; returns the count,
// also stored in `length`. No terminator is written.
int EncodeUtf8Char(uint16_t unit, uint8_t* out, int* length);

// Converts zero-unit-terminated UTF-16LE bytes at `source` into Shift-JIS.
// `output` holds `capacity` bytes; the result is 0, or TextTooLong when the
// text had to be cut. The output is zero-terminated in every case. `lossy`, if
// given, is set to 1 when a character was replaced or the text was cut.
int Utf16LeToShiftJis(const char* source, char* output, size_t capacity, ConversionFlags flags,
                      int* lossy = nullptr);

// The same for zero-terminated UTF-8 text; malformed sequences also make the
// text lossy.
int Utf8ToShiftJis(const char* source, char* output, size_t capacity, ConversionFlags flags,
                   int* lossy = nullptr);
