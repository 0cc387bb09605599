#include "jcode/unicode.h"

#include <algorithm>
#include <cstring>

#include "jcode/cp932_table.h"
#include "jcode/kana.h"
#include "jcode/newline.h"
#include "jcode/work_areas.h"
#include "platform/codepage.h"

namespace {

// Stands for a character that code page 932 cannot represent (a character
// beyond the 16-bit range, or a pair of surrogates).
constexpr char16_t Unrepresentable = 0xFFFD;

bool IsContinuation(uint8_t b) {
    return b >= 0x80 && b <= 0xBF;
}

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}

bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

bool IsShiftJisLead(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// True when the `length` bytes that DecodeUtf8Char took form a shortest,
// non-surrogate UTF-8 sequence.
bool IsWellFormedUtf8(const uint8_t* seq, int length) {
    uint8_t b0 = seq[0];
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    switch (length) {
        case 1:
            return b0 < 0x80;
        case 2:
            return b0 >= 0xC2 && b0 <= 0xDF && IsContinuation(seq[1]);
        case 3:
            if (b0 < 0xE0 || b0 > 0xEF)
                return false;
            if (b0 == 0xE0)
                low = 0xA0;  // shorter forms exist below
            if (b0 == 0xED)
                high = 0x9F;  // surrogates above
            return seq[1] >= low && seq[1] <= high && IsContinuation(seq[2]);
        default:
            if (b0 == 0xF0)
                low = 0x90;
            if (b0 == 0xF4)
                high = 0x8F;
            return seq[1] >= low && seq[1] <= high;
    }
}

// A UTF-16 text gathered in wideWork, shaped for code page 932.
struct WideText {
    size_t count;
    bool full;  // a unit did not fit the work area
};

// Code page 932 holds these JIS characters under their full-width or
// vertical-line variants; the text is given the form the code page holds.
char16_t Cp932Variant(char16_t u) {
    switch (u) {
        case 0x301C:
            return 0xFF5E;  // WAVE DASH → FULLWIDTH TILDE
        case 0x2016:
            return 0x2225;  // DOUBLE VERTICAL LINE → PARALLEL TO
        case 0x2212:
            return 0xFF0D;  // MINUS SIGN → FULLWIDTH HYPHEN-MINUS
        case 0x00A2:
            return 0xFFE0;  // CENT SIGN
        case 0x00A3:
            return 0xFFE1;  // POUND SIGN
        case 0x00AC:
            return 0xFFE2;  // NOT SIGN
        case 0x2014:
            return 0x2015;  // EM DASH → HORIZONTAL BAR
        default:
            return u;
    }
}

// Appends one unit: a combining sound mark joins the kana before it where
// code page 932 holds the result, a surrogate pair becomes one unrepresentable
// character, and JIS variants take their code page 932 form.
inline void AppendUnit(WideText* text, char16_t u) {
    char16_t* last = text->count > 0 ? &wideWork[text->count - 1] : nullptr;
    if (last && (u == CombiningVoicedMark || u == CombiningSemiVoicedMark)) {
        if (char16_t composed = ComposeKana(*last, u)) {
            *last = composed;
            return;
        }
    }
    if (last && IsLowSurrogate(u) && IsHighSurrogate(*last)) {
        *last = Unrepresentable;
        return;
    }
    if (text->count == WideWorkLimit()) {
        text->full = true;
        return;
    }
    wideWork[text->count++] = Cp932Variant(u);
}

// Copies `length` Shift-JIS bytes of narrowWork into `sink` under the newline
// rule, keeping each double-byte character whole.
void CopyWithNewlines(size_t length, NewlineForm form, TextSink* sink) {
    narrowWork[length] = 0;  // TranslateNewline looks one byte past a CR
    // Without a newline (no trail byte is a CR or LF) the text is copied as
    // it is; when it fits whole, in one piece.
    if (std::memchr(narrowWork, '\r', length) == nullptr &&
        std::memchr(narrowWork, '\n', length) == nullptr) {
        if (SinkPut(sink, narrowWork, length))
            return;
        sink->full = false;  // copied piece by piece below, up to where it fills
    }
    size_t i = 0;
    while (i < length && !sink->full) {
        uint8_t b = static_cast<uint8_t>(narrowWork[i]);
        if (IsShiftJisLead(b) && i + 1 < length) {
            SinkPut(sink, narrowWork + i, 2);
            i += 2;
        } else if (b == '\r' || b == '\n') {
            char replacement[2];
            size_t replacementLength = 0;
            i += TranslateNewline(narrowWork + i, form, replacement, &replacementLength);
            SinkPut(sink, replacement, replacementLength);
        } else {
            SinkPutByte(sink, static_cast<char>(b));
            ++i;
        }
    }
}

// Converts the gathered text to Shift-JIS at `output`: code page 932 into
// narrowWork, then the newline rule into the output.
int WideTextToShiftJis(const WideText& text, bool malformed, char* output, size_t capacity,
                       ConversionFlags flags, int* lossy) {
    size_t length = 0;
    bool replaced = false;
    int converted = Utf16ToCodePage932Cached(wideWork, text.count, narrowWork, NarrowWorkLimit(),
                                             &length, &replaced);
    TextSink sink = MakeTextSink(output, capacity);
    CopyWithNewlines(length, SelectNewlineForm(flags), &sink);
    SinkTerminate(&sink);
    bool tooLong = text.full || converted == CodePageNoRoom || sink.full;
    if (lossy)
        *lossy = (tooLong || replaced || malformed) ? 1 : 0;
    return tooLong ? TextTooLong : 0;
}

// Appends the code page 932 form of `unit` at `out` unless it is a newline
// byte or a replacement; returns the bytes put, 0 when it is not plain.
inline size_t PutPlainForm(char16_t unit, uint8_t* out) {
    uint16_t form = CodePage932FormOf(unit);
    if (form > 0xFF) {
        out[0] = static_cast<uint8_t>(form >> 8);
        out[1] = static_cast<uint8_t>(form);
        return 2;
    }
    if ((form == '?' && unit != '?') || form == '\r' || form == '\n')
        return 0;
    out[0] = static_cast<uint8_t>(form);
    return 1;
}

// Utf8ToShiftJis for the usual text, in one pass from the UTF-8 bytes to
// the code page 932 forms: well-formed one-, two- and three-byte sequences
// (no E0 or ED lead, so no shorter form and no surrogate), no combining
// sound mark, no newline, no character without a form, and room for every
// byte. Such a text takes none of the rules of the general path, which gives
// the same bytes for it. Returns false, with `output` partly written, for
// any other text; the general path then writes it again.
bool Utf8ToShiftJisPlain(const uint8_t* bytes, size_t n, char* output, size_t capacity) {
    if (n > WideWorkLimit() || capacity == 0)
        return false;
    uint8_t* const start = reinterpret_cast<uint8_t*>(output);
    uint8_t* out = start;
    // The bytes that fit both the work area of the general path and the
    // output before its terminator.
    const size_t room = std::min(capacity - 1, NarrowWorkLimit());
    size_t i = 0;
    while (i < n) {
        if (static_cast<size_t>(out - start) + 2 > room)
            return false;
        uint8_t b0 = bytes[i];
        char16_t u = 0;
        if (b0 < 0x80) {
            u = b0;
            i += 1;
        } else if (b0 >= 0xE1 && b0 <= 0xEF && b0 != 0xED && n - i >= 3 &&
                   IsContinuation(bytes[i + 1]) && IsContinuation(bytes[i + 2])) {
            u = static_cast<char16_t>((b0 & 0x0F) << 12 | (bytes[i + 1] & 0x3F) << 6 |
                                      (bytes[i + 2] & 0x3F));
            if (u == CombiningVoicedMark || u == CombiningSemiVoicedMark)
                return false;
            i += 3;
        } else if (b0 >= 0xC2 && b0 <= 0xDF && n - i >= 2 && IsContinuation(bytes[i + 1])) {
            u = static_cast<char16_t>((b0 & 0x1F) << 6 | (bytes[i + 1] & 0x3F));
            i += 2;
        } else {
            return false;
        }
        size_t put = PutPlainForm(Cp932Variant(u), out);
        if (put == 0)
            return false;
        out += put;
    }
    *out = 0;
    return true;
}

}  // namespace

