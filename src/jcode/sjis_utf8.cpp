#include "jcode/sjis_utf8.h"

#include <cstring>

// Placeholder until the converter lands.
int ShiftJisToUtf8(const char* source, char* output, size_t capacity, int* length,
                   ConversionFlags) {
    size_t n = std::strlen(source);
    if (output) {
        if (n >= capacity)
            return TextTooLong;
        std::memcpy(output, source, n + 1);
    }
    *length = static_cast<int>(n);
    return 0;
}
