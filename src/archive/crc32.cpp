#include "archive/crc32.h"

#include <array>

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[i] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> crcTable = MakeCrcTable();

}  // namespace

uint32_t Crc32(uint32_t crc, const void* bytes, size_t length) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    crc = ~crc;
    for (size_t i = 0; i < length; ++i) {
        crc = crcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}
