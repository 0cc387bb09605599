// Code page 932 through the C library's iconv ("CP932"). The two converters
// are opened once, on first use, and kept for the life of the process. Where
// iconv has no CP932 converter, only ASCII and half-width katakana convert and
// everything else counts as replaced.
#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstdint>

#include "platform/codepage.h"

namespace {

constexpr char QuestionMark = '?';
constexpr char16_t KatakanaMiddleDot = 0x30FB;
const iconv_t NoConverter = reinterpret_cast<iconv_t>(-1);

struct Cp932Converters {
    iconv_t fromUtf16;
    iconv_t toUtf16;
};

const char* HostUtf16() {
    return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

Cp932Converters OpenConverters() {
    Cp932Converters c{iconv_open("CP932", HostUtf16()), iconv_open(HostUtf16(), "CP932")};
    if (c.fromUtf16 == NoConverter || c.toUtf16 == NoConverter) {
        if (c.fromUtf16 != NoConverter)
            iconv_close(c.fromUtf16);
        if (c.toUtf16 != NoConverter)
            iconv_close(c.toUtf16);
        c = Cp932Converters{NoConverter, NoConverter};
    }
    return c;
}

const Cp932Converters& Converters() {
    static const Cp932Converters converters = OpenConverters();
    return converters;
}

bool IsLeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrailByte(uint8_t b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The unit of each single byte that code page 932 defines but iconv's table
// lacks; 0 for any other unit.
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

// Units that iconv would convert although they do not come back as
// themselves, and surrogates: all of them become "?".
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

// Bytes that code page 932 defines as characters of their own but that
// iconv's table lacks; 0 for any other byte.
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

// Converts the run [units, units + count) of units that may have a form,
// writing "?" for each unit that has none.
int ConvertUnitRun(iconv_t cd, const char16_t* units, size_t count, Output<char>* o,
                   bool* replaced) {
    char* in = reinterpret_cast<char*>(const_cast<char16_t*>(units));
    size_t inLeft = count * sizeof(char16_t);
    while (inLeft > 0) {
        char* next = o->out + o->used;
        size_t outLeft = o->capacity - o->used;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        size_t r = iconv(cd, &in, &inLeft, &next, &outLeft);
        int error = errno;
        o->used = o->capacity - outLeft;
        if (r != static_cast<size_t>(-1))
            break;
        if (error == E2BIG)
            return CodePageNoRoom;
        if (!PutUnit(o, QuestionMark))
            return CodePageNoRoom;
        *replaced = true;
        in += sizeof(char16_t);
        inLeft -= sizeof(char16_t);
    }
    return CodePageDone;
}

// Units that iconv must not see: it converts them wrongly or not at all.
bool IsSpecialUnit(char16_t u) {
    return HasNoRoundTrip(u) || UnitSingleByte(u) != 0;
}

int PutSpecialUnit(char16_t u, Output<char>* o, bool* replaced) {
    char byte = UnitSingleByte(u);
    if (byte == 0) {
        byte = QuestionMark;
        *replaced = true;
    }
    return PutUnit(o, byte) ? CodePageDone : CodePageNoRoom;
}

int Utf16ToCp932WithoutIconv(const char16_t* units, size_t count, Output<char>* o, bool* replaced) {
    for (size_t i = 0; i < count; ++i) {
        char16_t u = units[i];
        char byte = QuestionMark;
        if (u < 0x80) {
            byte = static_cast<char>(u);
        } else if (u >= 0xFF61 && u <= 0xFF9F) {
            byte = static_cast<char>(u - 0xFF61 + 0xA1);
        } else {
            if (PutSpecialUnit(u, o, replaced) != CodePageDone)
                return CodePageNoRoom;
            continue;
        }
        if (!PutUnit(o, byte))
            return CodePageNoRoom;
    }
    return CodePageDone;
}

// The unit for the character at `bytes` that iconv refused, and the number
// of bytes it stands for.
char16_t RefusedCharacter(const uint8_t* bytes, size_t left, size_t* taken, bool* replaced) {
    *taken = 1;
    if (char16_t extra = SingleByteExtra(bytes[0]))
        return extra;
    if (IsLeadByte(bytes[0]) && left > 1 && IsTrailByte(bytes[1]))
        *taken = 2;
    *replaced = true;
    return KatakanaMiddleDot;
}

int Cp932ToUtf16WithoutIconv(const uint8_t* bytes, size_t count, Output<char16_t>* o,
                             bool* replaced) {
    size_t i = 0;
    while (i < count) {
        uint8_t b = bytes[i];
        char16_t u = 0;
        size_t taken = 1;
        if (b < 0x80) {
            u = b;
        } else if (b >= 0xA1 && b <= 0xDF) {
            u = static_cast<char16_t>(0xFF61 + b - 0xA1);
        } else {
            u = RefusedCharacter(bytes + i, count - i, &taken, replaced);
        }
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
    iconv_t cd = Converters().fromUtf16;
    int result = CodePageDone;
    if (cd == NoConverter) {
        result = Utf16ToCp932WithoutIconv(units, count, &o, replaced);
    } else {
        size_t i = 0;
        while (result == CodePageDone && i < count) {
            size_t end = i;
            while (end < count && !IsSpecialUnit(units[end]))
                ++end;
            if (end > i)
                result = ConvertUnitRun(cd, units + i, end - i, &o, replaced);
            if (result == CodePageDone && end < count) {
                result = PutSpecialUnit(units[end], &o, replaced);
                ++end;
            }
            i = end;
        }
    }
    *written = o.used;
    return result;
}

int CodePage932ToUtf16(const char* bytes, size_t count, char16_t* out, size_t capacity,
                       size_t* written, bool* replaced) {
    Output<char16_t> o{out, capacity, 0};
    const uint8_t* source = reinterpret_cast<const uint8_t*>(bytes);
    iconv_t cd = Converters().toUtf16;
    if (cd == NoConverter) {
        int result = Cp932ToUtf16WithoutIconv(source, count, &o, replaced);
        *written = o.used;
        return result;
    }
    char* in = const_cast<char*>(bytes);
    size_t inLeft = count;
    int result = CodePageDone;
    while (inLeft > 0) {
        char* next = reinterpret_cast<char*>(o.out + o.used);
        size_t outLeft = (o.capacity - o.used) * sizeof(char16_t);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        size_t r = iconv(cd, &in, &inLeft, &next, &outLeft);
        int error = errno;
        o.used = o.capacity - outLeft / sizeof(char16_t);
        if (r != static_cast<size_t>(-1))
            break;
        if (error == E2BIG) {
            result = CodePageNoRoom;
            break;
        }
        size_t taken = 1;
        const uint8_t* at = reinterpret_cast<const uint8_t*>(in);
        char16_t u = RefusedCharacter(at, inLeft, &taken, replaced);
        if (!PutUnit(&o, u)) {
            result = CodePageNoRoom;
            break;
        }
        in += taken;
        inLeft -= taken;
    }
    *written = o.used;
    return result;
}