uint16_t DecodeUtf8Char(const uint8_t* bytes, int* length) {
    uint8_t b0 = bytes[0];
    if (b0 < 0x80) {
        *length = 1;
        return b0;
    }
    if (b0 <= 0xDF) {
        *length = 2;
        return static_cast<uint16_t>((b0 & 0x1F) << 6 | (bytes[1] & 0x3F));
    }
    // A four-byte sequence is one character beyond the 16-bit range. The
    // fourth byte is read only after two continuation bytes, so a
    // zero-terminated text is never read past its end here.
    if (b0 >= 0xF0 && b0 <= 0xF4 && IsContinuation(bytes[1]) && IsContinuation(bytes[2]) &&
        IsContinuation(bytes[3])) {
        *length = 4;
        return Unrepresentable;
    }
    *length = 3;
    return static_cast<uint16_t>((b0 & 0x0F) << 12 | (bytes[1] & 0x3F) << 6 | (bytes[2] & 0x3F));
}

int EncodeUtf8Char(uint16_t unit, uint8_t* out, int* length) {
    int count = 0;
    if (unit < 0x80) {
        out[count++] = static_cast<uint8_t>(unit);
    } else if (unit < 0x800) {
        out[count++] = static_cast<uint8_t>(0xC0 | unit >> 6);
        out[count++] = static_cast<uint8_t>(0x80 | (unit & 0x3F));
    } else {
        out[count++] = static_cast<uint8_t>(0xE0 | unit >> 12);
        out[count++] = static_cast<uint8_t>(0x80 | ((unit >> 6) & 0x3F));
        out[count++] = static_cast<uint8_t>(0x80 | (unit & 0x3F));
    }
    *length = count;
    return count;
}

