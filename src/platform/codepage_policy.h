// The parts of the code page 932 mapping that are fixed by this tool rather
// than taken from the system's converter (see codepage.h), shared by every
// platform's body so that the bodies cannot drift apart.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/codepage.h"

constexpr char QuestionMark = '?';
constexpr char16_t KatakanaMiddleDot = 0x30FB;

// Lead bytes of a two-byte character: 81-9F and E0-FC.
bool IsLeadByte(uint8_t b);
// Bytes that can follow a lead byte: 40-7E and 80-FC.
bool IsTrailByte(uint8_t b);

// The single byte for U+0080 and U+F8F0-U+F8F3 (80, A0, FD, FE, FF); 0 for
// any other unit.
char UnitSingleByte(char16_t u);
// The unit for the single bytes 80, A0, FD, FE and FF; 0 for any other byte.
char16_t SingleByteExtra(uint8_t b);

// Units that become "?" although a converter may give them bytes: those
// that would not come back as themselves, and every surrogate.
bool HasNoRoundTrip(char16_t u);

// Units that the policy maps itself, never the system's converter.
bool IsSpecialUnit(char16_t u);

// The unit for the character at `bytes` that the converter refused, and the
// number of bytes (1 or 2) it stands for. Sets `replaced` when it is U+30FB.
char16_t RefusedCharacter(const uint8_t* bytes, size_t left, size_t* taken, bool* replaced);

// A cursor over the output of one conversion.
template <typename Unit>
struct Output {
    Unit* out;
    size_t capacity;
    size_t used;
};

template <typename Unit>
bool PutUnit(Output<Unit>* o, Unit u) {
    if (o->used == o->capacity)
        return false;
    o->out[o->used++] = u;
    return true;
}

// Puts the single byte of a unit that the policy maps itself, or "?".
int PutSpecialUnit(char16_t u, Output<char>* o, bool* replaced);

// Converts `count` units to code page 932 at `o`: each run of units between
// those the policy maps itself goes to the system through
// `convertRun(units, count, o, replaced)`, which returns CodePageDone or
// CodePageNoRoom; the policy's units are put here.
template <typename ConvertRun>
int ConvertAroundSpecialUnits(const char16_t* units, size_t count, Output<char>* o, bool* replaced,
                              ConvertRun convertRun) {
    int result = CodePageDone;
    size_t i = 0;
    while (result == CodePageDone && i < count) {
        size_t end = i;
        while (end < count && !IsSpecialUnit(units[end]))
            ++end;
        if (end > i)
            result = convertRun(units + i, end - i, o, replaced);
        if (result == CodePageDone && end < count) {
            result = PutSpecialUnit(units[end], o, replaced);
            ++end;
        }
        i = end;
    }
    return result;
}
