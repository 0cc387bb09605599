#include "jcode/cp932_table.h"

#include <cstdint>

#include "platform/codepage.h"

namespace {

constexpr size_t BlockUnits = 256;
constexpr size_t Blocks = 65536 / BlockUnits;
constexpr uint16_t QuestionMark = '?';

// The form of each unit: below 0x100 a single byte, else a lead byte in the
// high half and a trail byte in the low half (every lead byte is 0x81 or
// above). A unit other than "?" whose form is "?" has no form.
uint16_t forms[Blocks][BlockUnits];
bool filled[Blocks];

bool IsLeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The form of one unit, asked of the platform on its own.
uint16_t FormOfUnit(char16_t unit) {
    char bytes[2] = {};
    size_t written = 0;
    bool replaced = false;
    Utf16ToCodePage932(&unit, 1, bytes, sizeof bytes, &written, &replaced);
    if (written == 2)
        return static_cast<uint16_t>(static_cast<uint8_t>(bytes[0]) << 8 |
                                     static_cast<uint8_t>(bytes[1]));
    return written == 1 ? static_cast<uint8_t>(bytes[0]) : QuestionMark;
}

// Splits the platform's output for a whole block into the forms of its
// units: a lead byte starts a two-byte form, any other byte is a form of its
// own. False when the output does not divide into exactly one form per unit.
bool SplitBlockOutput(const uint8_t* bytes, size_t length, uint16_t* out) {
    size_t at = 0;
    for (size_t i = 0; i < BlockUnits; ++i) {
        if (at >= length)
            return false;
        if (IsLeadByte(bytes[at])) {
            if (at + 1 >= length)
                return false;
            out[i] = static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
            at += 2;
        } else {
            out[i] = bytes[at];
            at += 1;
        }
    }
    return at == length;
}

// Fills a block with one platform call; should its output not divide into
// one form per unit, each unit is asked on its own.
void FillBlock(size_t block) {
    char16_t units[BlockUnits];
    for (size_t i = 0; i < BlockUnits; ++i)
        units[i] = static_cast<char16_t>(block * BlockUnits + i);
    uint8_t bytes[2 * BlockUnits];
    size_t written = 0;
    bool replaced = false;
    int result = Utf16ToCodePage932(units, BlockUnits, reinterpret_cast<char*>(bytes), sizeof bytes,
                                    &written, &replaced);
    if (result != CodePageDone || !SplitBlockOutput(bytes, written, forms[block])) {
        for (size_t i = 0; i < BlockUnits; ++i)
            forms[block][i] = FormOfUnit(units[i]);
    }
    filled[block] = true;
}

inline uint16_t FormOf(char16_t unit) {
    size_t block = unit / BlockUnits;
    if (!filled[block]) [[unlikely]]
        FillBlock(block);
    return forms[block][unit % BlockUnits];
}

}  // namespace

int Utf16ToCodePage932Cached(const char16_t* units, size_t count, char* out, size_t capacity,
                             size_t* written, bool* replaced) {
    size_t used = 0;
    int result = CodePageDone;
    for (size_t i = 0; i < count; ++i) {
        char16_t unit = units[i];
        uint16_t form = FormOf(unit);
        if (form > 0xFF) {
            if (capacity - used < 2) {
                result = CodePageNoRoom;
                break;
            }
            out[used++] = static_cast<char>(form >> 8);
            out[used++] = static_cast<char>(form & 0xFF);
            continue;
        }
        if (used == capacity) {
            result = CodePageNoRoom;
            break;
        }
        out[used++] = static_cast<char>(form);
        if (form == QuestionMark && unit != QuestionMark)
            *replaced = true;
    }
    *written = used;
    return result;
}