int Utf16LeToShiftJis(const char* source, char* output, size_t capacity, ConversionFlags flags,
                      int* lossy) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(source);
    WideText text{0, false};
    for (size_t i = 0; !text.full; i += 2) {
        char16_t u = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
        if (u == 0)
            break;
        AppendUnit(&text, u);
    }
    return WideTextToShiftJis(text, false, output, capacity, flags, lossy);
}

int Utf8ToShiftJis(const char* source, char* output, size_t capacity, ConversionFlags flags,
                   int* lossy) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(source);
    size_t n = std::strlen(source);
    if (Utf8ToShiftJisPlain(bytes, n, output, capacity)) {
        if (lossy)
            *lossy = 0;
        return 0;
    }
    WideText text{0, false};
    bool malformed = false;
    size_t i = 0;
    while (i < n && !text.full) {
        if (bytes[i] < 0x80) {
            // One byte, never zero before the end, never joined or varied.
            if (text.count == WideWorkLimit()) {
                text.full = true;
                break;
            }
            wideWork[text.count++] = bytes[i++];
            continue;
        }
        if (n - i >= 3) {
            // A well-formed three-byte sequence whose lead is neither E0 nor
            // ED (whose second bytes have narrower ranges) is most of a
            // Japanese name: decoded here, it is never a surrogate or zero.
            uint8_t b0 = bytes[i];
            uint8_t b1 = bytes[i + 1];
            uint8_t b2 = bytes[i + 2];
            if (b0 >= 0xE1 && b0 <= 0xEF && b0 != 0xED && IsContinuation(b1) &&
                IsContinuation(b2)) {
                char16_t u =
                    static_cast<char16_t>((b0 & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F));
                AppendUnit(&text, u);
                i += 3;
                continue;
            }
        }
        // A sequence cut short by the end of the text takes zero for its
        // missing bytes.
        // Away from the end the bytes are read where they stand.
        uint8_t padded[4] = {0, 0, 0, 0};
        size_t available = std::min<size_t>(4, n - i);
        const uint8_t* seq = bytes + i;
        if (available < 4) {
            std::memcpy(padded, bytes + i, available);
            seq = padded;
        }
        int length = 0;
        uint16_t u = DecodeUtf8Char(seq, &length);
        if (static_cast<size_t>(length) > available || !IsWellFormedUtf8(seq, length)) {
            malformed = true;
        }
        if (u == 0)
            break;  // an overlong zero ends the text
        AppendUnit(&text, u);
        i += static_cast<size_t>(length);
    }
    return WideTextToShiftJis(text, malformed, output, capacity, flags, lossy);
}
