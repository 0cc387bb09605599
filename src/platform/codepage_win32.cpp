// Code page 932 through the system's converters, MultiByteToWideChar and
// WideCharToMultiByte, with the fixed policy of codepage_policy.h on top:
// the system never sees the units and bytes the policy maps itself, and
// what the system refuses is replaced as the policy says.
#include <windows.h>

#include <cstdint>

#include "platform/codepage.h"
#include "platform/codepage_policy.h"

namespace {

constexpr UINT ShiftJisCodePage = 932;

// The bytes of `count` units with no best-fit guesses; -1 when the system
// refused them. `usedDefault` tells whether some unit became "?".
int EncodeUnits(const char16_t* units, size_t count, char* out, size_t room, bool* usedDefault) {
    BOOL defaulted = FALSE;
    int n =
        WideCharToMultiByte(ShiftJisCodePage, WC_NO_BEST_FIT_CHARS, reinterpret_cast<LPCWCH>(units),
                            static_cast<int>(count), out, static_cast<int>(room), "?", &defaulted);
    *usedDefault = defaulted != FALSE;
    return n > 0 ? n : -1;
}

// Converts a run of units the policy leaves to the system: in one call when
// the whole run fits, else unit by unit until the output is full.
int ConvertUnitRun(const char16_t* units, size_t count, Output<char>* o, bool* replaced) {
    bool defaulted = false;
    int needed = EncodeUnits(units, count, nullptr, 0, &defaulted);
    if (needed > 0 && static_cast<size_t>(needed) <= o->capacity - o->used) {
        EncodeUnits(units, count, o->out + o->used, o->capacity - o->used, &defaulted);
        o->used += static_cast<size_t>(needed);
        if (defaulted)
            *replaced = true;
        return CodePageDone;
    }
    for (size_t i = 0; i < count; ++i) {
        char bytes[2];
        int n = EncodeUnits(units + i, 1, bytes, sizeof bytes, &defaulted);
        if (n < 0) {
            bytes[0] = QuestionMark;
            n = 1;
            defaulted = true;
        }
        if (static_cast<size_t>(n) > o->capacity - o->used)
            return CodePageNoRoom;
        for (int k = 0; k < n; ++k)
            o->out[o->used++] = bytes[k];
        if (defaulted)
            *replaced = true;
    }
    return CodePageDone;
}

// The length of the character at `bytes`: 2 for a lead byte with a trail
// byte behind it, else 1.
size_t CharacterLength(const uint8_t* bytes, size_t left) {
    return IsLeadByte(bytes[0]) && left > 1 && IsTrailByte(bytes[1]) ? 2 : 1;
}

// Decodes one character of `length` bytes; false when the system refused it.
bool DecodeCharacter(const uint8_t* bytes, size_t length, char16_t* unit) {
    wchar_t wide = 0;
    int n = MultiByteToWideChar(ShiftJisCodePage, MB_ERR_INVALID_CHARS,
                                reinterpret_cast<LPCCH>(bytes), static_cast<int>(length), &wide, 1);
    *unit = static_cast<char16_t>(wide);
    return n == 1;
}

// Decodes `characters` whole characters in `length` bytes, none of them a
// single byte of the policy's: in one call when they all fit and the system
// takes them all, else character by character.
int ConvertByteRun(const uint8_t* bytes, size_t length, size_t characters, Output<char16_t>* o,
                   bool* replaced) {
    if (characters <= o->capacity - o->used) {
        int n = MultiByteToWideChar(ShiftJisCodePage, MB_ERR_INVALID_CHARS,
                                    reinterpret_cast<LPCCH>(bytes), static_cast<int>(length),
                                    reinterpret_cast<LPWSTR>(o->out + o->used),
                                    static_cast<int>(o->capacity - o->used));
        if (n > 0 && static_cast<size_t>(n) == characters) {
            o->used += characters;
            return CodePageDone;
        }
    }
    size_t i = 0;
    while (i < length) {
        size_t taken = CharacterLength(bytes + i, length - i);
        char16_t u = 0;
        if (!DecodeCharacter(bytes + i, taken, &u))
            u = RefusedCharacter(bytes + i, length - i, &taken, replaced);
        if (!PutUnit(o, u))
            return CodePageNoRoom;
        i += taken;
    }
    return CodePageDone;
}

}  // namespace

int Utf16ToCodePage932(const char16_t* units, size_t count, char* out, size_t capacity,
                       size_t* written, bool* replaced) {
    Output<char> o{out, capacity, 0};
    int result = ConvertAroundSpecialUnits(units, count, &o, replaced, ConvertUnitRun);
    *written = o.used;
    return result;
}

int CodePage932ToUtf16(const char* bytes, size_t count, char16_t* out, size_t capacity,
                       size_t* written, bool* replaced) {
    Output<char16_t> o{out, capacity, 0};
    const uint8_t* source = reinterpret_cast<const uint8_t*>(bytes);
    int result = CodePageDone;
    size_t runStart = 0;
    size_t characters = 0;
    size_t i = 0;
    while (result == CodePageDone && i <= count) {
        size_t taken = i < count ? CharacterLength(source + i, count - i) : 0;
        char16_t extra = taken == 1 ? SingleByteExtra(source[i]) : 0;
        if (i == count || extra != 0) {
            // The run ends here: at the end, or at a single byte that the
            // policy maps itself.
            if (characters > 0)
                result = ConvertByteRun(source + runStart, i - runStart, characters, &o, replaced);
            if (result == CodePageDone && extra != 0 && !PutUnit(&o, extra))
                result = CodePageNoRoom;
            if (i == count)
                break;
            runStart = i + 1;
            characters = 0;
        } else {
            ++characters;
        }
        i += taken;
    }
    *written = o.used;
    return result;
}
