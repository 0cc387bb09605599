// Shift-JIS to UTF-8 conversion with validation, half-width katakana folding
// and newline unification, and the code arithmetic it checks codes with.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jcode/conversion.h"

// The flag word after the defaults: 0 becomes DefaultConversionFlags; with no
// bit of KanaGroup, KanaFold is added; with no bit of ExtensionGroup,
// AllowExtensionRows and 0x0400 are added.
ConversionFlags WithDefaultFlags(ConversionFlags flags);

// Converts zero-terminated Shift-JIS `source` to UTF-8.
// The pre-pass (PrepareShiftJis) runs when, after the defaults, a bit of
// PrepassMask is set; its fault is returned at once and neither `output` nor
// `length` is written.
// With `output` (room for `capacity` bytes, terminator included): on success
// writes the zero-terminated text, stores its byte count in `length` and
// returns 0. A text that code page 932 cannot read faithfully (a code that
// holds no character, or, without the pre-pass, a broken double-byte
// character) is refused with CodeRejected, BadTrailByte or MissingTrailByte
// rather than stored with a replacement character.
// Without `output` (null): measures and validates; `length` receives the
// UTF-8 size of the valid text (or of the characters before a fault) and the
// result is 0 or the fault's code.
// TextTooLong: the text outgrows a work area (20479 bytes after the pre-pass by default)
// or `capacity`. Every negative result leaves `output` and `length` untouched,
// except the faults of the measuring walk, which store the size before them.
int ShiftJisToUtf8(const char* source, char* output, size_t capacity, int* length,
                   ConversionFlags flags);

// What ShiftJisToUtf8 with `output` gives under any flags, taken in one
// pass, for the usual text: printable ASCII and double-byte characters
// outside the extension areas that code page 932 holds, with no half-width
// katakana and no newline, so that the pre-pass would copy it unchanged.
// Returns NotPlainText, having written nothing, for any other text.
constexpr int NotPlainText = 1;
int ShiftJisToUtf8Plain(const char* source, char* output, size_t capacity, int* length);

// The pre-pass: copies `source` to `destination` (room for `capacity` bytes),
// checking that it is well-formed Shift-JIS and that extension-area codes are
// allowed, folding half-width katakana (with a following sound mark) to
// full-width unless KanaReject is set, which refuses them, and applying the
// newline rule. `flags` are taken as given (after the defaults). Returns 0, a
// fault's code, or TextTooLong; `destination` is zero-terminated at the point
// reached.
int PrepareShiftJis(const char* source, char* destination, size_t capacity, ConversionFlags flags);

// 0: `code` lies in no extension area (A 8540-889E, B EB40-EFFC, C F040-FCFC).
// 1: its JIS form converts back to it; 2: it does not; 3: its JIS form lies
// outside 2121-7E7E.
int ClassifyExtensionCode(uint16_t code);

// The JIS X 0208 code (row in the high byte) of a Shift-JIS pair, in 8-bit
// arithmetic that wraps modulo 256.
uint16_t ShiftJisToJis(uint8_t lead, uint8_t trail);
