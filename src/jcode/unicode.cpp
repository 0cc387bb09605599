#include "jcode/unicode.h"

#include <cstring>

// Placeholder until the converters land.
uint16_t DecodeUtf8Char(const uint8_t* bytes, int* length) {
    *length = 1;
    return bytes[0];
}
int EncodeUtf8Char(uint16_t unit, uint8_t* out, int* length) {
    out[0] = static_cast<uint8_t>(unit);
    *length = 1;
    return 1;
}
int Utf16LeToShiftJis(const char* source, char* output, size_t capacity, ConversionFlags,
                      int* lossy) {
    size_t n = 0;
    while (n + 1 < capacity && (source[2 * n] || source[2 * n + 1])) {
        output[n] = source[2 * n];
        ++n;
    }
    output[n] = 0;
    if (lossy)
        *lossy = 0;
    return 0;
}
int Utf8ToShiftJis(const char* source, char* output, size_t capacity, ConversionFlags, int* lossy) {
    size_t n = std::strlen(source);
    if (n >= capacity)
        n = capacity - 1;
    std::memcpy(output, source, n);
    output[n] = 0;
    if (lossy)
        *lossy = 0;
    return 0;
}
