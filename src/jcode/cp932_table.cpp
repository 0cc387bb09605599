#include "jcode/cp932_table.h"

#include <cstdint>

#include "jcode/unicode.h"
#include "platform/codepage.h"

namespace {

constexpr uint16_t QuestionMark = '?';

// UTF-16 to code page 932: the form of each unit, once known. Below 0x100 a
// single byte, else a lead byte in the high half and a trail byte in the low
// half (every lead byte is 0x81 or above). A unit other than "?" whose form
// is "?" has no form. Zero stands for a form not yet known: only the unit 0
// has the form 0, and asking again for it gives the same answer.
uint16_t forms[65536];

// Code page 932 to UTF-16: the character that starts with a byte, or with a
// lead byte and the byte after it, once known.
struct Cp932Char {
    char16_t unit;
    uint8_t taken;  // bytes it stands for; 0 while not yet known
    bool replaced;
};

Cp932Char singleChars[256];
Cp932Char pairChars[256][256];  // by lead byte, then the byte after it

bool IsLeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Asks the platform for the form of one unit.
uint16_t LearnForm(char16_t unit) {
    char bytes[2] = {};
    size_t written = 0;
    bool replaced = false;
    Utf16ToCodePage932(&unit, 1, bytes, sizeof bytes, &written, &replaced);
    uint16_t form = QuestionMark;
    if (written == 2) {
        form = static_cast<uint16_t>(static_cast<uint8_t>(bytes[0]) << 8 |
                                     static_cast<uint8_t>(bytes[1]));
    } else if (written == 1) {
        form = static_cast<uint8_t>(bytes[0]);
    }
    forms[unit] = form;
    return form;
}

inline uint16_t FormOf(char16_t unit) {
    uint16_t form = forms[unit];
    if (form == 0) [[unlikely]]
        return LearnForm(unit);
    return form;
}

// Asks the platform how it reads one byte on its own.
Cp932Char LearnSingle(uint8_t byte) {
    char text = static_cast<char>(byte);
    char16_t unit = 0;
    size_t written = 0;
    bool replaced = false;
    CodePage932ToUtf16(&text, 1, &unit, 1, &written, &replaced);
    singleChars[byte] = Cp932Char{unit, 1, replaced};
    return singleChars[byte];
}

inline Cp932Char SingleChar(uint8_t byte) {
    Cp932Char c = singleChars[byte];
    return c.taken != 0 ? c : LearnSingle(byte);
}

// Asks the platform how it reads a lead byte and the byte after it: as one
// character of both bytes, or as the lead byte on its own.
Cp932Char LearnPair(uint8_t lead, uint8_t next) {
    char text[2] = {static_cast<char>(lead), static_cast<char>(next)};
    char16_t units[2] = {};
    size_t written = 0;
    bool replaced = false;
    CodePage932ToUtf16(text, 2, units, 2, &written, &replaced);
    Cp932Char c = written == 1 ? Cp932Char{units[0], 2, replaced} : SingleChar(lead);
    pairChars[lead][next] = c;
    return c;
}

inline Cp932Char CharAt(const uint8_t* bytes, size_t left) {
    uint8_t b = bytes[0];
    if (!IsLeadByte(b) || left < 2)
        return SingleChar(b);
    Cp932Char c = pairChars[b][bytes[1]];
    return c.taken != 0 ? c : LearnPair(b, bytes[1]);
}

// The UTF-8 forms of the characters above, once known: 0 while not yet
// known, NoUtf8Form for a character that has none.
constexpr uint32_t NoUtf8Form = 1;
uint32_t singleUtf8[256];
uint32_t pairUtf8[256][256];

uint32_t PackUtf8(Cp932Char c, uint8_t taken) {
    if (c.replaced || c.taken != taken)
        return NoUtf8Form;
    uint8_t bytes[3] = {};
    int count = 0;
    EncodeUtf8Char(c.unit, bytes, &count);
    return static_cast<uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | count << 24);
}

inline uint32_t Utf8At(const uint8_t* bytes, size_t left) {
    uint8_t b = bytes[0];
    bool pair = IsLeadByte(b) && left >= 2;
    uint32_t& form = pair ? pairUtf8[b][bytes[1]] : singleUtf8[b];
    if (form == 0) [[unlikely]]
        form = PackUtf8(CharAt(bytes, left), pair ? 2 : 1);
    return form == NoUtf8Form ? 0 : form;
}

}  // namespace

uint32_t CodePage932Utf8At(const uint8_t* bytes, size_t left) {
    return Utf8At(bytes, left);
}

bool CodePage932KeepsAscii() {
    static const bool keeps = [] {
        for (uint8_t b = 0x20; b < 0x7F; ++b) {
            if (Utf8At(&b, 1) != (1u << 24 | b))
                return false;
        }
        return true;
    }();
    return keeps;
}

uint16_t CodePage932FormOf(char16_t unit) {
    return FormOf(unit);
}

int CodePage932ToUtf16Cached(const char* bytes, size_t count, char16_t* out, size_t capacity,
                             size_t* written, bool* replaced) {
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
