// EUC-JP, JIS X 0208 and Shift-JIS code arithmetic, and the EUC-JP to
// Shift-JIS string converter. Byte arithmetic wraps modulo 256.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jcode/conversion.h"

uint16_t EucPairToJis(uint8_t first, uint8_t second);
uint16_t JisToShiftJis(uint8_t first, uint8_t second);
uint16_t EucPairToShiftJis(uint8_t first, uint8_t second);

// Converts zero-terminated EUC-JP `source` into zero-terminated Shift-JIS at
// `output`, which holds `capacity` bytes (terminator included). Returns 0 or a
// ConversionResult; the output is zero-terminated in every case. `lossy`, if
// given, is set to 1 when the output is not a faithful reading of the source
// (the walk stopped early or the output was cut), else to 0.
int EucToShiftJis(const char* source, char* output, size_t capacity, ConversionFlags flags,
                  int* lossy = nullptr);
