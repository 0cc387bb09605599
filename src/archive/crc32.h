// CRC-32 as the ZIP format uses it (reflected polynomial 0xEDB88320).
#pragma once

#include <cstddef>
#include <cstdint>

// Continues a CRC-32 over `length` bytes; start with crc = 0.
uint32_t Crc32(uint32_t crc, const void* bytes, size_t length);
