#include "jcode/euc.h"

#include <cstring>

// Placeholder until the converters land.
uint16_t EucPairToJis(uint8_t first, uint8_t second) {
    return static_cast<uint16_t>(first << 8 | second);
}
uint16_t JisToShiftJis(uint8_t first, uint8_t second) {
    return static_cast<uint16_t>(first << 8 | second);
}
uint16_t EucPairToShiftJis(uint8_t first, uint8_t second) {
    return static_cast<uint16_t>(first << 8 | second);
}
int EucToShiftJis(const char* source, char* output, size_t capacity, ConversionFlags, int* lossy) {
    size_t n = std::strlen(source);
    if (n >= capacity)
        n = capacity - 1;
    std::memcpy(output, source, n);
    output[n] = 0;
    if (lossy)
        *lossy = 0;
    return 0;
}
