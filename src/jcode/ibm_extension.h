// The IBM extension rows FA40-FC4B of code page 932 and the other codes of
// the same characters. Every character of those rows is also held elsewhere
// in the code page: in JIS X 0208 (¬ 81CA, ∵ 81E6), in the NEC special row
// (Ⅰ 8754, ㈱ 878D) or in the NEC-selected IBM extension rows ED/EE (髙 EEE0,
// 纊 ED40, ⅰ EEEF). The pairs are derived from the code page service's own
// reading of both codes, once, on first use.
#pragma once

#include <cstdint>

constexpr uint16_t FirstIbmExtensionCode = 0xFA40;
constexpr uint16_t LastIbmExtensionCode = 0xFC4B;

// The code of the same character outside the IBM extension rows, the lowest
// one where there are several (∵ is 81E6 and 879A: 81E6); 0 for a code
// outside FA40-FC4B or one that holds no character.
uint16_t OtherCodeOfIbmExtension(uint16_t code);

// Replaces, in place, every code of the IBM extension rows in the
// zero-terminated Shift-JIS `text` by OtherCodeOfIbmExtension; the length of
// the text does not change. The text is walked character by character, so a
// trail byte is never taken for a lead byte; a broken sequence is left as it
// is for the converter to refuse.
void ReplaceIbmExtensionCodes(char* text);
