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

bool IsTrailByte(uint8_t b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
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

// The character that starts with a byte: its unit, the bytes it takes and
// whether the unit is a replacement.
struct Cp932Char {
    char16_t unit;
    uint8_t taken;
    bool replaced;
};

// Each byte read on its own; a lead byte so read is a replacement.
Cp932Char singleChars[256];
bool singlesFilled;
// Each lead byte followed by each byte. Where the second byte is no trail
// byte, the lead byte is read on its own (taken 1) and the second byte
// starts the next character.
Cp932Char pairChars[256][256];
bool pairsFilled[256];

// What the platform reads from one byte on its own.
Cp932Char CharOfByte(uint8_t byte) {
    char text = static_cast<char>(byte);
    char16_t unit = 0;
    size_t written = 0;
    bool replaced = false;
    CodePage932ToUtf16(&text, 1, &unit, 1, &written, &replaced);
    return Cp932Char{unit, 1, replaced};
}

// What the platform reads from a lead byte and the byte after it: one
// character of both bytes, or the lead byte on its own.
Cp932Char CharOfPair(uint8_t lead, uint8_t next) {
    char text[2] = {static_cast<char>(lead), static_cast<char>(next)};
    char16_t units[2] = {};
    size_t written = 0;
    bool replaced = false;
    CodePage932ToUtf16(text, 2, units, 2, &written, &replaced);
    if (written == 1)
        return Cp932Char{units[0], 2, replaced};
    return singleChars[lead];
}

// Fills singleChars: the bytes that are no lead byte with one platform call
// (each is one character), the lead bytes each on its own.
void FillSingles() {
    char bytes[256];
    size_t count = 0;
    for (int b = 0; b < 256; ++b) {
        uint8_t byte = static_cast<uint8_t>(b);
        if (IsLeadByte(byte))
            singleChars[byte] = CharOfByte(byte);
        else
            bytes[count++] = static_cast<char>(byte);
    }
    char16_t units[256];
    size_t written = 0;
    bool replaced = false;
    CodePage932ToUtf16(bytes, count, units, count, &written, &replaced);
    for (size_t i = 0; i < count; ++i) {
        uint8_t byte = static_cast<uint8_t>(bytes[i]);
        singleChars[byte] =
            written == count && !replaced ? Cp932Char{units[i], 1, false} : CharOfByte(byte);
    }
    singlesFilled = true;
}

// Fills the codes of one lead byte: those with a trail byte with one
// platform call (each is one character), asking again on its own every code
// of a call that made a replacement and that reads as U+30FB (a replacement,
// or the katakana middle dot itself).
void FillPairs(uint8_t lead) {
    char bytes[2 * 256];
    size_t count = 0;
    for (int t = 0; t < 256; ++t) {
        uint8_t trail = static_cast<uint8_t>(t);
        pairChars[lead][trail] = singleChars[lead];
        if (IsTrailByte(trail)) {
            bytes[2 * count] = static_cast<char>(lead);
            bytes[2 * count + 1] = static_cast<char>(trail);
            ++count;
        }
    }
    char16_t units[256];
    size_t written = 0;
    bool replaced = false;
    CodePage932ToUtf16(bytes, 2 * count, units, count, &written, &replaced);
    for (size_t i = 0; i < count; ++i) {
        uint8_t trail = static_cast<uint8_t>(bytes[2 * i + 1]);
        bool known = written == count && (!replaced || units[i] != 0x30FB);
        pairChars[lead][trail] = known ? Cp932Char{units[i], 2, false} : CharOfPair(lead, trail);
    }
    pairsFilled[lead] = true;
}

inline Cp932Char CharAt(const uint8_t* bytes, size_t left) {
    uint8_t b = bytes[0];
    if (!IsLeadByte(b) || left < 2)
        return singleChars[b];
    if (!pairsFilled[b]) [[unlikely]]
        FillPairs(b);
    return pairChars[b][bytes[1]];
}

}  // namespace

int CodePage932ToUtf16Cached(const char* bytes, size_t count, char16_t* out, size_t capacity,
                             size_t* written, bool* replaced) {
    if (!singlesFilled) [[unlikely]]
        FillSingles();
    const uint8_t* in = reinterpret_cast<const uint8_t*>(bytes);
    size_t used = 0;
    int result = CodePageDone;
    size_t i = 0;
    if (count <= capacity) {
        // Every character takes at least one byte: the units fit.
        bool any = false;
        while (i < count) {
            Cp932Char c = CharAt(in + i, count - i);
            out[used++] = c.unit;
            any |= c.replaced;
            i += c.taken;
        }
        if (any)
            *replaced = true;
    }
    while (i < count) {
        Cp932Char c = CharAt(in + i, count - i);
        if (used == capacity) {
            result = CodePageNoRoom;
            break;
        }
        out[used++] = c.unit;
        if (c.replaced)
            *replaced = true;
        i += c.taken;
    }
    *written = used;
    return result;
}

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
