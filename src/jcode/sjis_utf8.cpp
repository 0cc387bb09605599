#include "jcode/sjis_utf8.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "jcode/cp932_table.h"
#include "jcode/euc.h"
#include "jcode/kana.h"
#include "jcode/newline.h"
#include "jcode/unicode.h"
#include "jcode/work_areas.h"
#include "platform/codepage.h"

namespace {

constexpr ConversionFlags ExtensionDefault = 0x0480;  // AllowExtensionRows and 0x0400

bool IsLeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrailByte(uint8_t b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

bool InExtensionArea(uint16_t code) {
    return (code >= 0x8540 && code <= 0x889E) || (code >= 0xEB40 && code <= 0xEFFC) ||
           (code >= 0xF040 && code <= 0xFCFC);
}

// How the one-pass conversion to UTF-8 takes each byte of a held text.
constexpr uint8_t PlainStop = 0;         // ends the one pass: no plain text
constexpr uint8_t PlainSingle = 1;       // a character of one byte
constexpr uint8_t PlainLead = 2;         // a lead byte of rows outside the extension areas
constexpr uint8_t PlainLeadToCheck = 3;  // a lead byte of rows that hold extension codes

constexpr struct PlainClasses {
    uint8_t of[256];
    constexpr PlainClasses() : of() {
        for (int b = 1; b < 0x80; ++b)
            of[b] = (b == '\r' || b == '\n') ? PlainStop : PlainSingle;
        for (int b = 0x81; b <= 0xFC; ++b) {
            if (b >= 0xA0 && b <= 0xDF)
                continue;  // half-width katakana and A0 are no lead bytes
            bool extensionRows = (b >= 0x85 && b <= 0x88) || b >= 0xEB;
            of[b] = extensionRows ? PlainLeadToCheck : PlainLead;
        }
    }
} plainClasses;

// True when all eight bytes of `word` are printable ASCII (0x20 to 0x7E).
// With no top bit set, subtracting 0x20 sets a top bit only in or after a
// byte below 0x20, and adding 1 only in a byte of 0x7F.
bool IsPrintableAscii(uint64_t word) {
    constexpr uint64_t Tops = 0x8080808080808080ull;
    if (word & Tops)
        return false;
    return ((word - 0x2020202020202020ull) & Tops) == 0 &&
           ((word + 0x0101010101010101ull) & Tops) == 0;
}

// The packed UTF-8 forms (CodePage932Utf8At) of the pairs that the one pass
// converts, by lead byte and trail byte, once worked out: 0 while unknown,
// NoPlainForm for a pair that ends the one pass (no trail byte, a code of an
// extension area, a character with no UTF-8 form). One look-up per
// character instead of the checks behind it.
constexpr uint32_t NoPlainForm = 1;
uint32_t plainPairForms[256][256];

uint32_t LearnPlainPair(uint8_t lead, uint8_t trail) {
    const uint8_t pair[2] = {lead, trail};
    uint32_t form = NoPlainForm;
    if (IsTrailByte(trail) && !(plainClasses.of[lead] == PlainLeadToCheck &&
                                InExtensionArea(static_cast<uint16_t>(lead << 8 | trail)))) {
        form = CodePage932Utf8At(pair, 2);
        if (form == 0)
            form = NoPlainForm;  // a replacement
    }
    plainPairForms[lead][trail] = form;
    return form;
}

inline uint32_t PlainPairForm(uint8_t lead, uint8_t trail) {
    uint32_t form = plainPairForms[lead][trail];
    return form != 0 ? form : LearnPlainPair(lead, trail);
}

// The fault of the double-byte character whose lead byte stands at `text`,
// or 0 when it is accepted. The area test comes first so that only codes
// inside an area go through the JIS round trip.
int CheckDoubleByte(const uint8_t* text, ConversionFlags flags) {
    uint8_t trail = text[1];
    if (!IsTrailByte(trail))
        return trail == 0 ? MissingTrailByte : BadTrailByte;
    uint16_t code = static_cast<uint16_t>(text[0] << 8 | trail);
    if (InExtensionArea(code) &&
        (ClassifyExtensionCode(code) != 1 || !(flags & AllowExtensionRows))) {
        return CodeRejected;
    }
    return 0;
}

// Half-width katakana at `text` as its full-width code, absorbing a sound mark
// that follows; `taken` receives the source bytes used.
uint16_t FoldKana(const uint8_t* text, size_t* taken) {
    int kind = SoundMarkKind(text[0], text[1]);
    *taken = kind > 0 ? 2 : 1;
    return static_cast<uint16_t>(FullWidthKana(text[0]) + kind);
}

bool PutCode(TextSink* sink, uint16_t code) {
    const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    return SinkPut(sink, bytes, 2);
}

// Puts the zero-terminated source into narrowWork, through the pre-pass when
// the flags ask for it.
int FillNarrowWork(const char* source, ConversionFlags flags) {
    if (flags & PrepassMask)
        return PrepareShiftJis(source, narrowWork, NarrowWorkLimit() + 1, flags);
    size_t n = strnlen(source, NarrowWorkLimit() + 1);
    if (n > NarrowWorkLimit())
        return TextTooLong;
    std::memcpy(narrowWork, source, n + 1);
    return 0;
}

int Utf8Size(char16_t unit) {
    return unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
}

// The measuring walk over narrowWork: counts the characters before the first
// fault into `characters` and returns the fault, or 0.
int ValidateNarrowWork(ConversionFlags flags, size_t* characters) {
    const uint8_t* text = reinterpret_cast<const uint8_t*>(narrowWork);
    size_t i = 0;
    size_t count = 0;
    while (text[i] != 0) {
        if (IsLeadByte(text[i])) {
            if (int fault = CheckDoubleByte(text + i, flags)) {
                *characters = count;
                return fault;
            }
            i += 2;
        } else {
            ++i;
        }
        ++count;
    }
    *characters = count;
    return 0;
}

// Why code page 932 could not read narrowWork faithfully: a broken
// double-byte character (possible only without the pre-pass) or a code that
// holds no character.
int ReplacementFault() {
    const uint8_t* text = reinterpret_cast<const uint8_t*>(narrowWork);
    for (size_t i = 0; text[i] != 0; ++i) {
        if (!IsLeadByte(text[i]))
            continue;
        if (text[i + 1] == 0)
            return MissingTrailByte;
        if (!IsTrailByte(text[i + 1]))
            return BadTrailByte;
        ++i;
    }
    return CodeRejected;
}

size_t Utf8SizeOfUnits(size_t count) {
    size_t total = 0;
    for (size_t i = 0; i < count; ++i)
        total += static_cast<size_t>(Utf8Size(wideWork[i]));
    return total;
}

void WriteUtf8(size_t count, char* output) {
    uint8_t* out = reinterpret_cast<uint8_t*>(output);
    int written = 0;
    for (size_t i = 0; i < count; ++i)
        out += EncodeUtf8Char(wideWork[i], out, &written);
    *out = 0;
}

}  // namespace

int ShiftJisToUtf8Plain(const char* source, char* output, size_t capacity, int* length) {
    // The text is gathered here and copied out only once it is known to be
    // plain and to fit, so that a refusal leaves the output untouched. Every
    // character takes at most three bytes, and three more may be stored past
    // the last one; a run of ASCII is stored eight bytes at a time.
    static uint8_t gathered[3 * LongWorkText + 8];
    const uint8_t* text = reinterpret_cast<const uint8_t*>(source);
    const size_t textLength = strnlen(source, NarrowWorkLimit() + 1);
    if (textLength > NarrowWorkLimit())
        return NotPlainText;  // longer than a work area holds
    const bool asciiAsIs = CodePage932KeepsAscii();
    size_t total = 0;
    size_t i = 0;
    while (i < textLength) {
        const uint8_t b = text[i];
        const uint8_t k = plainClasses.of[b];
        uint32_t form = 0;
        if (k >= PlainLead) {
            // The zero byte that ends the text is no trail byte.
            form = PlainPairForm(b, text[i + 1]);
            if (form == NoPlainForm)
                return NotPlainText;
            i += 2;
        } else if (k == PlainSingle) {
            if (asciiAsIs && textLength - i >= 8) {
                uint64_t word = 0;
                std::memcpy(&word, text + i, sizeof word);
                if (IsPrintableAscii(word)) {
                    std::memcpy(gathered + total, &word, sizeof word);
                    total += 8;
                    i += 8;
                    continue;
                }
            }
            form = CodePage932Utf8At(text + i, 1);
            i += 1;
        } else {
            // A newline, half-width katakana, or a byte that starts nothing.
            return NotPlainText;
        }
        if (form == 0)
            return NotPlainText;  // a replacement
        if constexpr (std::endian::native == std::endian::little) {
            // The form as it lies in memory is its bytes in order, then the
            // count, which the next character overwrites or which lies past
            // the end.
            std::memcpy(gathered + total, &form, sizeof form);
        } else {
            gathered[total] = static_cast<uint8_t>(form);
            gathered[total + 1] = static_cast<uint8_t>(form >> 8);
            gathered[total + 2] = static_cast<uint8_t>(form >> 16);
        }
        total += form >> 24;
    }
    if (capacity == 0 || total > capacity - 1)
        return TextTooLong;
    std::memcpy(output, gathered, total);
    output[total] = 0;
    *length = static_cast<int>(total);
    return 0;
}

ConversionFlags WithDefaultFlags(ConversionFlags flags) {
    if (flags == 0)
        flags = DefaultConversionFlags;
    if (!(flags & KanaGroup))
        flags |= KanaFold;
    if (!(flags & ExtensionGroup))
        flags |= ExtensionDefault;
    return flags;
}

int ShiftJisToUtf8(const char* source, char* output, size_t capacity, int* length,
                   ConversionFlags flags) {
    if (output) {
        int plain = ShiftJisToUtf8Plain(source, output, capacity, length);
        if (plain != NotPlainText)
            return plain;
    }
    flags = WithDefaultFlags(flags);
    if (int pending = FillNarrowWork(source, flags))
        return pending;
    size_t narrowLength = std::strlen(narrowWork);
    size_t units = 0;
    bool replaced = false;
    // Every character is one unit, so the units always fit.
    CodePage932ToUtf16Cached(narrowWork, narrowLength, wideWork, WideWorkLimit() + 1, &units,
                             &replaced);
    if (!output) {
        size_t characters = 0;
        int fault = ValidateNarrowWork(flags, &characters);
        *length = static_cast<int>(Utf8SizeOfUnits(std::min(characters, units)));
        return fault;
    }
    if (replaced)
        return ReplacementFault();
    size_t total = Utf8SizeOfUnits(units);
    if (capacity == 0 || total > capacity - 1)
        return TextTooLong;
    WriteUtf8(units, output);
    *length = static_cast<int>(total);
    return 0;
}

int PrepareShiftJis(const char* source, char* destination, size_t capacity, ConversionFlags flags) {
    const uint8_t* text = reinterpret_cast<const uint8_t*>(source);
    TextSink sink = MakeTextSink(destination, capacity);
    NewlineForm newlines = SelectNewlineForm(flags);
    int result = 0;
    size_t i = 0;
    while (result == 0 && text[i] != 0) {
        uint8_t b = text[i];
        if (IsLeadByte(b)) {
            result = CheckDoubleByte(text + i, flags);
            if (result != 0)
                break;
            SinkPut(&sink, source + i, 2);
            i += 2;
        } else if (IsHalfWidthKana(b)) {
            if (flags & KanaReject) {
                result = KanaRejected;
                break;
            }
            size_t taken = 0;
            PutCode(&sink, FoldKana(text + i, &taken));
            i += taken;
        } else if (b == '\r' || b == '\n') {
            char replacement[2];
            size_t replacementLength = 0;
            i += TranslateNewline(source + i, newlines, replacement, &replacementLength);
            SinkPut(&sink, replacement, replacementLength);
        } else {
            SinkPutByte(&sink, source[i]);
            ++i;
        }
        if (sink.full)
            result = TextTooLong;
    }
    SinkTerminate(&sink);
    if (sink.full)
        result = TextTooLong;
    return result;
}

int ClassifyExtensionCode(uint16_t code) {
    if (!InExtensionArea(code))
        return 0;
    uint16_t jis = ShiftJisToJis(static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code));
    if (jis < 0x2121 || jis > 0x7E7E)
        return 3;
    uint16_t back = JisToShiftJis(static_cast<uint8_t>(jis >> 8), static_cast<uint8_t>(jis));
    return back == code ? 1 : 2;
}

uint16_t ShiftJisToJis(uint8_t lead, uint8_t trail) {
    uint8_t row = static_cast<uint8_t>(((lead <= 0x9F ? lead - 0x71 : lead - 0xB1) * 2 + 1) & 0xFF);
    uint8_t t = trail > 0x7F ? static_cast<uint8_t>(trail - 1) : trail;
    uint8_t cell = 0;
    if (t >= 0x9E) {
        row = static_cast<uint8_t>(row + 1);
        cell = static_cast<uint8_t>(t - 0x7D);
    } else {
        cell = static_cast<uint8_t>(t - 0x1F);
    }
    return static_cast<uint16_t>(row << 8 | cell);
}
