// UTF-8 character coders and the UTF-16LE / UTF-8 to Shift-JIS string
// converters (through code page 932), with the newline rule.
//
// What code page 932 cannot hold is replaced the same way everywhere: before
// the code page conversion a kana followed by a combining sound mark (U+3099,
// U+309A) is composed where code page 932 holds the composed kana, and the JIS
// characters that code page 932 holds under another code point (U+301C,
// U+2016, U+2212, U+00A2, U+00A3, U+00AC, U+2014) take that code point; then
// every unit that still has no form becomes "?" (platform/codepage.h). A
// surrogate pair, or a four-byte UTF-8 sequence, is one such character.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jcode/conversion.h"

// Decodes one UTF-8 sequence into one UTF-16 unit; `length` receives the
// number of bytes taken. The length follows from the first byte alone and the
// bytes after it are not checked (their top two bits are dropped): below 0x80
// one byte, up to 0xDF two, from 0xE0 three. The one exception: F0-F4
// followed by three continuation bytes is a four-byte sequence, taken whole,
// and decodes to U+FFFD, a unit that code page 932 cannot represent.
// Reads as many bytes as the length needs (a fourth only after two
// continuation bytes); a caller pads a sequence cut by the end of its text
// with zero bytes.
uint16_t DecodeUtf8Char(const uint8_t* bytes, int* length);

// Encodes one UTF-16 unit as 1 to 3 UTF-8 bytes at `out`; returns the count,
// also stored in `length`. No terminator is written. Surrogates are not
// paired: each becomes three bytes of its own.
int EncodeUtf8Char(uint16_t unit, uint8_t* out, int* length);

// Converts zero-unit-terminated UTF-16LE bytes at `source` into Shift-JIS
// with the newline rule of `flags`. `output` holds `capacity` bytes; the
// result is 0, or TextTooLong when the text had to be cut (it outgrew
// `capacity`, or the work areas: 20479 units or bytes by default). The output is
// zero-terminated in every case (unless `capacity` is 0) and never cut inside
// a character. `lossy`, if given, is set to 1 when a character was replaced or
// the text was cut, else to 0.
int Utf16LeToShiftJis(const char* source, char* output, size_t capacity, ConversionFlags flags,
                      int* lossy = nullptr);

// The same for zero-terminated UTF-8 text. A decoded zero unit (the overlong
// C0 80, for instance) ends the text. `lossy` is also set for malformed
// sequences: overlong forms, stray continuation bytes, sequences cut by the
// end of the text, surrogates encoded in UTF-8.
int Utf8ToShiftJis(const char* source, char* output, size_t capacity, ConversionFlags flags,
                   int* lossy = nullptr);
