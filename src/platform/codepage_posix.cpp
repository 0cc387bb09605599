// Code page 932 through the C library's iconv ("CP932"). The two converters
// are opened once, on first use, and kept for the life of the process. Where
// iconv has no CP932 converter, only ASCII and half-width katakana convert and
// everything else counts as replaced.
#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstdint>

#include "platform/codepage.h"
#include "platform/codepage_policy.h"

namespace {

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
        result = ConvertAroundSpecialUnits(
            units, count, &o, replaced,
            [cd](const char16_t* run, size_t n, Output<char>* to, bool* lost) {
                return ConvertUnitRun(cd, run, n, to, lost);
            });
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
