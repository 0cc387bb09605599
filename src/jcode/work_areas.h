// The two process-wide work areas that the converters share. A converter uses
// them only during one call and clears nothing: it writes what it reads back.
// Because they are shared, no converter may start while another one runs.
//
// A work area takes a text of at most 20,479 units or bytes, unless long
// texts are allowed: then of up to LongWorkText, room for the display form
// of any text of 65,535 stored bytes (every byte at most two bytes or one
// unit), so that no name or comment the ZIP format allows is cut.
#pragma once

#include <cstddef>

#include "jcode/conversion.h"

// The longest text a work area holds by default, one place being kept for a
// terminator.
constexpr size_t NarrowWorkText = NarrowWorkSize - 1;
constexpr size_t WideWorkText = WideWorkSize - 1;
// The longest text either holds while long texts are allowed.
constexpr size_t LongWorkSize = 131072;
constexpr size_t LongWorkText = LongWorkSize - 1;

extern char narrowWork[LongWorkSize];
extern char16_t wideWork[LongWorkSize];

// Lets the converters take texts of up to LongWorkText (true) or only of the
// default length (false, as at process start).
void AllowLongTexts(bool allow);

// Set by AllowLongTexts; read through the two limits below.
extern bool longTextsAllowed;

// The longest text the work areas take now. Inline: the converters ask for
// every character.
inline size_t NarrowWorkLimit() {
    return longTextsAllowed ? LongWorkText : NarrowWorkText;
}

inline size_t WideWorkLimit() {
    return longTextsAllowed ? LongWorkText : WideWorkText;
}
