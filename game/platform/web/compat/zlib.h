// The browser build has no zlib: this stands in for the one routine the game uses,
// crc32, with zlib's own polynomial, calling convention and results.
#pragma once

#include <cstddef>

#define Z_NULL 0

// Continues the CRC-32 `crc` over `length` bytes; crc32(0, Z_NULL, 0) is the start value 0.
unsigned long crc32(unsigned long crc, const unsigned char* bytes, unsigned int length);
