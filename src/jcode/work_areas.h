// The two process-wide work areas that the converters share. A converter uses
// them only during one call and clears nothing: it writes what it reads back.
// Because they are shared, no converter may start while another one runs.
#pragma once

#include <cstddef>

#include "jcode/conversion.h"

// The longest text a work area holds, one place being kept for a terminator.
constexpr size_t NarrowWorkText = NarrowWorkSize - 1;
constexpr size_t WideWorkText = WideWorkSize - 1;

extern char narrowWork[NarrowWorkSize];
extern char16_t wideWork[WideWorkSize];
