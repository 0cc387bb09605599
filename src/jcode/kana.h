// Katakana helpers: folding of Shift-JIS half-width katakana to full-width
// codes, and composition of UTF-16 kana with combining sound marks.
#pragma once

#include <cstdint>

// Half-width katakana bytes of Shift-JIS (and second bytes of EUC-JP kana).
constexpr bool IsHalfWidthKana(uint8_t b) {
    return b >= 0xA1 && b <= 0xDF;
}

// The full-width Shift-JIS code (lead byte in the high half) of the half-width
// katakana byte `kana` (0xA1-0xDF); 0 for any other byte.
uint16_t FullWidthKana(uint8_t kana);

// How the byte after a half-width katakana combines with it: 1 when `next` is
// the voiced sound mark (0xDE) and `kana` takes it (ｶ-ﾄ, ﾊ-ﾎ), 2 when `next` is
// the semi-voiced sound mark (0xDF) and `kana` takes it (ﾊ-ﾎ), else 0. The
// full-width code of the combined kana is FullWidthKana(kana) plus this value.
int SoundMarkKind(uint8_t kana, uint8_t next);

// The UTF-16 combining voiced and semi-voiced sound marks, as macOS writes
// them into decomposed file names.
constexpr char16_t CombiningVoicedMark = 0x3099;
constexpr char16_t CombiningSemiVoicedMark = 0x309A;

// The precomposed kana for `base` followed by the combining `mark`, limited to
// kana that code page 932 holds (か+゙ → が, ハ+゚ → パ, ウ+゙ → ヴ, ゝ+゙ → ゞ);
// 0 when there is none (う+゙ → ゔ and ワ+゙ → ヷ are not in code page 932).
char16_t ComposeKana(char16_t base, char16_t mark);
