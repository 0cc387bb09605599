#include "archive/text_decoding.h"

#include <cstring>

#include "jcode/detect.h"
#include "jcode/euc.h"
#include "jcode/unicode.h"

namespace {

// Copies a text that is kept as read. Bytes after a zero byte cannot be shown
// or stored faithfully by anything that treats the text as zero-terminated.
DecodedText KeepAsRead(const uint8_t* text, size_t length, char* output, size_t capacity,
                       bool faithfulEncoding) {
    DecodedText result{length, 0, 0};
    if (length + 1 > capacity) {
        result.length = capacity - 1;
        result.tooLong = 1;
    }
    std::memcpy(output, text, result.length);
    output[result.length] = '\0';
    bool cutByZero = std::memchr(text, 0, length) != nullptr;
    result.lossy = !faithfulEncoding || cutByZero || result.tooLong;
    return result;
}

// True when a zero unit ends the UTF-16 text before its stored length.
bool Utf16CutByZero(const uint8_t* text, size_t length) {
    if (length % 2 != 0)
        return true;
    for (size_t i = 0; i + 1 < length; i += 2) {
        if (text[i] == 0 && text[i + 1] == 0)
            return true;
    }
    return false;
}

void SwapBytePairs(uint8_t* text, size_t length) {
    for (size_t i = 0; i + 1 < length; i += 2) {
        uint8_t first = text[i];
        text[i] = text[i + 1];
        text[i + 1] = first;
    }
}

DecodedText Converted(int result, int converterLossy, bool cutByZero, char* output) {
    DecodedText decoded{std::strlen(output), 0, 0};
    decoded.tooLong = result == TextTooLong;
    decoded.lossy = converterLossy || result != 0 || cutByZero;
    return decoded;
}

}  // namespace

bool IsNonAsciiText(const uint8_t* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == 0 || text[i] > 0x80)
            return true;
    }
    return false;
}

NameEncoding EncodingOfDetectCode(int detectCode) {
    switch (detectCode) {
        case ShiftJisText:
            return ShiftJis;
        case EucText:
            return Euc;
        case Utf16LeText:
            return Utf16Le;
        case Utf16BeText:
            return Utf16Be;
        default:
            return Utf8;
    }
}

DecodedText DecodeNonAsciiText(uint8_t* text, size_t length, const uint8_t* detectView,
                               char* output, size_t capacity) {
    int code = DetectEncoding(detectView, static_cast<int32_t>(length), 1);
    if (context.nameEncoding == Ascii)
        context.nameEncoding = EncodingOfDetectCode(code);

    const char* source = reinterpret_cast<const char*>(text);
    const bool cutByZero = std::memchr(text, 0, length) != nullptr;
    int lossy = 0;
    int result = 0;
    switch (code) {
        case ShiftJisText:
            return KeepAsRead(text, length, output, capacity, true);
        case EucText:
            result = EucToShiftJis(source, output, capacity, NewlineCrLf, &lossy);
            return Converted(result, lossy, cutByZero, output);
        case Utf16LeText:
            result = Utf16LeToShiftJis(source, output, capacity, NewlineCrLf, &lossy);
            return Converted(result, lossy, Utf16CutByZero(text, length), output);
        case Utf16BeText:
            SwapBytePairs(text, length);
            result = Utf16LeToShiftJis(source, output, capacity, NewlineCrLf, &lossy);
            return Converted(result, lossy, Utf16CutByZero(text, length), output);
        case Utf8Text:
            result = Utf8ToShiftJis(source, output, capacity, NewlineCrLf, &lossy);
            return Converted(result, lossy, cutByZero, output);
        default:
            // Byte-order marks and undetermined texts are kept as read; their
            // held form is not known to be Shift-JIS.
            return KeepAsRead(text, length, output, capacity, false);
    }
}
