#include "platform/codepage_policy.h"

#include <cstddef>

bool IsLeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrailByte(uint8_t b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

char UnitSingleByte(char16_t u) {
    switch (u) {
        case 0x0080:
            return static_cast<char>(0x80);
        case 0xF8F0:
            return static_cast<char>(0xA0);
        case 0xF8F1:
            return static_cast<char>(0xFD);
        case 0xF8F2:
            return static_cast<char>(0xFE);
        case 0xF8F3:
            return static_cast<char>(0xFF);
        default:
            return 0;
    }
}

char16_t SingleByteExtra(uint8_t b) {
    switch (b) {
        case 0x80:
            return 0x0080;
        case 0xA0:
            return 0xF8F0;
        case 0xFD:
            return 0xF8F1;
        case 0xFE:
            return 0xF8F2;
        case 0xFF:
            return 0xF8F3;
        default:
            return 0;
    }
}

bool HasNoRoundTrip(char16_t u) {
    switch (u) {
        case 0x00A2:
        case 0x00A3:
        case 0x00A5:
        case 0x00AC:
        case 0x2014:
        case 0x2016:
        case 0x203E:
        case 0x2212:
        case 0x301C:
            return true;
        default:
            return u >= 0xD800 && u <= 0xDFFF;
    }
}

bool IsSpecialUnit(char16_t u) {
    return HasNoRoundTrip(u) || UnitSingleByte(u) != 0;
}

char16_t RefusedCharacter(const uint8_t* bytes, size_t left, size_t* taken, bool* replaced) {
    *taken = 1;
    if (char16_t extra = SingleByteExtra(bytes[0]))
        return extra;
    if (IsLeadByte(bytes[0]) && left > 1 && IsTrailByte(bytes[1]))
        *taken = 2;
    *replaced = true;
    return KatakanaMiddleDot;
}

int PutSpecialUnit(char16_t u, Output<char>* o, bool* replaced) {
    char byte = UnitSingleByte(u);
    if (byte == 0) {
        byte = QuestionMark;
        *replaced = true;
    }
    return PutUnit(o, byte) ? CodePageDone : CodePageNoRoom;
}
