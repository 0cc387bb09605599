#include "jcode/kana.h"

namespace {

// Full-width Shift-JIS codes of the half-width katakana 0xA1-0xDF, in order.
// Within the full-width block a voiced kana is its base code + 1 and a
// semi-voiced one its base code + 2, which SoundMarkKind relies on.
constexpr uint16_t fullWidthKanaTable[63] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340,          // ｡｢｣､･ｦｧ
    0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362,  // ｨｩｪｫｬｭｮｯ
    0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C,  // ｰｱｲｳｴｵｶｷ
    0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C,  // ｸｹｺｻｼｽｾｿ
    0x835E, 0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B,  // ﾀﾁﾂﾃﾄﾅﾆﾇ
    0x836C, 0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D,  // ﾈﾉﾊﾋﾌﾍﾎﾏ
    0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,  // ﾐﾑﾒﾓﾔﾕﾖﾗ
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,  // ﾘﾙﾚﾛﾜﾝﾞﾟ
};

bool TakesVoicedMark(uint8_t kana) {
    return (kana >= 0xB6 && kana <= 0xC4) || (kana >= 0xCA && kana <= 0xCE);
}

bool TakesSemiVoicedMark(uint8_t kana) {
    return kana >= 0xCA && kana <= 0xCE;
}

// Hiragana and katakana whose voiced form is the next code point: か-ぢ
// (with their odd/even pattern broken by っ), つ-ど, は-ぽ in steps of three.
bool IsVoicingHiragana(char16_t c) {
    if (c >= 0x304B && c <= 0x3062)
        return (c - 0x304B) % 2 == 0;  // か…ち
    if (c >= 0x3064 && c <= 0x3068)
        return (c - 0x3064) % 2 == 0;  // つ て と
    if (c >= 0x306F && c <= 0x307B)
        return (c - 0x306F) % 3 == 0;  // は ひ ふ へ ほ
    return false;
}

bool IsSemiVoicingHiragana(char16_t c) {
    return c >= 0x306F && c <= 0x307B && (c - 0x306F) % 3 == 0;
}

constexpr char16_t KatakanaOffset = 0x60;  // カ = か + 0x60

}  // namespace

uint16_t FullWidthKana(uint8_t kana) {
    if (!IsHalfWidthKana(kana))
        return 0;
    return fullWidthKanaTable[kana - 0xA1];
}

int SoundMarkKind(uint8_t kana, uint8_t next) {
    if (next == 0xDE)
        return TakesVoicedMark(kana) ? 1 : 0;
    if (next == 0xDF)
        return TakesSemiVoicedMark(kana) ? 2 : 0;
    return 0;
}

char16_t ComposeKana(char16_t base, char16_t mark) {
    bool katakana = base >= 0x30A1 && base <= 0x30FF;
    char16_t hiragana = katakana ? static_cast<char16_t>(base - KatakanaOffset) : base;
    if (mark == CombiningVoicedMark) {
        if (IsVoicingHiragana(hiragana))
            return static_cast<char16_t>(base + 1);
        if (base == 0x309D)
            return 0x309E;  // ゝ → ゞ
        if (base == 0x30FD)
            return 0x30FE;  // ヽ → ヾ
        if (base == 0x30A6)
            return 0x30F4;  // ウ → ヴ
        return 0;
    }
    if (mark == CombiningSemiVoicedMark) {
        if (IsSemiVoicingHiragana(hiragana))
            return static_cast<char16_t>(base + 2);
        return 0;
    }
    return 0;
}
